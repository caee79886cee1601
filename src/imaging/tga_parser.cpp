#include "imaging/tga_parser.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/byte_cursor.h"
#include "base/work_threads.h"
#include "base/xassert.h"
#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "imaging/row_pieces.h"

namespace pixmold {

namespace {

constexpr std::uint8_t kTypeTrueColour = 2;
constexpr std::uint8_t kTypeTrueColourRLE = 10;
constexpr std::uint8_t kDescriptorAlphaBits = 0x0F;
constexpr std::uint8_t kDescriptorRightToLeft = 0x10;
constexpr std::uint8_t kDescriptorTopToBottom = 0x20;
constexpr int kMaxPacketPixels = 128;

// Where decoded pixels go. Rows are written in file order to rows 0, 1, ...;
// the orientation is fixed afterwards by flipping.
struct Destination {
  std::uint8_t* colour = nullptr;
  std::ptrdiff_t colourRowBytes = 0;
  const PalWrap* palette = nullptr;
  std::uint8_t* alpha = nullptr;
  std::ptrdiff_t alphaRowBytes = 0;
};

// Pixels are stored blue, green, red (, alpha).
inline std::uint32_t TrueColourValue(const std::uint8_t* pixel, std::size_t bytes) {
  const std::uint32_t alpha = bytes == 4 ? std::uint32_t{pixel[3]} << 24 : 0;
  return alpha | std::uint32_t{pixel[2]} << 16 | std::uint32_t{pixel[1]} << 8 | pixel[0];
}

inline std::uint8_t Nearest(const PalWrap* palette, const std::uint8_t* pixel) {
  return palette->FindNearest(pixel[2], pixel[1], pixel[0]);
}

template <int kBytes, bool kColour, bool kAlpha>
void RenderUncompressed(ByteCursor& in, int width, int height, const Destination& to) {
  // A one-entry cache: renders repeat a colour along a row far more often
  // than not, and it starts at black, looked up once.
  std::uint32_t previousRGB = 0;
  std::uint8_t previousIndex = kColour ? to.palette->FindNearest(0, 0, 0) : 0;
  const std::size_t rowSize = static_cast<std::size_t>(width) * kBytes;
  for (int y = 0; y < height; ++y) {
    const std::span<const std::uint8_t> row = in.Bytes(rowSize);
    if (in.Failed()) throw TgaReadError(res_error::kShortRead);
    const std::uint8_t* pixel = row.data();
    if constexpr (kColour) {
      std::uint8_t* out = to.colour + y * to.colourRowBytes;
      for (int x = 0; x < width; ++x, pixel += kBytes) {
        const std::uint32_t rgb = pixel[0] | (std::uint32_t{pixel[1]} << 8) | (std::uint32_t{pixel[2]} << 16);
        if (rgb != previousRGB) {
          previousRGB = rgb;
          previousIndex = Nearest(to.palette, pixel);
        }
        out[x] = previousIndex;
      }
    }
    if constexpr (kAlpha) {
      std::uint8_t* out = to.alpha + y * to.alphaRowBytes;
      if constexpr (kBytes == 4 && std::endian::native == std::endian::little) {
        // Sixteen pixels a step: each alpha shifted down in its pixel, the
        // pixels packed twice to bytes. The compiler's own vector code for
        // the plain loop shuffled words about between the two packs, and
        // this step was an eighth of a whole build. The plain loop finishes
        // a row, and serves other machines.
        const std::uint8_t* source = row.data();
        int x = 0;
#if defined(__SSE2__)
        for (; x + 16 <= width; x += 16) {
          const std::uint8_t* at = source + std::size_t(x) * 4;
          const __m128i a = _mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), 24);
          const __m128i b = _mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16)), 24);
          const __m128i c = _mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 32)), 24);
          const __m128i d = _mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 48)), 24);
          _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                           _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d)));
        }
#endif
        for (; x < width; ++x) {
          std::uint32_t value;
          std::memcpy(&value, source + std::size_t(x) * 4, 4);
          out[x] = static_cast<std::uint8_t>(value >> 24);
        }
      } else {
        const std::uint8_t* source = row.data() + 3;
        for (int x = 0; x < width; ++x) out[x] = source[x * kBytes];
      }
    }
  }
}

template <int kBytes, bool kColour, bool kAlpha>
void RenderRLE(ByteCursor& in, int width, int height, const Destination& to) {
  // A packet may run across the end of a row: what is left of it carries
  // into the next row without a new packet header.
  int rawLeft = 0;
  int runLeft = 0;
  std::uint8_t runIndex = 0;
  std::uint8_t runAlpha = 0;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* colourRow = kColour ? to.colour + y * to.colourRowBytes : nullptr;
    std::uint8_t* alphaRow = kAlpha ? to.alpha + y * to.alphaRowBytes : nullptr;
    int x = 0;
    while (x < width) {
      if (rawLeft == 0 && runLeft == 0) {
        const std::uint8_t header = in.U8();
        if (in.Failed()) throw TgaReadError(res_error::kShortRead);
        const int count = (header & 0x7F) + 1;
        if (header & 0x80) {
          const std::span<const std::uint8_t> pixel = in.Bytes(kBytes);
          if (in.Failed()) throw TgaReadError(res_error::kShortRead);
          if constexpr (kColour) runIndex = Nearest(to.palette, pixel.data());
          if constexpr (kBytes == 4) runAlpha = pixel[3];
          runLeft = count;
        } else {
          rawLeft = count;
        }
      }
      if (runLeft > 0) {
        const int n = std::min(runLeft, width - x);
        if constexpr (kColour) std::memset(colourRow + x, runIndex, static_cast<std::size_t>(n));
        if constexpr (kAlpha) std::memset(alphaRow + x, runAlpha, static_cast<std::size_t>(n));
        x += n;
        runLeft -= n;
      } else {
        const int wanted = std::min(rawLeft, width - x);
        // Pixels that are there are written before a short read is raised.
        const int n =
            static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(wanted), in.Remaining() / kBytes));
        const std::span<const std::uint8_t> pixels = in.Bytes(static_cast<std::size_t>(n) * kBytes);
        const std::uint8_t* pixel = pixels.data();
        for (int i = 0; i < n; ++i, pixel += kBytes) {
          if constexpr (kColour) colourRow[x + i] = Nearest(to.palette, pixel);
          if constexpr (kAlpha) alphaRow[x + i] = pixel[3];
        }
        x += n;
        rawLeft -= n;
        if (n < wanted) throw TgaReadError(res_error::kShortRead);
      }
    }
  }
  if (rawLeft != 0 || runLeft != 0) XASSERT_FAIL("rcnt<0", "tga run past edge of bitmap");
}

// Uncompressed pixels straight from the file, a piece of rows at a time
// (row_pieces.h); colour lookups build the palette's index as they go,
// which only one thread at a time may do.
template <int kBytes, bool kColour, bool kAlpha>
void RenderUncompressedFromFile(const FlatFile& file, std::int64_t pixelOffset, int width, int height,
                                const Destination& to, int threads, bool bottomUp, const RowsDone& rowsDone) {
  const bool whole =
      ReadRowPieces([&](std::int64_t offset, std::span<std::uint8_t> bytes) { return file.ReadAt(offset, bytes) == 0; },
                    pixelOffset, static_cast<std::size_t>(width) * kBytes, height, kColour ? 1 : threads,
                    [&](int first, int rows, std::span<const std::uint8_t> bytes, int) {
                      Destination rowsTo = to;
                      if constexpr (kColour) rowsTo.colour += first * to.colourRowBytes;
                      if constexpr (kAlpha) rowsTo.alpha += first * to.alphaRowBytes;
                      ByteCursor in(bytes, ByteOrder::kLittle);
                      RenderUncompressed<kBytes, kColour, kAlpha>(in, width, rows, rowsTo);
                      if (rowsDone) rowsDone(bottomUp ? height - first - rows : first, rows);
                    });
  if (!whole) throw TgaReadError(res_error::kShortRead);
}

bool SizeMatches(const Offscreen& offscreen, int width, int height) {
  return offscreen.Width() == width && offscreen.Height() == height;
}

}  // namespace

ResErr TGAParser::Open(std::string_view path) {
  if (fFile.ValidFile() || fFromMemory) Close();
  ResErr err = fFile.Open(path);
  if (err != 0) return err;
  std::uint8_t header[kHeaderSize] = {};
  std::int32_t size = 0;
  err = fFile.GetSize(size);
  if (err == 0) err = fFile.Seek(0);
  if (err == 0) err = fFile.Read(header, kHeaderSize);
  if (err == 0) err = CheckHeader(header, static_cast<std::uint64_t>(size));
  if (err != 0) fFile.Close();
  return err;
}

ResErr TGAParser::OpenBytes(std::span<const std::uint8_t> fileBytes) {
  if (fFile.ValidFile() || fFromMemory) Close();
  if (fileBytes.size() < kHeaderSize) return res_error::kShortRead;
  const ResErr err = CheckHeader(fileBytes.first(kHeaderSize), fileBytes.size());
  if (err == 0) {
    fMemory = fileBytes;
    fFromMemory = true;
  }
  return err;
}

ResErr TGAParser::CheckHeader(std::span<const std::uint8_t> header, std::uint64_t fileSize) {
  ByteCursor in(header, ByteOrder::kLittle);
  const std::uint8_t idLength = in.U8(), colourMapType = in.U8(), imageType = in.U8();
  in.Skip(9);  // colour map spec and origin
  const std::uint16_t width = in.U16(), height = in.U16();
  const std::uint8_t bitsPerPixel = in.U8(), descriptor = in.U8();
  if (in.Failed()) return res_error::kShortRead;
  if (imageType != kTypeTrueColour && imageType != kTypeTrueColourRLE) return tga_error::kBadImageType;
  if (bitsPerPixel != 24 && bitsPerPixel != 32) return tga_error::kBadBitsPerPixel;
  if (bitsPerPixel == 32 && (descriptor & kDescriptorAlphaBits) != 8) return tga_error::kBadAlphaBits;
  if (colourMapType != 0) return tga_error::kColourMapped;

  const std::uint32_t pixelOffset = kHeaderSize + idLength;
  const bool rle = imageType == kTypeTrueColourRLE;
  const std::uint64_t bytesPerPixel = bitsPerPixel / 8;
  const std::uint64_t pixels = std::uint64_t{width} * height;
  const std::uint64_t fewestBytes =
      rle ? (pixels + kMaxPacketPixels - 1) / kMaxPacketPixels * (1 + bytesPerPixel) : pixels * bytesPerPixel;
  if (fileSize < pixelOffset || fileSize - pixelOffset < fewestBytes) return res_error::kShortRead;

  fIsRLE = rle;
  fIs24Bit = bitsPerPixel == 24;
  fPixelOffset = pixelOffset;
  fWidth = width;
  fHeight = height;
  fFlipX = (descriptor & kDescriptorRightToLeft) != 0;
  fFlipY = (descriptor & kDescriptorTopToBottom) == 0;
  fHasImage = true;
  return 0;
}

ResErr TGAParser::ReadPixelData(std::span<const std::uint8_t>& data) {
  if (fFromMemory) {
    data = fMemory.subspan(fPixelOffset);
    return 0;
  }
  ResErr err = fFile.Seek(static_cast<std::int32_t>(fPixelOffset));
  if (err != 0) return err;
  std::int32_t size = 0;
  err = fFile.GetSize(size);
  if (err != 0) return err;
  // Uncompressed data is exactly width x height pixels; run-length data
  // never needs more than a header byte per pixel on top.
  const std::uint64_t bytesPerPixel = fIs24Bit ? 3 : 4;
  const std::uint64_t pixels = std::uint64_t{fWidth} * fHeight;
  const std::uint64_t available = size > static_cast<std::int32_t>(fPixelOffset) ? size - fPixelOffset : 0;
  const std::uint64_t wanted = fIsRLE ? std::min(available, pixels * (1 + bytesPerPixel)) : pixels * bytesPerPixel;
  // Decoded straight from the file's pages where they can be mapped: a copy
  // of the largest input of a build would cost more than decoding it.
  err = fFile.View(static_cast<std::int32_t>(wanted), fPixelData);
  if (err != 0) throw TgaReadError(err);
  data = fPixelData.Bytes();
  return 0;
}

ResErr TGAParser::Close() {
  const ResErr err = fFromMemory ? 0 : fFile.Close();
  fMemory = {};
  fFromMemory = false;
  fPixelData = FileView();
  fHasImage = false;
  return err;
}

void TGAParser::GetSize(int& width, int& height) const {
  width = fHasImage ? fWidth : 0;
  height = fHasImage ? fHeight : 0;
}

ResErr TGAParser::Render(Offscreen* colour, Offscreen* alpha, int threads, const RowsDone& rowsDone) {
  if (!fHasImage) {
    XASSERT_FAIL("fHasImage", "no image file");
    return res_error::kNotOpen;
  }
  Destination to;
  if (colour) {
    colour->Lock();
    to.palette = colour->GetPalette();
    if (!to.palette) {
      XASSERT_FAIL("pal", "no palette");
      colour = nullptr;
    }
  }
  if (fIs24Bit) alpha = nullptr;
  for (Offscreen* offscreen : {colour, alpha}) {
    if (offscreen && !SizeMatches(*offscreen, fWidth, fHeight)) {
      XASSERT_FAIL("offscreen size == image size", "offscreen and tga image differ in size");
      return res_error::kShortWrite;
    }
  }
  // A file stored bottom row first is decoded into the rows from the bottom
  // up, so no pass is spent turning the image over afterwards.
  const int firstRow = fFlipY ? fHeight - 1 : 0;
  if (colour) {
    to.colour = colour->Row(firstRow);
    to.colourRowBytes = fFlipY ? -colour->GetRowBytes() : colour->GetRowBytes();
  }
  if (alpha) {
    alpha->Lock();
    to.alpha = alpha->Row(firstRow);
    to.alphaRowBytes = fFlipY ? -alpha->GetRowBytes() : alpha->GetRowBytes();
  }

  const int width = fWidth;
  const int height = fHeight;
  const bool fromFile = !fFromMemory && !fIsRLE;
  std::span<const std::uint8_t> data;
  if (!fromFile) {
    const ResErr err = ReadPixelData(data);
    if (err != 0) return err;
  }
  ByteCursor in(data, ByteOrder::kLittle);
  const auto render = [&]<int kBytes, bool kColour, bool kAlpha>() {
    if (fromFile) {
      // Rows turned left to right afterwards are final only then.
      RenderUncompressedFromFile<kBytes, kColour, kAlpha>(fFile, fPixelOffset, width, height, to, threads, fFlipY,
                                                          fFlipX ? RowsDone() : rowsDone);
    } else if (fIsRLE) {
      RenderRLE<kBytes, kColour, kAlpha>(in, width, height, to);
    } else {
      RenderUncompressed<kBytes, kColour, kAlpha>(in, width, height, to);
    }
  };
  if (fIs24Bit) {
    if (colour)
      render.operator()<3, true, false>();
    else
      render.operator()<3, false, false>();
  } else if (colour && alpha) {
    render.operator()<4, true, true>();
  } else if (colour) {
    render.operator()<4, true, false>();
  } else if (alpha) {
    render.operator()<4, false, true>();
  } else {
    render.operator()<4, false, false>();
  }

  if (fFlipX) {
    if (colour) colour->Flip(true, false);
    if (alpha) alpha->Flip(true, false);
  }
  if (colour) colour->Unlock();
  if (alpha) alpha->Unlock();
  fPixelData = FileView();
  if (rowsDone && (fFlipX || !fromFile) && height > 0) rowsDone(0, height);
  return 0;
}

ResErr TGAParser::RenderTrueColour(std::span<std::uint32_t> pixels) {
  if (!fHasImage) {
    XASSERT_FAIL("fHasImage", "no image file");
    return res_error::kNotOpen;
  }
  const std::size_t total = std::size_t{fWidth} * fHeight;
  if (pixels.size() != total) {
    XASSERT_FAIL("pixels.size() == width * height", "pixel buffer and tga image differ in size");
    return res_error::kShortWrite;
  }
  std::span<const std::uint8_t> data;
  const ResErr err = ReadPixelData(data);
  if (err != 0) return err;
  ByteCursor in(data, ByteOrder::kLittle);
  const std::size_t bytes = fIs24Bit ? 3 : 4;
  const auto value = [bytes](const std::uint8_t* p) { return TrueColourValue(p, bytes); };
  // Packets run on across row ends, so the image decodes as one stream of
  // pixels; only the orientation needs rows.
  std::size_t at = 0;
  while (at < total) {
    std::size_t count = total - at;
    bool run = false;
    if (fIsRLE) {
      const std::uint8_t header = in.U8();
      run = (header & 0x80) != 0;
      count = std::min<std::size_t>((header & 0x7F) + 1, total - at);
      if ((header & 0x7F) + 1u > total - at) XASSERT_FAIL("rcnt<0", "tga run past edge of bitmap");
    }
    const std::span<const std::uint8_t> source = in.Bytes(run ? bytes : count * bytes);
    if (in.Failed()) throw TgaReadError(res_error::kShortRead);
    if (run) {
      std::fill_n(pixels.begin() + static_cast<std::ptrdiff_t>(at), count, value(source.data()));
    } else {
      for (std::size_t i = 0; i < count; ++i) pixels[at + i] = value(source.data() + i * bytes);
    }
    at += count;
  }
  fPixelData = FileView();

  const std::size_t width = fWidth;
  if (fFlipX) {
    for (std::size_t row = 0; row < total; row += width) std::reverse(&pixels[row], &pixels[row] + width);
  }
  if (fFlipY) {
    for (std::size_t top = 0, bottom = total - width; total != 0 && top < bottom; top += width, bottom -= width) {
      std::swap_ranges(&pixels[top], &pixels[top] + width, &pixels[bottom]);
    }
  }
  return 0;
}

ResErr TGAParser::VisitTrueColourRows(
    const std::function<void(int y, std::span<const std::uint32_t> row, int slot)>& row, int threads, int bandRows) {
  if (!fHasImage) {
    XASSERT_FAIL("fHasImage", "no image file");
    return res_error::kNotOpen;
  }
  const int width = fWidth;
  const int height = fHeight;
  if (fIsRLE) {
    std::vector<std::uint32_t> pixels(std::size_t{fWidth} * fHeight);
    const ResErr err = RenderTrueColour(pixels);
    if (err != 0) return err;
    for (int y = 0; y < height; ++y) {
      row(y, std::span<const std::uint32_t>(pixels).subspan(std::size_t(y) * std::size_t(width), std::size_t(width)),
          0);
    }
    return 0;
  }
  const std::size_t bytes = fIs24Bit ? 3 : 4;
  const std::size_t rowSize = std::size_t(width) * bytes;
  std::span<const std::uint8_t> data;
  if (fFromMemory) {
    const ResErr err = ReadPixelData(data);
    if (err != 0) return err;
    if (data.size() < rowSize * std::size_t(height)) throw TgaReadError(res_error::kShortRead);
  }
  bandRows = std::max(bandRows, 1);
  // A file is read a piece of whole bands at a time (row_pieces.h): the
  // bands of a piece go to one thread, each still visited in order.
  const std::size_t bandBytes = std::size_t(bandRows) * std::max<std::size_t>(rowSize, 1);
  const int pieceRows =
      bandRows * static_cast<int>(fFromMemory ? 1 : std::max<std::size_t>(1, kRowPieceBytes / bandBytes));
  const std::size_t pieces = (std::size_t(height) + std::size_t(pieceRows) - 1) / std::size_t(pieceRows);
  const std::size_t slots = std::size_t(std::max(threads, 1));
  std::vector<std::vector<std::uint32_t>> rowsOfSlots(slots);
  // A piece's rows are one run of the file either way up, read into a
  // buffer of the slot's that serves every piece it takes.
  std::vector<std::vector<std::uint8_t>> piecesOfSlots(fFromMemory ? 0 : slots);
  std::atomic<bool> shortRead = false;
  RunOnThreads(threads, pieces, [&](std::size_t piece, int slot) {
    if (shortRead) return;
    std::vector<std::uint32_t>& values = rowsOfSlots[std::size_t(slot)];
    values.resize(std::size_t{fWidth});
    const int first = int(piece) * pieceRows;
    const int last = std::min(height, first + pieceRows);
    // File rows first .. last - 1 of the image, or the same rows counted
    // from the bottom.
    const std::size_t firstFileRow = std::size_t(fFlipY ? height - last : first);
    const std::uint8_t* rows = nullptr;
    if (fFromMemory) {
      rows = data.data() + firstFileRow * rowSize;
    } else {
      std::vector<std::uint8_t>& buffer = piecesOfSlots[std::size_t(slot)];
      buffer.resize(std::size_t(last - first) * rowSize);
      if (fFile.ReadAt(fPixelOffset + static_cast<std::int64_t>(firstFileRow * rowSize), buffer) != 0) {
        shortRead = true;
        return;
      }
      rows = buffer.data();
    }
    for (int y = first; y < last; ++y) {
      const std::size_t fileRow = std::size_t(fFlipY ? height - 1 - y : y);
      const std::uint8_t* pixel = rows + (fileRow - firstFileRow) * rowSize;
      if (bytes == 4 && std::endian::native == std::endian::little) {
        // Stored as the values are held: copied, not taken apart. A row of
        // no pixels has no bytes to copy, nor anywhere to copy them from.
        if (rowSize != 0) std::memcpy(values.data(), pixel, rowSize);
      } else {
        for (std::size_t x = 0; x < values.size(); ++x, pixel += bytes) values[x] = TrueColourValue(pixel, bytes);
      }
      if (fFlipX) std::reverse(values.begin(), values.end());
      row(y, values, slot);
    }
  });
  if (shortRead) throw TgaReadError(res_error::kShortRead);
  fPixelData = FileView();
  return 0;
}

}  // namespace pixmold
