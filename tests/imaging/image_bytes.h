// The image files of the reader and sheet tests. Builders for the small ones
// written byte by byte: the cases a general-purpose tool will not produce
// (broken headers, odd RLE records) are easiest to state as bytes, and a
// sheet given by a function of each pixel's position takes a line or two.
// And the pixel dumps that tools/make_image_corpus.py stores beside each
// image of tests/data/images: what an independent decoder made of the file.
#pragma once

#include <cctype>
#include <cstdint>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <span>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "imaging/offscreen.h"
#include "support/assert_capture.h"
#include "support/temp_dir.h"

namespace pixmold::testing {

using Bytes = std::vector<std::uint8_t>;

// Little-endian fields of the given byte sizes.
inline void Put(Bytes& out, std::initializer_list<std::pair<std::uint64_t, int>> fields) {
  for (auto [value, size] : fields)
    for (int i = 0; i < size; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
// Byte by byte: g++ 12 at -O3 mistakes a range insert into a fresh vector
// for an overflow.
inline void Append(Bytes& out, std::initializer_list<std::uint8_t> bytes) {
  for (std::uint8_t b : bytes) out.push_back(b);
}
inline void Append(Bytes& out, const Bytes& bytes) {
  for (std::uint8_t b : bytes) out.push_back(b);
}

// paletteEntries: the entries actually written.
struct BmpSpec {
  std::int32_t width = 1, height = 1;
  std::uint16_t planes = 1, bitCount = 8;
  std::uint32_t compression = 0, clrUsed = 0, paletteEntries = 256, infoSize = 40;
};

// The colour of entry i of BmpHeaders' palette as 0x00RRGGBB: what a TGA
// must hold where its palette image has index i for the two to agree.
inline std::uint32_t BmpHeaderColour(std::uint32_t i) { return (i / 2) << 16 | (255 - i) << 8 | i; }

// Headers and a palette whose entry i is (blue i, green 255 - i, red i / 2).
inline Bytes BmpHeaders(const BmpSpec& spec, std::uint32_t pixelBytes) {
  Bytes out = {'B', 'M'};
  const std::uint32_t offset = 14 + 40 + spec.paletteEntries * 4;
  Put(out, {{offset + pixelBytes, 4},
            {0, 4},
            {offset, 4},
            {spec.infoSize, 4},
            {std::uint32_t(spec.width), 4},
            {std::uint32_t(spec.height), 4},
            {spec.planes, 2},
            {spec.bitCount, 2},
            {spec.compression, 4},
            {pixelBytes, 4},
            {2835, 4},
            {2835, 4},
            {spec.clrUsed, 4},
            {0, 4}});
  for (std::uint32_t i = 0; i < spec.paletteEntries; ++i) Put(out, {{i & 0xFF, 1}, {255 - i, 1}, {i / 2, 1}, {0, 1}});
  return out;
}

// The default descriptor: 8 alpha bits, top-left origin.
struct TgaSpec {
  std::uint8_t idLength = 0, colourMapType = 0, imageType = 2;
  std::uint16_t width = 1, height = 1;
  std::uint8_t bitsPerPixel = 32, descriptor = 0x28;
};

inline Bytes TgaHeader(const TgaSpec& spec) {
  Bytes out = {spec.idLength, spec.colourMapType, spec.imageType, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  Put(out, {{spec.width, 2}, {spec.height, 2}, {spec.bitsPerPixel, 1}, {spec.descriptor, 1}});
  out.resize(out.size() + spec.idLength, 'i');
  return out;
}

// An uncompressed 8-bit BMP with the palette of BmpHeaders, rows stored
// bottom-up and padded to 4 bytes.
inline Bytes Bmp8(int width, int height, const std::function<std::uint8_t(int x, int y)>& index) {
  const std::uint32_t stride = (static_cast<std::uint32_t>(width) + 3) & ~3u;
  Bytes out = BmpHeaders({.width = width, .height = height}, stride * static_cast<std::uint32_t>(height));
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) out.push_back(index(x, y));
    out.resize(out.size() + stride - static_cast<std::uint32_t>(width), 0);
  }
  return out;
}

// An uncompressed TGA stored top row first, 24 or 32 bits per pixel; colour
// gives 0xAARRGGBB for each pixel, the alpha byte being the renderer's depth.
inline Bytes Tga(int width, int height, int bits, const std::function<std::uint32_t(int x, int y)>& colour) {
  Bytes out = TgaHeader({.width = std::uint16_t(width),
                         .height = std::uint16_t(height),
                         .bitsPerPixel = std::uint8_t(bits),
                         .descriptor = std::uint8_t(bits == 32 ? 0x28 : 0x20)});
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) Put(out, {{colour(x, y), bits / 8}});
  return out;
}

// An SPR# frame: a zero word, height and width, a zero byte and the
// features (the 10-byte header), then the tokens.
inline Bytes SprFrame(int height, int width, std::uint8_t features, const Bytes& tokens, bool bigEndian = false) {
  Bytes frame;
  Put(frame, {{0, 4}, {std::uint32_t(height), 2}, {std::uint32_t(width), 2}, {0, 1}, {features, 1}});
  if (bigEndian) {
    std::swap(frame[4], frame[5]);
    std::swap(frame[6], frame[7]);
  }
  Append(frame, tokens);
  return frame;
}

// A sprite list of whole frames, its offset table worked out: SPR2 lists
// (version 1000) and SPR# lists from version 502 share the layout.
inline Bytes SpriteList(std::uint32_t version, const std::vector<Bytes>& frames, std::int32_t paletteId) {
  Bytes list;
  Put(list, {{version, 4}, {frames.size(), 4}, {std::uint32_t(paletteId), 4}});
  std::size_t offset = 12 + 4 * frames.size();
  for (const Bytes& frame : frames) {
    Put(list, {{offset, 4}});
    offset += frame.size();
  }
  for (const Bytes& frame : frames) Append(list, frame);
  return list;
}
inline Bytes Sprite2List(const std::vector<Bytes>& frames, std::int32_t paletteId) {
  return SpriteList(1000, frames, paletteId);
}

inline std::string WriteFile(const TempDir& dir, const std::string& name, const Bytes& bytes) {
  return dir.Write(name, std::span<const unsigned char>(bytes.data(), bytes.size()));
}

inline std::string CorpusPath(const std::string& name) { return std::string(PIXMOLD_TEST_DATA) + "/images/" + name; }

// Lines "size W H", "colour I R G B" (palette images) and "X Y V..." with
// one value (an index) or four (red, green, blue, alpha) per pixel.
struct ImageDump {
  int width = 0, height = 0;
  std::vector<std::vector<int>> colours;  // r, g, b per palette entry
  std::vector<std::vector<int>> pixels;   // row by row, top row first
  const std::vector<int>& At(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

inline ImageDump LoadDump(const std::string& name) {
  ImageDump dump;
  std::ifstream in(CorpusPath(name));
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string word;  // "size", "colour", "#" or none
    if (!line.empty() && !std::isdigit(static_cast<unsigned char>(line[0]))) fields >> word;
    std::vector<int> v;
    for (int n; fields >> n;) v.push_back(n);
    if (word == "size") {
      dump.width = v.at(0);
      dump.height = v.at(1);
      dump.pixels.resize(static_cast<std::size_t>(dump.width * dump.height));
    } else if (word == "colour") {
      dump.colours.push_back({v.at(1), v.at(2), v.at(3)});
    } else if (word.empty() && v.size() > 2) {
      dump.pixels.at(static_cast<std::size_t>(v[1] * dump.width + v[0])) = {v.begin() + 2, v.end()};
    }
  }
  return dump;
}

// An offscreen's pixels, top row first.
inline std::vector<std::vector<int>> Pixels(const Offscreen& o) {
  std::vector<std::vector<int>> rows;
  for (int y = 0; y < o.Height(); ++y) rows.emplace_back(o.Row(y), o.Row(y) + o.Width());
  return rows;
}

}  // namespace pixmold::testing
