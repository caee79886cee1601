// Where a sprite's frames go in their cells, and the cell origins that make
// the build's screen offsets the ones the draw groups store.
//
// The build trims every cell (inside its border) to what is drawn and stores
// the trim's place in the cell as the frame's origin; a draw group item's
// offset is then x = left - x origin (mirrored: -x - width - 1) and
// y = top + height + 2 x border - y origin. So an SPR2 frame, whose origin
// is stored, goes back where it was, and each zoom's origins follow from any
// offset that shows one of its frames. SPR# frames keep no origin: the
// offsets alone place them. Frames that are not trimmed on every side come
// from a sprite that trims its top only ("shrink=top", the frame reaching
// the cell's sides and bottom) or nothing ("shrink=false").
//
// A cell with nothing drawn trims to nothing, and its offset is measured
// from the cell's place on the sheet instead: x = -x origin - cell left,
// y = border - y origin - row x row height. A sprite whose draw groups show
// such a frame is anchored: its border, row, cell sizes and origins are
// solved for together, and it gets a sheet of its own.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>

#include "builder/export/art_plan.h"
#include "builder/export/markup_replay.h"

namespace pixmold {

inline constexpr int kExportBorder = 1;

struct SizeGeometry {
  std::optional<int> xOrigin;  // fixed by draw group offsets, or free
  // The y origin less twice the border, which the border does not change.
  std::optional<int> yOriginInside;
  int innerWidth = 0;  // the cell inside its border: exact when not shrunk on all sides, else the least
  int innerHeight = 0;
};

// How frames map onto cells besides the shape: the columns turned by
// "rotation", the order within a row reversed by "reverse".
struct CellOrder {
  int rotation = 0;
  bool reverse = false;
};

struct FrameCell {
  std::size_t size = 0;  // 0 large, 1 medium, 2 small
  int column = 0;
  int row = 0;  // within the sprite
};

// The cell a frame is cut from, as the build's sprite spec places it.
FrameCell CellOfFrame(const SpriteShape& shape, const CellOrder& order, int frame);

struct SpriteGeometry {
  CellOrder order;
  int shrink = 15;
  std::array<SizeGeometry, 3> sizes;
  std::string problem;  // why no cell geometry gives the frames back
  // A draw group shows an empty frame of the sprite, so its cells must lie
  // where they were; once solved, every size and origin, its border and row.
  bool anchored = false;
  std::optional<RenderSpec> anchoredSizes;
  int anchoredPosition = 0;
};

// How the sprite trims, which origins its draw groups fix and, for an
// anchored sprite, its whole cell geometry.
SpriteGeometry FitSpriteGeometry(const SpriteTagPlan& sprite, std::span<const OffsetConstraint> constraints);

// With the sizes settled: the frames' places and the smallest cells (inside
// the border) that hold them.
void PlaceSpriteFrames(SpriteTagPlan& sprite, const SpriteGeometry& geometry, const RenderSpec& sizes,
                       std::span<const OffsetConstraint> constraints, std::array<int, 3>& innerWidth,
                       std::array<int, 3>& innerHeight);

}  // namespace pixmold
