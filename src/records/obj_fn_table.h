// The function table (OBJf) of an object: one entry per entry point of the
// object's behaviour, each the tree id the definition names for it and a
// second tree id kept beside it. It is filled from the thirty entry-point
// words of the definition and stored as a Recon record with the
// definition's id.
#pragma once

#include <cstdint>
#include <vector>

#include "resfile/res_types.h"

namespace pixmold {

class iResFile;
class ObjDefinition;
class ReconStream;

struct ObjFnEntry {
  std::uint16_t firstId = 0;   // the entry point's tree id
  std::uint16_t secondId = 0;  // a second tree id; 0 when filled from a definition
};

class ObjFnTable {
 public:
  static constexpr ResType kType = MakeResType("OBJf");
  static constexpr std::uint32_t kVersion = 0;
  static constexpr std::size_t kReserved = 32;
  // A table never grows past what a 16-bit tree id could number.
  static constexpr int kMaxEntries = 0x10000;

  ObjFnTable() { fEntries.reserve(kReserved); }

  // The entry at index, growing the table with zero entries to reach it;
  // null for a negative index, and "bad size" reported for one past the
  // largest table.
  ObjFnEntry* Entry(int index);
  // 0 for an index outside the table.
  std::uint16_t FirstId(int index) const;
  std::uint16_t SecondId(int index) const;
  int Size() const { return static_cast<int>(fEntries.size()); }

  // Sets the first id of entries 0..29 from the definition's entry points.
  void FillFromDefinition(const ObjDefinition& definition);

  ResErr Read(iResFile& file, ResID id);
  ResErr Write(iResFile& file, ResID id);

  // The stored body: a 32-bit count, then (second id, first id) per entry.
  void Reconstitute(ReconStream& stream, std::uint32_t version);

 private:
  std::vector<ObjFnEntry> fEntries;
};

}  // namespace pixmold
