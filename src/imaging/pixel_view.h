// A view of 8-bit pixels with a signed row stride. The sprite encoders read
// offscreens through it: an offscreen is stored bottom-up, so its top row is
// the last one in memory and its stride is negative, and a view maps onto
// that layout without copying. Views never own their pixels.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/offscreen.h"

namespace pixmold {

template <typename Byte>
struct BasicPixelView {
  Byte* top = nullptr;          // first pixel of the top row
  std::ptrdiff_t rowBytes = 0;  // signed distance from one row to the next below it
  int width = 0;
  int height = 0;

  bool IsEmpty() const { return top == nullptr || width <= 0 || height <= 0; }
  Byte* Row(int y) const { return top + static_cast<std::ptrdiff_t>(y) * rowBytes; }
  Byte& At(int x, int y) const { return Row(y)[x]; }
  bool SameSize(const BasicPixelView<const std::uint8_t>& other) const {
    return width == other.width && height == other.height;
  }
  operator BasicPixelView<const std::uint8_t>() const { return {top, rowBytes, width, height}; }
};

using PixelView = BasicPixelView<const std::uint8_t>;
using MutablePixelView = BasicPixelView<std::uint8_t>;

// The pixels of an offscreen; an empty view when it has none.
inline PixelView ViewOf(const Offscreen& offscreen) {
  if (!offscreen.Exists()) return {};
  return {offscreen.Row(0), offscreen.GetRowBytes(), offscreen.Width(), offscreen.Height()};
}
inline MutablePixelView MutableViewOf(Offscreen& offscreen) {
  if (!offscreen.Exists()) return {};
  return {offscreen.Row(0), offscreen.GetRowBytes(), offscreen.Width(), offscreen.Height()};
}

}  // namespace pixmold
