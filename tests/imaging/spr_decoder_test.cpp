#include "imaging/spr_decoder.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "image_bytes.h"
#include "imaging/pal_wrap.h"
#include "imaging/spr_compressor.h"
#include "imaging/spr_list.h"
#include "sprite_test_images.h"
#include "support/decoded_lists.h"

namespace pixmold {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Frame(int height, int width, const Bytes& body, ByteOrder order = ByteOrder::kLittle) {
  return testing::SprFrame(height, width, 0x3F, body, order == ByteOrder::kBig);
}

// Every token: line 0 clear, repeat, draw, shade 1 draw, shade 2 repeat,
// shade 2 draw; line 1 clear; line 2 shade 1 repeat and the three patterns.
const Bytes kEveryToken = {4, 24, 1, 1, 2,  2,  9, 9, 3, 1,  4, 0, 7, 1,  3, 0, 8, 2,  1, 1, 13, 1, 2,
                           0, 9,  1, 4, 18, 14, 2, 0, 0, 10, 1, 2, 2, 11, 1, 2, 3, 12, 2, 2, 4,  5, 0};

TEST(SprDecoder, EveryTokenInBothByteOrders) {
  for (ByteOrder order : {ByteOrder::kLittle, ByteOrder::kBig}) {
    DecodedSprite out;
    SprFrameInfo info;
    const auto status = DecodeSprFrame(Frame(3, 8, kEveryToken, order), order, out, SprSettings{}, &info);
    ASSERT_TRUE(status.Ok()) << status.error << " at " << status.offset;
    EXPECT_EQ(info.features, 0x3F);
    // -1 for clear; the default shading lows are 2 and 7, the patterns 1, 2, 3.
    std::vector<int> pixels;
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 8; ++x) pixels.push_back(out.Drawn(x, y) ? out.colour[out.Index(x, y)] : -1);
    EXPECT_EQ(pixels, (std::vector<int>{-1, 9, 9, 4, 5, 3, 3,  9, -1, -1, -1, -1, -1, -1, -1, -1,  //
                                        7,  7, 1, 2, 3, 3, -1, -1}));
  }
  // A short empty line followed by the end token is not a long line header.
  DecodedSprite empty;
  EXPECT_TRUE(DecodeSprFrame(Frame(2, 0, {4, 2, 5, 0}), ByteOrder::kLittle, empty).Ok());
}

TEST(SprDecoder, RejectsMalformedFramesAndEveryTruncation) {
  const std::tuple<const char*, Bytes, const char*> cases[] = {
      {"empty", {}, "shorter than its 10-byte header"},
      {"header only", Frame(1, 1, {}), "without an end token"},
      {"negative width", Frame(1, 0xFFFF, {5, 0}), "negative"},
      {"too wide", Frame(1, 9000, {5, 0}), "wider than"},
      {"unknown line token", Frame(1, 1, {6, 0, 5, 0}), "where a line should start"},
      {"line below the bottom", Frame(1, 0, {4, 2, 4, 2, 5, 0}), "below the bottom"},
      {"long header cut off", Frame(1, 1, {4, 2, 5, 255, 1}), "long line header cut off"},
      {"pixels cut off", Frame(1, 8, {4, 4, 3, 5, 5, 0}), "cut off by the end of their line"},
      {"pixels past the right edge", Frame(1, 1, {4, 6, 3, 2, 1, 1, 5, 0}), "right edge"},
      {"repeat cut off", Frame(1, 4, {4, 4, 2, 2, 5, 0}), "cut off"},
      {"repeat one past the right edge", Frame(1, 2, {4, 6, 2, 3, 7, 0, 5, 0}), "repeat runs past the right edge"},
      {"unknown token in a line", Frame(1, 1, {4, 4, 6, 1, 5, 0}), "unknown token inside a line"},
      {"odd line length", Frame(1, 1, {4, 5, 3, 1, 7, 5, 0}), "do not end where"},
      {"token cut by its line", Frame(1, 2, {4, 5, 1, 1, 0, 5, 0}), "cut off by the end of its line"},
  };
  DecodedSprite out;
  for (const auto& [name, frame, error] : cases) {
    const auto status = DecodeSprFrame(frame, ByteOrder::kLittle, out);
    EXPECT_NE(status.error.find(error), std::string::npos) << name << ": " << status.error;
  }
  const Bytes frame = Frame(3, 8, kEveryToken);
  for (std::size_t n = 0; n < frame.size(); ++n)
    EXPECT_FALSE(DecodeSprFrame(std::span(frame).first(n), ByteOrder::kLittle, out).Ok()) << n;
}

TEST(SprDecoder, ListsAndTheirByteOrder) {
  Bytes list = {0, 0, 0x01, 0xF7, 0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 16};
  for (std::uint8_t b : Frame(1, 1, {4, 6, 3, 1, 9, 0, 5, 0}, ByteOrder::kBig)) list.push_back(b);
  EXPECT_EQ(GuessSprListOrder(list), ByteOrder::kBig);
  SprListView view;
  ASSERT_TRUE(ParseSprList(list, ByteOrder::kBig, view).Ok());
  EXPECT_EQ(std::vector<long>({view.version, view.paletteId, long(view.frames.size())}),
            std::vector<long>({503, -1, 1}));
  // Read in the wrong order the same bytes do not parse.
  EXPECT_FALSE(ParseSprList(list, ByteOrder::kLittle, view).Ok());
  EXPECT_EQ(GuessSprListOrder(Bytes{0xF9, 0x01, 0, 0}), ByteOrder::kLittle);
  // Wall styles and patterns, which the build writes too.
  EXPECT_EQ(GuessSprListOrder(Bytes{0xF8, 0x01, 0, 0}), ByteOrder::kLittle);
  EXPECT_EQ(GuessSprListOrder(Bytes{1, 2, 3, 4}), std::nullopt);
  EXPECT_EQ(GuessSprListOrder(Bytes{0xF6, 0x01}), std::nullopt);
  EXPECT_FALSE(ParseSprList(std::span(list).first(11), ByteOrder::kBig, view).Ok());
  const std::tuple<std::size_t, std::uint8_t, const char*> bad[] = {{7, 9, "offset table longer"},
                                                                    {4, 0x80, "count out of range"},
                                                                    {15, 15, "outside the list"},
                                                                    {14, 1, "outside the list"}};
  for (const auto& [at, value, error] : bad) {
    Bytes broken = list;
    broken[at] = value;
    const auto status = ParseSprList(broken, ByteOrder::kBig, view);
    EXPECT_NE(status.error.find(error), std::string::npos) << at << ": " << status.error;
  }
}

// Compressed SPR# frames decode back to the pixels they were made from, in
// both storage orders, apart from what the settings change on purpose:
// suppressed colours come back as their replacements, and trimmed borders
// are simply not in the frame.
using testing::Contents;
using testing::TestImage;

// The colour a source pixel should come back as, or -1 for clear.
using Expectation = std::function<int(std::uint8_t)>;

// Compresses the rectangles as one list, stores it big-endian, and decodes
// every frame of both the native and the stored list.
void ExpectList(const TestImage& image, std::span<const Rect> rects, const SprSettings& settings,
                const PalWrap* palette, const Expectation& expect) {
  Compressor c;
  c.SetSettings(settings);
  OwnedHandle list;
  ASSERT_EQ(c.CompressList(image.View(), rects, palette, 3, kSprColourVersion, list), 0);
  const auto native = Contents(list);
  ASSERT_TRUE(ConvertSprListToStoredOrder(list.Get()));
  for (const auto& [bytes, order] :
       {std::pair{native, ByteOrder::kLittle}, std::pair{Contents(list), ByteOrder::kBig}}) {
    ASSERT_EQ(GuessSprListOrder(bytes), order);
    SprListView view;
    ASSERT_TRUE(ParseSprList(bytes, order, view).Ok());
    ASSERT_EQ(view.frames.size(), rects.size());
    for (std::size_t i = 0; i < rects.size(); ++i) {
      SCOPED_TRACE(::testing::Message() << "frame " << i << (order == ByteOrder::kBig ? " stored" : " native"));
      DecodedSprite out;
      const auto status = DecodeSprFrame(view.frames[i], order, out, settings);
      ASSERT_TRUE(status.Ok()) << status.error << " at " << status.offset;
      testing::ExpectFrameShows(out, rects[i], [&](int x, int y) { return expect(image.Get(x, y)); });
    }
  }
}

TEST(SprRoundTrip, RandomImagesWithTheBuildSettingsAndWithShadesAndPatterns) {
  std::mt19937 rng(99);
  SprSettings shaded = SprSettings::FromBytes({0x1F, 0, 3, 12, 13, 14, 2, 6, 7, 11, 0, 255});
  for (int round = 0; round < 60; ++round) {
    const int w = 1 + static_cast<int>(rng() % (round % 4 == 0 ? 700 : 40)), h = 1 + static_cast<int>(rng() % 30);
    // Noise, or stretches of one value, which make clears and repeats of every kind.
    TestImage image(w, h);
    const int values = round % 3 == 0 ? 256 : round % 3 == 1 ? 3 : 18;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w;) {
        const auto v = static_cast<std::uint8_t>(rng() % values);
        for (int n = values == 256 ? 1 : 1 + static_cast<int>(rng() % 6); n > 0 && x < w; --n) image.Set(x++, y, v);
      }
    }
    SprSettings s = round % 3 == 2 ? shaded : SprSettings{};
    s.clearColour = round % 3 == 2 ? 0 : image.Get(0, 0);
    const Rect rects[] = {testing::RandomRect(rng, w, h), testing::RandomRect(rng, w, h), image.Whole()};
    SCOPED_TRACE(::testing::Message() << "round " << round);
    ExpectList(image, rects, s, nullptr, [&](std::uint8_t p) { return p == s.clearColour ? -1 : p; });
  }
}

TEST(SprRoundTrip, SuppressedColoursComeBackAsTheirReplacements) {
  std::array<PaletteEntry, 256> colours{};
  for (int i = 0; i < 256; ++i) colours[i] = {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i / 2), 0};
  PalWrap palette;
  palette.SetFromColours(colours, true);
  const SprSettings s = SprSettings::FromBytes({0x31, 60, 8, 1, 2, 3, 2, 6, 7, 11, 10, 245});
  // The replacement of each index, from the palette's plain search; no
  // replacement may be the clear colour.
  auto replacement = [&](std::uint8_t p) -> int {
    if (p == 60) return -1;
    if (p >= 10 && p <= 245) return p;
    const auto& c = palette.GetColourTable()[p];
    const int found = palette.FindNearestBySearch(c.red, c.green, c.blue);
    EXPECT_NE(found, 60);
    return found;
  };
  std::mt19937 rng(5);
  TestImage image(64, 32);
  testing::FillRandom(image, rng);
  for (int x = 0; x < 64; x += 3) image.Set(x, 5, 60);
  const Rect rects[] = {image.Whole(), Rect::Make(5, 3, 40, 30)};
  ExpectList(image, rects, s, &palette, replacement);
}

}  // namespace
}  // namespace pixmold
