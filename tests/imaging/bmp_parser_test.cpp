#include "imaging/bmp_parser.h"

#include <gtest/gtest.h>

#include "image_bytes.h"
#include "image_corpus.h"
#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

using testing::AssertCapture;
using testing::Bytes;
using testing::CorpusPath;

std::vector<std::vector<int>> Rows(const Offscreen& o) {
  std::vector<std::vector<int>> rows;
  for (int y = 0; y < o.Height(); ++y) rows.emplace_back(o.Row(y), o.Row(y) + o.Width());
  return rows;
}

struct CorpusCase {
  const char* image;
  std::uint32_t colourCount;
};

class BmpCorpus : public ::testing::TestWithParam<CorpusCase> {};

TEST_P(BmpCorpus, MatchesTheIndependentDecoderPixelForPixel) {
  const std::string name = GetParam().image;
  const auto dump = testing::LoadIndexedDump(name.substr(0, name.size() - 4) + ".txt");
  ASSERT_GT(dump.width, 0);
  AssertCapture capture;
  BMPParser parser;
  ASSERT_EQ(parser.Open(CorpusPath(name)), 0);
  EXPECT_EQ(parser.GetColourCount(), GetParam().colourCount);
  int width = 0, height = 0;
  parser.GetSize(width, height);
  ASSERT_EQ(width, dump.width);
  ASSERT_EQ(height, dump.height);

  // The colour table as red, green, blue, 0; entries past the count are 0.
  const auto& colours = parser.GetColours();
  for (std::size_t i = 0; i < colours.size(); ++i) {
    if (i < parser.GetColourCount()) {
      ASSERT_LT(i, dump.colours.size());
      EXPECT_EQ(colours[i], (PaletteEntry{static_cast<std::uint8_t>(dump.colours[i][0]),
                                          static_cast<std::uint8_t>(dump.colours[i][1]),
                                          static_cast<std::uint8_t>(dump.colours[i][2]), 0}))
          << name << " entry " << i;
    } else {
      EXPECT_EQ(colours[i], PaletteEntry{}) << name << " entry " << i;
    }
  }

  PalWrap palette;
  Offscreen offscreen;
  ASSERT_TRUE(offscreen.Create(Rect::Make(0, 0, width, height), &palette));
  EXPECT_TRUE(parser.ReadPixels(offscreen));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      ASSERT_EQ(offscreen.PixelAt(x, y), dump.At(x, y)) << name << " at " << x << "," << y;
    }
  }
  EXPECT_EQ(capture.Count(), 0u) << capture.Reports().front();
}

INSTANTIATE_TEST_SUITE_P(Images, BmpCorpus,
                         ::testing::Values(CorpusCase{"bmp8_raw_w13_256.bmp", 256}, CorpusCase{"bmp8_raw_w13.bmp", 256},
                                           CorpusCase{"bmp8_raw_16.bmp", 16}, CorpusCase{"bmp8_rle_im.bmp", 256},
                                           CorpusCase{"bmp8_rle_hand.bmp", 256}),
                         [](const auto& info) {
                           std::string name = info.param.image;
                           return name.substr(0, name.size() - 4);
                         });

TEST(BMPParser, RejectedFilesAreReported) {
  struct Case {
    const char* image;
    const char* message;
  } cases[] = {
      {"no_such_file.bmp", "couldn't open bmp file"},          {"bmp_not_bm.bmp", "Not a BMP file"},
      {"bmp_header_short.bmp", "Couldn't read bitmap header"}, {"bmp_too_many_colours.bmp", "too many colors"},
      {"bmp_palette_short.bmp", "couldn't read palette"},      {"tga32_raw_top.tga", "Not a BMP file"},
  };
  for (const auto& c : cases) {
    AssertCapture capture;
    BMPParser parser;
    EXPECT_EQ(parser.Open(CorpusPath(c.image)), 1) << c.image;
    EXPECT_TRUE(capture.Saw(std::string("(FALSE) ") + c.message)) << c.image;
    PalWrap palette;
    Offscreen offscreen;
    ASSERT_TRUE(offscreen.Create(Rect::Make(0, 0, 13, 7), &palette));
    EXPECT_FALSE(parser.ReadPixels(offscreen));
  }
  AssertCapture capture;
  BMPParser parser;
  EXPECT_EQ(parser.OpenBytes(Bytes{'B', 'M', 0, 0}), 1);
  EXPECT_TRUE(capture.Saw("couldn't read BMP header"));
}

TEST(BMPParser, OtherDepthsAreReportedAndNotRead) {
  struct Case {
    const char* image;
    std::uint32_t colourCount;
  } cases[] = {{"bmp24.bmp", 0}, {"bmp4_im.bmp", 16}};
  for (const auto& c : cases) {
    AssertCapture capture;
    BMPParser parser;
    EXPECT_EQ(parser.Open(CorpusPath(c.image)), 0) << c.image;
    EXPECT_TRUE(capture.Saw("(mInfo.bmiHeader.biBitCount == 8) not an 8-bit file")) << c.image;
    EXPECT_EQ(parser.GetColourCount(), c.colourCount);
    PalWrap palette;
    Offscreen offscreen;
    ASSERT_TRUE(offscreen.Create(Rect::Make(0, 0, 13, 7), &palette));
    EXPECT_FALSE(parser.ReadPixels(offscreen));
    EXPECT_EQ(Rows(offscreen), std::vector<std::vector<int>>(7, std::vector<int>(13, 0)));
  }
}

TEST(BMPParser, DoubtfulHeaderFieldsAreReportedAndReadingGoesOn) {
  testing::BmpSpec spec;
  spec.width = 2;
  spec.infoSize = 108;
  spec.planes = 2;
  spec.paletteEntries = 0;
  spec.clrUsed = 1;  // with two planes of 8 bits, 0 would mean 1 << 16 truncated: none
  Bytes file = testing::BmpHeaders(spec, 4);
  testing::Append(file, {9, 9, 9, 9, 7, 8, 0, 0});  // one palette entry, then the row
  // The pixel offset in the headers counts no palette: point it past the entry.
  file[10] = 14 + 40 + 4;
  AssertCapture capture;
  BMPParser parser;
  ASSERT_EQ(parser.OpenBytes(file), 0);
  EXPECT_TRUE(capture.Saw("(mInfo.bmiHeader.biSize == sizeof(mInfo.bmiHeader)) huh?"));
  EXPECT_TRUE(capture.Saw("(mInfo.bmiHeader.biPlanes == 1) too many color planes"));
  PalWrap palette;
  Offscreen offscreen;
  ASSERT_TRUE(offscreen.Create(Rect::Make(0, 0, 2, 1), &palette));
  EXPECT_TRUE(parser.ReadPixels(offscreen));
  EXPECT_EQ(Rows(offscreen), (std::vector<std::vector<int>>{{7, 8}}));
}

TEST(BMPParser, RowOfWidth13IsFollowedByThreePadBytes) {
  testing::BmpSpec spec;
  spec.width = 13;
  spec.height = 2;
  Bytes file = testing::BmpHeaders(spec, 32);
  for (int row = 0; row < 2; ++row) {
    for (int x = 0; x < 13; ++x) file.push_back(static_cast<std::uint8_t>(row * 100 + x));
    testing::Append(file, {0xEE, 0xEE, 0xEE});
  }
  BMPParser parser;
  ASSERT_EQ(parser.OpenBytes(file), 0);
  PalWrap palette;
  Offscreen offscreen;
  ASSERT_TRUE(offscreen.Create(Rect::Make(0, 0, 13, 2), &palette));
  ASSERT_TRUE(parser.ReadPixels(offscreen));
  // The file's first row is the bottom one.
  for (int x = 0; x < 13; ++x) {
    EXPECT_EQ(offscreen.PixelAt(x, 1), x);
    EXPECT_EQ(offscreen.PixelAt(x, 0), 100 + x);
  }
}

TEST(BMPParser, OddAbsoluteRunOfThreeConsumesFourBytes) {
  testing::BmpSpec spec;
  spec.width = 4;
  spec.compression = kBmpRle8;
  Bytes records = {0, 3, 5, 6, 7, 0xFF, 1, 9, 0, 1};
  Bytes file = testing::BmpHeaders(spec, static_cast<std::uint32_t>(records.size()));
  testing::Append(file, records);
  AssertCapture capture;
  BMPParser parser;
  ASSERT_EQ(parser.OpenBytes(file), 0);
  PalWrap palette;
  Offscreen offscreen;
  ASSERT_TRUE(offscreen.Create(Rect::Make(0, 0, 4, 1), &palette));
  ASSERT_TRUE(parser.ReadPixels(offscreen));
  EXPECT_EQ(Rows(offscreen), (std::vector<std::vector<int>>{{5, 6, 7, 9}}));
  EXPECT_EQ(capture.Count(), 0u);
}

TEST(BMPParser, ShortAndUnknownDataIsReported) {
  struct Case {
    std::uint32_t compression;
    Bytes data;
    const char* message;
    std::vector<std::vector<int>> rows;
  } cases[] = {
      {kBmpRgb, {1, 2, 3, 4, 5}, "(FALSE) fread failed", {{5, 0, 0}, {1, 2, 3}}},
      {kBmpRle8, {3, 4, 0, 0, 2}, "(FALSE) read failed reading RLE BMP", {{0, 0, 0}, {4, 4, 4}}},
      {kBmpRle8, {0, 2, 1}, "(FALSE) read failed reading RLE BMP", {{0, 0, 0}, {0, 0, 0}}},
      {kBmpRle8, {0, 5, 1, 2}, "(FALSE) read failed reading RLE BMP", {{0, 0, 0}, {0, 0, 0}}},
      {kBmpRle8, {1, 7, 0, 2, 1, 1, 1, 8}, "(FALSE) read failed reading RLE BMP", {{0, 0, 8}, {7, 0, 0}}},
      {2, {1, 2, 3, 0}, "(FALSE) unknown compression scheme", {{0, 0, 0}, {0, 0, 0}}},
  };
  for (const auto& c : cases) {
    testing::BmpSpec spec;
    spec.width = 3;
    spec.height = 2;
    spec.compression = c.compression;
    Bytes file = testing::BmpHeaders(spec, static_cast<std::uint32_t>(c.data.size()));
    testing::Append(file, c.data);
    AssertCapture capture;
    BMPParser parser;
    ASSERT_EQ(parser.OpenBytes(file), 0);
    PalWrap palette;
    Offscreen offscreen;
    ASSERT_TRUE(offscreen.Create(Rect::Make(0, 0, 3, 2), &palette));
    EXPECT_FALSE(parser.ReadPixels(offscreen));
    EXPECT_TRUE(capture.Saw(c.message)) << c.message;
    EXPECT_EQ(Rows(offscreen), c.rows) << c.message;
  }
}

TEST(BMPParser, CorpusFileCutShortKeepsTheRowsBeforeTheCut) {
  const auto dump = testing::LoadIndexedDump("bmp8_raw_w13.txt");
  AssertCapture capture;
  BMPParser parser;
  ASSERT_EQ(parser.Open(CorpusPath("bmp8_pixels_short.bmp")), 0);
  PalWrap palette;
  Offscreen offscreen;
  ASSERT_TRUE(offscreen.Create(Rect::Make(0, 0, 13, 7), &palette));
  EXPECT_FALSE(parser.ReadPixels(offscreen));
  EXPECT_TRUE(capture.Saw("fread failed"));
  // Six whole rows (the bottom six) and 5 bytes of the seventh arrived.
  for (int y = 1; y < 7; ++y) {
    for (int x = 0; x < 13; ++x) ASSERT_EQ(offscreen.PixelAt(x, y), dump.At(x, y)) << x << "," << y;
  }
  for (int x = 0; x < 5; ++x) EXPECT_EQ(offscreen.PixelAt(x, 0), dump.At(x, 0));
}

TEST(BMPParser, RleWritesPastTheEdgeAreDroppedAndReported) {
  AssertCapture capture;
  BMPParser parser;
  ASSERT_EQ(parser.Open(CorpusPath("bmp8_rle_past_edge.bmp")), 0);
  PalWrap palette;
  Offscreen offscreen;
  ASSERT_TRUE(offscreen.Create(Rect::Make(0, 0, 4, 2), &palette));
  EXPECT_FALSE(parser.ReadPixels(offscreen));
  EXPECT_TRUE(capture.Saw("RLE BMP data past edge of bitmap"));
  EXPECT_EQ(Rows(offscreen), (std::vector<std::vector<int>>{{0, 0, 0, 0}, {3, 3, 3, 3}}));
}

TEST(BMPParser, OffscreenMustHaveTheImageSize) {
  BMPParser parser;
  ASSERT_EQ(parser.Open(CorpusPath("bmp8_raw_16.bmp")), 0);
  PalWrap palette;
  Offscreen offscreen;
  ASSERT_TRUE(offscreen.Create(Rect::Make(0, 0, 13, 6), &palette));
  AssertCapture capture;
  EXPECT_FALSE(parser.ReadPixels(offscreen));
  EXPECT_TRUE(capture.Saw("offscreen and bmp image differ in size"));
}

TEST(BMPParser, SizeIsTheLow16BitsOfTheHeader) {
  testing::BmpSpec spec;
  spec.width = 0x10005;
  spec.height = -3;
  BMPParser parser;
  ASSERT_EQ(parser.OpenBytes(testing::BmpHeaders(spec, 0)), 0);
  int width = 0, height = 0;
  parser.GetSize(width, height);
  EXPECT_EQ(width, 5);
  EXPECT_EQ(height, -3);  // a top-down file cannot be given an offscreen
}

}  // namespace
}  // namespace pixmold
