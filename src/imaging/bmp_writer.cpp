#include "imaging/bmp_writer.h"

#include "base/xassert.h"
#include "imaging/bmp_format.h"

namespace pixmold {
namespace {

void PutLittle(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

std::vector<std::uint8_t> EncodeBmp8(int width, int height, std::span<const std::uint8_t> indices,
                                     const std::array<PaletteEntry, 256>& colours) {
  if (width < 1 || height < 1 || width > kMaxBmpSide || height > kMaxBmpSide ||
      indices.size() != std::size_t(width) * std::size_t(height)) {
    XASSERT_FAIL("sides in 1..65535 and one index per pixel", "bad palette image size");
    return {};
  }
  const std::uint32_t stride = (static_cast<std::uint32_t>(width) + 3) & ~3u;
  const std::uint32_t pixelOffset = kBmpFileHeaderSize + kBmpInfoHeaderSize + 256 * 4;
  // 65535 rows of 65536 bytes stay below 4 GiB, so the sizes fit their fields.
  const std::uint32_t pixelBytes = stride * static_cast<std::uint32_t>(height);

  std::vector<std::uint8_t> out;
  out.reserve(std::size_t{pixelOffset} + pixelBytes);
  PutLittle(out, kBmpMagic, 2);
  PutLittle(out, pixelOffset + pixelBytes, 4);
  PutLittle(out, 0, 4);  // two reserved words
  PutLittle(out, pixelOffset, 4);

  PutLittle(out, kBmpInfoHeaderSize, 4);
  PutLittle(out, static_cast<std::uint32_t>(width), 4);
  PutLittle(out, static_cast<std::uint32_t>(height), 4);  // positive: bottom row first
  PutLittle(out, 1, 2);                                   // planes
  PutLittle(out, 8, 2);                                   // bits per pixel
  PutLittle(out, kBmpRgb, 4);
  PutLittle(out, pixelBytes, 4);
  PutLittle(out, 2835, 4);  // 72 dots per inch, as image editors write
  PutLittle(out, 2835, 4);
  PutLittle(out, 256, 4);  // colours used
  PutLittle(out, 0, 4);    // all of them important

  for (const PaletteEntry& colour : colours) {
    out.push_back(colour.blue);
    out.push_back(colour.green);
    out.push_back(colour.red);
    out.push_back(0);
  }
  for (int y = height - 1; y >= 0; --y) {
    const auto row = indices.subspan(std::size_t(y) * std::size_t(width), std::size_t(width));
    out.insert(out.end(), row.begin(), row.end());
    out.resize(out.size() + (stride - static_cast<std::uint32_t>(width)), 0);
  }
  return out;
}

}  // namespace pixmold
