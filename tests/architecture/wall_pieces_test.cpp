#include "architecture/wall_pieces.h"

#include <gtest/gtest.h>

#include <string>

#include "support/assert_capture.h"

namespace pixmold {
namespace {

std::string Text(const Rect& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

TEST(WallPieces, RectanglesStandWhereTheSheetLayoutPutsThem) {
  struct Case {
    Rect rect;
    const char* expected;  // left, top, right, bottom
  };
  const Case cases[] = {
      {WallImageRects(3)[0], "4,4,132,380"},
      {WallImageRects(3)[4], "140,772,268,1148"},
      {WallImageRects(2)[3], "546,770,610,958"},
      {WallImageRects(1)[2], "851,385,883,479"},
      {StylePieces(1, false)[0], "554,22,570,89"},
      {StylePieces(2, false)[2], "444,20,508,140"},
      {StylePieces(3, false)[3], "311,87,327,319"},
      // The transition piece reaches 11/20/41 higher and stands 5/12/24 higher.
      {StylePieces(1, true)[3], "648,23,652,92"},
      {StylePieces(2, true)[3], "513,23,521,159"},
      {StylePieces(3, true)[3], "311,22,327,295"},
      {StylePieces(3, true)[0], "13,16,77,287"},
      {ThickWallPieces(1)[0], "38,2,70,18"},           // row 0, column 1
      {ThickWallPieces(1)[7], "2,77,34,93"},           // row 1, column 0
      {ThickWallPieces(3)[45], "872,1508,1000,1572"},  // row 5, column 6
      {FloorCell(1), "195,1,226,17"},
      {FloorCell(2), "130,1,193,33"},
      {FloorCell(3), "1,1,128,65"},
  };
  for (const Case& c : cases) EXPECT_EQ(Text(c.rect), c.expected);
}

TEST(WallPieces, BadScalesAreReportedAndGiveEmptyRectangles) {
  testing::AssertCapture asserts;
  EXPECT_TRUE(StylePieces(4, false)[0].IsEmpty());
  EXPECT_TRUE(ThickWallPieces(0)[0].IsEmpty());
  EXPECT_TRUE(FloorCell(0).IsEmpty());
  EXPECT_EQ(GetViewSize(4).unit, 0);
  EXPECT_EQ(asserts.Count(), 4u);
  EXPECT_TRUE(asserts.Saw("(false) bad scale!"));
}

}  // namespace
}  // namespace pixmold
