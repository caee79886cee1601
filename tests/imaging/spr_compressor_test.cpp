#include "imaging/spr_compressor.h"

#include <gtest/gtest.h>

#include <tuple>

#include "image_bytes.h"
#include "imaging/pal_wrap.h"
#include "imaging/spr_decoder.h"
#include "imaging/spr_list.h"
#include "imaging/spr_settings.h"
#include "sprite_test_images.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::Contents;
using testing::FromRows;
using testing::SprFrame;
using testing::TestImage;

Bytes Compress(const TestImage& image, const SprSettings& settings, const PalWrap* palette = nullptr) {
  Compressor c;
  c.SetSettings(settings);
  OwnedHandle frame;
  EXPECT_EQ(c.CompressFrame(image.View(), image.Whole(), frame, palette), 0);
  return Contents(frame);
}

// Settings as their 12 bytes: flags, clear, threshold, pattern colours,
// shading ranges 1 and 2, suppression range.
SprSettings With(std::array<std::uint8_t, 12> bytes) { return SprSettings::FromBytes(bytes); }

TEST(SprCompressor, FramesByteForByte) {
  const SprSettings plain;  // flags 0x31, clear 0, threshold 8, no suppression (0..255)
  const std::tuple<const char*, TestImage, SprSettings, Bytes> cases[] = {
      {"every pixel clear", FromRows({{0, 0, 0}, {0, 0, 0}}), plain, SprFrame(2, 3, 0, {9, 2, 5, 0})},
      {"seven equal pixels draw", FromRows({{5, 5, 5, 5, 5, 5, 5, 9}}), plain,
       SprFrame(1, 8, 0, {4, 12, 3, 8, 5, 5, 5, 5, 5, 5, 5, 9, 5, 0})},
      {"eight equal pixels repeat", FromRows({{5, 5, 5, 5, 5, 5, 5, 5, 9}}), plain,
       SprFrame(1, 9, 0x10, {4, 10, 2, 8, 5, 5, 3, 1, 9, 0, 5, 0})},
      {"clear tail is not stored", FromRows({{0, 7, 0, 0}}), plain, SprFrame(1, 4, 0, {4, 8, 1, 1, 3, 1, 7, 0, 5, 0})},
      {"shading ranges", FromRows({{0, 3, 4, 8, 8, 8, 20}}), With({0x17, 0, 3, 1, 2, 3, 2, 6, 7, 11, 0, 255}),
       SprFrame(1, 7, 0x08, {4, 16, 1, 1, 7, 2, 1, 2, 14, 3, 1, 1, 3, 1, 20, 0, 5, 0})},
      {"pattern colours", FromRows({{0, 1, 2}, {0, 3, 3}}), With({0x09, 0, 8, 1, 2, 3, 2, 6, 7, 11, 0, 255}),
       SprFrame(2, 3, 0x27, {4, 12, 1, 1, 10, 1, 0, 1, 11, 1, 0, 2, 4, 8, 1, 1, 12, 2, 1, 1, 5, 0})},
      {"no clear colour", FromRows({{0, 0, 1}}), With({0x10, 0, 2, 1, 2, 3, 2, 6, 7, 11, 0, 255}),
       SprFrame(1, 3, 0x10, {4, 10, 2, 2, 0, 0, 3, 1, 1, 0, 5, 0})},
      {"clear lines between drawn lines", FromRows({{0, 4}, {0, 0}, {0, 0}, {4, 0}}), plain,
       SprFrame(4, 2, 0, {4, 8, 1, 1, 3, 1, 4, 0, 9, 2, 4, 6, 3, 1, 4, 0, 5, 0})},
  };
  for (const auto& [name, image, settings, frame] : cases) EXPECT_EQ(Compress(image, settings), frame) << name;
}

TEST(SprCompressor, LongLinesAndRunsSplit) {
  // 252 literal pixels: a 254-byte draw token after a long line header.
  TestImage line(252, 1);
  for (int x = 0; x < 252; ++x) line.Set(x, 0, static_cast<std::uint8_t>(1 + x % 200));
  Bytes frame = Compress(line, With({0x01, 0, 8, 1, 2, 3, 2, 6, 7, 11, 0, 255}));
  ASSERT_EQ(frame.size(), 10u + 260u + 2u);
  EXPECT_EQ(Bytes(frame.begin() + 10, frame.begin() + 18), (Bytes{4, 2, 5, 255, 0x01, 0x04, 3, 252}));

  // 600 clear pixels, 600 of one colour, 300 distinct ones, and 300 clear lines:
  // clears of 255, 255 and 90; repeats of 255, 255 and 90; draws of 254 and 46.
  TestImage image(1500, 301);
  for (int x = 600; x < 1500; ++x) image.Set(x, 0, static_cast<std::uint8_t>(x < 1200 ? 7 : 1 + x % 2));
  frame = Compress(image, SprSettings{});
  const Bytes runs = {1, 255, 1, 255, 1, 90, 2, 255, 7, 7, 2, 255, 7, 7, 2, 90, 7, 7, 3, 254};
  EXPECT_EQ(Bytes(frame.begin() + 16, frame.begin() + 36), runs);
  EXPECT_EQ(Bytes(frame.begin() + 290, frame.begin() + 292), (Bytes{3, 46}));
  EXPECT_EQ(Bytes(frame.end() - 6, frame.end()), (Bytes{9, 255, 9, 45, 5, 0}));
}

TEST(SprCompressor, EmptyOutsideAndRefusedFrames) {
  testing::AssertCapture asserts;
  TestImage image = FromRows({{0, 1}, {1, 1}});
  Compressor c;
  OwnedHandle frame;
  ASSERT_EQ(c.CompressFrame(image.View(), Rect{}, frame, nullptr), 0);
  EXPECT_EQ(Contents(frame), SprFrame(0, 0, 0, {5, 0}));
  EXPECT_EQ(asserts.Count(), 0u);
  // A rectangle reaching outside is cut to the image, and reported.
  ASSERT_EQ(c.CompressFrame(image.View(), Rect::Make(1, 1, 5, 5), frame, nullptr), 0);
  EXPECT_EQ(Contents(frame), SprFrame(1, 1, 0, {4, 6, 3, 1, 1, 0, 5, 0}));
  EXPECT_TRUE(asserts.Saw("(false) this is suspicious"));
  // Conflicting settings make neither frames nor lists.
  c.SetSettings(SprSettings::FromBytes({0x03, 6, 8, 1, 2, 3, 2, 6, 7, 11, 0, 255}));
  EXPECT_EQ(c.CompressFrame(image.View(), image.Whole(), frame, nullptr), spr_error::kConflictingSettings);
  EXPECT_FALSE(frame);
  const std::size_t live = CountLiveHandles();
  const Rect rects[] = {image.Whole()};
  EXPECT_EQ(c.CompressList(image.View(), rects, nullptr, 1, kSprColourVersion, frame), spr_error::kConflictingSettings);
  EXPECT_FALSE(frame);
  EXPECT_EQ(CountLiveHandles(), live);
}

TEST(SprSettings, Conflicts) {
  const std::tuple<const char*, std::array<std::uint8_t, 12>, ResErr> cases[] = {
      {"defaults", SprSettings().ToBytes(), 0},
      {"build colour list", {0x31, 0, 8, 1, 2, 3, 2, 6, 7, 11, 10, 245}, 0},
      {"clear equals a pattern colour", {0x09, 2, 8, 1, 2, 3, 2, 6, 7, 11, 0, 255}, 1100},
      {"pattern colour but patterns off", {0x01, 2, 8, 1, 2, 3, 2, 6, 7, 11, 0, 255}, 0},
      {"clear inside shading 1", {0x03, 6, 8, 1, 2, 3, 2, 6, 7, 11, 0, 255}, 1100},
      {"clear inside a range that is off", {0x01, 7, 8, 1, 2, 3, 2, 6, 7, 11, 0, 255}, 0},
      {"pattern inside shading 1", {0x0A, 0, 8, 1, 2, 3, 2, 6, 7, 11, 0, 255}, 1100},
      {"pattern inside shading 2", {0x0C, 0, 8, 1, 2, 9, 20, 30, 7, 11, 0, 255}, 1100},
      {"patterns just outside the ranges", {0x0E, 0, 8, 1, 12, 13, 2, 6, 7, 11, 0, 255}, 0},
      {"pattern on the top of range 1", {0x0A, 0, 8, 6, 12, 13, 2, 6, 7, 11, 0, 255}, 1100},
      {"ranges overlap", {0x06, 0, 8, 1, 2, 3, 2, 7, 7, 11, 0, 255}, 1100},
      {"ranges touch but do not overlap", {0x06, 0, 8, 1, 2, 3, 2, 6, 7, 11, 0, 255}, 0},
      {"range 2 inside range 1", {0x06, 0, 8, 1, 2, 3, 2, 20, 7, 11, 0, 255}, 1100},
      {"range 1 backwards", {0x02, 0, 8, 1, 2, 3, 6, 2, 7, 11, 0, 255}, 1100},
      {"suppression backwards", {0x21, 0, 8, 1, 2, 3, 2, 6, 7, 11, 200, 100}, 1100},
      {"suppression off and backwards", {0x01, 0, 8, 1, 2, 3, 2, 6, 7, 11, 200, 100}, 0},
      {"suppression of one index", {0x21, 0, 8, 1, 2, 3, 2, 6, 7, 11, 50, 50}, 0},
  };
  for (const auto& [name, bytes, expected] : cases) {
    EXPECT_EQ(SprSettings::FromBytes(bytes).ToBytes(), bytes) << name;
    EXPECT_EQ(CheckSprSettings(SprSettings::FromBytes(bytes)), expected) << name;
  }
}

TEST(SprCompressor, ColourSuppression) {
  // Greys, except entry 100, which is exactly the display's reserved colour 3.
  std::array<PaletteEntry, 256> colours{};
  for (int i = 0; i < 256; ++i) colours[i] = {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0};
  colours[100] = PalWrap::SystemColours()[3];
  PalWrap palette;
  palette.SetFromColours(colours, true);
  SprSettings s = With({0x31, 0, 8, 1, 2, 3, 2, 6, 7, 11, 10, 245});
  // Index 3 has the reserved colour 3, found again at 100; the clear pixel
  // keeps its own index even though its colour maps elsewhere, and a line
  // of it is still a clear line, however many follow.
  EXPECT_EQ(Compress(FromRows({{0, 3, 3}, {0, 0, 0}, {0, 0, 0}}), s, &palette),
            SprFrame(3, 3, 0, {4, 8, 1, 1, 3, 2, 100, 100, 9, 2, 5, 0}));
  // A single allowed index takes every colour but the clear one.
  s = With({0x31, 0, 3, 1, 2, 3, 2, 6, 7, 11, 50, 50});
  EXPECT_EQ(Compress(FromRows({{0, 7, 50, 9}}), s), SprFrame(1, 4, 0x10, {4, 8, 1, 1, 2, 3, 50, 50, 5, 0}));
}

TEST(SprCompressor, TrimRects) {
  TestImage image(6, 5);
  image.Set(2, 1, 9);
  image.Set(3, 2, 9);
  Compressor c;
  using namespace spr_side;
  const std::tuple<int, bool, Rect, Rect> cases[] = {
      {kBottom | kRight, true, Rect::Make(0, 0, 6, 5), Rect::Make(0, 0, 4, 3)},
      {kAll, true, Rect::Make(4, 3, 6, 5), Rect{}},
      {kAll, false, Rect::Make(4, 3, 6, 5), Rect::Make(4, 5, 6, 5)},  // the top side ran down to the bottom
  };
  for (const auto& [sides, emptyIfClear, in, out] : cases) {
    Rect r[] = {in};
    c.TrimRects(image.View(), r, sides, emptyIfClear);
    EXPECT_EQ(r[0], out) << sides;
  }
}

// A 4 x 4 image with a different shape in each quarter, and three of them.
const TestImage kQuarters = testing::FromRows({{5, 0, 0, 6}, {0, 0, 0, 6}, {0, 0, 0, 0}, {0, 7, 0, 0}});
const Rect kQuarterCells[] = {Rect::Make(0, 0, 2, 2), Rect::Make(2, 0, 4, 2), Rect::Make(0, 2, 2, 4)};

Bytes CellFrame(const TestImage& image, const Rect& rect) {
  OwnedHandle frame;
  EXPECT_EQ(Compressor().CompressFrame(image.View(), rect, frame, nullptr), 0);
  return Contents(frame);
}

OwnedHandle List(const TestImage& image, std::span<const Rect> rects, std::int32_t version = kSprColourVersion) {
  OwnedHandle list;
  EXPECT_EQ(Compressor().CompressList(image.View(), rects, nullptr, 7, version, list), 0);
  return list;
}

// A native list of the frames, for palette 7.
Bytes ListOf(std::uint32_t version, const std::vector<Bytes>& frames) {
  return testing::SpriteList(version, frames, 7);
}

// Growing and cutting are what sprite generation uses to fit cells to art.
TEST(SprCompressor, GrowRectsAndCutStrips) {
  TestImage image(8, 6);
  for (int y = 1; y < 5; ++y)
    for (int x = 2; x < 7; ++x) image.Set(x, y, 4);
  Compressor c;
  Rect r[] = {Rect::Make(3, 2, 4, 3), Rect{}};
  c.GrowRects(image.View(), Rect::Make(0, 0, 8, 6), r, spr_side::kAll);
  EXPECT_EQ(r[0], Rect::Make(2, 1, 7, 5));
  EXPECT_EQ(r[1], Rect{});
  Rect limited[] = {Rect::Make(3, 2, 4, 3)};
  c.GrowRects(image.View(), Rect::Make(0, 0, 5, 3), limited, spr_side::kAll);
  EXPECT_EQ(limited[0], Rect::Make(2, 1, 5, 3));
  Rect leftOnly[] = {Rect::Make(3, 2, 4, 3)};
  c.GrowRects(image.View(), Rect::Make(0, 0, 8, 6), leftOnly, spr_side::kLeft);
  EXPECT_EQ(leftOnly[0], Rect::Make(2, 2, 4, 3));

  TestImage sheet(24, 6);
  sheet.Set(1, 2, 5);  // strip 0 keeps row 2 only
  sheet.Set(9, 1, 5);  // strip 1 rows 1..3
  sheet.Set(10, 3, 5);
  const auto strips = c.CutStrips(sheet.View(), Rect::Make(0, 0, 24, 6), 8);
  ASSERT_EQ(strips.size(), 3u);
  EXPECT_EQ(strips[0], Rect::Make(0, 2, 8, 3));
  EXPECT_EQ(strips[1], Rect::Make(8, 1, 16, 4));
  EXPECT_EQ(strips[2], Rect::Make(16, 6, 24, 6));  // all clear: trimmed to nothing, not emptied
}

TEST(SprList, CompressAppendAndMerge) {
  TestImage depth(4, 4, 255);
  depth.Set(0, 0, 10);
  const Bytes f0 = CellFrame(kQuarters, kQuarterCells[0]), f1 = CellFrame(kQuarters, kQuarterCells[1]),
              f2 = CellFrame(kQuarters, kQuarterCells[2]);
  EXPECT_EQ(Contents(List(kQuarters, kQuarterCells)), ListOf(502, {f0, f1, f2}));
  OwnedHandle a = List(kQuarters, std::span(kQuarterCells).first(2));
  OwnedHandle b = List(kQuarters, std::span(kQuarterCells).subspan(1));
  ASSERT_EQ(AppendList(a.Get(), b.Get()), 0);
  EXPECT_EQ(Contents(a), ListOf(502, {f0, f1, f1, f2}));
  EXPECT_EQ(Contents(b), ListOf(502, {f1, f2}));
  // A depth list of the same rectangles goes behind the colour list.
  OwnedHandle colourList = List(kQuarters, kQuarterCells);
  ASSERT_EQ(MergeDepthList(List(depth, kQuarterCells, kSprColourDepthVersion).Get(), colourList.Get()), 0);
  EXPECT_EQ(Contents(colourList),
            ListOf(503, {f0, f1, f2, CellFrame(depth, kQuarterCells[0]), CellFrame(depth, kQuarterCells[1]),
                         CellFrame(depth, kQuarterCells[2])}));
}

TEST(SprList, MergeRefusesMismatchesAndChangesNothing) {
  OwnedHandle colourList = List(kQuarters, kQuarterCells);
  OwnedHandle shorter = List(kQuarters, std::span(kQuarterCells).first(2));
  const Rect otherSizes[] = {kQuarterCells[0], Rect::Make(2, 0, 4, 1), kQuarterCells[2]};
  OwnedHandle resized = List(kQuarters, otherSizes);
  const Bytes colourBefore = Contents(colourList), shorterBefore = Contents(shorter);
  EXPECT_EQ(MergeDepthList(shorter.Get(), colourList.Get()), spr_error::kDepthCountMismatch);
  EXPECT_EQ(MergeDepthList(resized.Get(), colourList.Get()), spr_error::kDepthSizeMismatch);
  EXPECT_EQ(Contents(colourList), colourBefore);
  EXPECT_EQ(Contents(shorter), shorterBefore);
  // A count that claims more offsets than the list holds.
  HandleLock(shorter.Get()).Data()[4] = 200;
  EXPECT_EQ(AppendList(colourList.Get(), shorter.Get()), kMemBadHandleErr);
  EXPECT_EQ(Contents(colourList), colourBefore);
}

TEST(SprList, OutOfMemoryAtEveryAllocationLeaksNothing) {
  testing::AssertCapture asserts;
  for (int n = 1;; ++n) {
    const std::size_t live = CountLiveHandles();
    OwnedHandle list;
    FailHandleAllocationAfter(n);
    const ResErr err = Compressor().CompressList(kQuarters.View(), kQuarterCells, nullptr, 7, 502, list);
    FailHandleAllocationAfter(0);
    if (err == 0) {
      EXPECT_EQ(Contents(list), Contents(List(kQuarters, kQuarterCells)));
      break;
    }
    EXPECT_EQ(err, kMemAllocErr) << n;
    EXPECT_FALSE(list) << n;
    EXPECT_EQ(CountLiveHandles(), live) << n;
    ASSERT_LT(n, 50);
  }
}

TEST(SprList, StoredOrderSwapsHeadersOffsetsAndFrameFieldsOnly) {
  OwnedHandle list = List(kQuarters, std::span(kQuarterCells).first(2));
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
