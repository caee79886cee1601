#include "imaging/bmp_format.h"

#include "base/xassert.h"

namespace pixmold {

bool ReadBmpFileHeader(ByteReader& reader, BmpFileHeader& out) {
  const std::size_t start = reader.Position();
  std::uint16_t reserved1 = 0, reserved2 = 0;
  if (reader.ReadU16LE(out.magic) && reader.ReadU32LE(out.fileSize) && reader.ReadU16LE(reserved1) &&
      reader.ReadU16LE(reserved2) && reader.ReadU32LE(out.pixelOffset)) {
    return true;
  }
  reader.Seek(start);
  return false;
}

bool ReadBmpInfoHeader(ByteReader& reader, BmpInfoHeader& out) {
  const std::size_t start = reader.Position();
  if (reader.Remaining() >= kBmpInfoHeaderSize && reader.ReadU32LE(out.biSize) && reader.ReadI32LE(out.biWidth) &&
      reader.ReadI32LE(out.biHeight) && reader.ReadU16LE(out.biPlanes) && reader.ReadU16LE(out.biBitCount) &&
      reader.ReadU32LE(out.biCompression) && reader.ReadU32LE(out.biSizeImage) &&
      reader.ReadI32LE(out.biXPelsPerMeter) && reader.ReadI32LE(out.biYPelsPerMeter) &&
      reader.ReadU32LE(out.biClrUsed) && reader.ReadU32LE(out.biClrImportant)) {
    return true;
  }
  reader.Seek(start);
  return false;
}

std::uint32_t BmpColourCount(const BmpInfoHeader& info) {
  if (info.biClrUsed != 0) return info.biClrUsed;
  const std::uint32_t bits = std::uint32_t{info.biPlanes} * info.biBitCount;
  if (bits >= 16) return 0;
  return std::uint32_t{1} << bits;
}

bool ProbeBmpPalette(ByteReader& reader, std::uint32_t& colourCount) {
  const std::size_t start = reader.Position();
  BmpFileHeader file;
  BmpInfoHeader info;
  if (!ReadBmpFileHeader(reader, file) || !ReadBmpInfoHeader(reader, info) || file.magic != kBmpMagic) {
    reader.Seek(start);
    return false;
  }
  if (info.biBitCount != 8) {
    XASSERT_FAIL("false", "too many bits per pixel retrieving palette");
    reader.Seek(start);
    return false;
  }
  colourCount = BmpColourCount(info);
  if (colourCount > 256) XASSERT_FAIL("*outNumColors <= 256", "palette too big");
  return true;
}

}  // namespace pixmold
