#include "imaging/sprite2_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "image_bytes.h"
#include "imaging/sprite2_compressor.h"
#include "imaging/sprite2_prepare.h"
#include "sprite_test_images.h"

namespace pixmold {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A frame header for width x height, colour+depth+alpha, palette 9, clear 3,
// origin (x 2, y 1), followed by the stream.
Bytes Spr2FrameBytes(int width, int height, const Bytes& stream) {
  Bytes f;
  testing::Put(f, {{std::uint32_t(width), 2}, {std::uint32_t(height), 2}, {7, 4}, {9, 2}, {3, 2}, {1, 2}, {2, 2}});
  testing::Append(f, stream);
  return f;
}

// Line 0: clear 1, a colour pixel, a depth pair; line 1: a triple; then two
// skipped lines.
const Bytes kMixed = {0x0C, 0x00, 0x01, 0x60, 0x01, 0xC0, 0x44, 0xB0, 0x01, 0x20, 0x10, 0x55,
                      0x08, 0x00, 0x01, 0x40, 0x20, 0x66, 0x05, 0xB0, 0x02, 0x80, 0x00, 0xA0};

TEST(Sprite2Decoder, DecodesEveryRunKind) {
  DecodedSprite out;
  Sprite2FrameHeader h;
  const auto status = DecodeSprite2Frame(Spr2FrameBytes(3, 4, kMixed), out, &h);
  ASSERT_TRUE(status.Ok()) << status.error;
  EXPECT_EQ(std::vector<int>({h.paletteId, h.originX, h.originY, int(h.flags)}), std::vector<int>({9, 2, 1, 7}));
  const std::size_t c = out.Index(1, 0), z = out.Index(2, 0), a = out.Index(0, 1);
  EXPECT_EQ(std::vector({out.kind[0], out.kind[c], out.kind[z], out.kind[a]}),
            std::vector({PixelKind::kClear, PixelKind::kColour, PixelKind::kDepth, PixelKind::kAlpha}));
  // A clear pixel shows the clear colour.
  EXPECT_EQ(std::vector<int>(
                {out.colour[0], out.colour[c], out.colour[z], out.depth[z], out.colour[a], out.depth[a], out.alpha[a]}),
            std::vector<int>({3, 0x44, 0x55, 0x10, 0x66, 0x20, 5}));
  EXPECT_EQ(std::count(out.kind.begin() + 6, out.kind.end(), PixelKind::kClear), 6);  // the skipped lines
}

TEST(Sprite2Decoder, RejectsMalformedFramesAndEveryTruncation) {
  const std::tuple<const char*, Bytes, const char*> cases[] = {
      {"empty", {}, "shorter than its 16-byte header"},
      {"header only", Spr2FrameBytes(1, 1, {}), "without kEOS"},
      {"too wide", Spr2FrameBytes(9000, 1, {0x00, 0xA0}), "wider than"},
      {"too tall", Spr2FrameBytes(1, 9000, {0x00, 0xA0}), "taller than"},
      {"run outside a line", Spr2FrameBytes(1, 1, {0x01, 0xC0, 1, 0xB0, 0x00, 0xA0}), "outside a line"},
      {"kNL of length 0", Spr2FrameBytes(1, 1, {0x00, 0x00, 0x00, 0xA0}), "shorter than the kNL"},
      {"kNL past the end", Spr2FrameBytes(1, 1, {0x40, 0x00, 0x00, 0xA0}), "line-level token inside a line"},
      {"run past the right edge", Spr2FrameBytes(1, 1, {0x06, 0x00, 0x02, 0xC0, 1, 2, 0x00, 0xA0}), "right edge"},
      {"run cut short", Spr2FrameBytes(4, 1, {0x0A, 0x00, 0x04, 0x20, 1, 2}), "run longer than the frame"},
      {"line length disagrees", Spr2FrameBytes(2, 1, {0x04, 0x00, 0x01, 0xC0, 1, 0xB0, 0x00, 0xA0}),
       "do not end where"},
      {"line below the bottom", Spr2FrameBytes(1, 1, {0x02, 0x00, 0x02, 0x00, 0x00, 0xA0}), "below the bottom"},
      {"unknown code", Spr2FrameBytes(1, 1, {0x00, 0xE0, 0x00, 0xA0}), "outside a line"},
  };
  DecodedSprite out;
  for (const auto& [name, frame, error] : cases) {
    const auto status = DecodeSprite2Frame(frame, out);
    EXPECT_NE(status.error.find(error), std::string::npos) << name << ": " << status.error;
  }
  const Bytes frame = Spr2FrameBytes(3, 4, kMixed);
  for (std::size_t n = 0; n < frame.size(); ++n)
    EXPECT_FALSE(DecodeSprite2Frame(std::span(frame).first(n), out).Ok()) << n;
}

TEST(Sprite2Decoder, ParsesLists) {
  const Bytes list = testing::Sprite2List({Spr2FrameBytes(1, 1, {0x00, 0xA0}), Spr2FrameBytes(1, 1, {0x00, 0xA0})}, -1);
  Sprite2ListView view;
  ASSERT_TRUE(ParseSprite2List(list, view).Ok());
  EXPECT_EQ(view.frames.size() * 100 + view.frames[1].size(), 218u);
  const std::tuple<std::size_t, std::uint8_t, const char*> bad[] = {{0, 0xE9, "version"},
                                                                    {4, 200, "offset table longer"},
                                                                    {7, 0x80, "count out of range"},
                                                                    {12, 19, "outside the list"},
                                                                    {16, 200, "outside the list"}};
  for (const auto& [at, value, error] : bad) {
    Bytes broken = list;
    broken[at] = value;
    EXPECT_NE(ParseSprite2List(broken, view).error.find(error), std::string::npos) << at;
  }
}

// Every encoder's frames decode back to the pixels they were made from.
using testing::TestImage;

enum class Mode { kColour, kDepth, kAlpha };
constexpr int kAlphaBits = 5;

// Encodes the rectangle, decodes the frame and compares every pixel with
// what the encoder was given; returns the number of drawn pixels.
int ExpectRoundTrip(Mode mode, const TestImage& colour, const TestImage& depth, const TestImage& alpha,
                    const Rect& reference, const Rect& rect) {
  Sprite2Compressor c;
  const auto frame = testing::Contents(
      mode == Mode::kColour  ? c.EncodeP(colour.View(), reference, rect)
      : mode == Mode::kDepth ? c.EncodeZP(colour.View(), depth.View(), reference, rect)
                             : c.EncodeZPA(colour.View(), depth.View(), alpha.View(), reference, rect, kAlphaBits));
  EXPECT_TRUE(CheckSprite2Frame(frame));
  DecodedSprite out;
  Sprite2FrameHeader h;
  const SpriteDecodeStatus status = DecodeSprite2Frame(frame, out, &h);
  EXPECT_TRUE(status.Ok()) << status.error << " at " << status.offset;
  if (!status.Ok()) return -1;
  EXPECT_EQ(std::vector<int>({out.width, out.height, h.originX, h.originY, h.clearColour}),
            std::vector<int>(
                {rect.Width(), rect.Height(), rect.left - reference.left, rect.top - reference.top, colour.Get(0, 0)}));
  const int shift = 8 - kAlphaBits;
  const int full = (255 - (mode == Mode::kAlpha ? alpha.Get(0, 0) : 0)) >> shift;
  int drawn = 0, mismatches = 0;
  for (int y = 0; y < out.height; ++y) {
    for (int x = 0; x < out.width; ++x) {
      const int sx = rect.left + x, sy = rect.top + y;
      const std::size_t i = out.Index(x, y);
      PixelKind want = PixelKind::kClear;
      if (mode == Mode::kColour) {
        if (colour.Get(sx, sy) != colour.Get(0, 0)) want = PixelKind::kColour;
      } else if (depth.Get(sx, sy) != 255) {
        want = (mode == Mode::kAlpha && (alpha.Get(sx, sy) >> shift) != full) ? PixelKind::kAlpha : PixelKind::kDepth;
      }
      bool same = out.kind[i] == want;
      if (want != PixelKind::kClear) {
        ++drawn;
        same = same && out.colour[i] == colour.Get(sx, sy);
        if (mode != Mode::kColour) same = same && out.depth[i] == depth.Get(sx, sy);
        if (want == PixelKind::kAlpha) same = same && out.alpha[i] == (alpha.Get(sx, sy) >> shift);
      }
      if (!same && ++mismatches <= 5) ADD_FAILURE() << "pixel " << sx << "," << sy << " differs";
    }
  }
  return drawn;
}

TEST(Sprite2RoundTrip, RandomImagesAndRectangles) {
  // Frames whose last rows are clear report their dropped skip line.
  testing::CapturedReport quiet;
  std::mt19937 rng(1234);
  for (int round = 0; round < 60; ++round) {
    const int w = 1 + static_cast<int>(rng() % 40), h = 1 + static_cast<int>(rng() % 40);
    TestImage colour(w, h), depth(w, h), alpha(w, h);
    testing::FillRandom(colour, rng, round % 2 ? 4 : 256);  // few colours make long clear and equal stretches
    testing::FillRandom(alpha, rng);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) depth.Set(x, y, rng() % 3 == 0 ? 255 : static_cast<std::uint8_t>(rng() % 255));
    alpha.Set(0, 0, round % 3 == 0 ? 16 : 0);  // the top-left alpha sets which alpha is opaque
    // The alpha encoder needs the preparation that clears invisible pixels.
    PrepareAlpha(colour.View(), depth.MutView(), alpha.View(), kAlphaBits);
    const Rect rect = testing::RandomRect(rng, w, h);
    for (Mode mode : {Mode::kColour, Mode::kDepth, Mode::kAlpha}) {
      SCOPED_TRACE(::testing::Message() << "round " << round << " mode " << static_cast<int>(mode));
      ExpectRoundTrip(mode, colour, depth, alpha, colour.Whole(), rect);
    }
  }
}

TEST(Sprite2RoundTrip, RenderedSheetCells) {
  testing::CapturedReport quiet;
  testing::RenderedSheet sheet(96, 80, 3, 77);
  TestImage cleaned = sheet.depth, prepared = sheet.depth;
  EXPECT_EQ(CleanUpDepth(sheet.colour.View(), cleaned.MutView()), 0);
  PrepareAlpha(sheet.colour.View(), prepared.MutView(), sheet.alpha.View(), kAlphaBits);
  // Cells of a 2 x 2 sheet, and the whole sheet.
  const Rect cells[] = {Rect::Make(0, 0, 48, 40), Rect::Make(48, 0, 96, 40), Rect::Make(0, 40, 48, 80),
                        Rect::Make(48, 40, 96, 80), sheet.colour.Whole()};
  int drawnDepth = 0;
  for (const Rect& cell : cells) {
    ExpectRoundTrip(Mode::kColour, sheet.colour, cleaned, sheet.alpha, cell, cell);
    drawnDepth += ExpectRoundTrip(Mode::kDepth, sheet.colour, cleaned, sheet.alpha, cell, cell);
    ExpectRoundTrip(Mode::kAlpha, sheet.colour, prepared, sheet.alpha, cell, cell);
  }
  // After the clean-up every coloured pixel has a depth and is drawn.
  int coloured = 0;
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 96; ++x) coloured += sheet.colour.Get(x, y) != 3;
  EXPECT_EQ(drawnDepth, 2 * coloured);
}

}  // namespace
}  // namespace pixmold
