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

std::uint32_t U32(const Bytes& b, std::size_t at) { return LoadU32LE(b, at); }

// A 4 x 4 image with a different shape in each quarter.
TestImage Quarters() {
  TestImage image(4, 4);
  image.Set(0, 0, 5);
  image.Set(3, 0, 6);
  image.Set(3, 1, 6);
  image.Set(1, 3, 7);
  return image;
}

const Rect kCells[] = {Rect::Make(0, 0, 2, 2), Rect::Make(2, 0, 4, 2), Rect::Make(0, 2, 2, 4)};

Bytes Frame(const TestImage& image, const Rect& rect) {
  Compressor c;
  OwnedHandle frame;
  EXPECT_EQ(c.CompressFrame(image.View(), rect, frame, nullptr), 0);
  return Contents(frame);
}

OwnedHandle List(const TestImage& image, std::span<const Rect> rects, std::int32_t paletteId = 7,
                 std::int32_t version = kSprColourVersion) {
  Compressor c;
  OwnedHandle list;
  EXPECT_EQ(c.CompressList(image.View(), rects, nullptr, paletteId, version, list), 0);
  return list;
}

TEST(SprList, CompressListLaysOutHeaderOffsetsAndFrames) {
  const TestImage image = Quarters();
  const Bytes list = Contents(List(image, kCells));
  ASSERT_GE(list.size(), 24u);
  EXPECT_EQ(U32(list, 0), 502u);
  EXPECT_EQ(U32(list, 4), 3u);
  EXPECT_EQ(U32(list, 8), 7u);
  std::size_t at = 24;
  for (int i = 0; i < 3; ++i) {
    const Bytes frame = Frame(image, kCells[i]);
    EXPECT_EQ(U32(list, 12 + 4 * i), at) << i;
    EXPECT_EQ(Bytes(list.begin() + at, list.begin() + at + frame.size()), frame) << i;
    at += frame.size();
  }
  EXPECT_EQ(at, list.size());
}

TEST(SprList, AppendListRebasesBothOffsetTables) {
  const TestImage image = Quarters();
  OwnedHandle a = List(image, std::span(kCells).first(2));
  OwnedHandle b = List(image, std::span(kCells).subspan(1));
  const Bytes before = Contents(b);
  ASSERT_EQ(AppendList(a.Get(), b.Get()), 0);
  EXPECT_EQ(Contents(b), before);
  const Bytes merged = Contents(a);
  EXPECT_EQ(U32(merged, 4), 4u);
  const Rect order[] = {kCells[0], kCells[1], kCells[1], kCells[2]};
  SprListView view;
  ASSERT_TRUE(ParseSprList(merged, ByteOrder::kLittle, view).Ok());
  ASSERT_EQ(view.frames.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    const Bytes frame = Frame(image, order[i]);
    EXPECT_EQ(Bytes(view.frames[i].begin(), view.frames[i].begin() + frame.size()), frame) << i;
  }
  EXPECT_EQ(U32(merged, 12 + 4 * 3) + Frame(image, order[3]).size(), merged.size());
}

TEST(SprList, MergeDepthList) {
  const TestImage colour = Quarters();
  TestImage depth(4, 4, 255);
  depth.Set(0, 0, 10);
  OwnedHandle colourList = List(colour, kCells);
  OwnedHandle depthList = List(depth, kCells, -1, kSprColourDepthVersion);
  ASSERT_EQ(MergeDepthList(depthList.Get(), colourList.Get()), 0);
  const Bytes merged = Contents(colourList);
  EXPECT_EQ(U32(merged, 0), 503u);
  EXPECT_EQ(U32(merged, 4), 6u);
  EXPECT_EQ(U32(merged, 8), 7u);
  SprListView view;
  ASSERT_TRUE(ParseSprList(merged, ByteOrder::kLittle, view).Ok());
  const Bytes depthFrame = Frame(depth, kCells[0]);
  EXPECT_EQ(Bytes(view.frames[3].begin(), view.frames[3].begin() + depthFrame.size()), depthFrame);
}

TEST(SprList, MergeRefusesMismatchesAndChangesNothing) {
  const TestImage image = Quarters();
  OwnedHandle colourList = List(image, kCells);
  OwnedHandle shorter = List(image, std::span(kCells).first(2));
  const Rect otherSizes[] = {kCells[0], Rect::Make(2, 0, 4, 1), kCells[2]};
  OwnedHandle resized = List(image, otherSizes);
  const Bytes colourBefore = Contents(colourList), shorterBefore = Contents(shorter);
  EXPECT_EQ(MergeDepthList(shorter.Get(), colourList.Get()), spr_error::kDepthCountMismatch);
  EXPECT_EQ(MergeDepthList(resized.Get(), colourList.Get()), spr_error::kDepthSizeMismatch);
  EXPECT_EQ(Contents(colourList), colourBefore);
  EXPECT_EQ(Contents(shorter), shorterBefore);
}

TEST(SprList, AppendFrameNeedsBothHandles) {
  testing::AssertCapture asserts;
  OwnedHandle list(NewSprList(502, 1));
  EXPECT_NE(AppendFrame(list.Get(), nullptr), 0);
  EXPECT_TRUE(asserts.Saw("(spriteList && newSpriteData) append sprite list passed null handle or two"));
  EXPECT_EQ(Contents(list).size(), 12u);
}

TEST(SprList, OutOfMemoryAtEveryAllocationLeaksNothing) {
  testing::AssertCapture asserts;
  const TestImage image = Quarters();
  for (int n = 1;; ++n) {
    const std::size_t live = CountLiveHandles();
    Compressor c;
    OwnedHandle list;
    FailHandleAllocationAfter(n);
    const ResErr err = c.CompressList(image.View(), kCells, nullptr, 1, 502, list);
    FailHandleAllocationAfter(0);
    if (err == 0) {
      EXPECT_EQ(Contents(list), Contents(List(image, kCells, 1)));
      break;
    }
    EXPECT_EQ(err, kMemAllocErr) << n;
    EXPECT_FALSE(list) << n;
    EXPECT_EQ(CountLiveHandles(), live) << n;
    ASSERT_LT(n, 50);
  }
}

TEST(SprList, StoredOrderSwapsHeadersOffsetsAndFrameFieldsOnly) {
  const TestImage image = Quarters();
  OwnedHandle list = List(image, std::span(kCells).first(2));
  const Bytes native = Contents(list);
  ASSERT_TRUE(ConvertSprListToStoredOrder(list.Get()));
  const Bytes stored = Contents(list);
  ASSERT_EQ(stored.size(), native.size());
  EXPECT_EQ(Bytes(stored.begin(), stored.begin() + 12), (Bytes{0, 0, 1, 0xF6, 0, 0, 0, 2, 0, 0, 0, 7}));
  const std::uint32_t first = U32(native, 12);
  EXPECT_EQ(Bytes(stored.begin() + 12, stored.begin() + 16), (Bytes{0, 0, 0, static_cast<std::uint8_t>(first)}));
  // Frame header: height and width swapped; flags and tokens as they were.
  EXPECT_EQ(Bytes(stored.begin() + first, stored.begin() + first + 8), (Bytes{0, 0, 0, 0, 0, 2, 0, 2}));
  const std::uint32_t second = U32(native, 16);
  EXPECT_EQ(Bytes(stored.begin() + first + 8, stored.begin() + second),
            Bytes(native.begin() + first + 8, native.begin() + second));
  // And back.
  Bytes again = stored;
  ASSERT_TRUE(SwapSprListByteOrder(again, ByteOrder::kBig));
  EXPECT_EQ(again, native);
}

TEST(SprList, OldListsHaveNoPaletteField) {
  // Version 500, one frame at offset 12, right after the single offset.
  Bytes list = {0xF4, 0x01, 0, 0, 1, 0, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 9, 1, 5, 0};
  ASSERT_TRUE(SwapSprListByteOrder(list, ByteOrder::kLittle));
  EXPECT_EQ(list, (Bytes{0, 0, 0x01, 0xF4, 0, 0, 0, 1, 0, 0, 0, 12, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 9, 1, 5, 0}));
  SprListView view;
  ASSERT_TRUE(ParseSprList(list, ByteOrder::kBig, view).Ok());
  EXPECT_EQ(view.paletteId, -1);
  ASSERT_EQ(view.frames.size(), 1u);
  DecodedSprite out;
  ASSERT_TRUE(DecodeSprFrame(view.frames[0], ByteOrder::kBig, out).Ok());
  EXPECT_EQ(out.width, 1);
}

TEST(SprList, SwapRefusesListsWhoseOffsetsDoNotFit) {
  Bytes list = {0xF6, 0x01, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 200, 0, 0, 0};
  const Bytes before = list;
  EXPECT_FALSE(SwapSprListByteOrder(list, ByteOrder::kLittle));
  EXPECT_EQ(list, before);
  list[4] = 9;  // more offsets than bytes
  EXPECT_FALSE(SwapSprListByteOrder(list, ByteOrder::kLittle));
}

}  // namespace
}  // namespace pixmold
