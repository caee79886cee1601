#include "imaging/rect.h"

#include <gtest/gtest.h>

namespace pixmold {
namespace {

TEST(Rect, SetTakesLeftTopRightBottomAndMeasures) {
  const Rect r = Rect::Make(2, 3, 10, 7);
  EXPECT_EQ(r.top, 3);
  EXPECT_EQ(r.left, 2);
  EXPECT_EQ(r.bottom, 7);
  EXPECT_EQ(r.right, 10);
  EXPECT_EQ(r.Width(), 8);
  EXPECT_EQ(r.Height(), 4);
}

TEST(Rect, EmptyWhenNoArea) {
  struct Case {
    Rect rect;
    bool empty;
  } cases[] = {
      {Rect::Make(0, 0, 1, 1), false}, {Rect::Make(0, 0, 0, 1), true}, {Rect::Make(0, 0, 1, 0), true},
      {Rect::Make(5, 0, 4, 1), true},  {Rect::Make(0, 5, 1, 4), true}, {Rect{}, true},
  };
  for (const auto& c : cases) EXPECT_EQ(c.rect.IsEmpty(), c.empty) << c.rect.left << "," << c.rect.top;
}

TEST(Rect, ContainsIsHalfOpen) {
  const Rect r = Rect::Make(1, 1, 3, 3);
  EXPECT_TRUE(r.Contains(1, 1));
  EXPECT_TRUE(r.Contains(2, 2));
  EXPECT_FALSE(r.Contains(3, 2));
  EXPECT_FALSE(r.Contains(2, 3));
  EXPECT_FALSE(r.Contains(0, 1));
}

TEST(Rect, OffsetAndInset) {
  Rect r = Rect::Make(0, 0, 10, 6);
  r.Offset(3, -2);
  EXPECT_EQ(r, Rect::Make(3, -2, 13, 4));
  r.Inset(2, 1);
  EXPECT_EQ(r, Rect::Make(5, -1, 11, 3));
  r.Inset(4, 0);
  EXPECT_EQ(r, Rect{});
}

TEST(Rect, IntersectAndUnion) {
  Rect out;
  EXPECT_TRUE(IntersectRect(Rect::Make(0, 0, 10, 10), Rect::Make(5, 2, 20, 8), out));
  EXPECT_EQ(out, Rect::Make(5, 2, 10, 8));
  EXPECT_FALSE(IntersectRect(Rect::Make(0, 0, 5, 5), Rect::Make(5, 0, 9, 5), out));
  EXPECT_EQ(out, Rect{});
  EXPECT_EQ(UnionRect(Rect::Make(0, 0, 2, 2), Rect::Make(5, 6, 7, 8)), Rect::Make(0, 0, 7, 8));
  EXPECT_EQ(UnionRect(Rect{}, Rect::Make(5, 6, 7, 8)), Rect::Make(5, 6, 7, 8));
}

TEST(Rect, IsInside) {
  const Rect outer = Rect::Make(0, 0, 10, 10);
  EXPECT_TRUE(Rect::Make(0, 0, 10, 10).IsInside(outer));
  EXPECT_FALSE(Rect::Make(0, 0, 10, 11).IsInside(outer));
  EXPECT_FALSE(Rect{}.IsInside(outer));
}

}  // namespace
}  // namespace pixmold
