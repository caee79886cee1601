#include "imaging/nearest_colour_index.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "base/xassert.h"

namespace pixmold {

namespace {

constexpr int kRedWeight = 2;
constexpr int kGreenWeight = 4;
constexpr int kBlueWeight = 1;

int Distance(int dr, int dg, int db) { return kRedWeight * dr * dr + kGreenWeight * dg * dg + kBlueWeight * db * db; }

// Along one axis, the distance from p to the nearest and to the farthest
// level of [lo, hi].
int NearGap(int p, int lo, int hi) { return p < lo ? lo - p : (p > hi ? p - hi : 0); }
int FarGap(int p, int lo, int hi) { return std::max(std::abs(p - lo), std::abs(hi - p)); }

}  // namespace

NearestColourIndex::NearestColourIndex(std::span<const PaletteEntry> colours, int first, int last)
    : fCells(kCellsPerAxis * kCellsPerAxis * kCellsPerAxis, kCellUnbuilt),
      fAnswers(static_cast<std::uint16_t*>(std::calloc(std::size_t{1} << 24, sizeof(std::uint16_t)))) {
  XASSERT(first >= 0 && first <= last && static_cast<std::size_t>(last) < colours.size(), "bad usable range");
  first = std::max(first, 0);
  last = std::min(last, static_cast<int>(colours.size()) - 1);
  for (int i = first; i <= last; ++i) {
    const PaletteEntry& e = colours[static_cast<std::size_t>(i)];
    fUsable.push_back({e.red, e.green, e.blue, static_cast<std::uint8_t>(i), 0});
  }
}

std::uint8_t NearestColourIndex::Search(std::span<const PaletteEntry> colours, int first, int last, std::uint8_t red,
                                        std::uint8_t green, std::uint8_t blue) {
  last = std::min(last, static_cast<int>(colours.size()) - 1);
  int best = first;
  int bestDistance = std::numeric_limits<int>::max();
  for (int i = first; i <= last; ++i) {
    const PaletteEntry& e = colours[static_cast<std::size_t>(i)];
    if (e.red == red && e.green == green && e.blue == blue) return static_cast<std::uint8_t>(i);
    const int d = Distance(e.red - red, e.green - green, e.blue - blue);
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return static_cast<std::uint8_t>(best);
}

std::uint8_t NearestColourIndex::SearchCell(std::uint32_t cell, std::uint8_t red, std::uint8_t green,
                                            std::uint8_t blue) {
  if (fCells[cell] == kCellUnbuilt) BuildCell(cell);
  const Candidate* candidate = fPool.data() + (fCells[cell] >> 8);
  const Candidate* end = candidate + (fCells[cell] & 0xFF);
  if (candidate == end) return 0;  // only without usable entries, which the palette never asks for
  // Distance and index as one key: the smaller key is the nearer entry, or
  // the lower index of two as near, so a branch-free minimum settles ties.
  int best = std::numeric_limits<int>::max();
  for (; candidate != end; ++candidate) {
    // Candidates come nearest-to-the-cell first: once one cannot come as
    // close as the best so far, neither can any after it, even to tie.
    if (candidate->cellDistance > (best >> 8)) break;
    const int d = Distance(candidate->red - red, candidate->green - green, candidate->blue - blue);
    best = std::min(best, (d << 8) | candidate->index);
  }
  return static_cast<std::uint8_t>(best & 0xFF);
}

void NearestColourIndex::BuildCell(std::uint32_t cell) {
  const int size = 1 << kCellShift;
  const int rlo = static_cast<int>(cell >> 10) * size;
  const int glo = static_cast<int>((cell >> 5) & 31) * size;
  const int blo = static_cast<int>(cell & 31) * size;
  const int rhi = rlo + size - 1, ghi = glo + size - 1, bhi = blo + size - 1;
  int bound = std::numeric_limits<int>::max();
  for (const Candidate& c : fUsable) {
    bound = std::min(bound, Distance(FarGap(c.red, rlo, rhi), FarGap(c.green, glo, ghi), FarGap(c.blue, blo, bhi)));
  }
  const std::size_t start = fPool.size();
  for (Candidate c : fUsable) {
    c.cellDistance = Distance(NearGap(c.red, rlo, rhi), NearGap(c.green, glo, ghi), NearGap(c.blue, blo, bhi));
    if (c.cellDistance <= bound) fPool.push_back(c);
  }
  std::sort(fPool.begin() + static_cast<std::ptrdiff_t>(start), fPool.end(),
            [](const Candidate& a, const Candidate& b) {
              return a.cellDistance != b.cellDistance ? a.cellDistance < b.cellDistance : a.index < b.index;
            });
  // At most 256 candidates and 32768 cells: start fits in 24 bits.
  const std::size_t count = fPool.size() - start;
  fCells[cell] = static_cast<std::uint32_t>(start << 8) | static_cast<std::uint32_t>(count & 0xFF);
}

}  // namespace pixmold
