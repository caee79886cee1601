#include "imaging/spr_compressor.h"

#include <gtest/gtest.h>

#include "imaging/pal_wrap.h"
#include "imaging/spr_decoder.h"
#include "imaging/spr_list.h"
#include "sprite_test_images.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::Contents;
using testing::TestImage;

TestImage Rows(std::initializer_list<std::initializer_list<int>> rows) {
  TestImage image(static_cast<int>(rows.begin()->size()), static_cast<int>(rows.size()));
  int y = 0;
  for (const auto& row : rows) {
    int x = 0;
    for (int v : row) image.Set(x++, y, static_cast<std::uint8_t>(v));
    ++y;
  }
  return image;
}

Rect Whole(const TestImage& image) { return Rect::Make(0, 0, image.Width(), image.Height()); }

// The 10-byte frame header: height and width little-endian, then features.
Bytes Header(int height, int width, std::uint8_t features = 0) {
  return {0,
          0,
          0,
          0,
          static_cast<std::uint8_t>(height),
          static_cast<std::uint8_t>(height >> 8),
          static_cast<std::uint8_t>(width),
          static_cast<std::uint8_t>(width >> 8),
          0,
          features};
}

Bytes Cat(Bytes a, const Bytes& b) {
  for (std::uint8_t v : b) a.push_back(v);
  return a;
}

Bytes Compress(const TestImage& image, const SprSettings& settings, const PalWrap* palette = nullptr,
               ResErr* error = nullptr) {
  Compressor c;
  c.SetSettings(settings);
  OwnedHandle frame;
  const ResErr err = c.CompressFrame(image.View(), Whole(image), frame, palette);
  if (error) *error = err;
  return Contents(frame);
}

SprSettings With(std::uint8_t flags, std::uint8_t threshold = 8) {
  SprSettings s;
  s.flags = flags;
  s.repeatThreshold = threshold;
  return s;
}

struct FrameCase {
  const char* name;
  TestImage image;
  SprSettings settings;
  Bytes frame;
};

TEST(SprCompressor, FramesByteForByte) {
  const SprSettings plain;  // flags 0x31, clear 0, threshold 8, no suppression (0..255)
  const FrameCase cases[] = {
      {"every pixel clear", Rows({{0, 0, 0}, {0, 0, 0}}), plain, Cat(Header(2, 3), {9, 2, 5, 0})},
      {"seven equal pixels draw", Rows({{5, 5, 5, 5, 5, 5, 5, 9}}), plain,
       Cat(Header(1, 8), {4, 12, 3, 8, 5, 5, 5, 5, 5, 5, 5, 9, 5, 0})},
      {"eight equal pixels repeat", Rows({{5, 5, 5, 5, 5, 5, 5, 5, 9}}), plain,
       Cat(Header(1, 9, 0x10), {4, 10, 2, 8, 5, 5, 3, 1, 9, 0, 5, 0})},
      {"clear tail is not stored", Rows({{0, 7, 0, 0}}), plain, Cat(Header(1, 4), {4, 8, 1, 1, 3, 1, 7, 0, 5, 0})},
      {"shading ranges", Rows({{0, 3, 4, 8, 8, 8, 20}}),
       With(spr_flags::kClearColour | spr_flags::kShading1 | spr_flags::kShading2 | spr_flags::kRepeats, 3),
       Cat(Header(1, 7, 0x08), {4, 16, 1, 1, 7, 2, 1, 2, 14, 3, 1, 1, 3, 1, 20, 0, 5, 0})},
      {"pattern colours", Rows({{0, 1, 2}, {0, 3, 3}}), With(spr_flags::kClearColour | spr_flags::kPatterns),
       Cat(Header(2, 3, 0x27), {4, 12, 1, 1, 10, 1, 0, 1, 11, 1, 0, 2, 4, 8, 1, 1, 12, 2, 1, 1, 5, 0})},
      {"no clear colour", Rows({{0, 0, 1}}), With(spr_flags::kRepeats, 2),
       Cat(Header(1, 3, 0x10), {4, 10, 2, 2, 0, 0, 3, 1, 1, 0, 5, 0})},
      {"clear lines between drawn lines", Rows({{0, 4}, {0, 0}, {0, 0}, {4, 0}}), plain,
       Cat(Header(4, 2), {4, 8, 1, 1, 3, 1, 4, 0, 9, 2, 4, 6, 3, 1, 4, 0, 5, 0})},
  };
  for (const auto& tc : cases) EXPECT_EQ(Compress(tc.image, tc.settings), tc.frame) << tc.name;
}

TEST(SprCompressor, LineOf256BytesGetsTheLongHeader) {
  // 252 literal pixels: a 254-byte draw token after the 2-byte header.
  TestImage image(252, 1);
  for (int x = 0; x < 252; ++x) image.Set(x, 0, static_cast<std::uint8_t>(1 + x % 200));
  const Bytes frame = Compress(image, With(spr_flags::kClearColour));
  ASSERT_EQ(frame.size(), 10u + 260u + 2u);
  EXPECT_EQ(Bytes(frame.begin() + 10, frame.begin() + 18), (Bytes{4, 2, 5, 255, 0x01, 0x04, 3, 252}));
  EXPECT_EQ(Bytes(frame.end() - 2, frame.end()), (Bytes{5, 0}));
  DecodedSprite out;
  ASSERT_TRUE(DecodeSprFrame(frame, ByteOrder::kLittle, out).Ok());
  EXPECT_EQ(out.colour[251], 1 + 251 % 200);
}

TEST(SprCompressor, LongRunsSplitIntoSeveralTokens) {
  // 600 clear pixels then 600 of one colour, then 300 distinct ones.
  TestImage image(1500, 301);
  for (int x = 600; x < 1200; ++x) image.Set(x, 0, 7);
  for (int x = 1200; x < 1500; ++x) image.Set(x, 0, static_cast<std::uint8_t>(1 + x % 2));
  const Bytes frame = Compress(image, SprSettings{});
  // Clears of 255, 255 and 90; repeats of 255, 255 and 90; draws of 254 and 46.
  const std::size_t body = 10 + 6;  // after the long line header
  EXPECT_EQ(Bytes(frame.begin() + body, frame.begin() + body + 6), (Bytes{1, 255, 1, 255, 1, 90}));
  EXPECT_EQ(Bytes(frame.begin() + body + 6, frame.begin() + body + 18),
            (Bytes{2, 255, 7, 7, 2, 255, 7, 7, 2, 90, 7, 7}));
  EXPECT_EQ(frame[body + 18], 3);
  EXPECT_EQ(frame[body + 19], 254);
  EXPECT_EQ(frame[body + 20 + 254], 3);
  EXPECT_EQ(frame[body + 21 + 254], 46);
  // 300 clear lines below: 255 and 45.
  EXPECT_EQ(Bytes(frame.end() - 6, frame.end()), (Bytes{9, 255, 9, 45, 5, 0}));
}

TEST(SprCompressor, EmptyAndOutsideRectangles) {
  testing::AssertCapture asserts;
  TestImage image = Rows({{0, 1}, {1, 1}});
  Compressor c;
  OwnedHandle frame;
  ASSERT_EQ(c.CompressFrame(image.View(), Rect{}, frame, nullptr), 0);
  EXPECT_EQ(Contents(frame), Cat(Header(0, 0), {5, 0}));
  EXPECT_EQ(asserts.Count(), 0u);
  // A rectangle reaching outside is cut to the image, and reported.
  ASSERT_EQ(c.CompressFrame(image.View(), Rect::Make(1, 1, 5, 5), frame, nullptr), 0);
  EXPECT_EQ(Contents(frame), Cat(Header(1, 1), {4, 6, 3, 1, 1, 0, 5, 0}));
  EXPECT_TRUE(asserts.Saw("(false) this is suspicious"));
}

TEST(SprCompressor, ConflictingSettingsAreRefused) {
  Compressor c;
  SprSettings s;
  s.flags = spr_flags::kClearColour | spr_flags::kShading1;
  s.clearColour = 4;  // inside shading range 1 (2..6)
  c.SetSettings(s);
  TestImage image(2, 2);
  OwnedHandle frame, list;
  EXPECT_EQ(c.CompressFrame(image.View(), Whole(image), frame, nullptr), spr_error::kConflictingSettings);
  EXPECT_FALSE(frame);
  const std::size_t live = CountLiveHandles();
  const Rect rects[] = {Whole(image)};
  EXPECT_EQ(c.CompressList(image.View(), rects, nullptr, 1, kSprColourVersion, list), spr_error::kConflictingSettings);
  EXPECT_FALSE(list);
  EXPECT_EQ(CountLiveHandles(), live);
}

// A palette of greys, except entry 100, which is exactly the display's
// reserved colour 3; with the system colours, only 10..245 are usable.
void GreyPalette(PalWrap& palette) {
  std::array<PaletteEntry, 256> colours{};
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<std::uint8_t>(i);
    colours[i] = {v, v, v, 0};
  }
  colours[100] = PalWrap::SystemColours()[3];
  palette.SetFromColours(colours, true);
}

TEST(SprCompressor, ColourSuppression) {
  PalWrap palette;
  GreyPalette(palette);
  SprSettings s;
  s.suppressLow = 10;
  s.suppressHigh = 245;
  TestImage image = Rows({{0, 3, 3}});
  // Index 3 has the reserved colour 3, found again at 100; the clear pixel
  // keeps its own index even though its colour maps elsewhere.
  EXPECT_EQ(Compress(image, s, &palette), Cat(Header(1, 3), {4, 8, 1, 1, 3, 2, 100, 100, 5, 0}));

  // A single allowed index takes every colour but the clear one.
  s.suppressLow = s.suppressHigh = 50;
  s.repeatThreshold = 3;
  EXPECT_EQ(Compress(Rows({{0, 7, 50, 9}}), s), Cat(Header(1, 4, 0x10), {4, 8, 1, 1, 2, 3, 50, 50, 5, 0}));

  // Without a palette the index stays, and that is reported.
  testing::AssertCapture asserts;
  s.suppressLow = 10;
  s.suppressHigh = 245;
  EXPECT_EQ(Compress(image, s), Cat(Header(1, 3), {4, 8, 1, 1, 3, 2, 3, 3, 5, 0}));
  EXPECT_TRUE(asserts.Saw("attempting color supression with no palette"));
}

TEST(SprCompressor, TrimRects) {
  TestImage image(6, 5);
  image.Set(2, 1, 9);
  image.Set(3, 2, 9);
  Compressor c;
  struct Case {
    int sides;
    bool emptyIfClear;
    Rect in, out;
  };
  const Case cases[] = {
      {spr_side::kAll, true, Rect::Make(0, 0, 6, 5), Rect::Make(2, 1, 4, 3)},
      {spr_side::kTop, true, Rect::Make(0, 0, 6, 5), Rect::Make(0, 1, 6, 5)},
      {spr_side::kBottom | spr_side::kRight, true, Rect::Make(0, 0, 6, 5), Rect::Make(0, 0, 4, 3)},
      {spr_side::kLeft, true, Rect::Make(0, 0, 6, 5), Rect::Make(2, 0, 6, 5)},
      {spr_side::kAll, true, Rect::Make(4, 3, 6, 5), Rect{}},
      // Not emptied: the top side ran down to the bottom.
      {spr_side::kAll, false, Rect::Make(4, 3, 6, 5), Rect::Make(4, 5, 6, 5)},
      {0, true, Rect::Make(0, 0, 6, 5), Rect::Make(0, 0, 6, 5)},
  };
  for (const auto& tc : cases) {
    Rect r[] = {tc.in};
    c.TrimRects(image.View(), r, tc.sides, tc.emptyIfClear);
    EXPECT_EQ(r[0], tc.out) << tc.sides;
  }
  testing::AssertCapture asserts;
  Rect outside[] = {Rect::Make(0, 0, 7, 5)};
  c.TrimRects(image.View(), outside, spr_side::kAll, true);
  EXPECT_EQ(outside[0], Rect::Make(0, 0, 7, 5));
  EXPECT_TRUE(asserts.Saw("source image size smaller than expected..."));
}

TEST(SprCompressor, GrowRects) {
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
}

TEST(SprCompressor, StandardWidthsAndStrips) {
  const std::pair<int, int> widths[] = {{10000, 8},  {12001, 16}, {14000, 24}, {16000, 32},
                                        {18000, 48}, {20000, 64}, {22000, 96}, {24000, 128}};
  for (auto [id, width] : widths) EXPECT_EQ(GetStandardWidth(id), width) << id;
  testing::AssertCapture asserts;
  EXPECT_EQ(GetStandardWidth(9999), 0);
  EXPECT_TRUE(asserts.Saw("Unknown pictID in GetStandardWidth"));

  TestImage image(24, 6);
  image.Set(1, 2, 5);  // strip 0 keeps row 2 only
  image.Set(9, 1, 5);  // strip 1 rows 1..3
  image.Set(10, 3, 5);
  Compressor c;
  const auto strips = c.CutStrips(image.View(), Rect::Make(0, 0, 24, 6), 8);
  ASSERT_EQ(strips.size(), 3u);
  EXPECT_EQ(strips[0], Rect::Make(0, 2, 8, 3));
  EXPECT_EQ(strips[1], Rect::Make(8, 1, 16, 4));
  EXPECT_EQ(strips[2], Rect::Make(16, 6, 24, 6));  // all clear: trimmed to nothing, not emptied
}

}  // namespace
}  // namespace pixmold
