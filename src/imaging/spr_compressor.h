// The SPR# compressor: rectangles of an 8-bit image become SPR# frames,
// gathered into a sprite list. One compressor serves the whole run; callers
// replace its settings before each list they make.
//
// Besides compressing, it trims rectangles to their drawn part (a side
// moves in while its edge row or column is all clear colour), grows them
// back out to take in drawn neighbours, and cuts picture strips of the
// standard widths.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "imaging/colour_suppressor.h"
#include "imaging/pixel_view.h"
#include "imaging/rect.h"
#include "imaging/spr_settings.h"
#include "resfile/handle_owner.h"
#include "resfile/res_types.h"

namespace pixmold {

class PalWrap;

// Sides for trimming and growing.
namespace spr_side {
inline constexpr int kTop = 1;
inline constexpr int kLeft = 2;
inline constexpr int kBottom = 4;
inline constexpr int kRight = 8;
inline constexpr int kAll = 15;
}  // namespace spr_side

class Compressor {
 public:
  void SetSettings(const SprSettings& settings) { fSettings = settings; }
  const SprSettings& Settings() const { return fSettings; }

  // The frame of the part of rect inside the image. Returns 0, 1100 for
  // conflicting settings, or a handle error.
  ResErr CompressFrame(PixelView image, const Rect& rect, OwnedHandle& frame, const PalWrap* palette);
  // A list of one frame per rectangle; on any error the list is disposed of
  // and the error returned.
  ResErr CompressList(PixelView image, std::span<const Rect> rects, const PalWrap* palette, std::int32_t paletteId,
                      std::int32_t version, OwnedHandle& list);

  // Trims each rectangle on the given sides while its edge is all clear
  // colour (the settings' clear colour); a rectangle that ends up empty
  // becomes all zeros when emptyIfClear is set.
  void TrimRects(PixelView image, std::span<Rect> rects, int sides, bool emptyIfClear) const;
  // Moves each side out by one while the row or column beyond it, inside
  // limit, holds a pixel that is not clear; until no side moves.
  void GrowRects(PixelView image, const Rect& limit, std::span<Rect> rects, int sides) const;
  // Strips of width w across the picture rectangle, trimmed top and bottom.
  std::vector<Rect> CutStrips(PixelView image, const Rect& picture, int width) const;

 private:
  bool RowClear(PixelView image, int y, int left, int right) const;
  bool ColumnClear(PixelView image, int x, int top, int bottom) const;

  SprSettings fSettings;
  ColourSuppressor fSuppressor;
  std::vector<std::uint8_t> fBuffer;  // kept between frames
};

// The one compressor of the run, made on first use.
Compressor& SharedCompressor();

// The strip width that a picture id stands for (by id / 2000), or 0.
int GetStandardWidth(int pictureId);

}  // namespace pixmold
