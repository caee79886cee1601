// The headers of a Windows BMP file as the readers here use them: a 14-byte
// file header (the magic "BM" and, at byte 10, the offset of the pixel data)
// followed by an info header, all little-endian (the cursors handed to the
// readers below must read that order), then the colour table as four-byte
// entries stored blue, green, red, unused.
//
// The info header begins with its own size. The 40-byte one is the classic;
// paint programs and ImageMagick write 108 or 124 bytes by default, adding
// colour-space fields after the same first 40 bytes. For 8-bit images those
// fields change nothing we use, so the readers take the first 40 bytes and
// find the colour table after the size the file states. Any other size is
// a layout we do not know, read as if it were 40 bytes and reported.
//
// Only 8-bit palette images are accepted by the readers; the probe below is
// how the build decides whether a palette image also carries the pixels.
#pragma once

#include <cstdint>

#include "base/byte_cursor.h"

namespace pixmold {

inline constexpr std::uint32_t kBmpFileHeaderSize = 14;
inline constexpr std::uint32_t kBmpInfoHeaderSize = 40;
inline constexpr std::uint32_t kBmpLargestInfoHeaderSize = 124;
inline constexpr std::uint32_t kBmpRgb = 0;   // uncompressed
inline constexpr std::uint32_t kBmpRle8 = 1;  // run-length, 8 bits per pixel

struct BmpFileHeader {
  std::uint16_t magic = 0;  // "BM" read little-endian is 0x4D42
  std::uint32_t fileSize = 0;
  std::uint32_t pixelOffset = 0;
};

struct BmpInfoHeader {
  std::uint32_t biSize = 0;
  std::int32_t biWidth = 0;
  std::int32_t biHeight = 0;
  std::uint16_t biPlanes = 0;
  std::uint16_t biBitCount = 0;
  std::uint32_t biCompression = 0;
  std::uint32_t biSizeImage = 0;
  std::int32_t biXPelsPerMeter = 0;
  std::int32_t biYPelsPerMeter = 0;
  std::uint32_t biClrUsed = 0;
  std::uint32_t biClrImportant = 0;
};

inline constexpr std::uint16_t kBmpMagic = 0x4D42;

bool ReadBmpFileHeader(ByteCursor& reader, BmpFileHeader& out);
bool ReadBmpInfoHeader(ByteCursor& reader, BmpInfoHeader& out);

// Whether the info header is one whose first 40 bytes are the classic ones.
bool IsKnownBmpInfoHeaderSize(std::uint32_t biSize);

// Where the colour table starts: after the info header the file states when
// that is a known size, else after 40 bytes.
std::uint32_t BmpColourTableOffset(const BmpInfoHeader& info);

// biClrUsed, or when that is 0 the colours that planes x bits can index,
// kept to 16 bits as the format's readers always have (so 16 and more bits
// give 0 colours).
std::uint32_t BmpColourCount(const BmpInfoHeader& info);

// The palette probe: reads both headers; for an 8-bit "BM" file sets
// colourCount, reports a count above 256 ("palette too big") and returns true
// with the reader at the colour table (see BmpColourTableOffset; reading
// from there fails when the file ends first). Otherwise (too short, not "BM", or
// another depth, which is reported) the reader goes back to where it was and
// the result is false with colourCount untouched.
bool ProbeBmpPalette(ByteCursor& reader, std::uint32_t& colourCount);

}  // namespace pixmold
