#include "imaging/sprite_sheet.h"

#include <gtest/gtest.h>

#include <string>

#include "base/terminate.h"
#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "sheet_files.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

using testing::Bmp8;
using testing::Tga;
using testing::WriteFile;

std::uint8_t SheetIndex(int x, int y) { return static_cast<std::uint8_t>(20 + x + 8 * y); }
std::uint32_t RedWithDepth(int x, int y) { return (static_cast<std::uint32_t>(10 * x + y) << 24) | 0xFF0000; }

// The message of the fatal error that running f raises ("" when none).
template <typename F>
std::string FatalOf(F&& f) {
  try {
    f();
  } catch (const Terminate& fatal) {
    return fatal.Message();
  }
  return {};
}

TEST(SpriteSheet, ColoursComeFromTheBmpAndDepthFromA32BitTga) {
  testing::TempDir dir;
  const std::string bmp = WriteFile(dir, "chair.bmp", Bmp8(8, 6, SheetIndex));
  const std::string tga = WriteFile(dir, "chair.tga", Tga(8, 6, 32, RedWithDepth));
  Offscreen colour, depth;
  MakeOffscreens(bmp, tga, colour, depth);
  ASSERT_EQ(colour.Width(), 8);
  ASSERT_EQ(colour.Height(), 6);
  ASSERT_EQ(depth.Width(), 8);
  ASSERT_EQ(depth.Height(), 6);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 8; ++x) {
      EXPECT_EQ(colour.PixelAt(x, y), SheetIndex(x, y)) << x << "," << y;
      EXPECT_EQ(depth.PixelAt(x, y), 10 * x + y) << x << "," << y;
    }
  }
  // The BMP is the global palette now, without the reserved colours.
  const PalWrap& palette = GetGlobalPalette();
  EXPECT_FALSE(palette.HasSystemColours());
  ASSERT_EQ(palette.GetColourTable().size(), 256u);
  EXPECT_EQ(palette.GetColourTable()[40].red, 20);
  EXPECT_EQ(palette.GetColourTable()[40].green, 215);
  EXPECT_EQ(palette.GetColourTable()[40].blue, 40);
}

TEST(SpriteSheet, A24BitTgaMakesNoDepth) {
  testing::TempDir dir;
  const std::string bmp = WriteFile(dir, "chair.bmp", Bmp8(8, 6, SheetIndex));
  const std::string tga = WriteFile(dir, "chair.tga", Tga(8, 6, 24, RedWithDepth));
  Offscreen colour, depth;
  MakeOffscreens(bmp, tga, colour, depth);
  EXPECT_EQ(colour.PixelAt(7, 5), SheetIndex(7, 5));
  EXPECT_FALSE(depth.Exists());
}

TEST(SpriteSheet, BmpAndTgaMustBeTheSameSize) {
  struct Case {
    int width, height;
    const char* message;
  };
  const Case cases[] = {
      {9, 6, "bad bmp width"},
      {8, 7, "bad bmp height"},
      {7, 5, "bad bmp width"},
  };
  testing::TempDir dir;
  const std::string bmp = WriteFile(dir, "chair.bmp", Bmp8(8, 6, SheetIndex));
  for (const Case& c : cases) {
    const std::string tga = WriteFile(dir, "chair.tga", Tga(c.width, c.height, 32, RedWithDepth));
    Offscreen colour, depth;
    EXPECT_EQ(FatalOf([&] { MakeOffscreens(bmp, tga, colour, depth); }), c.message) << c.width << "x" << c.height;
  }
}

TEST(SpriteSheet, ABmpAloneGivesTheColourOffscreen) {
  testing::TempDir dir;
  const std::string bmp = WriteFile(dir, "mask.bmp", Bmp8(5, 3, SheetIndex));
  Offscreen colour, depth;
  MakeOffscreens(bmp, "", colour, depth);
  ASSERT_EQ(colour.Width(), 5);
  ASSERT_EQ(colour.Height(), 3);
  EXPECT_EQ(colour.PixelAt(4, 2), SheetIndex(4, 2));
  EXPECT_FALSE(depth.Exists());
}

TEST(SpriteSheet, ARawPaletteLeavesTheColoursToTheTga) {
  testing::TempDir dir;
  // 256 (red, green, blue) triples: entry i is (i, 0, 255 - i).
  testing::Bytes raw;
  for (int i = 0; i < 256; ++i) testing::Append(raw, {static_cast<std::uint8_t>(i), 0, static_cast<std::uint8_t>(255 - i)});
  const std::string pal = WriteFile(dir, "chair.pal", raw);
  const std::string tga = WriteFile(dir, "chair.tga", Tga(4, 2, 32, [](int x, int y) {
                                      const std::uint32_t i = static_cast<std::uint32_t>(60 + x + 4 * y);
                                      return 0x7F000000u | (i << 16) | (255 - i);
                                    }));
  Offscreen colour, depth;
  MakeOffscreens(pal, tga, colour, depth);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(colour.PixelAt(x, y), 60 + x + 4 * y);
  EXPECT_EQ(depth.PixelAt(3, 1), 0x7F);
}

TEST(SpriteSheet, UnreadableImagesAreFatalAndNameTheFile) {
  testing::TempDir dir;
  testing::AssertCapture reports;
  const std::string bmp = WriteFile(dir, "chair.bmp", Bmp8(8, 6, SheetIndex));
  const std::string missing = dir.File("missing.tga");
  testing::TgaSpec sixteen;
  sixteen.bitsPerPixel = 16;
  const std::string tga16 = WriteFile(dir, "sixteen.tga", testing::TgaHeader(sixteen));
  const std::string rle = WriteFile(dir, "rle.tga", [] {
    testing::TgaSpec spec;
    spec.imageType = 10;
    return testing::TgaHeader(spec);
  }());
  testing::BmpSpec tooMany;
  tooMany.clrUsed = 300;
  const std::string badBmp = WriteFile(dir, "bad.bmp", testing::BmpHeaders(tooMany, 4));

  Offscreen colour, depth;
  EXPECT_EQ(FatalOf([&] { MakeOffscreens(bmp, missing, colour, depth); }).rfind("could not open tga file : " + missing + " : error #", 0), 0u);
  EXPECT_EQ(FatalOf([&] { MakeOffscreens(bmp, tga16, colour, depth); }), "could not open tga file : " + tga16 + " : error #1200");
  EXPECT_EQ(FatalOf([&] { MakeOffscreens("", rle, colour, depth); }).rfind("could not open tga file : " + rle + " : error #", 0), 0u);
  EXPECT_EQ(FatalOf([&] { MakeOffscreens(badBmp, "", colour, depth); }), "couldn't open BMP file : " + badBmp + " : error #1");
}

}  // namespace
}  // namespace pixmold
