// Builders for the small image files the reader tests write byte by byte:
// the cases a general-purpose tool will not produce (broken headers, odd RLE
// records) are easiest to state as bytes.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace pixmold::testing {

using Bytes = std::vector<std::uint8_t>;

inline void PutU16(Bytes& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}
inline void PutU32(Bytes& out, std::uint32_t value) {
  PutU16(out, value & 0xFFFF);
  PutU16(out, value >> 16);
}
// Byte by byte: g++ 12 at -O3 mistakes a range insert into a fresh vector
// for an overflow.
inline void Append(Bytes& out, std::initializer_list<std::uint8_t> bytes) {
  for (std::uint8_t b : bytes) out.push_back(b);
}
inline void Append(Bytes& out, const Bytes& bytes) {
  for (std::uint8_t b : bytes) out.push_back(b);
}

struct BmpSpec {
  std::int32_t width = 1;
  std::int32_t height = 1;
  std::uint16_t planes = 1;
  std::uint16_t bitCount = 8;
  std::uint32_t compression = 0;
  std::uint32_t clrUsed = 0;
  std::uint32_t paletteEntries = 256;  // entries actually written
  std::uint32_t infoSize = 40;
};

// Headers and a palette whose entry i is (blue i, green 255 - i, red i / 2).
inline Bytes BmpHeaders(const BmpSpec& spec, std::uint32_t pixelBytes) {
  Bytes out;
  const std::uint32_t offset = 14 + 40 + spec.paletteEntries * 4;
  Append(out, {'B', 'M'});
  PutU32(out, offset + pixelBytes);
  PutU32(out, 0);
  PutU32(out, offset);
  PutU32(out, spec.infoSize);
  PutU32(out, static_cast<std::uint32_t>(spec.width));
  PutU32(out, static_cast<std::uint32_t>(spec.height));
  PutU16(out, spec.planes);
  PutU16(out, spec.bitCount);
  PutU32(out, spec.compression);
  PutU32(out, pixelBytes);
  PutU32(out, 2835);
  PutU32(out, 2835);
  PutU32(out, spec.clrUsed);
  PutU32(out, 0);
  for (std::uint32_t i = 0; i < spec.paletteEntries; ++i) {
    Append(out,
           {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i / 2), 0});
  }
  return out;
}

struct TgaSpec {
  std::uint8_t idLength = 0;
  std::uint8_t colourMapType = 0;
  std::uint8_t imageType = 2;
  std::uint16_t width = 1;
  std::uint16_t height = 1;
  std::uint8_t bitsPerPixel = 32;
  std::uint8_t descriptor = 0x28;  // 8 alpha bits, top-left origin
};

inline Bytes TgaHeader(const TgaSpec& spec) {
  Bytes out;
  Append(out, {spec.idLength, spec.colourMapType, spec.imageType, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  PutU16(out, spec.width);
  PutU16(out, spec.height);
  Append(out, {spec.bitsPerPixel, spec.descriptor});
  for (int i = 0; i < spec.idLength; ++i) out.push_back('i');
  return out;
}

}  // namespace pixmold::testing
