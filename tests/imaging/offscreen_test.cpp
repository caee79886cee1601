#include "imaging/offscreen.h"

#include <gtest/gtest.h>

#include <vector>

#include "image_corpus.h"
#include "imaging/pal_wrap.h"
#include "sprite_test_images.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

using testing::AssertCapture;
using testing::Pixels;
using Rows = std::vector<std::vector<int>>;

// An offscreen of the global palette whose pixel (x, y) is y * 16 + x.
void Pattern(Offscreen& o, int width, int height) {
  ASSERT_TRUE(o.Create(Rect::Make(0, 0, width, height)));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) o.Row(y)[x] = static_cast<std::uint8_t>(y * 16 + x);
}

TEST(Offscreen, StrideIsWidthRoundedUpToFourAndRowsAreBottomUp) {
  testing::CapturedReport report;
  for (int width : {1, 4, 13, 17}) {
    Offscreen o;
    Pattern(o, width, 3);
    const int stride = (width + 3) / 4 * 4;
    EXPECT_EQ(o.GetRowBytes(), -stride) << width;
    // The top row is the last one in memory: the bottom row starts the block.
    EXPECT_EQ(o.Row(2) + 2 * stride, o.GetBaseAddr());
    EXPECT_TRUE(o.CheckPointer(o.Row(2), 3 * stride));
    EXPECT_FALSE(o.CheckPointer(o.Row(2), 3 * stride + 1));
    EXPECT_FALSE(o.CheckPointer(o.Row(2) - 1, 1));
  }
  EXPECT_EQ(report.stream.str(), "");  // no stride warning
}

TEST(Offscreen, RejectsEmptyAndHugeBoundsAndCountsPaletteReferences) {
  AssertCapture capture;
  PalWrap palette;
  Offscreen o;
  EXPECT_FALSE(o.Create(Rect::Make(0, 0, 0, 10), &palette));
  EXPECT_TRUE(capture.Saw("could not create dib section"));
  EXPECT_FALSE(o.Create(Rect::Make(0, 0, 32767, 32767), &palette));
  EXPECT_TRUE(capture.Saw("larger than 16384 x 16384"));
  EXPECT_EQ(palette.GetRefCount(), 0);
  {
    Offscreen a;
    ASSERT_TRUE(a.Create(Rect::Make(0, 0, 2, 2), &palette));
    ASSERT_TRUE(a.Create(Rect::Make(0, 0, 3, 3), &palette));  // re-creating releases the first reference
    EXPECT_EQ(palette.GetRefCount(), 1);
  }
  EXPECT_EQ(palette.GetRefCount(), 0);
}

TEST(Offscreen, Flips) {
  const struct {
    bool horizontal, vertical;
    Rows rows;
  } cases[] = {{false, true, {{32, 33, 34}, {16, 17, 18}, {0, 1, 2}}},
               {true, false, {{2, 1, 0}, {18, 17, 16}, {34, 33, 32}}},
               {true, true, {{34, 33, 32}, {18, 17, 16}, {2, 1, 0}}}};
  for (const auto& c : cases) {
    Offscreen o;
    Pattern(o, 3, 3);
    o.Flip(c.horizontal, c.vertical);
    EXPECT_EQ(Pixels(o), c.rows) << c.horizontal << c.vertical;
  }
}

TEST(Offscreen, AdoptTakesBottomUpMemoryAndWarnsOfOddStrides) {
  testing::CapturedReport report;
  std::vector<std::uint8_t> memory = {1, 2, 3, 9, 9, 4, 5, 6, 9, 9};  // bottom row first, stride 5
  {
    Offscreen o;
    ASSERT_TRUE(o.Adopt(memory, 3, 2, 5));
    EXPECT_EQ(Pixels(o), (Rows{{4, 5, 6}, {1, 2, 3}}));
    EXPECT_EQ(report.stream.str(), "Warning: fRowBytes isn't a multiple of 4...strange behavior may result.\n");
  }
  EXPECT_EQ(memory[0], 1);  // still ours after the offscreen is gone
}

}  // namespace
}  // namespace pixmold
