#include "imaging/sprite2_compressor.h"

#include <gtest/gtest.h>

#include <sstream>

#include "base/report.h"
#include "imaging/sprite2_decoder.h"
#include "imaging/sprite2_prepare.h"
#include "sprite_test_images.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

using testing::Contents;
using testing::TestImage;
using Bytes = std::vector<std::uint8_t>;

Rect Whole(const TestImage& image) { return Rect::Make(0, 0, image.Width(), image.Height()); }

// The token stream of a frame, without its 16-byte header.
Bytes Stream(const Bytes& frame) { return Bytes(frame.begin() + 16, frame.end()); }

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

struct CapturedReport {
  std::ostringstream stream;
  ScopedReportTarget scope{ReportTarget{&stream, nullptr, nullptr, nullptr}};
};

TEST(Sprite2Compressor, ColourFrameByteForByte) {
  TestImage colour = Rows({{0, 5, 6, 7}});
  Sprite2Compressor c;
  const Bytes frame = Contents(c.EncodeP(colour.View(), Whole(colour), Whole(colour)));
  const Bytes expected = {4,    0,    1, 0, 1, 0,    0, 0,
                          0,    0,    0, 0, 0, 0,    0, 0,  // 4 x 1, colour, palette 0, clear 0, origin 0,0
                          0x0A, 0x00,                       // kNL, 10 bytes to kEOS
                          0x01, 0x60,                       // kClear 1
                          0x03, 0xC0, 5, 6, 7, 0xB0,        // kRunP 3, one pad byte
                          0x00, 0xA0};                      // kEOS
  EXPECT_EQ(frame, expected);
}

struct StreamCase {
  const char* name;
  TestImage colour;
  Bytes stream;
};

TEST(Sprite2Compressor, ColourStreamsByteForByte) {
  const StreamCase cases[] = {
      // A row that ends in clear pixels ends with its last run.
      {"trailing clear", Rows({{0, 5, 0, 0}}), {0x08, 0x00, 0x01, 0x60, 0x01, 0xC0, 5, 0xB0, 0x00, 0xA0}},
      // Two empty lines stay two bare kNL tokens.
      {"two empty lines", Rows({{0, 0}, {0, 0}}), {0x02, 0x00, 0x02, 0x00, 0x00, 0xA0}},
      // Three all-clear rows fold into one kSL; no trailing-kSL report (fewer than 3 tokens).
      {"three empty lines", Rows({{0, 0}, {0, 0}, {0, 0}}), {0x03, 0x80, 0x00, 0xA0}},
      // A skip between drawn lines: the first kNL points at the kSL.
      {"skip between lines",
       Rows({{0, 9}, {0, 0}, {0, 0}, {0, 0}, {9, 0}}),
       {0x08, 0x00, 0x01, 0x60, 0x01, 0xC0, 9, 0xB0, 0x03, 0x80, 0x06, 0x00, 0x01, 0xC0, 9, 0xB0, 0x00, 0xA0}},
      // Runs split by clear stretches; an even run needs no pad.
      {"alternating",
       Rows({{0, 1, 2, 0, 3}}),
       {0x0E, 0x00, 0x01, 0x60, 0x02, 0xC0, 1, 2, 0x01, 0x60, 0x01, 0xC0, 3, 0xB0, 0x00, 0xA0}},
  };
  for (const auto& tc : cases) {
    CapturedReport report;
    Sprite2Compressor c;
    EXPECT_EQ(Stream(Contents(c.EncodeP(tc.colour.View(), Whole(tc.colour), Whole(tc.colour)))), tc.stream) << tc.name;
    EXPECT_EQ(report.stream.str(), "") << tc.name;
  }
}

TEST(Sprite2Compressor, TrailingSkipLineIsDroppedWithAReport) {
  TestImage colour = Rows({{0, 7}, {0, 0}, {0, 0}, {0, 0}});
  CapturedReport report;
  Sprite2Compressor c;
  const Bytes frame = Contents(c.EncodeP(colour.View(), Whole(colour), Whole(colour)));
  EXPECT_EQ(Stream(frame), (Bytes{0x08, 0x00, 0x01, 0x60, 0x01, 0xC0, 7, 0xB0, 0x00, 0xA0}));
  EXPECT_EQ(report.stream.str(), "warning: Was not expecting a skip line before end-of-sprite\n");
  // The height still counts the dropped rows.
  EXPECT_EQ(frame[2], 4);
}

TEST(Sprite2Compressor, PixelDataThatLooksLikeASkipLineIsKept) {
  // The last pair's colour 0x85 makes the word before kEOS read as a kSL
  // code; only line-level tokens may be taken for one.
  TestImage colour = Rows({{0, 0x85}});
  TestImage depth = Rows({{255, 3}});
  CapturedReport report;
  Sprite2Compressor c;
  const Bytes frame = Contents(c.EncodeZP(colour.View(), depth.View(), Whole(colour), Whole(colour)));
  EXPECT_EQ(Stream(frame), (Bytes{0x08, 0x00, 0x01, 0x60, 0x01, 0x20, 3, 0x85, 0x00, 0xA0}));
  EXPECT_EQ(report.stream.str(), "");
}

TEST(Sprite2Compressor, DepthAndAlphaStreamsByteForByte) {
  TestImage colour = Rows({{0, 3, 4}});
  TestImage depth = Rows({{255, 10, 20}});
  Sprite2Compressor c;
  Bytes frame = Contents(c.EncodeZP(colour.View(), depth.View(), Whole(colour), Whole(colour)));
  EXPECT_EQ(frame[4], 3);
  EXPECT_EQ(Stream(frame), (Bytes{0x0A, 0x00, 0x01, 0x60, 0x02, 0x20, 10, 3, 20, 4, 0x00, 0xA0}));

  // Alpha 255 quantises to the full value 31 and goes in a pair; alpha 24
  // quantises to 3 and goes in a triple, padded.
  TestImage alpha = Rows({{0, 255, 24}});
  frame = Contents(c.EncodeZPA(colour.View(), depth.View(), alpha.View(), Whole(colour), Rect::Make(1, 0, 3, 1), 5));
  const Bytes expected = {2,    0,    1,    0,    7,  0, 0,    0,    0,  0, 0, 0,    0,    0,
                          1,    0,  // 2 x 1, flags 7, origin x 1
                          0x0C, 0x00, 0x01, 0x20, 10, 3, 0x01, 0x40, 20, 4, 3, 0xB0, 0x00, 0xA0};
  EXPECT_EQ(frame, expected);
}

TEST(Sprite2Compressor, AlphaRunsSwitchKindWithoutClearTokens) {
  TestImage colour = Rows({{0, 1, 2, 3, 4}});
  TestImage depth = Rows({{255, 9, 9, 9, 9}});
  TestImage alpha = Rows({{0, 255, 64, 64, 255}});
  Sprite2Compressor c;
  const Bytes frame = Contents(c.EncodeZPA(colour.View(), depth.View(), alpha.View(), Whole(colour), Whole(colour), 5));
  EXPECT_EQ(Stream(frame), (Bytes{0x14, 0x00, 0x01, 0x60, 0x01, 0x20, 9,    1, 0x02, 0x40, 9,
                                  2,    8,    9,    3,    8,    0x01, 0x20, 9, 4,    0x00, 0xA0}));
}

TEST(Sprite2Compressor, EmptyRectangleGivesZeroSizeAndOrigin) {
  TestImage colour(4, 4, 0);
  Sprite2Compressor c;
  const Bytes frame = Contents(c.EncodeP(colour.View(), Rect::Make(0, 0, 4, 4), Rect::Make(2, 2, 2, 3)));
  EXPECT_EQ(frame, (Bytes{0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0xA0}));
}

TEST(Sprite2Compressor, OriginIsTheOffsetFromTheReference) {
  TestImage colour(8, 8, 0);
  colour.Set(5, 6, 1);
  Sprite2Compressor c;
  const Bytes frame = Contents(c.EncodeP(colour.View(), Rect::Make(1, 2, 8, 8), Rect::Make(4, 5, 7, 8)));
  Sprite2FrameHeader h;
  ASSERT_TRUE(ReadSprite2Header(frame, h).Ok());
  EXPECT_EQ(h.width, 3);
  EXPECT_EQ(h.height, 3);
  EXPECT_EQ(h.originX, 3);
  EXPECT_EQ(h.originY, 3);
}

TEST(Sprite2Compressor, AssertionTextsForMismatchedInputs) {
  testing::AssertCapture asserts;
  TestImage colour(4, 4, 0), depth(3, 4, 255), alpha(4, 3, 0);
  Sprite2Compressor c;
  Contents(c.EncodeZP(colour.View(), depth.View(), Whole(colour), Rect::Make(0, 0, 3, 3)));
  EXPECT_TRUE(asserts.Saw("(w_ == 0 && h_ == 0) pixel and z-buffers are different dimensions!"));
  asserts.Clear();
  TestImage depth4(4, 4, 255);
  Contents(c.EncodeZPA(colour.View(), depth4.View(), alpha.View(), Whole(colour), Rect::Make(0, 0, 3, 3), 5));
  EXPECT_TRUE(asserts.Saw("(w_ == width && h_ == height) alpha offscreen different size than z & pixels"));
  asserts.Clear();
  TestImage alpha4(4, 4, 0);
  Contents(c.EncodeZPA(colour.View(), depth4.View(), alpha4.View(), Whole(colour), Whole(colour), 3));
  EXPECT_TRUE(asserts.Saw("(alpha_bits <= 8 && alpha_bits > 3) odd-looking alpha_bits parameters..."));
  asserts.Clear();
  // A visible pixel whose alpha quantises to 0 should have been cleared.
  depth4.Set(1, 1, 5);
  alpha4.Set(1, 1, 7);
  Contents(c.EncodeZPA(colour.View(), depth4.View(), alpha4.View(), Whole(colour), Whole(colour), 5));
  EXPECT_TRUE(asserts.Saw("(aPx != 0) should have filtered out invisible pixels!"));
}

TEST(Sprite2Compressor, RowsTooWideForA13BitTokenAreRefused) {
  TestImage colour(9000, 1, 0);
  for (int x = 1; x < 9000; ++x) colour.Set(x, 0, 1);
  CapturedReport report;
  Sprite2Compressor c;
  EXPECT_TRUE(Contents(c.EncodeP(colour.View(), Whole(colour), Whole(colour))).empty());
  EXPECT_NE(report.stream.str().find("does not fit an SPR2 token"), std::string::npos);
}

TEST(Sprite2Compressor, VeryTallEmptyFramesSplitTheirSkipLines) {
  TestImage colour(1, 9000, 0);
  Sprite2Compressor c;
  CapturedReport report;
  const Bytes frame = Contents(c.EncodeP(colour.View(), Whole(colour), Whole(colour)));
  // 8191 + 809 lines; the second kSL ends a frame of three tokens and goes.
  EXPECT_EQ(Stream(frame), (Bytes{0xFF, 0x9F, 0x00, 0xA0}));
  EXPECT_NE(report.stream.str().find("skip line before end-of-sprite"), std::string::npos);
  DecodedSprite out;
  SpriteDecodeLimits limits;
  EXPECT_FALSE(DecodeSprite2Frame(frame, out, nullptr, limits).Ok());  // taller than the default cap
  limits.maxHeight = 9000;
  EXPECT_TRUE(DecodeSprite2Frame(frame, out, nullptr, limits).Ok());
  EXPECT_EQ(out.height, 9000);
}

TEST(Sprite2Compressor, CheckReportsBadLineLengths) {
  testing::AssertCapture asserts;
  Bytes frame = {1, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x06, 0x00, 0x01, 0xC0, 4, 0xB0, 0x00, 0xA0};
  EXPECT_TRUE(CheckSprite2Frame(frame));
  frame[16] = 0x02;  // points at the run token
  EXPECT_FALSE(CheckSprite2Frame(frame));
  EXPECT_TRUE(asserts.Saw("bad kNL data"));
}

}  // namespace
}  // namespace pixmold

namespace pixmold {
namespace {

TEST(Sprite2Compressor, OutOfMemoryGivesNoFrame) {
  testing::AssertCapture asserts;
  testing::TestImage colour(4, 4, 0);
  colour.Set(1, 1, 5);
  Sprite2Compressor c;
  const std::size_t live = CountLiveHandles();
  FailHandleAllocationAfter(1);
  OwnedHandle frame = c.EncodeP(colour.View(), Rect::Make(0, 0, 4, 4), Rect::Make(0, 0, 4, 4));
  FailHandleAllocationAfter(0);
  EXPECT_FALSE(frame);
  EXPECT_TRUE(asserts.Saw("could not allocate memory!"));
  EXPECT_EQ(CountLiveHandles(), live);
  // The compressor is still usable afterwards.
  EXPECT_TRUE(c.EncodeP(colour.View(), Rect::Make(0, 0, 4, 4), Rect::Make(0, 0, 4, 4)));
}

}  // namespace
}  // namespace pixmold
