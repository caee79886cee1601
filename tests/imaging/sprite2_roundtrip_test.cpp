// Every encoder's frames decode back to the pixels they were made from.
#include <gtest/gtest.h>

#include "imaging/sprite2_compressor.h"
#include "imaging/sprite2_decoder.h"
#include "imaging/sprite2_prepare.h"
#include "sprite_test_images.h"

namespace pixmold {
namespace {

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
    alpha.Set(0, 0, 0);
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
