#include "imaging/decoded_sprite.h"

namespace pixmold {

void DecodedSprite::Reset(int w, int h, std::uint8_t clearColour) {
  width = w;
  height = h;
  const std::size_t n = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  colour.assign(n, clearColour);
  depth.assign(n, 255);
  alpha.assign(n, 0);
  kind.assign(n, PixelKind::kClear);
}

std::string CheckSpriteSize(int width, int height, const SpriteDecodeLimits& limits) {
  if (width < 0 || height < 0) return "negative frame size";
  if (width > limits.maxWidth) return "frame wider than " + std::to_string(limits.maxWidth) + " pixels";
  if (height > limits.maxHeight) return "frame taller than " + std::to_string(limits.maxHeight) + " pixels";
  if (static_cast<std::int64_t>(width) * height > limits.maxPixels) {
    return "frame larger than " + std::to_string(limits.maxPixels) + " pixels";
  }
  return {};
}

}  // namespace pixmold
