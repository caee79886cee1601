#include "imaging/rect.h"

#include <algorithm>

namespace pixmold {

namespace {

std::int16_t Narrow(int value) { return static_cast<std::int16_t>(value); }

}  // namespace

Rect Rect::Make(int left, int top, int right, int bottom) {
  Rect r;
  r.Set(left, top, right, bottom);
  return r;
}

void Rect::Set(int newLeft, int newTop, int newRight, int newBottom) {
  top = Narrow(newTop);
  left = Narrow(newLeft);
  bottom = Narrow(newBottom);
  right = Narrow(newRight);
}

void Rect::Offset(int dh, int dv) {
  left = Narrow(left + dh);
  right = Narrow(right + dh);
  top = Narrow(top + dv);
  bottom = Narrow(bottom + dv);
}

void Rect::Inset(int dh, int dv) {
  Set(left + dh, top + dv, right - dh, bottom - dv);
  if (IsEmpty()) *this = Rect{};
}

bool Rect::IsInside(const Rect& outer) const {
  return !IsEmpty() && left >= outer.left && top >= outer.top && right <= outer.right && bottom <= outer.bottom;
}

bool IntersectRect(const Rect& a, const Rect& b, Rect& out) {
  Rect overlap = Rect::Make(std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                            std::min(a.bottom, b.bottom));
  if (a.IsEmpty() || b.IsEmpty() || overlap.IsEmpty()) {
    out = Rect{};
    return false;
  }
  out = overlap;
  return true;
}

Rect UnionRect(const Rect& a, const Rect& b) {
  if (a.IsEmpty()) return b;
  if (b.IsEmpty()) return a;
  return Rect::Make(std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                    std::max(a.bottom, b.bottom));
}

}  // namespace pixmold
