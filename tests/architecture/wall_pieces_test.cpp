#include "architecture/wall_pieces.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "support/assert_capture.h"

namespace pixmold {
namespace {

std::string Text(const Rect& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

TEST(WallPieces, ViewSizesDoubleWithEachScale) {
  struct Case {
    int scale, tile, unit, height, image;
  };
  const Case cases[] = {{1, 32, 1, 96, 34}, {2, 64, 2, 192, 68}, {3, 128, 4, 384, 136}};
  for (const Case& c : cases) {
    const ViewSize size = GetViewSize(c.scale);
    EXPECT_EQ(std::tie(size.tileWidth, size.unit, size.wallHeight, size.wallImageWidth),
              std::tie(c.tile, c.unit, c.height, c.image))
        << c.scale;
  }
  testing::AssertCapture asserts;
  EXPECT_EQ(GetViewSize(0).tileWidth, 0);
  EXPECT_TRUE(asserts.Saw("(inScale >= kMinScale && inScale <= kMaxScale) bad scale"));
}

TEST(WallPieces, RectanglesStandWhereTheSheetLayoutPutsThem) {
  struct Case {
    const char* what;
    Rect rect;
    const char* expected;  // left, top, right, bottom
  };
  const Case cases[] = {
      {"large wall image 0", WallImageRects(3)[0], "4,4,132,380"},
      {"large wall image 2", WallImageRects(3)[2], "140,388,268,764"},
      {"large wall image 4", WallImageRects(3)[4], "140,772,268,1148"},
      {"medium wall image 0", WallImageRects(2)[0], "546,2,610,190"},
      {"medium wall image 3", WallImageRects(2)[3], "546,770,610,958"},
      {"small wall image 0", WallImageRects(1)[0], "817,1,849,95"},
      {"small wall image 4", WallImageRects(1)[4], "851,769,883,863"},
      {"small style piece 0", StylePieces(1, false)[0], "554,22,570,89"},
      {"small style piece 3", StylePieces(1, false)[3], "648,39,652,97"},
      {"medium style piece 2", StylePieces(2, false)[2], "444,20,508,140"},
      {"large style piece 1", StylePieces(3, false)[1], "87,16,151,288"},
      {"large style piece 3", StylePieces(3, false)[3], "311,87,327,319"},
      // The transition piece reaches up by 11/20/41 more and stands 5/12/24 higher.
      {"small transition piece 3", StylePieces(1, true)[3], "648,23,652,92"},
      {"medium transition piece 3", StylePieces(2, true)[3], "513,23,521,159"},
      {"large transition piece 3", StylePieces(3, true)[3], "311,22,327,295"},
      {"transition piece 0 unchanged", StylePieces(3, true)[0], "13,16,77,287"},
      {"small thick piece 0 (row 0, column 1)", ThickWallPieces(1)[0], "38,2,70,18"},
      {"small thick piece 7 (row 1, column 0)", ThickWallPieces(1)[7], "2,77,34,93"},
      {"large thick piece 45 (row 5, column 6)", ThickWallPieces(3)[45], "872,1508,1000,1572"},
      {"small floor cell", FloorCell(1), "195,1,226,17"},
      {"medium floor cell", FloorCell(2), "130,1,193,33"},
      {"large floor cell", FloorCell(3), "1,1,128,65"},
  };
  for (const Case& c : cases) EXPECT_EQ(Text(c.rect), c.expected) << c.what;
}

TEST(WallPieces, ThickWallPiecesNeverOverlap) {
  for (int scale = 1; scale <= 3; ++scale) {
    const auto pieces = ThickWallPieces(scale);
    for (std::size_t a = 0; a < pieces.size(); ++a) {
      EXPECT_EQ(pieces[a].Width(), 32 << (scale - 1));
      for (std::size_t b = a + 1; b < pieces.size(); ++b) {
        Rect overlap;
        EXPECT_FALSE(IntersectRect(pieces[a], pieces[b], overlap)) << scale << ": " << a << " and " << b;
      }
    }
  }
}

TEST(WallPieces, BadScalesAreReportedAndGiveEmptyRectangles) {
  testing::AssertCapture asserts;
  EXPECT_TRUE(StylePieces(4, false)[0].IsEmpty());
  EXPECT_TRUE(asserts.Saw("(false) bad scale"));
  asserts.Clear();
  EXPECT_TRUE(ThickWallPieces(0)[0].IsEmpty());
  EXPECT_TRUE(asserts.Saw("(scale >= 1 && scale <= 3) bad scale"));
  asserts.Clear();
  EXPECT_TRUE(FloorCell(0).IsEmpty());
  EXPECT_TRUE(asserts.Saw("(false) bad scale!"));
}

}  // namespace
}  // namespace pixmold
