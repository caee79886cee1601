#include "app/preview_scale.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/preview_render.h"

namespace pixmold {
namespace {

TEST(PreviewScale, FitIsTheLargestWholeFactorThatFits) {
  struct Case {
    PixelSize pane, picture;
    int factor;
  };
  const Case cases[] = {
      {{600, 500}, {150, 120}, 4},        // both sides allow 4
      {{600, 500}, {150, 170}, 2},        // the height decides
      {{600, 500}, {200, 100}, 3},        // the width decides
      {{100, 100}, {150, 150}, 1},        // too large already: shown 1:1, the pane scrolls
      {{600, 500}, {0, 0}, 1},            // no picture
      {{0, 0}, {150, 150}, 1},            // no pane yet
      {{20000, 20000}, {10, 10}, 16},     // a tiny picture stops at the largest factor
      {{20000, 20000}, {2000, 10}, 8},    // no side beyond 16384 pixels
      {{60000, 60000}, {2000, 2000}, 2},  // no more than 32 Mpixels
  };
  for (const Case& test : cases) {
    EXPECT_EQ(FitFactor(test.pane, test.picture), test.factor)
        << test.pane.width << "x" << test.pane.height << " " << test.picture.width << "x" << test.picture.height;
  }
}

TEST(PreviewScale, ZoomStepsFromTheFactorShownAndFitReturns) {
  const PixelSize pane{600, 500}, picture{150, 120};
  PreviewScale scale;
  EXPECT_TRUE(scale.Fitting());
  std::vector<int> seen;
  auto step = [&](auto change) {
    change();
    seen.push_back(scale.Factor(pane, picture));
  };
  step([&] { scale.ZoomIn(pane, picture); });   // 4 -> 5
  step([&] { scale.ZoomOut(pane, picture); });  // 5 -> 4
  step([&] { scale.ShowActualSize(); });        // 1
  step([&] { scale.ZoomOut(pane, picture); });  // stays 1
  step([&] { scale.ZoomIn(pane, picture); });   // 2
  EXPECT_FALSE(scale.Fitting());
  step([&] { scale.FitToPane(); });  // back to 4, and following the pane again
  EXPECT_EQ(seen, (std::vector<int>{5, 4, 1, 1, 2, 4}));
  EXPECT_TRUE(scale.Fitting());
  EXPECT_EQ(scale.Factor({300, 250}, picture), 2);

  for (int i = 0; i < 20; ++i) scale.ZoomIn(pane, picture);
  EXPECT_EQ(scale.Factor(pane, picture), kMaxPreviewFactor);
  // A fixed factor a larger picture cannot take is lowered for it.
  EXPECT_EQ(scale.Factor(pane, {4000, 4000}), 1);
}

TEST(PreviewScale, EachPixelBecomesASquareBlock) {
  // Two RGBA pixels side by side.
  const PreviewImage pair{2, 1, 4, {1, 2, 3, 4, 5, 6, 7, 8}};
  const PreviewImage big = ScaleByWholeFactor(pair, 3);
  ASSERT_EQ(big.width, 6);
  ASSERT_EQ(big.height, 3);
  ASSERT_EQ(big.channels, 4);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 6; ++x) {
      const std::uint8_t first = big.pixels[static_cast<std::size_t>((y * 6 + x) * 4)];
      EXPECT_EQ(first, x < 3 ? 1 : 5) << x << "," << y;
    }
  }
  // Grey, one byte a pixel, in columns.
  const PreviewImage column{1, 2, 1, {10, 20}};
  EXPECT_EQ(ScaleByWholeFactor(column, 2).pixels, (std::vector<std::uint8_t>{10, 10, 10, 10, 20, 20, 20, 20}));
  EXPECT_EQ(ScaleByWholeFactor(column, 0).pixels, column.pixels) << "a factor below 1 is 1";
  // Pixels that do not match the size are no image.
  EXPECT_EQ(ScaleByWholeFactor(PreviewImage{3, 3, 4, {1, 2, 3}}, 2).width, 0);
}

// The outline's pixels in a picture, as rows of '#' (touched) and '.'.
std::vector<std::string> Outline(const PreviewImage& image) {
  std::vector<std::string> rows;
  for (int y = 0; y < image.height; ++y) {
    std::string row;
    for (int x = 0; x < image.width; ++x) {
      row += image.pixels[static_cast<std::size_t>((y * image.width + x) * 4 + 3)] != 0 ? '#' : '.';
    }
    rows.push_back(row);
  }
  return rows;
}

PreviewImage Clear(int width, int height) {
  return PreviewImage{width, height, 4, std::vector<std::uint8_t>(static_cast<std::size_t>(width * height * 4), 0)};
}

TEST(FloorTile, IsATwoToOneDiamondCentredOnTheReferencePoint) {
  EXPECT_EQ(FloorTileHalfWidth(3), 64);  // 128 pixels across at the large zoom
  EXPECT_EQ(FloorTileHalfHeight(3), 32);
  EXPECT_EQ(FloorTileHalfWidth(1), 16);

  // The small tile (32 x 16) around the point (20, 10) of a 40 x 20 picture.
  PreviewImage picture = Clear(40, 20);
  DrawFloorTileOutline(picture, {20, 10, 1, 0, 0, 40, 20}, 1);
  const std::vector<std::string> rows = Outline(picture);
  // Each edge climbs one row every two columns, so the tips are two
  // columns wide on each side of the centre.
  EXPECT_EQ(rows[2], std::string(18, '.') + "####" + std::string(18, '.'));  // top tip
  EXPECT_EQ(rows[9], "....##" + std::string(28, '.') + "##....");            // side tips
  EXPECT_EQ(rows[10], rows[9]);
  EXPECT_EQ(rows[17], rows[2]);  // bottom tip
  EXPECT_EQ(rows[3], std::string(16, '.') + "##....##" + std::string(16, '.'));
  EXPECT_EQ(rows[1], std::string(40, '.'));
  EXPECT_EQ(rows[18], std::string(40, '.'));

  // Enlarged twice, the same diamond twice as large, still one pixel thick.
  PreviewImage twice = Clear(80, 40);
  DrawFloorTileOutline(twice, {20, 10, 1, 0, 0, 40, 20}, 2);
  const std::vector<std::string> big = Outline(twice);
  EXPECT_EQ(big[4], std::string(38, '.') + "####" + std::string(38, '.'));
  EXPECT_EQ(big[19], "........##" + std::string(60, '.') + "##........");
  EXPECT_EQ(big[35], big[4]);
}

TEST(FloorTile, StaysInsideItsCellAndBlendsFaintly) {
  PreviewImage picture = Clear(40, 20);
  // Black and opaque on the left half.
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 20; ++x) picture.pixels[static_cast<std::size_t>((y * 40 + x) * 4 + 3)] = 255;
  }
  DrawFloorTileOutline(picture, {20, 10, 1, 10, 0, 30, 20}, 1);
  auto pixel = [&](int x, int y) {
    const std::size_t at = static_cast<std::size_t>((y * 40 + x) * 4);
    return std::vector<int>{picture.pixels[at], picture.pixels[at + 1], picture.pixels[at + 3]};
  };
  EXPECT_EQ(pixel(4, 9), (std::vector<int>{0, 0, 255})) << "the side tip lies outside the cell";
  EXPECT_EQ(pixel(35, 9), (std::vector<int>{0, 0, 0}));
  // Over black: a dark grey, still opaque; over nothing: faint white.
  EXPECT_EQ(pixel(19, 2), (std::vector<int>{88, 88, 255}));
  EXPECT_EQ(pixel(20, 2), (std::vector<int>{255, 255, 88}));

  // RenderPreview enlarges, then outlines at the factor it could use.
  const PreviewImage shown = RenderPreview(Clear(40, 20), {{20, 10, 1, 0, 0, 40, 20}}, 2);
  PreviewImage expected = Clear(80, 40);
  DrawFloorTileOutline(expected, {20, 10, 1, 0, 0, 40, 20}, 2);
  ASSERT_EQ(shown.width, 80);
  EXPECT_EQ(shown.pixels, expected.pixels);
}

}  // namespace
}  // namespace pixmold
