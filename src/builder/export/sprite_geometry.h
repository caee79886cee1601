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
  std::optional<int> yOrigin;
  int innerWidth = 0;  // the cell inside its border, exact when not shrunk on all sides
  int innerHeight = 0;
};

struct SpriteGeometry {
  int shrink = 15;
  std::array<SizeGeometry, 3> sizes;
  std::string problem;  // why no cell geometry gives the frames back
};

// The size index (0 large, 1 medium, 2 small) of a frame of the shape.
int SizeOfFrame(const SpriteShape& shape, int frame);

// How the sprite trims and which origins its draw groups fix.
SpriteGeometry FitSpriteGeometry(const SpriteTagPlan& sprite, std::span<const OffsetConstraint> constraints);

// With the origins settled: the frames' places and the smallest cells
// (inside the border) that hold them.
void PlaceSpriteFrames(SpriteTagPlan& sprite, const SpriteGeometry& geometry, const RenderSpec& origins,
                       std::span<const OffsetConstraint> constraints, std::array<int, 3>& innerWidth,
                       std::array<int, 3>& innerHeight);

}  // namespace pixmold
