#include "imaging/sprite2_compressor.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "imaging/sprite2_decoder.h"
#include "imaging/sprite2_prepare.h"
#include "imaging/sprite2_tokens.h"
#include "sprite_test_images.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

using testing::Contents;
using testing::FromRows;
using testing::TestImage;
using Bytes = std::vector<std::uint8_t>;

// The token stream of a frame, without its 16-byte header.
Bytes Stream(const Bytes& frame) { return frame.size() < 16 ? frame : Bytes(frame.begin() + 16, frame.end()); }

TEST(Sprite2Compressor, ColourStreamsAndTheirPostProcessing) {
  TestImage wide(9000, 1, 1), tall(1, 9000, 0);
  wide.Set(0, 0, 0);
  const std::tuple<const char*, TestImage, Bytes, const char*> cases[] = {
      {"trailing clear", FromRows({{0, 5, 0, 0}}), {0x08, 0, 0x01, 0x60, 0x01, 0xC0, 5, 0xB0, 0, 0xA0}, ""},
      {"alternating",
       FromRows({{0, 1, 2, 0, 3}}),
       {0x0E, 0, 0x01, 0x60, 0x02, 0xC0, 1, 2, 0x01, 0x60, 0x01, 0xC0, 3, 0xB0, 0, 0xA0},
       ""},
      {"two empty lines stay", FromRows({{0, 0}, {0, 0}}), {0x02, 0, 0x02, 0, 0, 0xA0}, ""},
      // Fewer than three tokens: no trailing skip to drop.
      {"three empty lines fold", FromRows({{0, 0}, {0, 0}, {0, 0}}), {0x03, 0x80, 0, 0xA0}, ""},
      {"skip between lines",
       FromRows({{0, 9}, {0, 0}, {0, 0}, {0, 0}, {9, 0}}),
       {0x08, 0, 0x01, 0x60, 0x01, 0xC0, 9, 0xB0, 0x03, 0x80, 0x06, 0, 0x01, 0xC0, 9, 0xB0, 0, 0xA0},
       ""},
      {"trailing skip dropped",
       FromRows({{0, 7}, {0, 0}, {0, 0}, {0, 0}}),
       {0x08, 0, 0x01, 0x60, 0x01, 0xC0, 7, 0xB0, 0, 0xA0},
       "warning: Was not expecting a skip line before end-of-sprite...please contact Tamm\n"},
      // 8191 + 809 lines; the second kSL ends a frame of three tokens and goes.
      {"very tall",
       tall,
       {0xFF, 0x9F, 0, 0xA0},
       "warning: Was not expecting a skip line before end-of-sprite...please contact Tamm\n"},
      {"too wide for a token", wide, {}, "does not fit an SPR2 token"},
  };
  for (const auto& [name, colour, stream, reported] : cases) {
    testing::CapturedReport report;
    EXPECT_EQ(Stream(Contents(Sprite2Compressor().EncodeP(colour.View(), colour.Whole(), colour.Whole()))), stream)
        << name;
    const std::string text = report.stream.str();
    EXPECT_TRUE(*reported ? text.find(reported) != std::string::npos : text.empty()) << name << ": " << text;
  }
}

TEST(Sprite2Compressor, DepthAndAlphaStreamsByteForByte) {
  testing::CapturedReport report;
  Sprite2Compressor c;
  TestImage colour = FromRows({{0, 3, 0x85}}), depth = FromRows({{255, 10, 20}});
  // The last pair's colour 0x85 makes the word before kEOS read as a kSL
  // code; only line-level tokens may be taken for one.
  Bytes frame = Contents(c.EncodeZP(colour.View(), depth.View(), colour.Whole(), colour.Whole()));
  EXPECT_EQ(Stream(frame), (Bytes{0x0A, 0, 0x01, 0x60, 0x02, 0x20, 10, 3, 20, 0x85, 0, 0xA0}));
  EXPECT_EQ(report.stream.str(), "");

  // Alpha 255 quantises to the full 31 and goes in a pair, 64 to 8 in a
  // triple; runs switch kind without clear tokens. Origin x is 1.
  colour = FromRows({{0, 1, 2, 3, 4}});
  depth = FromRows({{255, 9, 9, 9, 9}});
  TestImage alpha = FromRows({{0, 255, 64, 64, 255}});
  frame = Contents(c.EncodeZPA(colour.View(), depth.View(), alpha.View(), colour.Whole(), Rect::Make(1, 0, 5, 1), 5));
  const StreamBytes bytes =
      c.EncodeZPABytes(colour.View(), depth.View(), alpha.View(), colour.Whole(), Rect::Make(1, 0, 5, 1), 5);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.end()), frame);
  EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 16), (Bytes{4, 0, 1, 0, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0}));
  EXPECT_EQ(Stream(frame), (Bytes{0x12, 0, 0x01, 0x20, 9, 1, 0x02, 0x40, 9, 2, 8, 9, 3, 8, 0x01, 0x20, 9, 4, 0, 0xA0}));
}

// Lines of long and short runs, with drawn values a bit away from the clear
// ones: every frame decodes back to its pixels, and no run comes out cut in
// two (two tokens of one kind in a row).
TEST(Sprite2Compressor, RunsStayWholeAndFramesDecodeBack) {
  std::mt19937 random(5);
  Sprite2Compressor c;
  const std::uint8_t nearClear[] = {1, 0x80, 0xFE, 0x7F};
  for (int trial = 0; trial < 80; ++trial) {
    const int width = 1 + static_cast<int>(random() % 70), height = 1 + static_cast<int>(random() % 4);
    TestImage colour(width, height, 0), depth(width, height, 255);
    for (int y = 0; y < height; ++y) {
      bool drawn = (random() & 1) != 0 && y > 0;
      for (int x = 0; x < width; drawn = !drawn) {
        for (int n = 1 + static_cast<int>(random() % 24); n > 0 && x < width; --n, ++x) {
          if (!drawn) continue;
          colour.Set(x, y, random() % 2 ? nearClear[random() % 4] : static_cast<std::uint8_t>(1 + random() % 255));
          depth.Set(x, y, random() % 2 ? nearClear[random() % 4] : static_cast<std::uint8_t>(random() % 255));
        }
      }
    }
    for (const bool withDepth : {false, true}) {
      SCOPED_TRACE(::testing::Message() << "trial " << trial << (withDepth ? " depth" : " colour"));
      const Bytes frame = Contents(withDepth ? c.EncodeZP(colour.View(), depth.View(), colour.Whole(), colour.Whole())
                                             : c.EncodeP(colour.View(), colour.Whole(), colour.Whole()));
      if (withDepth) {
        // The bytes a list builder takes are the handle's.
        const StreamBytes bytes = c.EncodeZPBytes(colour.View(), depth.View(), colour.Whole(), colour.Whole());
        ASSERT_EQ(Bytes(bytes.begin(), bytes.end()), frame);
      }
      DecodedSprite decoded;
      ASSERT_TRUE(DecodeSprite2Frame(frame, decoded).Ok());
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          const bool drawn = depth.Get(x, y) < 255;
          ASSERT_EQ(decoded.Drawn(x, y), drawn) << x << "," << y;
          if (!drawn) continue;
          ASSERT_EQ(decoded.colour[decoded.Index(x, y)], colour.Get(x, y)) << x << "," << y;
          if (withDepth) {
            ASSERT_EQ(decoded.depth[decoded.Index(x, y)], depth.Get(x, y)) << x << "," << y;
          }
        }
      }
      Sprite2TokenReader reader(frame);
      Sprite2Token token;
      std::uint16_t previous = sprite2::kNL;
      while (reader.Next(token) && token.code != sprite2::kEOS) {
        if (token.code != sprite2::kNL && token.code != sprite2::kSL) {
          ASSERT_NE(token.code, previous) << "at byte " << token.position;
        }
        previous = token.code;
      }
    }
  }
}

TEST(Sprite2Compressor, EmptyRectangleGivesZeroSizeAndOrigin) {
  TestImage colour(8, 8, 0);
  Sprite2Compressor c;
  EXPECT_EQ(Contents(c.EncodeP(colour.View(), colour.Whole(), Rect::Make(2, 2, 2, 3))),
            (Bytes{0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0xA0}));
}

TEST(Sprite2Compressor, CheckAndOutOfMemory) {
  testing::AssertCapture asserts;
  Bytes frame = {1, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x06, 0x00, 0x01, 0xC0, 4, 0xB0, 0x00, 0xA0};
  EXPECT_TRUE(CheckSprite2Frame(frame));
  frame[16] = 0x02;  // points at the run token
  EXPECT_FALSE(CheckSprite2Frame(frame));
  EXPECT_TRUE(asserts.Saw("bad kNL data"));

  TestImage colour(4, 4, 0);
  colour.Set(1, 1, 5);
  Sprite2Compressor c;
  const std::size_t live = CountLiveHandles();
  FailHandleAllocationAfter(1);
  EXPECT_FALSE(c.EncodeP(colour.View(), colour.Whole(), colour.Whole()));
  FailHandleAllocationAfter(0);
  EXPECT_TRUE(asserts.Saw("could not allocate memory!"));
  EXPECT_EQ(CountLiveHandles(), live);
  EXPECT_TRUE(c.EncodeP(colour.View(), colour.Whole(), colour.Whole()));  // still usable afterwards
}

TEST(Sprite2Prepare, DepthCleanUpTiers) {
  // Colour 0 is clear (the top-left pixel); 1 is a coloured pixel. The depth
  // rows give 255 for "no depth yet".
  // Each case: colour rows, depth rows, the pixel to look at and its depth afterwards.
  const std::tuple<const char*, std::vector<std::vector<int>>, std::vector<std::vector<int>>, int, int, int> cases[] = {
      {"left and right", {{0, 0, 0}, {0, 1, 0}, {0, 0, 0}}, {{255, 9, 255}, {10, 255, 20}, {255, 9, 255}}, 1, 1, 15},
      {"rounds half up", {{0, 0, 0}, {0, 1, 0}}, {{255, 255, 255}, {10, 255, 11}}, 1, 1, 11},
      {"a 255 neighbour counts with its value", {{0, 0, 0}, {0, 1, 0}}, {{255, 255, 255}, {10, 255, 255}}, 1, 1, 133},
      // Left and right give 0, so above and below join; all four are counted.
      {"above and below", {{0, 0, 0}, {0, 1, 0}, {0, 0, 0}}, {{9, 30, 9}, {0, 255, 0}, {9, 40, 9}}, 1, 1, 18},
      {"diagonals", {{0, 0, 0}, {0, 1, 0}, {0, 0, 0}}, {{8, 0, 16}, {0, 255, 0}, {24, 0, 32}}, 1, 1, 10},
      {"edge has fewer neighbours", {{0, 0}, {1, 0}}, {{255, 255}, {255, 0}}, 0, 1, 128},
      {"clear pixels are left alone", {{0, 0, 0}, {0, 0, 0}}, {{255, 255, 255}, {10, 255, 20}}, 1, 1, 255},
      {"pixels with a depth are left alone", {{0, 0, 0}, {0, 1, 0}}, {{255, 255, 255}, {10, 77, 20}}, 1, 1, 77},
      // The first coloured pixel sees 255 on both sides and keeps it; the next sees it and the 100 beyond.
      {"in place, left to right", {{0, 1, 1, 1}}, {{255, 255, 255, 100}}, 2, 0, 178},
  };
  for (const auto& [name, colourRows, depthRows, x, y, expected] : cases) {
    TestImage colour = FromRows(colourRows), depth = FromRows(depthRows);
    EXPECT_EQ(CleanUpDepth(colour.View(), depth.MutView()), 0) << name;
    EXPECT_EQ(depth.Get(x, y), expected) << name;
  }
}

// The clean-up tests stretches of a row before walking them: a stray pixel
// at any column, across stretch boundaries and in a short last stretch, is
// still found, and only it changes.
TEST(Sprite2Prepare, DepthCleanUpFindsAStrayPixelAtEveryColumn) {
  constexpr int kWidth = 200;
  for (int stray = 1; stray < kWidth; ++stray) {
    TestImage colour(kWidth, 2, 0), depth(kWidth, 2, 10);
    colour.Set(stray, 1, 1);
    depth.Set(stray, 1, 255);
    depth.Set(stray == 1 ? 2 : 1, 0, 255);  // clear pixels at depth 255 stay so
    EXPECT_EQ(CleanUpDepth(colour.View(), depth.MutView()), 0) << stray;
    EXPECT_EQ(depth.Get(stray, 1), 10) << stray;
    EXPECT_EQ(depth.Get(stray == 1 ? 2 : 1, 0), 255) << stray;
  }
}

TEST(Sprite2Prepare, LonelyPixelIsReportedAndKeepsNoDepth) {
  TestImage colour = FromRows({{0, 0, 0}, {0, 1, 0}, {0, 0, 0}});
  TestImage depth = FromRows({{0, 0, 0}, {0, 255, 0}, {0, 0, 0}});
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(CleanUpDepth(colour.View(), depth.MutView()), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Could not find neighboring z-value in z-clean up...throwing away pixel\n");
  EXPECT_EQ(depth.Get(1, 1), 255);
  // A depth of another size is reported and left alone; none at all is fine.
  testing::AssertCapture asserts;
  TestImage none(0, 0);
  CleanUpDepth(colour.View(), none.MutView());
  EXPECT_EQ(asserts.Count(), 0u);
  TestImage other = FromRows({{255, 255, 255}});
  CleanUpDepth(colour.View(), other.MutView());
  EXPECT_TRUE(asserts.Saw("(w_ == 0 && h_ == 0) pixel and z-buffers are different dimensions!"));
  EXPECT_EQ(other.Get(1, 0), 255);
}

TEST(Sprite2Prepare, AlphaPreparationClearsInvisiblePixels) {
  TestImage colour = FromRows({{0, 1, 1, 1}});
  TestImage depth = FromRows({{255, 50, 60, 255}});
  TestImage alpha = FromRows({{0, 7, 8, 0}});
  PrepareAlpha(colour.View(), depth.MutView(), alpha.View(), 5);
  // Alpha 7 quantises to 0 (cleared), 8 to 1 (kept). The last pixel got a
  // depth from the clean-up and then lost it to its alpha of 0.
  EXPECT_EQ(std::vector<int>({depth.Get(1, 0), depth.Get(2, 0), depth.Get(3, 0)}), std::vector<int>({255, 60, 255}));
}

}  // namespace
}  // namespace pixmold
