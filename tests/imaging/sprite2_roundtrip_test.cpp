// Every encoder's frames decode back to the pixels they were made from.
#include <gtest/gtest.h>

#include <sstream>

#include "base/report.h"
#include "imaging/offscreen.h"
#include "imaging/sprite2_compressor.h"
#include "imaging/sprite2_decoder.h"
#include "imaging/sprite2_prepare.h"
#include "sprite_test_images.h"

namespace pixmold {
namespace {

using testing::Contents;
using testing::RenderedSheet;
using testing::TestImage;

enum class Mode { kColour, kDepth, kAlpha };
constexpr int kAlphaBits = 5;

// Decodes a frame and compares every pixel of the rectangle with what the
// encoder was given; returns the number of drawn pixels.
int ExpectRoundTrip(const std::vector<std::uint8_t>& frame, Mode mode, const TestImage& colour, const TestImage& depth,
                    const TestImage& alpha, const Rect& reference, const Rect& rect) {
  DecodedSprite out;
  Sprite2FrameHeader h;
  const SpriteDecodeStatus status = DecodeSprite2Frame(frame, out, &h);
  EXPECT_TRUE(status.Ok()) << status.error << " at " << status.offset;
  if (!status.Ok()) return -1;
  EXPECT_EQ(out.width, rect.Width());
  EXPECT_EQ(out.height, rect.Height());
  EXPECT_EQ(h.originX, rect.left - reference.left);
  EXPECT_EQ(h.originY, rect.top - reference.top);
  EXPECT_EQ(h.clearColour, colour.Get(0, 0));
  const int shift = 8 - kAlphaBits;
  const int full = (255 - (mode == Mode::kAlpha ? alpha.Get(0, 0) : 0)) >> shift;
  int drawn = 0;
  int mismatches = 0;
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

std::vector<std::uint8_t> Encode(Sprite2Compressor& c, Mode mode, const TestImage& colour, const TestImage& depth,
                                 const TestImage& alpha, const Rect& reference, const Rect& rect) {
  switch (mode) {
    case Mode::kColour:
      return Contents(c.EncodeP(colour.View(), reference, rect));
    case Mode::kDepth:
      return Contents(c.EncodeZP(colour.View(), depth.View(), reference, rect));
    default:
      return Contents(c.EncodeZPA(colour.View(), depth.View(), alpha.View(), reference, rect, kAlphaBits));
  }
}

// Frames whose last rows are clear report their dropped skip line; that is
// expected here and kept out of the test output.
struct QuietReport {
  std::ostringstream sink;
  ScopedReportTarget scope{ReportTarget{&sink, nullptr, nullptr, nullptr}};
};

TEST(Sprite2RoundTrip, RandomImagesAndRectangles) {
  QuietReport quiet;
  std::mt19937 rng(1234);
  Sprite2Compressor c;
  for (int round = 0; round < 60; ++round) {
    const int w = 1 + static_cast<int>(rng() % 40), h = 1 + static_cast<int>(rng() % 40);
    TestImage colour(w, h), depth(w, h), alpha(w, h);
    testing::FillRandom(colour, rng, round % 2 ? 4 : 256);  // few colours make long clear and equal stretches
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        depth.Set(x, y, rng() % 3 == 0 ? 255 : static_cast<std::uint8_t>(rng() % 255));
        alpha.Set(x, y, static_cast<std::uint8_t>(rng() % 256));
      }
    }
    alpha.Set(0, 0, 0);
    // The alpha encoder needs the preparation that clears invisible pixels.
    PrepareAlpha(colour.View(), depth.MutView(), alpha.View(), kAlphaBits);
    const int l = static_cast<int>(rng() % w), t = static_cast<int>(rng() % h);
    const Rect rect =
        Rect::Make(l, t, l + 1 + static_cast<int>(rng() % (w - l)), t + 1 + static_cast<int>(rng() % (h - t)));
    const Rect reference = Rect::Make(0, 0, w, h);
    for (Mode mode : {Mode::kColour, Mode::kDepth, Mode::kAlpha}) {
      SCOPED_TRACE(::testing::Message() << "round " << round << " mode " << static_cast<int>(mode));
      const auto frame = Encode(c, mode, colour, depth, alpha, reference, rect);
      ASSERT_FALSE(frame.empty());
      EXPECT_TRUE(CheckSprite2Frame(frame));
      ExpectRoundTrip(frame, mode, colour, depth, alpha, reference, rect);
    }
  }
}

TEST(Sprite2RoundTrip, RenderedSheetCells) {
  QuietReport quiet;
  RenderedSheet sheet(96, 80, 3, 77);
  TestImage cleaned = sheet.depth;
  EXPECT_EQ(CleanUpDepth(sheet.colour.View(), cleaned.MutView()), 0);
  TestImage prepared = sheet.depth;
  PrepareAlpha(sheet.colour.View(), prepared.MutView(), sheet.alpha.View(), kAlphaBits);
  Sprite2Compressor c;
  // Cells of a 2 x 2 sheet, and the whole sheet.
  const Rect cells[] = {Rect::Make(0, 0, 48, 40), Rect::Make(48, 0, 96, 40), Rect::Make(0, 40, 48, 80),
                        Rect::Make(48, 40, 96, 80), Rect::Make(0, 0, 96, 80)};
  int drawnDepth = 0;
  for (const Rect& cell : cells) {
    ExpectRoundTrip(Contents(c.EncodeP(sheet.colour.View(), cell, cell)), Mode::kColour, sheet.colour, cleaned,
                    sheet.alpha, cell, cell);
    drawnDepth += ExpectRoundTrip(Contents(c.EncodeZP(sheet.colour.View(), cleaned.View(), cell, cell)), Mode::kDepth,
                                  sheet.colour, cleaned, sheet.alpha, cell, cell);
    ExpectRoundTrip(
        Contents(c.EncodeZPA(sheet.colour.View(), prepared.View(), sheet.alpha.View(), cell, cell, kAlphaBits)),
        Mode::kAlpha, sheet.colour, prepared, sheet.alpha, cell, cell);
  }
  // After the clean-up every coloured pixel has a depth and is drawn.
  int coloured = 0;
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 96; ++x) coloured += sheet.colour.Get(x, y) != 3;
  EXPECT_EQ(drawnDepth, 2 * coloured);
}

}  // namespace
}  // namespace pixmold

namespace pixmold {
namespace {

TEST(Sprite2RoundTrip, EncodesStraightFromAnOffscreen) {
  // 13 pixels wide: a stride of 16, rows stored bottom-up.
  Offscreen colour, depth;
  ASSERT_TRUE(colour.Create(Rect::Make(0, 0, 13, 3)));
  ASSERT_TRUE(depth.Create(Rect::Make(0, 0, 13, 3)));
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 13; ++x) {
      colour.Row(y)[x] = static_cast<std::uint8_t>(x + 20 * y);
      depth.Row(y)[x] = (x + y) % 3 == 0 ? 255 : static_cast<std::uint8_t>(x * y);
    }
  }
  Sprite2Compressor c;
  const Rect all = Rect::Make(0, 0, 13, 3);
  const auto frame = testing::Contents(c.EncodeZP(ViewOf(colour), ViewOf(depth), all, all));
  DecodedSprite out;
  ASSERT_TRUE(DecodeSprite2Frame(frame, out).Ok());
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 13; ++x) {
      EXPECT_EQ(out.Drawn(x, y), depth.Row(y)[x] != 255) << x << "," << y;
      if (out.Drawn(x, y)) {
        EXPECT_EQ(out.colour[out.Index(x, y)], colour.Row(y)[x]);
      }
    }
  }
}

}  // namespace
}  // namespace pixmold
