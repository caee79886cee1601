// Synthetic renders for the imaging benchmarks: what a renderer's sprite
// sheet looks like to the readers (flat background, shaded shapes, noise).
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "imaging/palette_entry.h"

namespace pixmold::bench {

struct Pixel {
  std::uint8_t b, g, r, a;
};

// A width x height render, top row first. noise is the largest change to
// each channel; depth (alpha) is 255 on the background.
inline std::vector<Pixel> MakeRender(int width, int height, int noise, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> jitter(-noise, noise);
  std::vector<Pixel> pixels(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      Pixel& p = pixels[static_cast<std::size_t>(y) * width + x];
      const int cx = x % 128 - 64, cy = y % 128 - 64;
      if (cx * cx + cy * cy > 50 * 50) {
        p = {255, 0, 255, 255};  // the flat clear colour around each sprite
        continue;
      }
      auto channel = [&](int base) {
        return static_cast<std::uint8_t>(std::clamp(base + (noise ? jitter(rng) : 0), 0, 255));
      };
      p = {channel(60 + cy), channel(120 + cx), channel(180 - cx - cy), static_cast<std::uint8_t>(100 + (cx + cy) / 2)};
    }
  }
  return pixels;
}

// The worst case for colour lookups: every pixel 24 uniformly random bits.
inline std::vector<Pixel> MakeUniformNoise(int width, int height, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<Pixel> pixels(static_cast<std::size_t>(width) * height);
  for (Pixel& p : pixels) {
    const std::uint32_t bits = rng();
    p = {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8), static_cast<std::uint8_t>(bits >> 16),
         255};
  }
  return pixels;
}

inline void PutU16(std::vector<std::uint8_t>& out, int value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline std::vector<std::uint8_t> TgaHeader(int width, int height, bool rle, int bits) {
  std::vector<std::uint8_t> out = {0, 0, static_cast<std::uint8_t>(rle ? 10 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0};
  PutU16(out, width);
  PutU16(out, height);
  out.push_back(static_cast<std::uint8_t>(bits));
  out.push_back(bits == 32 ? 0x28 : 0x20);  // top-left origin
  return out;
}

inline void PutPixel(std::vector<std::uint8_t>& out, const Pixel& p, int bits) {
  out.push_back(p.b);
  out.push_back(p.g);
  out.push_back(p.r);
  if (bits == 32) out.push_back(p.a);
}

inline std::vector<std::uint8_t> EncodeTga(const std::vector<Pixel>& pixels, int width, int height, bool rle,
                                           int bits) {
  std::vector<std::uint8_t> out = TgaHeader(width, height, rle, bits);
  auto same = [&](std::size_t i, std::size_t j) {
    return pixels[i].b == pixels[j].b && pixels[i].g == pixels[j].g && pixels[i].r == pixels[j].r &&
           (bits == 24 || pixels[i].a == pixels[j].a);
  };
  if (!rle) {
    for (const Pixel& p : pixels) PutPixel(out, p, bits);
    return out;
  }
  // Packets run across rows, as the renderer's writer does.
  std::size_t i = 0;
  while (i < pixels.size()) {
    std::size_t run = 1;
    while (i + run < pixels.size() && run < 128 && same(i, i + run)) ++run;
    if (run > 1) {
      out.push_back(static_cast<std::uint8_t>(0x80 | (run - 1)));
      PutPixel(out, pixels[i], bits);
      i += run;
      continue;
    }
    std::size_t raw = 1;
    while (i + raw < pixels.size() && raw < 128 && !(i + raw + 1 < pixels.size() && same(i + raw, i + raw + 1))) ++raw;
    out.push_back(static_cast<std::uint8_t>(raw - 1));
    for (std::size_t k = 0; k < raw; ++k) PutPixel(out, pixels[i + k], bits);
    i += raw;
  }
  return out;
}

// A palette drawn from the render itself, as a palette image made for it
// would be: 256 distinct colours sampled across the sheet.
inline std::array<PaletteEntry, 256> PaletteFor(const std::vector<Pixel>& pixels, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<std::size_t> pick(0, pixels.size() - 1);
  std::array<PaletteEntry, 256> colours{};
  std::size_t used = 0;
  while (used < colours.size()) {
    const Pixel& p = pixels[pick(rng)];
    const PaletteEntry c{p.r, p.g, p.b, 0};
    if (std::find(colours.begin(), colours.begin() + static_cast<std::ptrdiff_t>(used), c) ==
        colours.begin() + static_cast<std::ptrdiff_t>(used)) {
      colours[used++] = c;
    }
  }
  return colours;
}

}  // namespace pixmold::bench
