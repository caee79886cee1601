#include "imaging/offscreen.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "sprite_test_images.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

// An offscreen of the global palette whose pixel (x, y) is y * 16 + x.
void Pattern(Offscreen& o, int width, int height) {
  ASSERT_TRUE(o.Create(Rect::Make(0, 0, width, height)));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) o.Row(y)[x] = static_cast<std::uint8_t>(y * 16 + x);
}

TEST(Offscreen, StrideRowsAndBounds) {
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
    // Flipping both ways turns the picture around.
    o.Flip(true, true);
    EXPECT_EQ(o.PixelAt(0, 0), 32 + width - 1);
    EXPECT_EQ(o.PixelAt(width - 1, 2), 0);
  }
  EXPECT_EQ(report.stream.str(), "");  // no stride warning
  // Empty and huge bounds are refused.
  testing::AssertCapture capture;
  Offscreen o;
  EXPECT_FALSE(o.Create(Rect::Make(0, 0, 0, 10)));
  EXPECT_TRUE(capture.Saw("could not create dib section"));
  EXPECT_FALSE(o.Create(Rect::Make(0, 0, 32767, 32767)));
  EXPECT_TRUE(capture.Saw("larger than 16384 x 16384"));
}

// Memory is kept from one image to the next, so what an earlier image left
// there must never show: Create clears all of it, and an image made to be
// written over still has clear row padding (files and hashes take whole
// rows). Discard forgets the image; Dispose also gives the memory back.
TEST(Offscreen, ReusedMemoryShowsNothingOfTheLastImage) {
  Offscreen o;
  ASSERT_TRUE(o.CreateForOverwrite(Rect::Make(0, 0, 40, 30)));
  const std::uint8_t* first = o.Row(29);
  for (int y = 0; y < 30; ++y) std::fill(o.Row(y), o.Row(y) + 40, std::uint8_t{0xAB});
  o.Discard();
  EXPECT_FALSE(o.Exists());
  EXPECT_EQ(o.Width(), 0);

  ASSERT_TRUE(o.Create(Rect::Make(0, 0, 13, 20)));
  EXPECT_EQ(o.Row(19), first);  // the same memory, not a new allocation
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 16; ++x) ASSERT_EQ(o.Row(y)[x], 0) << x << "," << y;
  }
  for (int y = 0; y < 20; ++y) std::fill(o.Row(y), o.Row(y) + 16, std::uint8_t{0xCD});
  ASSERT_TRUE(o.CreateForOverwrite(Rect::Make(0, 0, 13, 20)));
  for (int y = 0; y < 20; ++y) {
    for (int x = 13; x < 16; ++x) ASSERT_EQ(o.Row(y)[x], 0) << "padding " << x << "," << y;
  }

  // Larger than before: new memory, still cleared.
  ASSERT_TRUE(o.Create(Rect::Make(0, 0, 64, 64)));
  for (int y = 0; y < 64; ++y) ASSERT_EQ(std::count(o.Row(y), o.Row(y) + 64, 0), 64) << y;
  o.Dispose();
  EXPECT_FALSE(o.Exists());
}

}  // namespace
}  // namespace pixmold
