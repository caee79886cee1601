#include "imaging/sprite_sheet.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "image_bytes.h"
#include "image_corpus.h"
#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

using testing::Bmp8;
using testing::FatalOf;
using testing::Tga;
using testing::WriteFile;

std::uint8_t SheetIndex(int x, int y) { return static_cast<std::uint8_t>(20 + x + 8 * y); }
std::uint32_t RedWithDepth(int x, int y) { return (static_cast<std::uint32_t>(10 * x + y) << 24) | 0xFF0000; }

TEST(SpriteSheet, ARawPaletteLeavesTheColoursToTheTga) {
  testing::TempDir dir;
  testing::Bytes raw;  // entry i is (i, 0, 255 - i)
  for (int i = 0; i < 256; ++i) testing::Append(raw, {std::uint8_t(i), 0, std::uint8_t(255 - i)});
  const std::string tga = WriteFile(dir, "chair.tga", Tga(4, 2, 32, [](int x, int y) {
                                      const auto i = static_cast<std::uint32_t>(60 + x + 4 * y);
                                      return 0x7F000000u | (i << 16) | (255 - i);
                                    }));
  Offscreen colour, depth;
  MakeOffscreens(WriteFile(dir, "chair.pal", raw), tga, colour, depth);
  EXPECT_EQ(testing::Pixels(colour), (std::vector<std::vector<int>>{{60, 61, 62, 63}, {64, 65, 66, 67}}));
  EXPECT_EQ(depth.PixelAt(3, 1), 0x7F);
}

TEST(SpriteSheet, BadOrMismatchedImagesAreFatalAndNameTheFile) {
  testing::TempDir dir;
  testing::AssertCapture reports;
  const std::string bmp = WriteFile(dir, "chair.bmp", Bmp8(8, 6, SheetIndex));
  const std::string missing = dir.File("missing.tga");
  const std::string tga16 = WriteFile(dir, "sixteen.tga", testing::TgaHeader({.bitsPerPixel = 16}));
  const std::string rle = WriteFile(dir, "rle.tga", testing::TgaHeader({.imageType = 10}));
  const std::string badBmp = WriteFile(dir, "bad.bmp", testing::BmpHeaders({.clrUsed = 300}, 4));
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {bmp, WriteFile(dir, "wide.tga", Tga(9, 6, 32, RedWithDepth)), "bad bmp width"},
      {bmp, WriteFile(dir, "high.tga", Tga(8, 7, 32, RedWithDepth)), "bad bmp height"},
      {bmp, WriteFile(dir, "small.tga", Tga(7, 5, 32, RedWithDepth)), "bad bmp width"},
      {bmp, missing, "could not open tga file : " + missing + " : error #"},
      {bmp, tga16, "could not open tga file : " + tga16 + " : error #1200"},
      {"", rle, "could not open tga file : " + rle + " : error #"},
      {badBmp, "", "couldn't open BMP file : " + badBmp + " : error #1"},
  };
  for (const auto& [image, tga, expected] : cases) {
    Offscreen colour, depth;
    const std::string fatal = FatalOf([&, &image = image, &tga = tga] { MakeOffscreens(image, tga, colour, depth); });
    EXPECT_EQ(fatal.substr(0, expected.size()), expected);
    EXPECT_EQ(fatal.size() == expected.size(), expected.back() != '#') << fatal;
  }
}

}  // namespace
}  // namespace pixmold
