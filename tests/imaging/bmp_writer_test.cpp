#include "imaging/bmp_writer.h"

#include <gtest/gtest.h>

#include "base/byte_cursor.h"
#include "imaging/bmp_format.h"
#include "imaging/bmp_parser.h"
#include "imaging/offscreen.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

std::array<PaletteEntry, 256> Colours() {
  std::array<PaletteEntry, 256> colours{};
  for (int i = 0; i < 256; ++i) colours[i] = {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i * 7), 0x04};
  return colours;
}

// Widths around the row padding; the reader must give back every index and
// colour, and the headers must be the plain kind with the sizes they state.
TEST(BmpWriter, ReadsBackAsWrittenWhateverTheRowPadding) {
  for (const int width : {1, 4, 13}) {
    const int height = 3;
    std::vector<std::uint8_t> indices;
    for (int i = 0; i < width * height; ++i) indices.push_back(std::uint8_t(i * 37 + 5));
    const std::vector<std::uint8_t> file = EncodeBmp8(width, height, indices, Colours());

    ByteCursor in(file, ByteOrder::kLittle);
    BmpFileHeader header;
    BmpInfoHeader info;
    ASSERT_TRUE(ReadBmpFileHeader(in, header) && ReadBmpInfoHeader(in, info));
    const std::size_t stride = (std::size_t(width) + 3) / 4 * 4;
    EXPECT_EQ(header.fileSize, file.size());
    EXPECT_EQ(file.size(), 14 + 40 + 1024 + stride * height) << width;
    EXPECT_EQ(info.biSize, 40u);
    EXPECT_EQ(info.biClrUsed, 256u);

    testing::AssertCapture capture;
    BMPParser parser;
    ASSERT_EQ(parser.OpenBytes(file), 0);
    Offscreen pixels;
    ASSERT_TRUE(pixels.Create(Rect::Make(0, 0, width, height)));
    ASSERT_TRUE(parser.ReadPixels(pixels));
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) ASSERT_EQ(pixels.PixelAt(x, y), indices[y * width + x]) << width;
    for (int i = 0; i < 256; ++i) {
      const PaletteEntry want = {Colours()[i].red, Colours()[i].green, Colours()[i].blue, 0};
      ASSERT_EQ(parser.GetColours()[i], want) << i;
    }
    EXPECT_EQ(capture.Count(), 0u);
  }
}

TEST(BmpWriter, RefusesSizesNoReaderTakes) {
  testing::AssertCapture capture;
  EXPECT_TRUE(EncodeBmp8(0, 1, {}, Colours()).empty());
  const std::vector<std::uint8_t> two(2);
  EXPECT_TRUE(EncodeBmp8(3, 1, two, Colours()).empty());
  EXPECT_TRUE(EncodeBmp8(kMaxBmpSide + 1, 1, {}, Colours()).empty());
  EXPECT_EQ(capture.Count(), 3u);
}

}  // namespace
}  // namespace pixmold
