#include "imaging/bmp_format.h"

#include "base/xassert.h"

namespace pixmold {

// Each reader works on a copy of the cursor and moves the caller's only when
// the whole header was there, so a failed read leaves it where it was.
bool ReadBmpFileHeader(ByteCursor& reader, BmpFileHeader& out) {
  ByteCursor in = reader;
  BmpFileHeader header;
  header.magic = in.U16();
  header.fileSize = in.U32();
  in.Skip(4);  // two reserved words
  header.pixelOffset = in.U32();
  if (in.Failed()) return false;
  out = header;
  reader = in;
  return true;
}

bool ReadBmpInfoHeader(ByteCursor& reader, BmpInfoHeader& out) {
  ByteCursor in = reader;
  BmpInfoHeader info;
  info.biSize = in.U32();
  info.biWidth = in.I32();
  info.biHeight = in.I32();
  info.biPlanes = in.U16();
  info.biBitCount = in.U16();
  info.biCompression = in.U32();
  info.biSizeImage = in.U32();
  info.biXPelsPerMeter = in.I32();
  info.biYPelsPerMeter = in.I32();
  info.biClrUsed = in.U32();
  info.biClrImportant = in.U32();
  if (in.Failed()) return false;
  out = info;
  reader = in;
  return true;
}

bool IsKnownBmpInfoHeaderSize(std::uint32_t biSize) {
  return biSize == kBmpInfoHeaderSize || biSize == 108 || biSize == kBmpLargestInfoHeaderSize;
}

std::uint32_t BmpColourTableOffset(const BmpInfoHeader& info) {
  return kBmpFileHeaderSize + (IsKnownBmpInfoHeaderSize(info.biSize) ? info.biSize : kBmpInfoHeaderSize);
}

std::uint32_t BmpColourCount(const BmpInfoHeader& info) {
  if (info.biClrUsed != 0) return info.biClrUsed;
  const std::uint32_t bits = std::uint32_t{info.biPlanes} * info.biBitCount;
  if (bits >= 16) return 0;
  return std::uint32_t{1} << bits;
}

bool ProbeBmpPalette(ByteCursor& reader, std::uint32_t& colourCount) {
  ByteCursor in = reader;
  BmpFileHeader file;
  BmpInfoHeader info;
  if (!ReadBmpFileHeader(in, file) || !ReadBmpInfoHeader(in, info) || file.magic != kBmpMagic) return false;
  if (info.biBitCount != 8) {
    XASSERT_FAIL("false", "too many bits per pixel retrieving palette");
    return false;
  }
  colourCount = BmpColourCount(info);
  if (colourCount > 256) XASSERT_FAIL("*outNumColors <= 256", "palette too big");
  // The table may lie past the bytes at hand; the cursor then fails, and so
  // do the caller's reads of the table.
  in.Seek(reader.Position() + BmpColourTableOffset(info));
  reader = in;
  return true;
}

}  // namespace pixmold
