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
    : fCellStart(kCellsPerAxis * kCellsPerAxis * kCellsPerAxis, kCellUnbuilt),
      fCellCount(kCellsPerAxis * kCellsPerAxis * kCellsPerAxis, 0),
      fMemoKey(std::size_t{1} << kMemoBits, 0),
      fMemoIndex(std::size_t{1} << kMemoBits, 0) {
  XASSERT(first >= 0 && first <= last && static_cast<std::size_t>(last) < colours.size(), "bad usable range");
  first = std::max(first, 0);
  last = std::min(last, static_cast<int>(colours.size()) - 1);
  for (int i = first; i <= last; ++i) {
    const PaletteEntry& e = colours[static_cast<std::size_t>(i)];
    fUsable.push_back({e.red, e.green, e.blue, static_cast<std::uint8_t>(i)});
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

std::uint8_t NearestColourIndex::FindInCell(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  const int cr = red >> kCellShift;
  const int cg = green >> kCellShift;
  const int cb = blue >> kCellShift;
  const int cell = (cr * kCellsPerAxis + cg) * kCellsPerAxis + cb;
  if (fCellStart[static_cast<std::size_t>(cell)] == kCellUnbuilt) BuildCell(cell, cr, cg, cb);
  const Candidate* candidate = fPool.data() + fCellStart[static_cast<std::size_t>(cell)];
  const Candidate* end = candidate + fCellCount[static_cast<std::size_t>(cell)];
  if (candidate == end) return 0;  // only without usable entries, which the palette never asks for
  std::uint8_t best = candidate->index;
  int bestDistance = std::numeric_limits<int>::max();
  for (; candidate != end; ++candidate) {
    const int d = Distance(candidate->red - red, candidate->green - green, candidate->blue - blue);
    if (d < bestDistance) {
      bestDistance = d;
      best = candidate->index;
    }
  }
  return best;
}

void NearestColourIndex::BuildCell(int cell, int cr, int cg, int cb) {
  const int size = 1 << kCellShift;
  const int rlo = cr * size, glo = cg * size, blo = cb * size;
  const int rhi = rlo + size - 1, ghi = glo + size - 1, bhi = blo + size - 1;
  int bound = std::numeric_limits<int>::max();
  for (const Candidate& c : fUsable) {
    bound = std::min(bound, Distance(FarGap(c.red, rlo, rhi), FarGap(c.green, glo, ghi), FarGap(c.blue, blo, bhi)));
  }
  fCellStart[static_cast<std::size_t>(cell)] = static_cast<std::uint32_t>(fPool.size());
  std::uint16_t count = 0;
  for (const Candidate& c : fUsable) {
    if (Distance(NearGap(c.red, rlo, rhi), NearGap(c.green, glo, ghi), NearGap(c.blue, blo, bhi)) <= bound) {
      fPool.push_back(c);
      ++count;
    }
  }
  fCellCount[static_cast<std::size_t>(cell)] = count;
}

}  // namespace pixmold
