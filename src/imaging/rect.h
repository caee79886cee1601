// The rectangle of the drawing model: four signed 16-bit values in the order
// top, left, bottom, right. Right and bottom are exclusive, so width is
// right - left; a rectangle whose top is not above its bottom, or whose left
// is not before its right, is empty and contains nothing.
#pragma once

#include <cstdint>

namespace pixmold {

struct Rect {
  std::int16_t top = 0;
  std::int16_t left = 0;
  std::int16_t bottom = 0;
  std::int16_t right = 0;

  // Argument order follows the classic drawing library: left, top, right, bottom.
  static Rect Make(int left, int top, int right, int bottom);

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool IsEmpty() const { return top >= bottom || left >= right; }

  void Set(int newLeft, int newTop, int newRight, int newBottom);
  // Moves horizontally by dh and vertically by dv.
  void Offset(int dh, int dv);
  // Shrinks by dh on the left and right and by dv on the top and bottom
  // (negative values grow); a result with no area becomes the empty rectangle.
  void Inset(int dh, int dv);
  bool Contains(int h, int v) const { return left <= h && h < right && top <= v && v < bottom; }
  // True when this rectangle lies wholly inside outer (an empty one never does).
  bool IsInside(const Rect& outer) const;

  friend bool operator==(const Rect&, const Rect&) = default;
};

// Sets out to the overlap of a and b and returns whether they meet; when they
// do not, out is the empty rectangle (all zero), as the platform's own
// intersection leaves it.
bool IntersectRect(const Rect& a, const Rect& b, Rect& out);
// The smallest rectangle enclosing both; an empty input does not count.
Rect UnionRect(const Rect& a, const Rect& b);

}  // namespace pixmold
