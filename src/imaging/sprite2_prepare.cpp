#include "imaging/sprite2_prepare.h"

#include <algorithm>
#include <iostream>
#include <utility>
#include <vector>

#include "base/work_threads.h"
#include "base/xassert.h"

namespace pixmold {
namespace {

// Adds the depth of the neighbour at (x, y) when it lies inside the image.
void Take(const MutablePixelView& depth, int x, int y, int& sum, int& count) {
  if (x < 0 || y < 0 || x >= depth.width || y >= depth.height) return;
  sum += depth.At(x, y);
  ++count;
}

// The tiers widen the neighbourhood only while nothing was found: left and
// right first (a renderer's edge pixels are usually horizontal
// neighbours), then above and below, then the diagonals. Depths are taken as
// they stand, including ones already filled in on this pass.
bool FillFromNeighbours(const MutablePixelView& depth, int x, int y) {
  int sum = 0;
  int count = 0;
  Take(depth, x - 1, y, sum, count);
  Take(depth, x + 1, y, sum, count);
  if (sum == 0) {
    Take(depth, x, y - 1, sum, count);
    Take(depth, x, y + 1, sum, count);
  }
  if (sum == 0) {
    Take(depth, x - 1, y - 1, sum, count);
    Take(depth, x + 1, y - 1, sum, count);
    Take(depth, x - 1, y + 1, sum, count);
    Take(depth, x + 1, y + 1, sum, count);
  }
  if (sum == 0) return false;
  depth.At(x, y) = static_cast<std::uint8_t>(static_cast<double>(sum) / count + 0.5);
  return true;
}

}  // namespace

// Pixels needing a depth are rare (a renderer's stray edge pixels), so each
// stretch of a row is first tested as a whole, in a loop the compiler
// vectorises, and walked pixel by pixel only when it holds one. The tests
// read the whole sheet and may run on any thread; the walks then run in
// order on one, since a fill reads the depths filled before it. A fill
// changes only its own pixel's depth, which no other pixel's test reads, so
// every verdict stays true until its stretch is walked.
constexpr int kStretch = 64;

void DepthGaps::Look(PixelView colour, PixelView depth, int firstRow, int rowCount) {
  if (colour.IsEmpty() || !depth.SameSize(colour)) return;
  const std::uint8_t clear = colour.At(0, 0);
  std::vector<std::pair<int, int>> found;
  const int last = std::min(colour.height, firstRow + rowCount);
  for (int y = std::max(firstRow, 0); y < last; ++y) {
    const std::uint8_t* colourRow = colour.Row(y);
    const std::uint8_t* depthRow = depth.Row(y);
    for (int start = 0; start < colour.width; start += kStretch) {
      const int end = std::min(colour.width, start + kStretch);
      std::uint8_t any = 0;
      for (int x = start; x < end; ++x)
        any |= static_cast<std::uint8_t>((depthRow[x] == 255) & (colourRow[x] != clear));
      if (any != 0) found.emplace_back(y, start);
    }
  }
  if (found.empty()) return;
  std::lock_guard lock(fLock);
  fStretches.insert(fStretches.end(), found.begin(), found.end());
}

int DepthGaps::Fill(PixelView colour, MutablePixelView depth) {
  std::sort(fStretches.begin(), fStretches.end());
  int lost = 0;
  if (colour.IsEmpty()) return 0;
  const std::uint8_t clear = colour.At(0, 0);
  for (const auto& [y, start] : fStretches) {
    const std::uint8_t* colourRow = colour.Row(y);
    const std::uint8_t* depthRow = depth.Row(y);
    for (int x = start; x < std::min(colour.width, start + kStretch); ++x) {
      if (depthRow[x] != 255 || colourRow[x] == clear) continue;
      if (!FillFromNeighbours(depth, x, y)) {
        // Through the C++ stream, which a front end can route around its status line.
        std::cerr << "Could not find neighboring z-value in z-clean up...throwing away pixel\n";
        ++lost;
      }
    }
  }
  fStretches.clear();
  return lost;
}

int CleanUpDepth(PixelView colour, MutablePixelView depth, int threads) {
  if (!depth.SameSize(colour)) {
    if (depth.width != 0 || depth.height != 0) {
      XASSERT_FAIL("w_ == 0 && h_ == 0", "pixel and z-buffers are different dimensions!");
    }
    return 0;
  }
  if (colour.IsEmpty()) return 0;
  constexpr int kBandRows = 64;
  DepthGaps gaps;
  const PixelView depthRead = depth;
  RunOnThreads(
      threads, static_cast<std::size_t>((colour.height + kBandRows - 1) / kBandRows),
      [&](std::size_t band, int) { gaps.Look(colour, depthRead, static_cast<int>(band) * kBandRows, kBandRows); });
  return gaps.Fill(colour, depth);
}

void PrepareAlpha(PixelView colour, MutablePixelView depth, PixelView alpha, int alphaBits) {
  if (!(alphaBits <= 8 && alphaBits > 3)) {
    XASSERT_FAIL("alpha_bits <= 8 && alpha_bits > 3", "odd-looking alpha_bits parameters...");
  }
  CleanUpDepth(colour, depth);
  if (!(alpha.width == colour.width && alpha.height == colour.height)) {
    XASSERT_FAIL("w_ == width && h_ == height", "alpha offscreen different size than z & pixels");
  }
  const int shift = 8 - std::clamp(alphaBits, 0, 8);
  const int width = std::min({colour.width, depth.width, alpha.width});
  const int height = std::min({colour.height, depth.height, alpha.height});
  for (int y = 0; y < height; ++y) {
    std::uint8_t* depthRow = depth.Row(y);
    const std::uint8_t* alphaRow = alpha.Row(y);
    for (int x = 0; x < width; ++x) {
      if (depthRow[x] != 255 && (alphaRow[x] >> shift) == 0) depthRow[x] = 255;
    }
  }
}

}  // namespace pixmold
