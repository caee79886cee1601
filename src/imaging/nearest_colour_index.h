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
//    entry to the cell, and an entry whose least distance to the cell is
//    above U loses to that entry for every colour there (those at exactly U
//    stay: they may tie). The survivors are sorted by that least distance,
//    so a search stops at the first that cannot come as close as the best
//    found, and ties are settled by index explicitly.
//  - The answer for every 24-bit colour, remembered once found. The table
//    is 32 MiB of address space taken zeroed from the system, so only the
//    pages a render touches are ever committed; colours are laid out cell by
//    cell, so the colours of one noisy surface share a few pages.
// The object is rebuilt whenever the palette's colours change. It is not
// thread-safe: lookups fill the cells and the answers.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
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
    const std::uint32_t cell = CellOf(red, green, blue);
    if (!fAnswers) return SearchCell(cell, red, green, blue);
    const std::uint32_t slot = (cell << 9) | ((red & 7u) << 6) | ((green & 7u) << 3) | (blue & 7u);
    std::uint16_t& answer = fAnswers[slot];
    if (answer == 0) answer = static_cast<std::uint16_t>(SearchCell(cell, red, green, blue) + 1);
    return static_cast<std::uint8_t>(answer - 1);
  }

  // The cell search alone, without the remembered answers.
  std::uint8_t FindInCell(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return SearchCell(CellOf(red, green, blue), red, green, blue);
  }

  // The reference: a linear search over the usable entries.
  static std::uint8_t Search(std::span<const PaletteEntry> colours, int first, int last, std::uint8_t red,
                             std::uint8_t green, std::uint8_t blue);

 private:
  struct Candidate {
    std::uint8_t red, green, blue, index;
    int cellDistance;  // the least distance from the entry to any colour of the cell
  };
  struct FreeMemory {
    void operator()(std::uint16_t* memory) const { std::free(memory); }
  };
  static constexpr int kCellShift = 3;  // 8 levels of each primary per cell
  static constexpr int kCellsPerAxis = 256 >> kCellShift;
  // A cell's candidates: start in the pool << 8 | count (at most 256).
  static constexpr std::uint32_t kCellUnbuilt = 0xFFFFFFFFu;

  static std::uint32_t CellOf(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return (std::uint32_t{red} >> kCellShift << 10) | (std::uint32_t{green} >> kCellShift << 5) |
           (std::uint32_t{blue} >> kCellShift);
  }
  std::uint8_t SearchCell(std::uint32_t cell, std::uint8_t red, std::uint8_t green, std::uint8_t blue);
  void BuildCell(std::uint32_t cell);

  std::vector<Candidate> fUsable;
  std::vector<std::uint32_t> fCells;
  std::vector<Candidate> fPool;
  std::unique_ptr<std::uint16_t[], FreeMemory> fAnswers;  // answer + 1 per colour, 0 when not yet known
};

}  // namespace pixmold
