// The rectangle the sprite code works in: four signed 16-bit values, top,
// left, bottom, right, in pixel coordinates of an offscreen; empty when
// top >= bottom or left >= right.
#pragma once

#include <algorithm>
#include <cstdint>

namespace pixmold {

struct PixelRect {
  std::int16_t top = 0;
  std::int16_t left = 0;
  std::int16_t bottom = 0;
  std::int16_t right = 0;

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Empty() const { return top >= bottom || left >= right; }
  bool operator==(const PixelRect&) const = default;

  // The common part of two rectangles; all zeros when they do not meet.
  static PixelRect Intersect(const PixelRect& a, const PixelRect& b) {
    PixelRect r{std::max(a.top, b.top), std::max(a.left, b.left), std::min(a.bottom, b.bottom),
                std::min(a.right, b.right)};
    return r.Empty() ? PixelRect{} : r;
  }
  bool Contains(const PixelRect& inner) const {
    return inner.top >= top && inner.left >= left && inner.bottom <= bottom && inner.right <= right;
  }
};

inline PixelRect MakePixelRect(int left, int top, int right, int bottom) {
  return PixelRect{static_cast<std::int16_t>(top), static_cast<std::int16_t>(left), static_cast<std::int16_t>(bottom),
                   static_cast<std::int16_t>(right)};
}

}  // namespace pixmold
