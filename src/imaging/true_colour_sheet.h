// Which pixels of a truecolour sheet the build draws. In a 32-bit sheet the
// alpha byte is the renderer's depth, and 255 means nothing is there. A
// 24-bit sheet has no depth: the build takes the colour of its top-left
// pixel as the clear one, so every pixel of exactly that colour is undrawn.
// Pixels are 0xAARRGGBB, as TGAParser::RenderTrueColour gives them.
#pragma once

#include <cstdint>

namespace pixmold {

inline constexpr std::uint32_t kNothingDrawnDepth = 255;

inline bool DrawnInSheet(std::uint32_t pixel, std::uint32_t topLeft, bool hasDepth) {
  return hasDepth ? (pixel >> 24) != kNothingDrawnDepth : ((pixel ^ topLeft) & 0xFFFFFF) != 0;
}

}  // namespace pixmold
