// The names of the first IFF version's resources. A block stores only a name
// index; the texts live in one list kept as an internal resource ('NAME' id
// 1, a Recon record: a count, then an index and a string per name). A new
// name gets the largest index in use plus one, and setting an index's name
// drops any entry with that index before appending the new one, so the list
// keeps the order in which names were set.
//
// Files older than the Recon record hold 'NAME' id 0: records of a 32-bit
// index (in the writing machine's order), a length byte and the characters.
// Both forms come from the file, so every count and length is checked
// against the bytes there before it is used.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <span>
#include <vector>

#include "base/ctg_string.h"

namespace pixmold {

class ReconStream;

class IFFNameList {
 public:
  // The next free index (1 for an empty list), or -1 when none is left.
  std::int32_t NewIndex() const;
  // Replaces the name of an index; an empty name removes the entry.
  void Set(std::int32_t index, const CTGString& name);
  // Null when the index has no entry.
  const CTGString* Find(std::int32_t index) const;
  // Every index whose name equals the text, in list order.
  std::vector<std::int32_t> IndexesOf(std::string_view name) const;

  bool IsDirty() const { return fDirty; }
  void SetDirty(bool dirty) { fDirty = dirty; }
  std::size_t Count() const { return fEntries.size(); }

  // The list as the 'NAME' id 1 record, in either direction.
  void Reconstitute(ReconStream& stream, std::uint32_t version);
  // Reads the older 'NAME' id 0 form, replacing the list; stops at the
  // first record that does not fit.
  void ReadOlderForm(std::span<const std::uint8_t> bytes);

 private:
  struct Entry {
    std::int32_t index;
    CTGString name;
  };

  std::list<Entry> fEntries;  // in the order names were set
  std::map<std::int32_t, std::list<Entry>::iterator> fPositions;
  bool fDirty = false;
};

}  // namespace pixmold
