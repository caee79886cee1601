#include "imaging/spr_compressor.h"

#include <algorithm>

#include "base/xassert.h"
#include "imaging/byte_scan.h"
#include "imaging/spr_frame_encoder.h"
#include "imaging/spr_list.h"

namespace pixmold {
namespace {

Rect Bounds(const PixelView& image) { return Rect::Make(0, 0, image.width, image.height); }

}  // namespace

ResErr Compressor::CompressFrame(PixelView image, const Rect& rect, OwnedHandle& frame, const PalWrap* palette) {
  frame.Reset();
  if (ResErr err = CheckSprSettings(fSettings); err != 0) return err;
  fSuppressor.Reset(fSettings, palette);
  Rect bounds;
  IntersectRect(rect, Bounds(image), bounds);
  // Trimmed-away cells arrive as empty rectangles; they make empty frames.
  if (!rect.IsEmpty() && bounds != rect) XASSERT_FAIL("false", "this is suspicious");
  EncodeSprFrame(image, bounds, fSettings, fSuppressor, fBuffer);
  frame = OwnedHandle::New(static_cast<std::uint32_t>(fBuffer.size()));
  if (!frame) return MemError();
  HandleLock lock(frame.Get());
  std::copy(fBuffer.begin(), fBuffer.end(), lock.Data());
  return 0;
}

ResErr Compressor::CompressList(PixelView image, std::span<const Rect> rects, const PalWrap* palette,
                                std::int32_t paletteId, std::int32_t version, OwnedHandle& list) {
  list.Reset(NewSprList(version, paletteId));
  if (!list) return MemError();
  for (const Rect& rect : rects) {
    OwnedHandle frame;
    ResErr err = CompressFrame(image, rect, frame, palette);
    if (err == 0) err = AppendFrame(list.Get(), frame.Get());
    if (err != 0) {
      list.Reset();
      return err;
    }
  }
  return 0;
}

bool Compressor::RowClear(PixelView image, int y, int left, int right) const {
  return SkipByte(image.Row(y), left, right, fSettings.clearColour) == right;
}

bool Compressor::ColumnClear(PixelView image, int x, int top, int bottom) const {
  for (int y = top; y < bottom; ++y) {
    if (image.At(x, y) != fSettings.clearColour) return false;
  }
  return true;
}

// The sides are found row by row rather than column by column: a column
// test touches one byte of every row's cache line, a row scan uses them all,
// and each row only has to be looked at as far as the rows before it left
// the side.
void Compressor::TrimRects(PixelView image, std::span<Rect> rects, int sides, bool emptyIfClear) const {
  const Rect bounds = Bounds(image);
  const std::uint8_t clear = fSettings.clearColour;
  for (Rect& r : rects) {
    if (!r.IsEmpty() && !r.IsInside(bounds)) {
      XASSERT_FAIL("false", "source image size smaller than expected...");
      continue;
    }
    if (sides & spr_side::kTop) {
      for (; !r.IsEmpty() && RowClear(image, r.top, r.left, r.right); ++r.top) {
        if (r.top + kRowsAhead < r.bottom) PrefetchRow(image.Row(r.top + kRowsAhead), r.left, r.right);
      }
    }
    if (sides & spr_side::kBottom) {
      for (; !r.IsEmpty() && RowClear(image, r.bottom - 1, r.left, r.right); --r.bottom) {
        if (r.bottom - 1 - kRowsAhead >= r.top) PrefetchRow(image.Row(r.bottom - 1 - kRowsAhead), r.left, r.right);
      }
    }
    // The right side's scan finds these rows still in the cache.
    if ((sides & spr_side::kLeft) && !r.IsEmpty()) {
      int left = r.right;
      for (int y = r.top; y < r.bottom && left > r.left; ++y) {
        if (y + kRowsAhead < r.bottom) PrefetchRow(image.Row(y + kRowsAhead), r.left, left);
        left = SkipByte(image.Row(y), r.left, left, clear);
      }
      r.left = left;
    }
    if ((sides & spr_side::kRight) && !r.IsEmpty()) {
      int right = r.left;
      for (int y = r.top; y < r.bottom && right < r.right; ++y)
        right = LastOtherByte(image.Row(y), right, r.right, clear) + 1;
      r.right = right;
    }
    if (r.IsEmpty() && emptyIfClear) r = Rect{};
  }
}

void Compressor::GrowRects(PixelView image, const Rect& limit, std::span<Rect> rects, int sides) const {
  Rect area;
  if (!IntersectRect(limit, Bounds(image), area)) return;
  for (Rect& r : rects) {
    if (r.IsEmpty()) continue;
    for (bool moved = true; moved;) {
      moved = false;
      const int left = std::max<int>(r.left, area.left), right = std::min<int>(r.right, area.right);
      const int top = std::max<int>(r.top, area.top), bottom = std::min<int>(r.bottom, area.bottom);
      if ((sides & spr_side::kTop) && r.top > area.top && left < right && !RowClear(image, r.top - 1, left, right)) {
        --r.top;
        moved = true;
      }
      if ((sides & spr_side::kBottom) && r.bottom < area.bottom && left < right &&
          !RowClear(image, r.bottom, left, right)) {
        ++r.bottom;
        moved = true;
      }
      if ((sides & spr_side::kLeft) && r.left > area.left && top < bottom &&
          !ColumnClear(image, r.left - 1, top, bottom)) {
        --r.left;
        moved = true;
      }
      if ((sides & spr_side::kRight) && r.right < area.right && top < bottom &&
          !ColumnClear(image, r.right, top, bottom)) {
        ++r.right;
        moved = true;
      }
    }
  }
}

std::vector<Rect> Compressor::CutStrips(PixelView image, const Rect& picture, int width) const {
  std::vector<Rect> strips;
  if (width <= 0) return strips;
  const int count = (picture.Width() + 1 - width) / width + 1;
  for (int i = 0; i < count; ++i) {
    strips.push_back(Rect::Make(picture.left + i * width, picture.top, picture.left + (i + 1) * width, picture.bottom));
  }
  TrimRects(image, strips, spr_side::kTop | spr_side::kBottom, false);
  return strips;
}

Compressor& SharedCompressor() {
  static Compressor compressor;
  return compressor;
}

int GetStandardWidth(int pictureId) {
  switch (pictureId / 2000) {
    case 5: return 8;
    case 6: return 16;
    case 7: return 24;
    case 8: return 32;
    case 9: return 48;
    case 10: return 64;
    case 11: return 96;
    case 12: return 128;
    default: XASSERT_FAIL("false", "Unknown pictID in GetStandardWidth"); return 0;
  }
}

}  // namespace pixmold
