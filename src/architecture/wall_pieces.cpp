#include "architecture/wall_pieces.h"

#include "base/xassert.h"

namespace pixmold {
namespace {

constexpr int kBandHeight = 384;
constexpr int kLargeColumnsWidth = 4 * 136;
constexpr int kMediumColumnsWidth = 4 * 68;

struct PieceSize {
  int width;
  int height;
  int left;
  int top;
};

// Per scale: the four pieces' sizes and where they stand.
constexpr std::array<std::array<PieceSize, kStylePieceCount>, 3> kStylePieces = {{
    {{{16, 67, 554, 22}, {16, 68, 577, 22}, {32, 60, 600, 22}, {4, 58, 648, 39}}},
    {{{32, 135, 372, 20}, {32, 136, 408, 20}, {64, 120, 444, 20}, {8, 116, 513, 55}}},
    {{{64, 271, 13, 16}, {64, 272, 87, 16}, {128, 240, 168, 16}, {16, 232, 311, 87}}},
}};
// The transition piece's extra height above its top, and how much further
// up it stands, per scale.
constexpr std::array<int, 3> kTransitionRise = {11, 20, 41};
constexpr std::array<int, 3> kTransitionLift = {5, 12, 24};

bool GoodScale(int scale) { return scale >= kMinScale && scale <= kMaxScale; }

}  // namespace

ViewSize GetViewSize(int inScale) {
  XASSERT(inScale >= kMinScale && inScale <= kMaxScale, "bad scale");
  if (!GoodScale(inScale)) return {};
  ViewSize size;
  size.tileWidth = 16 << inScale;
  size.unit = 1 << (inScale - 1);
  size.wallHeight = 96 << (inScale - 1);
  size.wallImageWidth = size.tileWidth + 2 * size.unit;
  return size;
}

std::array<Rect, kWallImageCount> WallImageRects(int scale) {
  const ViewSize view = GetViewSize(scale);
  const int width = view.wallImageWidth;
  const int height = view.wallHeight;
  std::array<Rect, kWallImageCount> rects = {
      Rect::Make(0, 0, width, height),
      Rect::Make(0, kBandHeight, width, kBandHeight + height),
      Rect::Make(width, kBandHeight, 2 * width, kBandHeight + height),
      Rect::Make(0, 2 * kBandHeight, width, 2 * kBandHeight + height),
      Rect::Make(width, 2 * kBandHeight, 2 * width, 2 * kBandHeight + height),
  };
  int shift = 0;
  if (scale < 3) shift += kLargeColumnsWidth;
  if (scale < 2) shift += kMediumColumnsWidth;
  for (Rect& rect : rects) {
    rect.Offset(shift, 0);
    rect.Inset(view.unit, view.unit);
  }
  return rects;
}

std::array<Rect, kStylePieceCount> StylePieces(int scale, bool transition) {
  std::array<Rect, kStylePieceCount> pieces{};
  if (!GoodScale(scale)) {
    XASSERT_FAIL("false", "bad scale");
    return pieces;
  }
  const auto index = static_cast<std::size_t>(scale - 1);
  for (std::size_t piece = 0; piece < kStylePieceCount; ++piece) {
    const PieceSize& size = kStylePieces[index][piece];
    pieces[piece] = Rect::Make(0, 0, size.width, size.height);
    if (transition && piece == kStylePieceCount - 1)
      pieces[piece].top = static_cast<std::int16_t>(-kTransitionRise[index]);
    pieces[piece].Offset(size.left, size.top);
    if (transition && piece == kStylePieceCount - 1) pieces[piece].Offset(0, -kTransitionLift[index]);
  }
  return pieces;
}

std::array<Rect, kThickWallPieceCount> ThickWallPieces(int scale) {
  std::array<Rect, kThickWallPieceCount> pieces{};
  XASSERT(scale >= 1 && scale <= 3, "bad scale");
  if (!GoodScale(scale)) return pieces;
  const int unit = GetViewSize(scale).unit;
  std::size_t index = 0;
  for (int row = 0; row < 6; ++row) {
    for (int column = 0; column < 8; ++column) {
      // The grid's two corner cells hold no piece.
      if ((row == 0 && column == 0) || (row == 5 && column == 7)) continue;
      const int centreX = 18 * unit + 36 * unit * column;
      const int centreY = 10 * unit + 75 * unit * row;
      pieces[index++] = Rect::Make(centreX - 16 * unit, centreY - 8 * unit, centreX + 16 * unit, centreY + 8 * unit);
    }
  }
  XASSERT(index == kThickWallPieceCount, "logic error");
  return pieces;
}

Rect FloorCell(int scale) {
  switch (scale) {
    case 1: return Rect::Make(195, 1, 226, 17);
    case 2: return Rect::Make(130, 1, 193, 33);
    case 3: return Rect::Make(1, 1, 128, 65);
    default: XASSERT_FAIL("false", "bad scale!"); return {};
  }
}

}  // namespace pixmold
