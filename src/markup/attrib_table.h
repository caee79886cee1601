// One markup tag as an ordered table of entries. Entry 0 is the tag itself
// (its name is the tag name), entries 1... are its attributes in file order.
// Duplicate names are kept; every lookup finds the first.
//
// The table has a cursor, as the tag parser and the spec readers expect:
// lookups leave it on the entry they found, and adding an entry moves it
// there. Keys compare exactly, byte for byte: the reader has already folded
// unquoted text to lower case, and quoted text keeps its case on purpose.
//
// Tags are small, so lookups walk the entries from the start; the number of
// entries keeps the 16-bit limit of the system's lists.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string_view>
#include <vector>

#include "markup/attrib_entry.h"

namespace pixmold {

class AttribTable {
 public:
  static constexpr std::int32_t kMaxEntries = 32767;

  AttribTable() = default;
  AttribTable(const AttribTable&) = delete;
  AttribTable& operator=(const AttribTable&) = delete;

  std::int32_t Size() const { return fSize; }
  std::int32_t Cursor() const { return fCursor; }

  void Rewind() { fCursor = 0; }
  // Moves to the next entry; the cursor never goes beyond size + 1.
  void Next();
  // No entry at the cursor.
  bool Done() const { return Current() == nullptr; }
  AttribEntry* Current() const { return EntryAt(fCursor); }

  // Of the current entry; when Done() they report an assertion and give "".
  std::string_view Name() const;
  std::string_view Value() const;
  // Empties the current entry's name and value.
  void ClearCurrent();

  // The value of the first entry named key; the cursor stays on that entry
  // (or is Done when there is none).
  std::optional<std::string_view> FindValue(std::string_view key);
  AttribEntry* FindEntry(std::string_view key);

  // Moves the cursor to index and gives that entry's name, or nothing when
  // there is no such entry. Index 0 gives the tag name.
  std::optional<std::string_view> NameAt(std::int32_t index);
  // The entry at index, or null; the cursor does not move.
  AttribEntry* EntryAt(std::int32_t index) const;

  // Reads the value of key as "%d" would: true exactly when a number was read.
  bool GetInteger(std::string_view key, std::int32_t& out);

  // Appends an empty entry (line -1) and makes it current. Null, after an
  // assertion report naming the limit and the tag's line (made once), when
  // the table is full.
  AttribEntry* AddEntry();

  // The diagnostic listing: each entry as name, then ="value" (quoted when
  // the value holds whitespace) or =value, one entry per line. With showLines
  // each line starts with the entry's source line, "NN: ".
  void Dump(std::ostream& out, bool showLines = false) const;

 private:
  std::vector<std::unique_ptr<AttribEntry>> fEntries;
  std::int32_t fSize = 0;
  std::int32_t fCursor = 0;
  bool fFull = false;
};

}  // namespace pixmold
