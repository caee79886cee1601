// A view of 8-bit pixels with a signed row stride. The sprite encoders read
// offscreens through it: an offscreen is stored bottom-up, so its top row is
// the last one in memory and its stride is negative, and a view maps onto
// that layout without copying. Views never own their pixels.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixmold {

template <typename Byte>
struct BasicPixelView {
  Byte* top = nullptr;          // first pixel of the top row
  std::ptrdiff_t rowBytes = 0;  // signed distance from one row to the next below it
  int width = 0;
  int height = 0;

  bool Empty() const { return top == nullptr || width <= 0 || height <= 0; }
  Byte* Row(int y) const { return top + static_cast<std::ptrdiff_t>(y) * rowBytes; }
  Byte& At(int x, int y) const { return Row(y)[x]; }
  bool SameSize(const BasicPixelView<const std::uint8_t>& other) const {
    return width == other.width && height == other.height;
  }
  operator BasicPixelView<const std::uint8_t>() const { return {top, rowBytes, width, height}; }
};

using PixelView = BasicPixelView<const std::uint8_t>;
using MutablePixelView = BasicPixelView<std::uint8_t>;

}  // namespace pixmold
