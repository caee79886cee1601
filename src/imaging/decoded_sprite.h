// What the sprite decoders give back: the pixels of one frame, row-major,
// and for each pixel which kind of token drew it. The decoders read
// untrusted bytes, so they take limits on the size a frame may claim and
// report failure as a message with the offset where decoding stopped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pixmold {

// How a decoded pixel was drawn.
enum class PixelKind : std::uint8_t {
  kClear = 0,   // no token drew it
  kColour = 1,  // a colour token (every drawn SPR# pixel, SPR2 kRunP)
  kDepth = 2,   // an SPR2 (depth, colour) pair
  kAlpha = 3,   // an SPR2 (depth, colour, alpha) triple
};

struct DecodedSprite {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> colour;  // clear pixels hold the clear colour (SPR2) or 0 (SPR#)
  std::vector<std::uint8_t> depth;   // 255 where nothing stored a depth
  std::vector<std::uint8_t> alpha;   // the stored quantised alpha of kAlpha pixels, else 0
  std::vector<PixelKind> kind;

  std::size_t Index(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
  }
  bool Drawn(int x, int y) const { return kind[Index(x, y)] != PixelKind::kClear; }
  void Reset(int w, int h, std::uint8_t clearColour);
};

struct SpriteDecodeLimits {
  int maxWidth = 8192;
  int maxHeight = 8192;
  std::int64_t maxPixels = std::int64_t{1} << 24;
  int maxFrames = 65536;
};

struct SpriteDecodeStatus {
  std::string error;       // empty on success
  std::size_t offset = 0;  // where decoding stopped
  bool Ok() const { return error.empty(); }
  static SpriteDecodeStatus Fail(std::string message, std::size_t at) { return {std::move(message), at}; }
};

// Checks a claimed frame size against the limits before anything is
// allocated; returns the reason when it is refused.
std::string CheckSpriteSize(int width, int height, const SpriteDecodeLimits& limits);

}  // namespace pixmold
