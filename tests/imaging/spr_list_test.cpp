#include "imaging/spr_list.h"

#include <gtest/gtest.h>

#include "imaging/spr_compressor.h"
#include "imaging/spr_decoder.h"
#include "sprite_test_images.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::Contents;
using testing::TestImage;

// A 4 x 4 image with a different shape in each quarter, and three of them.
const TestImage kQuarters = testing::FromRows({{5, 0, 0, 6}, {0, 0, 0, 6}, {0, 0, 0, 0}, {0, 7, 0, 0}});
const Rect kCells[] = {Rect::Make(0, 0, 2, 2), Rect::Make(2, 0, 4, 2), Rect::Make(0, 2, 2, 4)};

Bytes Frame(const TestImage& image, const Rect& rect) {
  OwnedHandle frame;
  EXPECT_EQ(Compressor().CompressFrame(image.View(), rect, frame, nullptr), 0);
  return Contents(frame);
}

OwnedHandle List(const TestImage& image, std::span<const Rect> rects, std::int32_t version = kSprColourVersion) {
  OwnedHandle list;
  EXPECT_EQ(Compressor().CompressList(image.View(), rects, nullptr, 7, version, list), 0);
  return list;
}

// The list's header fields, offsets and frames.
void ExpectList(const Bytes& list, std::uint32_t version, const std::vector<Bytes>& frames) {
  EXPECT_EQ(LoadU32LE(list, 0), version);
  EXPECT_EQ(LoadU32LE(list, 4), frames.size());
  EXPECT_EQ(LoadU32LE(list, 8), 7u);
  std::size_t at = 12 + 4 * frames.size();
  for (std::size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(LoadU32LE(list, 12 + 4 * i), at) << i;
    EXPECT_EQ(Bytes(list.begin() + at, list.begin() + std::min(list.size(), at + frames[i].size())), frames[i]) << i;
    at += frames[i].size();
  }
  EXPECT_EQ(at, list.size());
}

TEST(SprList, CompressAppendAndMerge) {
  TestImage depth(4, 4, 255);
  depth.Set(0, 0, 10);
  const Bytes f0 = Frame(kQuarters, kCells[0]), f1 = Frame(kQuarters, kCells[1]), f2 = Frame(kQuarters, kCells[2]);
  ExpectList(Contents(List(kQuarters, kCells)), 502, {f0, f1, f2});
  OwnedHandle a = List(kQuarters, std::span(kCells).first(2));
  OwnedHandle b = List(kQuarters, std::span(kCells).subspan(1));
  ASSERT_EQ(AppendList(a.Get(), b.Get()), 0);
  ExpectList(Contents(a), 502, {f0, f1, f1, f2});
  ExpectList(Contents(b), 502, {f1, f2});
  // A depth list of the same rectangles goes behind the colour list.
  OwnedHandle colourList = List(kQuarters, kCells);
  ASSERT_EQ(MergeDepthList(List(depth, kCells, kSprColourDepthVersion).Get(), colourList.Get()), 0);
  ExpectList(Contents(colourList), 503,
             {f0, f1, f2, Frame(depth, kCells[0]), Frame(depth, kCells[1]), Frame(depth, kCells[2])});
}

TEST(SprList, MergeRefusesMismatchesAndChangesNothing) {
  OwnedHandle colourList = List(kQuarters, kCells);
  OwnedHandle shorter = List(kQuarters, std::span(kCells).first(2));
  const Rect otherSizes[] = {kCells[0], Rect::Make(2, 0, 4, 1), kCells[2]};
  OwnedHandle resized = List(kQuarters, otherSizes);
  const Bytes colourBefore = Contents(colourList), shorterBefore = Contents(shorter);
  EXPECT_EQ(MergeDepthList(shorter.Get(), colourList.Get()), spr_error::kDepthCountMismatch);
  EXPECT_EQ(MergeDepthList(resized.Get(), colourList.Get()), spr_error::kDepthSizeMismatch);
  EXPECT_EQ(Contents(colourList), colourBefore);
  EXPECT_EQ(Contents(shorter), shorterBefore);
}

TEST(SprList, OutOfMemoryAtEveryAllocationLeaksNothing) {
  testing::AssertCapture asserts;
  for (int n = 1;; ++n) {
    const std::size_t live = CountLiveHandles();
    OwnedHandle list;
    FailHandleAllocationAfter(n);
    const ResErr err = Compressor().CompressList(kQuarters.View(), kCells, nullptr, 7, 502, list);
    FailHandleAllocationAfter(0);
    if (err == 0) {
      EXPECT_EQ(Contents(list), Contents(List(kQuarters, kCells)));
      break;
    }
    EXPECT_EQ(err, kMemAllocErr) << n;
    EXPECT_FALSE(list) << n;
    EXPECT_EQ(CountLiveHandles(), live) << n;
    ASSERT_LT(n, 50);
  }
}

TEST(SprList, StoredOrderSwapsHeadersOffsetsAndFrameFieldsOnly) {
  OwnedHandle list = List(kQuarters, std::span(kCells).first(2));
  const Bytes native = Contents(list);
  ASSERT_TRUE(ConvertSprListToStoredOrder(list.Get()));
  const Bytes stored = Contents(list);
  ASSERT_EQ(stored.size(), native.size());
  EXPECT_EQ(Bytes(stored.begin(), stored.begin() + 16), (Bytes{0, 0, 1, 0xF6, 0, 0, 0, 2, 0, 0, 0, 7, 0, 0, 0, 20}));
  // Frame header: height and width swapped; flags and tokens as they were.
  EXPECT_EQ(Bytes(stored.begin() + 20, stored.begin() + 28), (Bytes{0, 0, 0, 0, 0, 2, 0, 2}));
  EXPECT_EQ(Bytes(stored.begin() + 28, stored.begin() + 34), Bytes(native.begin() + 28, native.begin() + 34));
  Bytes again = stored;
  ASSERT_TRUE(SwapSprListByteOrder(again, ByteOrder::kBig));
  EXPECT_EQ(again, native);

  // Version 500 lists have no palette field: one frame right after the offset.
  Bytes old = {0xF4, 0x01, 0, 0, 1, 0, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 9, 1, 5, 0};
  ASSERT_TRUE(SwapSprListByteOrder(old, ByteOrder::kLittle));
  EXPECT_EQ(old, (Bytes{0, 0, 0x01, 0xF4, 0, 0, 0, 1, 0, 0, 0, 12, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 9, 1, 5, 0}));
  SprListView view;
  ASSERT_TRUE(ParseSprList(old, ByteOrder::kBig, view).Ok());
  EXPECT_EQ(view.paletteId, -1);
  ASSERT_EQ(view.frames.size(), 1u);

  // Offsets that do not fit leave the list alone.
  Bytes bad = {0xF6, 0x01, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 200, 0, 0, 0};
  const Bytes badBefore = bad;
  EXPECT_FALSE(SwapSprListByteOrder(bad, ByteOrder::kLittle));
  EXPECT_EQ(bad, badBefore);
  bad[4] = 9;  // more offsets than bytes
  EXPECT_FALSE(SwapSprListByteOrder(bad, ByteOrder::kLittle));
}

}  // namespace
}  // namespace pixmold
