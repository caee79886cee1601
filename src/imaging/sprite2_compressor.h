// The SPR2 compressor: one rectangle of an 8-bit colour offscreen, with an
// optional depth offscreen and alpha offscreen of the same size, becomes one
// SPR2 frame, a 16-byte little-endian header followed by 16-bit tokens.
//
// A line is a kNL word holding the line's byte length, then clear counts and
// runs alternating; pixels after a line's last run are clear, so a line
// never ends in a clear token. Three or more consecutive empty lines fold
// into one kSL. The colour encoder clears the colour offscreen's top-left
// colour; the depth encoders clear every pixel of depth 255, which is why
// the depth is cleaned up before encoding (see sprite2_prepare.h).
//
// Counts and line lengths have 13 bits. A rectangle whose lines do not fit
// them is refused with a warning rather than stored wrongly.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "imaging/pixel_rect.h"
#include "imaging/pixel_view.h"
#include "imaging/sprite2_stream.h"

namespace pixmold {

class Sprite2Compressor {
 public:
  // Each returns the frame, or an empty buffer when it cannot be made. The
  // frame's origin is the rectangle's offset from the reference rectangle.
  std::vector<std::uint8_t> EncodeP(PixelView colour, const PixelRect& reference, const PixelRect& rect);
  std::vector<std::uint8_t> EncodeZP(PixelView colour, PixelView depth, const PixelRect& reference,
                                     const PixelRect& rect);
  std::vector<std::uint8_t> EncodeZPA(PixelView colour, PixelView depth, PixelView alpha, const PixelRect& reference,
                                      const PixelRect& rect, int alphaBits);

 private:
  template <typename Line>
  void EncodeRows(const PixelRect& rect, Line& line);
  void PostProcess();
  std::vector<std::uint8_t> Finish(std::uint32_t flags, std::uint8_t clearColour, const PixelRect& reference,
                                   const PixelRect& rect);

  Sprite2Stream fStream;
};

// The frame check run on every encoded frame: each kNL must be followed, at
// its stated length, by kNL, kSL or kEOS, and every run must end on an even
// offset. Reports each fault and returns whether the frame passed.
bool CheckSprite2Frame(std::span<const std::uint8_t> frame);

}  // namespace pixmold
