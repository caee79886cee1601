// Rendered sheets for the build benchmarks, written to disk row by row so
// that making a large one costs little memory: a 32-bit TGA whose alpha is
// the depth, and the 8-bit palette image that gives the colours. The two
// agree, as a palette image made from its render does.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace pixmold::bench {

inline void PutLE(std::vector<char>& out, std::uint32_t value, int size) {
  for (int i = 0; i < size; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

// shape answers Index(x, y) (palette index, 0 where nothing is drawn) and
// Depth(x, y) (255 where nothing is drawn).
template <typename Shape>
void WriteSheetFiles(const std::string& base, int width, int height, const Shape& shape) {
  std::ofstream tga(base + ".tga", std::ios::binary);
  std::vector<char> header = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  PutLE(header, static_cast<std::uint32_t>(width), 2);
  PutLE(header, static_cast<std::uint32_t>(height), 2);
  header.push_back(32);
  header.push_back(0x28);
  tga.write(header.data(), static_cast<std::streamsize>(header.size()));
  std::vector<char> row;
  for (int y = 0; y < height; ++y) {
    row.clear();
    for (int x = 0; x < width; ++x) {
      PutLE(row, std::uint32_t{shape.Depth(x, y)} << 24 | (shape.Index(x, y) * 0x010203u & 0xFFFFFFu), 4);
    }
    tga.write(row.data(), static_cast<std::streamsize>(row.size()));
  }

  std::ofstream bmp(base + ".bmp", std::ios::binary);
  const std::uint32_t stride = (static_cast<std::uint32_t>(width) + 3) & ~3u;
  const std::uint32_t offset = 14 + 40 + 1024;
  const std::uint32_t pixelBytes = stride * static_cast<std::uint32_t>(height);
  header = {'B', 'M'};
  for (std::uint32_t field : {offset + pixelBytes, 0u, offset, 40u}) PutLE(header, field, 4);
  PutLE(header, static_cast<std::uint32_t>(width), 4);
  PutLE(header, static_cast<std::uint32_t>(height), 4);
  PutLE(header, 1, 2);
  PutLE(header, 8, 2);
  for (std::uint32_t field : {0u, pixelBytes, 2835u, 2835u, 0u, 0u}) PutLE(header, field, 4);
  for (std::uint32_t i = 0; i < 256; ++i) PutLE(header, (i * 0x010203u) & 0xFFFFFFu, 4);
  bmp.write(header.data(), static_cast<std::streamsize>(header.size()));
  for (int y = height - 1; y >= 0; --y) {
    row.assign(stride, 0);
    for (int x = 0; x < width; ++x) row[static_cast<std::size_t>(x)] = static_cast<char>(shape.Index(x, y));
    bmp.write(row.data(), static_cast<std::streamsize>(row.size()));
  }
}

}  // namespace pixmold::bench
