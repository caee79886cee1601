#include "imaging/offscreen.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "base/report.h"
#include "imaging/pal_wrap.h"
#include "support/assert_capture.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

using testing::AssertCapture;

// Fills row y with y * 16 + x so rows and columns are both recognisable.
void FillPattern(Offscreen& o) {
  for (int y = 0; y < o.Height(); ++y) {
    for (int x = 0; x < o.Width(); ++x) o.Row(y)[x] = static_cast<std::uint8_t>(y * 16 + x);
  }
}

std::vector<std::vector<int>> Pixels(const Offscreen& o) {
  std::vector<std::vector<int>> rows;
  for (int y = 0; y < o.Height(); ++y) rows.emplace_back(o.Row(y), o.Row(y) + o.Width());
  return rows;
}

TEST(Offscreen, StrideIsWidthRoundedUpToFourAndRowsAreBottomUp) {
  std::ostringstream log;
  ScopedReportTarget report(ReportTarget{&log, nullptr, nullptr, nullptr});
  PalWrap palette;
  for (int width : {1, 4, 13, 16, 17}) {
    Offscreen o;
    ASSERT_TRUE(o.Create(Rect::Make(0, 0, width, 3), &palette));
    const int stride = (width + 3) / 4 * 4;
    EXPECT_EQ(o.GetRowBytes(), -stride) << width;
    // The top row is the last one in memory: the bottom row starts the block.
    EXPECT_EQ(o.Row(2) + 2 * stride, o.GetBaseAddr());
    EXPECT_EQ(o.GetPortRect(), Rect::Make(0, 0, width, 3));
  }
  EXPECT_EQ(log.str(), "");  // no stride warning
}

TEST(Offscreen, CreateUsesTheGlobalPaletteAndCountsReferences) {
  PalWrap& global = GetGlobalPalette();
  const int before = global.GetRefCount();
  {
    Offscreen o;
    ASSERT_TRUE(o.Create(Rect::Make(0, 0, 2, 2)));
    EXPECT_EQ(o.GetPalette(), &global);
    EXPECT_EQ(global.GetRefCount(), before + 1);
    ASSERT_TRUE(o.Create(Rect::Make(0, 0, 3, 3)));  // re-creating releases the first reference
    EXPECT_EQ(global.GetRefCount(), before + 1);
  }
  EXPECT_EQ(global.GetRefCount(), before);
}

TEST(Offscreen, NewPixelsAreZeroAndSizeIsReported) {
  PalWrap palette;
  Offscreen o;
  int w = -1, h = -1;
  o.GetSize(w, h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
  ASSERT_TRUE(o.Create(Rect::Make(0, 0, 5, 4), &palette));
  o.GetSize(w, h);
  EXPECT_EQ(w, 5);
  EXPECT_EQ(h, 4);
  for (const auto& row : Pixels(o)) EXPECT_EQ(row, std::vector<int>(5, 0));
}

TEST(Offscreen, RejectsEmptyAndHugeBounds) {
  AssertCapture capture;
  PalWrap palette;
  Offscreen o;
  EXPECT_FALSE(o.Create(Rect::Make(0, 0, 0, 10), &palette));
  EXPECT_TRUE(capture.Saw("could not create dib section"));
  capture.Clear();
  EXPECT_FALSE(o.Create(Rect::Make(0, 0, 32767, 32767), &palette));
  EXPECT_TRUE(capture.Saw("larger than 16384 x 16384"));
  EXPECT_FALSE(o.Exists());
  EXPECT_EQ(palette.GetRefCount(), 0);
}

TEST(Offscreen, FlipVerticalSwapsOuterRowsOfThree) {
  PalWrap palette;
  Offscreen o;
  ASSERT_TRUE(o.Create(Rect::Make(0, 0, 3, 3), &palette));
  FillPattern(o);
  o.Flip(false, true);
  EXPECT_EQ(Pixels(o), (std::vector<std::vector<int>>{{32, 33, 34}, {16, 17, 18}, {0, 1, 2}}));
}

TEST(Offscreen, FlipHorizontalReversesRowsAndBothDoesBoth) {
  PalWrap palette;
  Offscreen o;
  ASSERT_TRUE(o.Create(Rect::Make(0, 0, 5, 2), &palette));
  FillPattern(o);
  o.Flip(true, false);
  EXPECT_EQ(Pixels(o), (std::vector<std::vector<int>>{{4, 3, 2, 1, 0}, {20, 19, 18, 17, 16}}));
  o.Flip(true, true);
  EXPECT_EQ(Pixels(o), (std::vector<std::vector<int>>{{16, 17, 18, 19, 20}, {0, 1, 2, 3, 4}}));
}

TEST(Offscreen, FlipWithoutPixelsIsReported) {
  AssertCapture capture;
  Offscreen o;
  o.Flip(true, true);
  EXPECT_TRUE(capture.Saw("(fBaseAddr) flipping unlocked offscreen"));
}

TEST(Offscreen, CheckPointerCoversExactlyThePixelMemory) {
  PalWrap palette;
  Offscreen o;
  ASSERT_TRUE(o.Create(Rect::Make(0, 0, 6, 3), &palette));  // stride 8, 24 bytes
  const std::uint8_t* first = o.Row(2);
  EXPECT_TRUE(o.CheckPointer(first, 24));
  EXPECT_FALSE(o.CheckPointer(first, 25));
  EXPECT_TRUE(o.CheckPointer(o.Row(0), 8));
  EXPECT_FALSE(o.CheckPointer(o.Row(0) + 1, 8));
  EXPECT_FALSE(o.CheckPointer(first - 1, 1));
  AssertCapture capture;
  Offscreen none;
  EXPECT_FALSE(none.CheckPointer(first, 1));
  EXPECT_TRUE(capture.Saw("CheckPointer called on unlocked offscreen"));
}

TEST(Offscreen, AdoptTakesBottomUpMemoryAndWarnsOfOddStrides) {
  std::ostringstream log;
  ScopedReportTarget report(ReportTarget{&log, nullptr, nullptr, nullptr});
  std::vector<std::uint8_t> memory = {1, 2, 3, 9, 9, 4, 5, 6, 9, 9};  // bottom row first, stride 5
  {
    Offscreen o;
    ASSERT_TRUE(o.Adopt(memory, 3, 2, 5));
    EXPECT_EQ(Pixels(o), (std::vector<std::vector<int>>{{4, 5, 6}, {1, 2, 3}}));
    EXPECT_EQ(log.str(), "Warning: fRowBytes isn't a multiple of 4...strange behavior may result.\n");
    AssertCapture capture;
    EXPECT_FALSE(o.Adopt(memory, 3, 2, 5));
    EXPECT_TRUE(capture.Saw("can't set when already allocated"));
  }
  EXPECT_EQ(memory[0], 1);  // still ours after the offscreen is gone
}

TEST(Offscreen, DumpWritesUpperCaseHexRows) {
  testing::TempDir dir;
  PalWrap palette;
  Offscreen o;
  ASSERT_TRUE(o.Create(Rect::Make(0, 0, 3, 2), &palette));
  FillPattern(o);
  o.Row(0)[0] = 0xAB;
  ASSERT_TRUE(o.Dump(dir.File("all.txt")));
  const auto all = testing::ReadAll(dir.File("all.txt"));
  EXPECT_EQ(std::string(all.begin(), all.end()), "AB 01 02 \n10 11 12 \n");
  const Rect part = Rect::Make(1, 1, 9, 9);
  ASSERT_TRUE(o.Dump(dir.File("part.txt"), &part));
  const auto clipped = testing::ReadAll(dir.File("part.txt"));
  EXPECT_EQ(std::string(clipped.begin(), clipped.end()), "11 12 \n");

  AssertCapture capture;
  Offscreen none;
  EXPECT_FALSE(none.Dump(dir.File("none.txt")));
  EXPECT_TRUE(capture.Saw("Dumping offscreen that doesn't exist"));
}

TEST(Offscreen, DrawingMakesItTheCurrentPortUntilEnded) {
  PalWrap palette;
  Offscreen o;
  ASSERT_TRUE(o.Create(Rect::Make(0, 0, 4, 4), &palette));
  const DrawingPort before = GetPort();
  const Rect clip = Rect::Make(2, -5, 10, 3);
  const auto target = o.BeginDrawing(&clip);
  EXPECT_EQ(GetPort().surface, &o);
  EXPECT_EQ(target.base, o.GetBaseAddr());
  EXPECT_EQ(target.rowBytes, o.GetRowBytes());
  EXPECT_EQ(target.clip, Rect::Make(2, 0, 4, 3));
  o.EndDrawing();
  EXPECT_EQ(GetPort(), before);
}

}  // namespace
}  // namespace pixmold
