#include "imaging/bmp_parser.h"

#include <algorithm>
#include <cstring>

#include "base/byte_cursor.h"
#include "base/xassert.h"
#include "imaging/image_file.h"
#include "imaging/offscreen.h"

namespace pixmold {

namespace {

constexpr std::uint8_t kRleEndOfLine = 0;
constexpr std::uint8_t kRleEndOfBitmap = 1;
constexpr std::uint8_t kRleDelta = 2;

// The headers and the largest colour table any accepted file has.
constexpr std::size_t kLongestHead = kBmpFileHeaderSize + kBmpLargestInfoHeaderSize + 4 * BMPParser::kMaxColours;

}  // namespace

int BMPParser::Open(const std::string& path) {
  Close();
  std::int64_t fileSize = 0;
  auto head = ReadImageFilePrefix(path, kLongestHead, &fileSize);
  if (!head) {
    XASSERT_FAIL("FALSE", "couldn't open bmp file");
    return 1;
  }
  fPath = path;
  fFileBytes = std::move(*head);
  return Parse(fFileBytes, static_cast<std::uint64_t>(fileSize));
}

int BMPParser::OpenBytes(std::span<const std::uint8_t> fileBytes) {
  Close();
  return Parse(fileBytes, fileBytes.size());
}

std::uint64_t BMPParser::GetNeededFileSize() const {
  if (!fOpen || mInfo.biCompression != kBmpRgb || mInfo.biWidth <= 0 || mInfo.biHeight <= 0) return 0;
  const std::uint64_t stride = (static_cast<std::uint64_t>(mInfo.biWidth) + 3) / 4 * 4;
  return fPixelPosition + stride * static_cast<std::uint64_t>(mInfo.biHeight);
}

std::optional<BMPParser::FileRows> BMPParser::GetFileRows() const {
  const std::uint64_t needed = GetNeededFileSize();
  if (mInfo.biBitCount != 8 || fPath.empty() || needed == 0 || fFileSize < needed || fBytes.size() >= fFileSize) {
    return std::nullopt;
  }
  return FileRows{fPath, static_cast<std::int64_t>(fPixelPosition),
                  (static_cast<std::size_t>(mInfo.biWidth) + 3) / 4 * 4, mInfo.biWidth, mInfo.biHeight};
}

bool BMPParser::HaveWholeFile() {
  if (fBytes.size() >= fFileSize || fPath.empty()) return true;
  auto whole = ViewImageFile(fPath);
  if (!whole) return false;
  fWholeFile = std::move(*whole);
  fBytes = fWholeFile.Bytes();
  fFileSize = fBytes.size();
  return true;
}

int BMPParser::Parse(std::span<const std::uint8_t> fileBytes, std::uint64_t fileSize) {
  fBytes = fileBytes;
  fFileSize = fileSize;
  ByteCursor in(fBytes, ByteOrder::kLittle);
  BmpFileHeader file;
  if (!ReadBmpFileHeader(in, file)) {
    XASSERT_FAIL("FALSE", "couldn't read BMP header");
    Close();
    return 1;
  }
  if (file.magic != kBmpMagic) {
    XASSERT_FAIL("FALSE", "Not a BMP file");
    Close();
    return 1;
  }
  if (!ReadBmpInfoHeader(in, mInfo)) {
    XASSERT_FAIL("FALSE", "Couldn't read bitmap header");
    Close();
    return 1;
  }
  if (!IsKnownBmpInfoHeaderSize(mInfo.biSize)) {
    XASSERT_FAIL("mInfo.bmiHeader.biSize == sizeof(mInfo.bmiHeader)", "huh?");
  }
  if (mInfo.biPlanes != 1) XASSERT_FAIL("mInfo.bmiHeader.biPlanes == 1", "too many color planes");
  if (mInfo.biBitCount != 8) XASSERT_FAIL("mInfo.bmiHeader.biBitCount == 8", "not an 8-bit file");
  if (!(mInfo.biCompression == kBmpRgb || mInfo.biCompression == kBmpRle8)) {
    XASSERT_FAIL("mInfo.bmiHeader.biCompression == BI_RGB || mInfo.bmiHeader.biCompression == BI_RLE8",
                 "not rgb or rgb-rle");
  }
  fColourCount = BmpColourCount(mInfo);
  if (fColourCount > kMaxColours) {
    XASSERT_FAIL("FALSE", "too many colors");
    Close();
    return 1;
  }
  fColours.fill(PaletteEntry{});
  in.Seek(BmpColourTableOffset(mInfo));
  for (std::uint32_t i = 0; i < fColourCount; ++i) {
    const std::uint8_t blue = in.U8(), green = in.U8(), red = in.U8();
    in.Skip(1);
    if (in.Failed()) {
      XASSERT_FAIL("FALSE", "couldn't read palette");
      Close();
      return 1;
    }
    fColours[i] = PaletteEntry{red, green, blue, 0};
  }
  if (file.pixelOffset >= fFileSize) XASSERT_FAIL("!feof(mFile)", "premature eof reading BMP");
  fPixelPosition = static_cast<std::size_t>(std::min<std::uint64_t>(file.pixelOffset, fFileSize));
  fOpen = true;
  return 0;
}

void BMPParser::Close() {
  fPath.clear();
  fFileBytes = {};
  fWholeFile = FileView();
  fBytes = {};
  fFileSize = 0;
  fOpen = false;
  fPixelPosition = 0;
  fColourCount = 0;
  mInfo = BmpInfoHeader{};
  fColours.fill(PaletteEntry{});
}

void BMPParser::GetSize(int& width, int& height) const {
  width = static_cast<std::int16_t>(mInfo.biWidth & 0xFFFF);
  height = static_cast<std::int16_t>(mInfo.biHeight & 0xFFFF);
}

bool BMPParser::ReadPixels(Offscreen& offscreen, int threads) {
  if (!fOpen || mInfo.biBitCount != 8) return false;
  if (mInfo.biCompression != kBmpRgb && mInfo.biCompression != kBmpRle8) {
    XASSERT_FAIL("FALSE", "unknown compression scheme");
    return false;
  }
  if (!offscreen.Exists() || offscreen.Width() != mInfo.biWidth || offscreen.Height() != mInfo.biHeight) {
    XASSERT_FAIL("offscreen size == image size", "offscreen and bmp image differ in size");
    return false;
  }
  // Rows the file holds whole need none of the checks a short file does.
  const std::uint64_t needed = GetNeededFileSize();
  if (!fPath.empty() && needed != 0 && fFileSize >= needed && fBytes.size() < fFileSize) {
    offscreen.Lock();
    const bool complete = ReadUncompressedFromFile(offscreen, mInfo.biWidth, mInfo.biHeight, threads);
    offscreen.Unlock();
    if (!complete) XASSERT_FAIL("FALSE", "fread failed");
    return complete;
  }
  if (!HaveWholeFile()) {
    XASSERT_FAIL("FALSE", "fread failed");
    return false;
  }
  offscreen.Lock();
  const bool complete = mInfo.biCompression == kBmpRgb ? ReadUncompressed(offscreen, mInfo.biWidth, mInfo.biHeight)
                                                       : ReadRLE8(offscreen, mInfo.biWidth, mInfo.biHeight);
  offscreen.Unlock();
  return complete;
}

bool BMPParser::ReadUncompressed(Offscreen& offscreen, int width, int height) {
  ByteCursor in(fBytes, ByteOrder::kLittle);
  in.Seek(fPixelPosition);
  if (width <= 0) return true;
  const auto rowSize = static_cast<std::size_t>(width);
  const std::size_t padding = (4 - rowSize % 4) % 4;
  // File rows run bottom-up: the first goes to the offscreen's last row.
  for (int row = height - 1; row >= 0; --row) {
    // A short last row still shows what it has.
    const std::size_t have = std::min(rowSize, in.Remaining());
    std::memcpy(offscreen.Row(row), in.Bytes(have).data(), have);
    if (have < rowSize) {
      XASSERT_FAIL("FALSE", "fread failed");
      return false;
    }
    in.Skip(std::min(padding, in.Remaining()));
  }
  return true;
}

bool BMPParser::ReadUncompressedFromFile(Offscreen& offscreen, int width, int height, int threads) {
  const std::size_t rowSize = static_cast<std::size_t>(width);
  const std::size_t stride = (rowSize + 3) / 4 * 4;
  // File rows run bottom-up: file row r is the offscreen's row height - 1 - r.
  return ReadImageFileRows(fPath, static_cast<std::int64_t>(fPixelPosition), stride, height, threads,
                           [&](int first, int rows, std::span<const std::uint8_t> bytes, int) {
                             for (int r = 0; r < rows; ++r) {
                               std::memcpy(offscreen.Row(height - 1 - (first + r)),
                                           bytes.data() + static_cast<std::size_t>(r) * stride, rowSize);
                             }
                           });
}

bool BMPParser::ReadRLE8(Offscreen& offscreen, int width, int height) {
  ByteCursor in(fBytes, ByteOrder::kLittle);
  in.Seek(fPixelPosition);
  int x = 0;
  int row = height - 1;
  bool clipped = false;
  // Some writers run a row's last run on through its padding, which lands
  // harmlessly in the padding of a bottom-up bitmap; only runs past the
  // padded row, or above the top row, are reported. Positions are kept
  // within one step of the bitmap so no amount of data can overflow them,
  // and nothing outside the image is written.
  const int paddedWidth = (width + 3) / 4 * 4;
  auto advance = [&](int count) { x = std::min(x + count, paddedWidth + 1); };
  auto write = [&](const std::uint8_t* source, std::uint8_t value, int count) {
    const int n = row >= 0 ? std::clamp(width - x, 0, count) : 0;
    if (n > 0) {
      std::uint8_t* out = offscreen.Row(row) + x;
      if (source) {
        std::memcpy(out, source, static_cast<std::size_t>(n));
      } else {
        std::memset(out, value, static_cast<std::size_t>(n));
      }
    }
    if (row < 0 || x + count > paddedWidth) clipped = true;
    advance(count);
  };
  bool complete = false;
  for (;;) {
    const std::uint8_t count = in.U8(), value = in.U8();
    if (in.Failed()) break;
    if (count > 0) {
      write(nullptr, value, count);
      continue;
    }
    if (value == kRleEndOfLine) {
      x = 0;
      row = std::max(row - 1, -1);
    } else if (value == kRleEndOfBitmap) {
      complete = true;
      break;
    } else if (value == kRleDelta) {
      const std::uint8_t dx = in.U8(), dy = in.U8();
      if (in.Failed()) break;
      advance(dx);
      row = std::max(row - dy, -1);
    } else {
      const auto literal = in.Bytes(value);
      if (in.Failed()) break;
      write(literal.data(), 0, value);
      if (value & 1) in.Skip(std::min<std::size_t>(1, in.Remaining()));
    }
  }
  if (!complete) XASSERT_FAIL("FALSE", "read failed reading RLE BMP");
  if (clipped) XASSERT_FAIL("FALSE", "RLE BMP data past edge of bitmap");
  return complete && !clipped;
}

}  // namespace pixmold
