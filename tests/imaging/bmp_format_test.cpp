#include "imaging/bmp_format.h"

#include <gtest/gtest.h>

#include "image_bytes.h"
#include "image_corpus.h"
#include "imaging/image_file.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

using testing::AssertCapture;
using testing::Bytes;

TEST(BmpPaletteProbe, EightBitFilesGiveTheirCountAndStayAfterTheHeaders) {
  struct Case {
    const char* image;
    std::uint32_t count;
  } cases[] = {{"bmp8_raw_w13.bmp", 256}, {"bmp8_raw_16.bmp", 16}, {"bmp8_rle_im.bmp", 256}};
  for (const auto& c : cases) {
    const auto bytes = ReadImageFile(testing::CorpusPath(c.image));
    ASSERT_TRUE(bytes);
    ByteReader reader(*bytes);
    std::uint32_t count = 0;
    AssertCapture capture;
    EXPECT_TRUE(ProbeBmpPalette(reader, count)) << c.image;
    EXPECT_EQ(count, c.count) << c.image;
    EXPECT_EQ(reader.Position(), 54u);
    EXPECT_EQ(capture.Count(), 0u);
  }
}

TEST(BmpPaletteProbe, OtherFilesLeaveTheReaderWhereItWas) {
  struct Case {
    const char* image;
    const char* report;  // or null
  } cases[] = {
      {"bmp24.bmp", "too many bits per pixel retrieving palette"},
      {"bmp4_im.bmp", "too many bits per pixel retrieving palette"},
      {"tga32_raw_top.tga", nullptr},
      {"bmp_header_short.bmp", nullptr},
  };
  for (const auto& c : cases) {
    const auto bytes = ReadImageFile(testing::CorpusPath(c.image));
    ASSERT_TRUE(bytes);
    ByteReader reader(*bytes);
    ASSERT_TRUE(reader.Skip(0));
    std::uint32_t count = 77;
    AssertCapture capture;
    EXPECT_FALSE(ProbeBmpPalette(reader, count)) << c.image;
    EXPECT_EQ(count, 77u);
    EXPECT_EQ(reader.Position(), 0u);
    if (c.report) {
      EXPECT_TRUE(capture.Saw(c.report)) << c.image;
    } else {
      EXPECT_EQ(capture.Count(), 0u) << c.image;
    }
  }
}

TEST(BmpPaletteProbe, TooManyColoursIsReportedButAccepted) {
  const auto bytes = ReadImageFile(testing::CorpusPath("bmp_too_many_colours.bmp"));
  ASSERT_TRUE(bytes);
  ByteReader reader(*bytes);
  std::uint32_t count = 0;
  AssertCapture capture;
  EXPECT_TRUE(ProbeBmpPalette(reader, count));
  EXPECT_EQ(count, 300u);
  EXPECT_TRUE(capture.Saw("(*outNumColors <= 256) palette too big"));
}

TEST(BmpColourCount, ZeroMeansWhatTheBitsCanIndexKeptTo16Bits) {
  struct Case {
    std::uint16_t planes, bits;
    std::uint32_t used, expected;
  } cases[] = {
      {1, 8, 0, 256}, {1, 8, 16, 16}, {1, 4, 0, 16},          {1, 1, 0, 2},     {1, 16, 0, 0},
      {1, 24, 0, 0},  {2, 8, 0, 0},   {0xFFFF, 0xFFFF, 0, 0}, {1, 8, 300, 300},
  };
  for (const auto& c : cases) {
    BmpInfoHeader info;
    info.biPlanes = c.planes;
    info.biBitCount = c.bits;
    info.biClrUsed = c.used;
    EXPECT_EQ(BmpColourCount(info), c.expected) << c.planes << "x" << c.bits << " used " << c.used;
  }
}

}  // namespace
}  // namespace pixmold
