// A small rendered sheet for builds that need their sprites to exist but do
// not look at them: a 32-bit TGA whose alpha is the depth and the 8-bit
// palette image beside it, drawn on a diagonal pattern so every cell has
// pixels to trim to. The two agree on every drawn pixel's colour, as a
// palette image made from its render does, so builds of it do not warn.
// Header-only: it builds on the image byte writers of the imaging tests,
// which each test program compiles itself.
#pragma once

#include <cstdint>
#include <string>

#include "imaging/image_bytes.h"
#include "support/temp_dir.h"

namespace pixmold::testing {

// Writes BASE.tga and BASE.bmp of the given size into dir.
inline void WriteSheetImages(const TempDir& dir, const std::string& base, int width, int height) {
  const auto drawn = [](int x, int y) { return (x | y) != 0 && (x + y) % 3 == 0; };
  const auto index = [&](int x, int y) { return static_cast<std::uint8_t>(drawn(x, y) ? 30 + x % 50 : 1); };
  WriteFile(dir, base + ".tga", Tga(width, height, 32, [&](int x, int y) {
              return drawn(x, y) ? 0x40000000u | BmpHeaderColour(index(x, y)) : 0xFF000000u;
            }));
  WriteFile(dir, base + ".bmp", Bmp8(width, height, index));
}

}  // namespace pixmold::testing
