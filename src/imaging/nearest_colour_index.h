// Answers the palette's nearest-colour question fast, with exactly the answer
// of the plain search: over the usable entries, the smallest weighted
// distance 2*dr^2 + 4*dg^2 + db^2, the lowest index on ties (an exact match is
// distance 0, so the first exact match wins, as in the plain search).
//
// Rendering maps every pixel of a sheet (a million or more) to the palette,
// and every sheet brings its own palette, so what counts is the time from a
// new palette to the last pixel of one render. Measured on noisy renders, the
// costs were the per-pixel search (its branches more than its arithmetic)
// and setting up per palette, so the index is built lazily, only where a
// render's colours fall, in two grades of cell, and the lookup itself has
// no search at all:
//  - Coarse cells of 8x8x8 colours keep only the entries that can be
//    nearest to some colour in the cell: U is the smallest over entries of
//    the farthest distance from the entry to the cell, and an entry whose
//    least distance to the cell is above U loses to that entry for every
//    colour there (those at exactly U stay: they may tie).
//  - Fine cells of 4x4x4 colours narrow their coarse cell's list the same
//    way (an entry that can win inside the fine cell can win inside the
//    coarse one, so it is on that list) to two or three entries, and then
//    answer all 64 of their colours at once: the distance separates by
//    axis, so that is additions and minimums over small fixed arrays, which
//    the compiler turns into vector code.
//  - A lookup is then one load of the fine cell's slot and one of the answer.
// A render touches a few percent of the fine cells, so answering all colours
// of a touched cell (only some are asked) is cheaper than searching per pixel.
//
// Reset starts over for a new palette but keeps the memory: clearing only
// the cells the last palette built costs far less than fresh tables.
// Not thread-safe: lookups build cells.
#pragma once

#include <array>
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

  // Forgets the answers and takes new colours.
  void Reset(std::span<const PaletteEntry> colours, int first, int last);

  std::uint8_t Find(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    const std::uint32_t cell = FineCellOf(red, green, blue);
    std::uint32_t answers = fFineCells[cell];
    if (answers == kUnbuilt) [[unlikely]]
      answers = BuildFineCell(cell);
    return fAnswers[answers + ((red & kFineMask) << (2 * kFineShift)) + ((green & kFineMask) << kFineShift) +
                    (blue & kFineMask)];
  }

  // The reference: a linear search over the usable entries.
  static std::uint8_t Search(std::span<const PaletteEntry> colours, int first, int last, std::uint8_t red,
                             std::uint8_t green, std::uint8_t blue);

 private:
  struct Candidate {
    std::uint8_t red, green, blue, index;
  };
  struct CoarseCell {
    std::uint32_t start;  // in fCandidates
    std::uint32_t count;
  };
  // The bounds of a cell along the three axes.
  struct Box {
    int redLow, greenLow, blueLow, size;
  };

  static constexpr int kCoarseShift = 3;  // 8 levels of each primary
  static constexpr int kCoarsePerAxis = 256 >> kCoarseShift;
  static constexpr int kFineShift = 2;  // 4 levels of each primary
  static constexpr int kFinePerAxis = 256 >> kFineShift;
  static constexpr int kFineMask = (1 << kFineShift) - 1;
  static constexpr int kFineColours = 1 << (3 * kFineShift);
  // The first fine cell's answers start past kFineColours, so a fine cell
  // whose answers start at 0 has none yet.
  static constexpr std::uint32_t kUnbuilt = 0;
  static constexpr std::uint32_t kCoarseUnbuilt = 0xFFFFFFFFu;

  static std::uint32_t FineCellOf(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return (std::uint32_t{red} >> kFineShift << 12) | (std::uint32_t{green} >> kFineShift << 6) |
           (std::uint32_t{blue} >> kFineShift);
  }
  void TakeColours(std::span<const PaletteEntry> colours, int first, int last);
  // The entries that can be nearest to a colour of the box, out of from.
  static void Narrow(std::span<const Candidate> from, const Box& box, std::vector<Candidate>& to);
  std::span<const Candidate> CoarseCandidates(std::uint32_t cell);
  std::uint32_t BuildFineCell(std::uint32_t cell);

  std::vector<Candidate> fUsable;
  // Per axis, per coarse level and per usable entry, the weighted square of
  // the entry's least and greatest gap to the level's range: a coarse cell's
  // bound and distances are then three additions per entry, in runs the
  // compiler vectorises. Entries are padded to fStride with copies of the
  // first, which change no minimum.
  std::size_t fStride = 0;
  std::vector<std::int32_t> fCoarseNear, fCoarseFar;
  std::vector<CoarseCell> fCoarseCells;
  std::vector<Candidate> fCandidates;                   // the coarse cells' lists, one after another
  std::vector<std::uint32_t> fFineCells;                // where each fine cell's answers start
  std::vector<std::uint8_t> fAnswers;                   // kFineColours per built fine cell
  std::vector<std::uint32_t> fBuiltCoarse, fBuiltFine;  // what Reset must clear
  std::vector<Candidate> fNarrowed;                     // scratch for the fine cell being built
};

}  // namespace pixmold
