// Encodes one rectangle of an 8-bit image as an SPR# frame.
//
// A frame is a 10-byte header (two zero words, height, width, a zero byte
// and the feature bits) and a sequence of lines. Each line starts with a
// header that holds its byte length, so a reader can skip it whole, then
// byte tokens, each padded to an even offset; pixels after a line's last
// token are clear. Whole clear lines collapse into one token, and the frame
// ends with an end token written where the next line header would go.
//
// Choosing a token looks at the current pixel and at the run of pixels from
// it whose suppressed colours are equal; the run is remembered until the
// column leaves it, so measuring runs costs nothing per pixel on average.
//
// The count byte of a token cannot exceed 255 (254 for literal pixels), so
// longer runs are split into several tokens of the same kind.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/colour_suppressor.h"
#include "imaging/pixel_view.h"
#include "imaging/rect.h"
#include "imaging/spr_settings.h"

namespace pixmold {

namespace spr_op {
inline constexpr std::uint8_t kClear = 1;
inline constexpr std::uint8_t kRepeat = 2;
inline constexpr std::uint8_t kDraw = 3;
inline constexpr std::uint8_t kLine = 4;
inline constexpr std::uint8_t kEnd = 5;
inline constexpr std::uint8_t kShade1 = 7;
inline constexpr std::uint8_t kRepeatShade1 = 8;
inline constexpr std::uint8_t kClearLines = 9;
inline constexpr std::uint8_t kPattern1 = 10;
inline constexpr std::uint8_t kPattern2 = 11;
inline constexpr std::uint8_t kPattern3 = 12;
inline constexpr std::uint8_t kShade2 = 13;
inline constexpr std::uint8_t kRepeatShade2 = 14;
}  // namespace spr_op

// Feature bits of a frame header.
namespace spr_feature {
inline constexpr std::uint8_t kPattern3 = 0x01;
inline constexpr std::uint8_t kPattern2 = 0x02;
inline constexpr std::uint8_t kPattern1 = 0x04;
inline constexpr std::uint8_t kShading = 0x08;
inline constexpr std::uint8_t kRepeat = 0x10;
inline constexpr std::uint8_t kAnyPattern = 0x20;
}  // namespace spr_feature

inline constexpr std::size_t kSprFrameHeaderSize = 10;
inline constexpr int kMaxDrawCount = 254;
inline constexpr int kMaxRunCount = 255;

// Writes the frame of `bounds` (already inside the image) into out, which
// is cleared first; the suppressor must have been reset for this frame.
void EncodeSprFrame(PixelView image, const Rect& bounds, const SprSettings& settings, ColourSuppressor& suppressor,
                    std::vector<std::uint8_t>& out);

}  // namespace pixmold
