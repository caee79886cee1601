#include "imaging/bmp_parser.h"

#include <gtest/gtest.h>

#include <tuple>

#include "image_bytes.h"
#include "imaging/bmp_format.h"
#include "imaging/offscreen.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

using testing::AssertCapture;
using testing::Bytes;
using testing::CorpusPath;
using Rows = std::vector<std::vector<int>>;

// What ReadPixels made of the image in an offscreen of the given size.
std::pair<bool, Rows> ReadInto(BMPParser& parser, int width, int height) {
  Offscreen o;
  EXPECT_TRUE(o.Create(Rect::Make(0, 0, width, height)));
  const bool ok = parser.ReadPixels(o);
  return {ok, testing::Pixels(o)};
}

Bytes BmpFile(const testing::BmpSpec& spec, const Bytes& data) {
  Bytes file = testing::BmpHeaders(spec, static_cast<std::uint32_t>(data.size()));
  testing::Append(file, data);
  return file;
}

class BmpCorpus : public ::testing::TestWithParam<const char*> {};

TEST_P(BmpCorpus, MatchesTheIndependentDecoderPixelForPixel) {
  const std::string name = GetParam();
  const auto dump = testing::LoadDump(name + ".txt");
  ASSERT_GT(dump.width, 0);
  AssertCapture capture;
  BMPParser parser;
  ASSERT_EQ(parser.Open(CorpusPath(name + ".bmp")), 0);
  ASSERT_EQ(parser.GetColourCount(), dump.colours.size());
  int width = 0, height = 0;
  parser.GetSize(width, height);
  ASSERT_EQ(width * 1000 + height, dump.width * 1000 + dump.height);
  // The colour table as red, green, blue, 0; entries past the count are 0.
  std::vector<std::vector<int>> table, want = dump.colours;
  for (const PaletteEntry& c : parser.GetColours()) table.push_back({c.red, c.green, c.blue, c.flags});
  for (auto& c : want) c.push_back(0);
  want.resize(table.size(), {0, 0, 0, 0});
  EXPECT_EQ(table, want);
  const auto [ok, rows] = ReadInto(parser, width, height);
  EXPECT_TRUE(ok);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) ASSERT_EQ(rows[y][x], dump.At(x, y).at(0)) << x << "," << y;
  EXPECT_EQ(capture.Count(), 0u) << capture.Reports().front();
}

INSTANTIATE_TEST_SUITE_P(Images, BmpCorpus,
                         ::testing::Values("bmp8_raw_w13_256", "bmp8_raw_w13", "bmp8_raw_16", "bmp8_rle_im",
                                           "bmp8_rle_hand", "bmp8_v4_im", "bmp8_v5_im", "bmp8_v5_rle_im"),
                         [](const auto& info) { return std::string(info.param); });

TEST(BMPParser, RejectedFilesAreReported) {
  const std::pair<const char*, const char*> cases[] = {
      {"no_such_file.bmp", "couldn't open bmp file"},          {"bmp_not_bm.bmp", "Not a BMP file"},
      {"bmp_header_short.bmp", "Couldn't read bitmap header"}, {"bmp_too_many_colours.bmp", "too many colors"},
      {"bmp_palette_short.bmp", "couldn't read palette"},      {"tga32_raw_top.tga", "Not a BMP file"},
  };
  for (const auto& [image, message] : cases) {
    AssertCapture capture;
    BMPParser parser;
    EXPECT_EQ(parser.Open(CorpusPath(image)), 1) << image;
    EXPECT_TRUE(capture.Saw(std::string("(FALSE) ") + message)) << image;
    EXPECT_FALSE(ReadInto(parser, 13, 7).first);
  }
  AssertCapture capture;
  BMPParser parser;
  EXPECT_EQ(parser.OpenBytes(Bytes{'B', 'M', 0, 0}), 1);
  EXPECT_TRUE(capture.Saw("couldn't read BMP header"));
  // One colour over the limit, the table there in full.
  EXPECT_EQ(parser.OpenBytes(BmpFile({.clrUsed = 257, .paletteEntries = 257}, {0, 0, 0, 0})), 1);
  EXPECT_TRUE(capture.Saw("(FALSE) too many colors"));
}

TEST(BMPParser, OtherDepthsAreReportedAndNotRead) {
  for (const auto& [image, colourCount] : {std::pair{"bmp24.bmp", 0u}, std::pair{"bmp4_im.bmp", 16u}}) {
    AssertCapture capture;
    BMPParser parser;
    EXPECT_EQ(parser.Open(CorpusPath(image)), 0) << image;
    EXPECT_TRUE(capture.Saw("(mInfo.bmiHeader.biBitCount == 8) not an 8-bit file")) << image;
    EXPECT_EQ(parser.GetColourCount(), colourCount);
    EXPECT_EQ(ReadInto(parser, 13, 7), std::pair(false, Rows(7, std::vector<int>(13, 0)))) << image;
  }
}

TEST(BMPParser, DoubtfulHeaderFieldsAreReportedAndReadingGoesOn) {
  // With two planes of 8 bits, 0 colours would mean 1 << 16 truncated: none.
  // An info header size we do not know is read as 40 bytes, the colour table
  // straight after them.
  Bytes file = BmpFile({.width = 2, .planes = 2, .clrUsed = 1, .paletteEntries = 0, .infoSize = 64},
                       {9, 8, 7, 0, 7, 8, 0, 0});  // one palette entry, then the row
  file[10] = 14 + 40 + 4;                          // the headers' pixel offset counts no palette
  AssertCapture capture;
  BMPParser parser;
  ASSERT_EQ(parser.OpenBytes(file), 0);
  EXPECT_TRUE(capture.Saw("(mInfo.bmiHeader.biSize == sizeof(mInfo.bmiHeader)) huh?"));
  EXPECT_TRUE(capture.Saw("(mInfo.bmiHeader.biPlanes == 1) too many color planes"));
  EXPECT_EQ(parser.GetColours()[0], (PaletteEntry{7, 8, 9, 0}));
  EXPECT_EQ(ReadInto(parser, 2, 1), std::pair(true, Rows{{7, 8}}));

  // The oldest layout's 12-byte header is one of those (its other fields
  // then make no sense either).
  capture.Clear();
  parser.Open(CorpusPath("bmp8_core_im.bmp"));
  EXPECT_TRUE(capture.Saw("huh?"));
}

TEST(BMPParser, TheColourTableFollowsTheHeaderSizeTheFileStates) {
  for (const std::uint32_t infoSize : {108u, 124u}) {
    // The longer headers' extra fields hold bytes that would read as colours.
    Bytes file = BmpFile({.width = 1, .clrUsed = 2, .paletteEntries = 0, .infoSize = infoSize}, {});
    file.resize(file.size() + infoSize - 40, 0xEE);
    testing::Append(file, {1, 2, 3, 0, 4, 5, 6, 0, 42, 0, 0, 0});
    const std::uint32_t pixels = 14 + infoSize + 8;
    for (int i = 0; i < 4; ++i) file[10 + i] = static_cast<std::uint8_t>(pixels >> (8 * i));
    AssertCapture capture;
    BMPParser parser;
    ASSERT_EQ(parser.OpenBytes(file), 0) << infoSize;
    EXPECT_EQ(capture.Count(), 0u) << infoSize;
    EXPECT_EQ(parser.GetColours()[1], (PaletteEntry{6, 5, 4, 0})) << infoSize;
    EXPECT_EQ(ReadInto(parser, 1, 1), std::pair(true, Rows{{42}})) << infoSize;
  }
}

TEST(BMPParser, PixelDataOfA3x2Image) {
  // Compression, pixel data, the message (null when the read succeeds), the rows read.
  const std::tuple<std::uint32_t, Bytes, const char*, Rows> cases[] = {
      // An odd absolute run is followed by a pad byte.
      {kBmpRle8, {0, 3, 5, 6, 7, 0xFF, 0, 0, 3, 9, 0, 1}, nullptr, {{9, 9, 9}, {5, 6, 7}}},
      {kBmpRgb, {1, 2, 3, 4, 5}, "(FALSE) fread failed", {{5, 0, 0}, {1, 2, 3}}},
      {kBmpRle8, {3, 4, 0, 0, 2}, "(FALSE) read failed reading RLE BMP", {{0, 0, 0}, {4, 4, 4}}},
      {kBmpRle8, {0, 2, 1}, "(FALSE) read failed reading RLE BMP", {{0, 0, 0}, {0, 0, 0}}},
      {kBmpRle8, {0, 5, 1, 2}, "(FALSE) read failed reading RLE BMP", {{0, 0, 0}, {0, 0, 0}}},
      {kBmpRle8, {1, 7, 0, 2, 1, 1, 1, 8}, "(FALSE) read failed reading RLE BMP", {{0, 0, 8}, {7, 0, 0}}},
      {2, {1, 2, 3, 0}, "(FALSE) unknown compression scheme", {{0, 0, 0}, {0, 0, 0}}},
  };
  for (const auto& [compression, data, message, rows] : cases) {
    SCOPED_TRACE(message ? message : "good");
    AssertCapture capture;
    BMPParser parser;
    const Bytes file = BmpFile({.width = 3, .height = 2, .compression = compression}, data);  // read from in place
    ASSERT_EQ(parser.OpenBytes(file), 0);
    EXPECT_EQ(ReadInto(parser, 3, 2), std::pair(message == nullptr, rows));
    EXPECT_TRUE(message ? capture.Saw(message) : capture.Count() == 0);
  }
}

TEST(BMPParser, CorpusFilesCutShortOrRunningPastTheEdge) {
  const auto dump = testing::LoadDump("bmp8_raw_w13.txt");
  AssertCapture capture;
  BMPParser parser;
  ASSERT_EQ(parser.Open(CorpusPath("bmp8_pixels_short.bmp")), 0);
  // Known from the headers alone, before a row is read: 7 rows padded to 16.
  EXPECT_EQ(parser.GetFileSize(), 1179u);
  EXPECT_EQ(parser.GetNeededFileSize(), 14u + 40 + 1024 + 16 * 7);
  const auto [ok, rows] = ReadInto(parser, 13, 7);
  EXPECT_FALSE(ok);
  EXPECT_TRUE(capture.Saw("fread failed"));
  // Six whole rows (the bottom six) and 5 bytes of the seventh arrived.
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < (y == 0 ? 5 : 13); ++x) ASSERT_EQ(rows[y][x], dump.At(x, y).at(0)) << x << "," << y;

  ASSERT_EQ(parser.Open(CorpusPath("bmp8_rle_past_edge.bmp")), 0);
  EXPECT_EQ(ReadInto(parser, 4, 2), std::pair(false, Rows{{0, 0, 0, 0}, {3, 3, 3, 3}}));
  EXPECT_TRUE(capture.Saw("RLE BMP data past edge of bitmap"));
  EXPECT_EQ(ReadInto(parser, 4, 3).first, false);
  EXPECT_TRUE(capture.Saw("offscreen and bmp image differ in size"));
}

}  // namespace
}  // namespace pixmold
