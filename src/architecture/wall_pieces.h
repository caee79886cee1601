// Where the pieces of each architecture sprite stand in a rendered sheet.
//
// The sheets are laid out by the render scripts, one band per zoom, so the
// rectangles are fixed numbers rather than anything found in the image;
// changing one moves every sprite the game draws from that sheet. Scale 1
// is the small zoom, 3 the large.
#pragma once

#include <array>

#include "imaging/rect.h"

namespace pixmold {

inline constexpr int kMinScale = 1;
inline constexpr int kMaxScale = 3;
inline constexpr int kWallImageCount = 5;
inline constexpr int kStylePieceCount = 4;
inline constexpr int kThickWallPieceCount = 46;

// The isometric view's measures at a scale: a floor tile's width, the unit
// every other measure is a multiple of, a wall's height, and the width of
// a wall image (a tile and a unit either side for the wall's thickness).
struct ViewSize {
  int tileWidth = 0;
  int unit = 0;
  int wallHeight = 0;
  int wallImageWidth = 0;
};

// All zero for a scale outside 1..3 (reported).
ViewSize GetViewSize(int inScale);

// The five wall images of a scale: the large ones at x 0, the medium from x
// 544, the small from x 816, in three bands 384 pixels apart, each inset
// by the unit so the renderer's anti-aliased border stays out.
std::array<Rect, kWallImageCount> WallImageRects(int scale);

// The four pieces of a wall style or pattern shape. The transition shape's
// narrow piece starts higher and stands higher, so the piece is taller.
// Empty rectangles for a bad scale (reported).
std::array<Rect, kStylePieceCount> StylePieces(int scale, bool transition);

// The 46 pieces of a thick wall: a grid of 6 rows and 8 columns less its
// first and last cell, row by row.
std::array<Rect, kThickWallPieceCount> ThickWallPieces(int scale);

// The one diamond cell of a floor or water tile at a scale; empty for a bad
// scale (reported).
Rect FloorCell(int scale);

}  // namespace pixmold
