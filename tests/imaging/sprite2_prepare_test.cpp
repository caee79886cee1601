#include "imaging/sprite2_prepare.h"

#include <gtest/gtest.h>

#include <tuple>

#include "sprite_test_images.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

using testing::FromRows;
using testing::TestImage;

TEST(Sprite2Prepare, DepthCleanUpTiers) {
  // Colour 0 is clear (the top-left pixel); 1 is a coloured pixel. The depth
  // rows give 255 for "no depth yet".
  // Each case: colour rows, depth rows, the pixel to look at and its depth afterwards.
  const std::tuple<const char*, std::vector<std::vector<int>>, std::vector<std::vector<int>>, int, int, int> cases[] = {
      {"left and right", {{0, 0, 0}, {0, 1, 0}, {0, 0, 0}}, {{255, 9, 255}, {10, 255, 20}, {255, 9, 255}}, 1, 1, 15},
      {"rounds half up", {{0, 0, 0}, {0, 1, 0}}, {{255, 255, 255}, {10, 255, 11}}, 1, 1, 11},
      {"a 255 neighbour counts with its value", {{0, 0, 0}, {0, 1, 0}}, {{255, 255, 255}, {10, 255, 255}}, 1, 1, 133},
      // Left and right give 0, so above and below join; all four are counted.
      {"above and below", {{0, 0, 0}, {0, 1, 0}, {0, 0, 0}}, {{9, 30, 9}, {0, 255, 0}, {9, 40, 9}}, 1, 1, 18},
      {"diagonals", {{0, 0, 0}, {0, 1, 0}, {0, 0, 0}}, {{8, 0, 16}, {0, 255, 0}, {24, 0, 32}}, 1, 1, 10},
      {"edge has fewer neighbours", {{0, 0}, {1, 0}}, {{255, 255}, {255, 0}}, 0, 1, 128},
      {"clear pixels are left alone", {{0, 0, 0}, {0, 0, 0}}, {{255, 255, 255}, {10, 255, 20}}, 1, 1, 255},
      {"pixels with a depth are left alone", {{0, 0, 0}, {0, 1, 0}}, {{255, 255, 255}, {10, 77, 20}}, 1, 1, 77},
      // The first coloured pixel sees 255 on both sides and keeps it; the next sees it and the 100 beyond.
      {"in place, left to right", {{0, 1, 1, 1}}, {{255, 255, 255, 100}}, 2, 0, 178},
  };
  for (const auto& [name, colourRows, depthRows, x, y, expected] : cases) {
    TestImage colour = FromRows(colourRows), depth = FromRows(depthRows);
    EXPECT_EQ(CleanUpDepth(colour.View(), depth.MutView()), 0) << name;
    EXPECT_EQ(depth.Get(x, y), expected) << name;
  }
}

TEST(Sprite2Prepare, LonelyPixelIsReportedAndKeepsNoDepth) {
  TestImage colour = FromRows({{0, 0, 0}, {0, 1, 0}, {0, 0, 0}});
  TestImage depth = FromRows({{0, 0, 0}, {0, 255, 0}, {0, 0, 0}});
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(CleanUpDepth(colour.View(), depth.MutView()), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Could not find neighboring z-value in z-clean up...throwing away pixel\n");
  EXPECT_EQ(depth.Get(1, 1), 255);
  // A depth of another size is reported and left alone; none at all is fine.
  testing::AssertCapture asserts;
  TestImage none(0, 0);
  CleanUpDepth(colour.View(), none.MutView());
  EXPECT_EQ(asserts.Count(), 0u);
  TestImage other = FromRows({{255, 255, 255}});
  CleanUpDepth(colour.View(), other.MutView());
  EXPECT_TRUE(asserts.Saw("(w_ == 0 && h_ == 0) pixel and z-buffers are different dimensions!"));
  EXPECT_EQ(other.Get(1, 0), 255);
}

TEST(Sprite2Prepare, AlphaPreparationClearsInvisiblePixels) {
  TestImage colour = FromRows({{0, 1, 1, 1}});
  TestImage depth = FromRows({{255, 50, 60, 255}});
  TestImage alpha = FromRows({{0, 7, 8, 0}});
  PrepareAlpha(colour.View(), depth.MutView(), alpha.View(), 5);
  // Alpha 7 quantises to 0 (cleared), 8 to 1 (kept). The last pixel got a
  // depth from the clean-up and then lost it to its alpha of 0.
  EXPECT_EQ(std::vector<int>({depth.Get(1, 0), depth.Get(2, 0), depth.Get(3, 0)}), std::vector<int>({255, 60, 255}));
}

}  // namespace
}  // namespace pixmold
