// Answers the palette's nearest-colour question fast, with exactly the answer
// of the plain search: over the usable entries, the smallest weighted
// distance 2*dr^2 + 4*dg^2 + db^2, the lowest index on ties (an exact match is
// distance 0, so the first exact match wins, as in the plain search).
//
// Rendering maps every pixel of a sheet (often millions) to the palette, and
// a linear search over ~240 entries per pixel dominated the build. Two layers
// make it cheap without changing a single result:
//  - The colour cube is cut into 8x8x8 cells. For each cell, built on first
//    use, we keep only the entries that can be nearest to some colour in the
//    cell: U is the smallest over entries of the farthest distance from the
//    entry to the cell, and an entry whose nearest distance to the cell is
//    above U loses to that entry for every colour there. Entries are kept in
//    index order, and those at exactly U stay, so ties still go to the lowest
//    index.
//  - A direct-mapped memo of recent 24-bit colours in front of the cells,
//    since renders repeat colours heavily.
// The object is rebuilt whenever the palette's colours change. It is not
// thread-safe: lookups fill the cells and the memo.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "imaging/palette_entry.h"

namespace pixmold {

class NearestColourIndex {
 public:
  // Entries first..last of colours are the candidates; the range must be
  // non-empty and inside the table.
  NearestColourIndex(std::span<const PaletteEntry> colours, int first, int last);

  std::uint8_t Find(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    const std::uint32_t key = kMemoValid | (std::uint32_t{red} << 16) | (std::uint32_t{green} << 8) | blue;
    const std::uint32_t slot = (key * 0x9E3779B1u) >> (32 - kMemoBits);
    if (fMemoKey[slot] == key) return fMemoIndex[slot];
    const std::uint8_t index = FindInCell(red, green, blue);
    fMemoKey[slot] = key;
    fMemoIndex[slot] = index;
    return index;
  }

  // The cell search alone, without the memo.
  std::uint8_t FindInCell(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

  // The reference: a linear search over the usable entries.
  static std::uint8_t Search(std::span<const PaletteEntry> colours, int first, int last, std::uint8_t red,
                             std::uint8_t green, std::uint8_t blue);

 private:
  struct Candidate {
    std::uint8_t red, green, blue, index;
  };
  static constexpr int kCellShift = 3;  // 8 levels of each primary per cell
  static constexpr int kCellsPerAxis = 256 >> kCellShift;
  static constexpr int kMemoBits = 16;
  static constexpr std::uint32_t kMemoValid = 0x80000000u;
  static constexpr std::uint32_t kCellUnbuilt = 0xFFFFFFFFu;

  void BuildCell(int cell, int cr, int cg, int cb);

  std::vector<Candidate> fUsable;
  std::vector<std::uint32_t> fCellStart;
  std::vector<std::uint16_t> fCellCount;
  std::vector<Candidate> fPool;
  std::vector<std::uint32_t> fMemoKey;
  std::vector<std::uint8_t> fMemoIndex;
};

}  // namespace pixmold
