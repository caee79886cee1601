// Writes small sprite sheets for the sheet and sprite-list tests: an 8-bit
// BMP palette image and a TGA render, each pixel given by a function of its
// position, so every test states its sheet in a line or two.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "base/terminate.h"
#include "image_bytes.h"
#include "support/temp_dir.h"

namespace pixmold::testing {

using IndexAt = std::function<std::uint8_t(int x, int y)>;
// 0xAARRGGBB for each pixel; the alpha byte is the renderer's depth.
using ColourAt = std::function<std::uint32_t(int x, int y)>;

// An uncompressed 8-bit BMP with the palette of BmpHeaders (entry i is red
// i / 2, green 255 - i, blue i), rows stored bottom-up and padded to 4 bytes.
inline Bytes Bmp8(int width, int height, const IndexAt& index) {
  const std::uint32_t stride = (static_cast<std::uint32_t>(width) + 3) & ~3u;
  BmpSpec spec;
  spec.width = width;
  spec.height = height;
  Bytes out = BmpHeaders(spec, stride * static_cast<std::uint32_t>(height));
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) out.push_back(index(x, y));
    for (std::uint32_t pad = static_cast<std::uint32_t>(width); pad < stride; ++pad) out.push_back(0);
  }
  return out;
}

// An uncompressed TGA stored top row first, 24 or 32 bits per pixel.
inline Bytes Tga(int width, int height, int bits, const ColourAt& colour) {
  TgaSpec spec;
  spec.width = static_cast<std::uint16_t>(width);
  spec.height = static_cast<std::uint16_t>(height);
  spec.bitsPerPixel = static_cast<std::uint8_t>(bits);
  spec.descriptor = bits == 32 ? 0x28 : 0x20;
  Bytes out = TgaHeader(spec);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t c = colour(x, y);
      Append(out,
             {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c >> 16)});
      if (bits == 32) out.push_back(static_cast<std::uint8_t>(c >> 24));
    }
  }
  return out;
}

inline std::string WriteFile(const TempDir& dir, const std::string& name, const Bytes& bytes) {
  return dir.Write(name, std::span<const unsigned char>(bytes.data(), bytes.size()));
}

// The message of the fatal error that running f raises ("" when none).
template <typename F>
std::string FatalOf(F&& f) {
  try {
    f();
  } catch (const Terminate& fatal) {
    return fatal.Message();
  }
  return {};
}

}  // namespace pixmold::testing
