// An 8-bit indexed pixel buffer whose indices refer to a palette (the global
// palette unless another is given).
//
// The memory layout is that of a bottom-up device-independent bitmap, and
// every pixel rule of the build is written against it: rows are stored
// bottom row first, each padded to a multiple of 4 bytes; fBaseAddr points
// at the top row and fRowBytes is the negated stride, so pixel (x, y) of the
// port rectangle is fBaseAddr + y * fRowBytes + x whatever the layout.
//
// Lock and Unlock exist for the callers' symmetry only: the pixels stay
// addressable for the offscreen's whole life.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "imaging/drawing_port.h"
#include "imaging/rect.h"

namespace pixmold {

class PalWrap;

class Offscreen {
 public:
  // 16384 x 16384: larger sheets are not art, they are broken headers.
  static constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;

  Offscreen() = default;
  ~Offscreen();
  Offscreen(const Offscreen&) = delete;
  Offscreen& operator=(const Offscreen&) = delete;

  // Drops the image the offscreen held and makes a zeroed bitmap the size
  // of bounds (port rectangle (0, 0, height, width)) that refers to palette,
  // or to the global palette. True when a bitmap exists afterwards. The
  // memory of an earlier bitmap is reused when it is large enough.
  bool Create(const Rect& bounds, PalWrap* palette = nullptr);
  // The same for an image the caller is about to write over whole: only the
  // padding at the end of each row is zeroed. Reusing memory that already
  // holds pages and not clearing it are what makes a pass over many sheets
  // cost no more than decoding them.
  bool CreateForOverwrite(const Rect& bounds, PalWrap* palette = nullptr);
  // Takes pixels owned elsewhere, laid out bottom-up with the given stride;
  // only when nothing is allocated. The offscreen never frees them.
  bool Adopt(std::span<std::uint8_t> pixels, int width, int height, int stride);
  bool Exists() const { return fBaseAddr != nullptr; }
  // Frees the bitmap (unless adopted) and clears every field.
  void Dispose();
  // As Dispose, but keeps the memory for the next Create.
  void Discard();

  void Lock() {}
  void Unlock() {}

  std::uint8_t* GetBaseAddr() const;
  std::int32_t GetRowBytes() const { return fRowBytes; }
  const Rect& GetPortRect() const { return fPortRect; }
  // Width and height, or 0 and 0 when nothing exists.
  void GetSize(int& width, int& height) const;
  int Width() const { return Exists() ? fPortRect.Width() : 0; }
  int Height() const { return Exists() ? fPortRect.Height() : 0; }
  PalWrap* GetPalette() const { return fPalette; }

  // The first pixel of row y (0 is the top row).
  std::uint8_t* Row(int y) const { return fBaseAddr + static_cast<std::ptrdiff_t>(y) * fRowBytes; }
  std::uint8_t PixelAt(int x, int y) const { return Row(y)[x]; }

  // True when [address, address + length) lies inside the pixel memory.
  bool CheckPointer(const std::uint8_t* address, std::size_t length) const;

  // Makes this offscreen the current port until EndDrawing; the clip (the
  // port rectangle when none is given) is cut to the port rectangle.
  struct DrawTarget {
    std::uint8_t* base = nullptr;
    std::int32_t rowBytes = 0;
    Rect clip;
  };
  DrawTarget BeginDrawing(const Rect* clip = nullptr);
  void EndDrawing();

  // Mirrors the pixels in place: vertical swaps rows top for bottom,
  // horizontal reverses every row; vertical is done first.
  void Flip(bool horizontal, bool vertical);

  // Writes each pixel of rect (the port rectangle when none is given) as two
  // upper-case hex digits and a space, one line per row.
  bool Dump(const std::string& path, const Rect* rect = nullptr) const;

 private:
  void SetLayout(std::uint8_t* memory, int width, int height, int stride);
  bool Make(const Rect& bounds, PalWrap* palette, bool zeroed);

  bool fAdopted = false;
  std::unique_ptr<std::uint8_t[]> fWorld;
  std::size_t fWorldSize = 0;
  DrawingPort fSavedPort;
  bool fDrawing = false;
  Rect fPortRect;
  PalWrap* fPalette = nullptr;
  std::uint8_t* fBaseAddr = nullptr;
  std::int32_t fRowBytes = 0;
};

}  // namespace pixmold
