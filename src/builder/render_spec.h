// The cell sizes of a sprite sheet, per zoom size: a sheet row holds the
// large cells, then the medium ones, then the small ones. "sizes" tags change
// the build's default sizes for every later sprite; headline tags use a fixed
// set of their own. Every sprite spec keeps a copy of the sizes in force when
// its tag was read.
#pragma once

#include <array>
#include <cstdint>

#include "markup/attrib_table.h"

namespace pixmold {

enum SizeIndex : int { kLargeSize = 0, kMediumSize = 1, kSmallSize = 2 };
inline constexpr int kSizeCount = 3;

// The zoom scale of a size index: 3 for large, 2 for medium, 1 for small.
constexpr int ScaleOfSize(int sizeIndex) { return 3 - sizeIndex; }
// The height of a floor tile at a scale (32, 16, 8); a scale outside 1..3 is
// reported as "bad scale" and gives 0.
int TileHeight(int scale);

struct RenderSpec {
  using PerSize = std::array<std::int32_t, kSizeCount>;

  PerSize height{};
  PerSize width{};
  PerSize xOrigin{};  // reference point from the cell's left edge
  PerSize yOrigin{};  // reference point from the cell's bottom edge
  PerSize slopWidth{};
  PerSize border{};  // trimmed off every side before compression

  // Reads a "sizes" tag into these sizes (see the tag's attributes).
  void ReadSizes(AttribTable& tag);
  // Headline cells: 64 x 96, 32 x 48, 16 x 24 with a border of 1.
  void ResetHeadlineSizes();
};

}  // namespace pixmold
