// Reads the true-colour TGA renders of the art pipeline into 8-bit
// offscreens: every pixel's colour becomes the nearest index of the colour
// offscreen's palette, and a 32-bit image's alpha byte (the renderer's depth
// map) is copied unchanged into a second offscreen.
//
// Only what the renderer writes is accepted: image types 2 (uncompressed)
// and 10 (run-length), 24 or 32 bits per pixel, no colour map, 8 alpha bits
// for 32-bit images; either origin. The result is always top row first,
// left to right.
//
// Open also checks that the file holds at least the pixel data its header
// promises (for run-length data, the fewest packets that could cover the
// image), so a short or lying header fails before anyone allocates
// offscreens for it; the error is that of a short read.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "filelib/file_system.h"
#include "imaging/row_pieces.h"
#include "resfile/flat_file.h"
#include "resfile/res_types.h"

namespace pixmold {

class Offscreen;

namespace tga_error {
inline constexpr ResErr kBadBitsPerPixel = 1200;
inline constexpr ResErr kBadImageType = 1201;
inline constexpr ResErr kBadAlphaBits = 1202;
inline constexpr ResErr kColourMapped = 1203;
}  // namespace tga_error

// A read error met while rendering; carries the file layer's code.
class TgaReadError : public std::runtime_error {
 public:
  explicit TgaReadError(ResErr code) : std::runtime_error("tga read failed"), fCode(code) {}
  ResErr Code() const { return fCode; }

 private:
  ResErr fCode;
};

class TGAParser {
 public:
  static constexpr std::size_t kHeaderSize = 18;

  TGAParser() = default;
  // Reads through a given file library (tests, tools).
  explicit TGAParser(CTGFileManager& manager) : fFile(manager) {}

  // Opens an image file: 0, a TGA error code, or the file layer's code.
  ResErr Open(std::string_view path);
  // The same over bytes already in memory; the parser keeps a view of them,
  // so they must outlive it (or the next Open or Close).
  ResErr OpenBytes(std::span<const std::uint8_t> fileBytes);
  // The file's close result (-49 when none is open); 0 for bytes in memory.
  ResErr Close();

  // The header's size, or 0 and 0 without an image.
  void GetSize(int& width, int& height) const;
  bool Is24Bit() const { return fIs24Bit; }
  bool HasImage() const { return fHasImage; }

  // Decodes the pixels into colour (may be null) and, for 32-bit images,
  // alpha (may be null). Each offscreen given must have the image's size.
  // Returns 0 or the file's seek error; a read error (pixel data that runs
  // out) raises TgaReadError with the file layer's code.
  // Uncompressed pixels in a file are read a few rows at a time into a
  // buffer that stays in the processor's cache, and with threads > 1 and
  // no colour wanted those pieces go to that many threads at once; the
  // result is the same at any count. rowsDone, when given, is called once
  // for every row of the offscreens, with pieces of rows (first, count) as
  // soon as they hold their final values, from the thread that decoded them.
  ResErr Render(Offscreen* colour, Offscreen* alpha, int threads = 1, const RowsDone& rowsDone = {});
  // Decodes the pixels as they are, before any palette: one 0xAARRGGBB value
  // per pixel (alpha 0 for 24-bit images), top row first, left to right.
  // pixels must hold width x height values. Returns and raises as Render.
  ResErr RenderTrueColour(std::span<std::uint32_t> pixels);
  // The same values handed over a row at a time, top row first: row(y,
  // values, slot). Uncompressed images need only a piece of rows of memory
  // per thread, and with threads > 1 their rows go to that many threads at once
  // in bands of bandRows rows, each band visited in order by one thread that
  // slot names (0 .. threads - 1). Run-length data, whose packets do not
  // start at rows, is decoded whole first and visited on this thread alone.
  ResErr VisitTrueColourRows(const std::function<void(int y, std::span<const std::uint32_t> row, int slot)>& row,
                             int threads = 1, int bandRows = 1);

 private:
  ResErr CheckHeader(std::span<const std::uint8_t> header, std::uint64_t fileSize);
  ResErr ReadPixelData(std::span<const std::uint8_t>& data);

  FlatFile fFile;
  bool fFromMemory = false;
  std::span<const std::uint8_t> fMemory;  // the image, when opened from bytes
  FileView fPixelData;                    // run-length pixel data, read whole to be decoded
  bool fIsRLE = false;
  bool fHasImage = false;
  bool fIs24Bit = false;
  std::uint32_t fPixelOffset = 0;
  std::uint16_t fWidth = 0;
  std::uint16_t fHeight = 0;
  bool fFlipX = false;
  bool fFlipY = false;
};

}  // namespace pixmold
