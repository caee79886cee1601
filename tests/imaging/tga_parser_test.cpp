#include "imaging/tga_parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <tuple>

#include "base/terminate.h"
#include "base/xassert.h"
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
using testing::TrueColourDump;

// A palette of the picture's own colours (up to 256), so that a correct
// reader maps every pixel to an entry of exactly its colour.
void PaletteFromPicture(const TrueColourDump& dump, PalWrap& palette) {
  std::array<PaletteEntry, 256> colours{};
  std::set<std::tuple<int, int, int>> seen;
  std::size_t used = 0;
  for (const auto& p : dump.pixels) {
    if (used < colours.size() && seen.insert({p.r, p.g, p.b}).second) {
      colours[used++] = {static_cast<std::uint8_t>(p.r), static_cast<std::uint8_t>(p.g), static_cast<std::uint8_t>(p.b),
                         0};
    }
  }
  std::fill(colours.begin() + static_cast<std::ptrdiff_t>(used), colours.end(), colours[0]);
  palette.SetFromColours(colours, false);
}

struct CorpusCase {
  const char* image;
  bool is24Bit;
};

class TgaCorpus : public ::testing::TestWithParam<CorpusCase> {};

TEST_P(TgaCorpus, MatchesTheIndependentDecoderPixelForPixel) {
  const CorpusCase& c = GetParam();
  const std::string name = c.image;
  const TrueColourDump dump = testing::LoadTrueColourDump(name.substr(0, name.size() - 4) + ".txt");
  ASSERT_GT(dump.width, 0);
  PalWrap palette;
  PaletteFromPicture(dump, palette);

  TGAParser parser;
  ASSERT_EQ(parser.Open(CorpusPath(name)), 0);
  int width = 0, height = 0;
  parser.GetSize(width, height);
  EXPECT_EQ(width, dump.width);
  EXPECT_EQ(height, dump.height);
  EXPECT_EQ(parser.Is24Bit(), c.is24Bit);

  Offscreen colour, alpha;
  ASSERT_TRUE(colour.Create(Rect::Make(0, 0, width, height), &palette));
  ASSERT_TRUE(alpha.Create(Rect::Make(0, 0, width, height), &palette));
  AssertCapture capture;
  ASSERT_EQ(parser.Render(&colour, c.is24Bit ? nullptr : &alpha), 0);
  EXPECT_EQ(capture.Count(), 0u);
  const auto table = palette.GetColourTable();
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const auto& p = dump.At(x, y);
      const PaletteEntry& got = table[colour.PixelAt(x, y)];
      ASSERT_EQ(std::make_tuple(int{got.red}, int{got.green}, int{got.blue}), std::make_tuple(p.r, p.g, p.b))
          << name << " at " << x << "," << y;
      if (!c.is24Bit) {
        ASSERT_EQ(alpha.PixelAt(x, y), p.a) << name << " at " << x << "," << y;
      }
    }
  }

  // The depth alone, as the build renders it when a BMP gives the colours.
  if (!c.is24Bit) {
    Offscreen depth;
    ASSERT_TRUE(depth.Create(Rect::Make(0, 0, width, height), &palette));
    ASSERT_EQ(parser.Render(nullptr, &depth), 0);
    for (int y = 0; y < height; ++y) {
      ASSERT_TRUE(std::equal(depth.Row(y), depth.Row(y) + width, alpha.Row(y))) << name << " row " << y;
    }
  }
  EXPECT_EQ(parser.Close(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Images, TgaCorpus,
    ::testing::Values(CorpusCase{"tga24_raw_bottom.tga", true}, CorpusCase{"tga24_raw_top.tga", true},
                      CorpusCase{"tga32_raw_bottom.tga", false}, CorpusCase{"tga32_raw_top.tga", false},
                      CorpusCase{"tga24_rle_bottom.tga", true}, CorpusCase{"tga32_rle_top.tga", false},
                      CorpusCase{"tga32_rle_im.tga", false}, CorpusCase{"tga24_raw_im.tga", true},
                      CorpusCase{"tga32_rle_cross.tga", false}, CorpusCase{"tga24_rle_rtl.tga", true}),
    [](const auto& info) {
      std::string name = info.param.image;
      return name.substr(0, name.size() - 4);
    });

struct Rendered {
  std::vector<std::uint8_t> colour, alpha;
};

Rendered RenderFile(const std::string& name, PalWrap& palette) {
  TGAParser parser;
  EXPECT_EQ(parser.Open(CorpusPath(name)), 0) << name;
  int width = 0, height = 0;
  parser.GetSize(width, height);
  Offscreen colour, alpha;
  colour.Create(Rect::Make(0, 0, width, height), &palette);
  alpha.Create(Rect::Make(0, 0, width, height), &palette);
  EXPECT_EQ(parser.Render(&colour, &alpha), 0);
  Rendered out;
  for (int y = 0; y < height; ++y) {
    out.colour.insert(out.colour.end(), colour.Row(y), colour.Row(y) + width);
    out.alpha.insert(out.alpha.end(), alpha.Row(y), alpha.Row(y) + width);
  }
  return out;
}

TEST(TGAParser, BothOriginsAndBothEncodingsGiveIdenticalOffscreens) {
  PalWrap palette;
  PaletteFromPicture(testing::LoadTrueColourDump("tga32_raw_top.txt"), palette);
  const Rendered top = RenderFile("tga32_raw_top.tga", palette);
  const Rendered bottom = RenderFile("tga32_raw_bottom.tga", palette);
  const Rendered rle = RenderFile("tga32_rle_top.tga", palette);
  EXPECT_EQ(top.colour, bottom.colour);
  EXPECT_EQ(top.alpha, bottom.alpha);
  EXPECT_EQ(top.colour, rle.colour);
  EXPECT_EQ(top.alpha, rle.alpha);
}

TEST(TGAParser, RunOf128TenBeforeTheRowEndFillsTenThen118OfTheNextRow) {
  PalWrap palette;
  PaletteFromPicture(testing::LoadTrueColourDump("tga32_rle_cross.txt"), palette);
  const Rendered r = RenderFile("tga32_rle_cross.tga", palette);
  const std::uint8_t runIndex = palette.FindNearest(10, 200, 30);
  ASSERT_EQ(r.colour.size(), 360u);
  for (int k = 0; k < 360; ++k) {
    const bool inRun = k >= 110 && k < 238;
    if (inRun) {
      EXPECT_EQ(r.colour[k], runIndex) << k;
      EXPECT_EQ(r.alpha[k], 77) << k;
    } else {
      EXPECT_FALSE(r.colour[k] == runIndex && r.alpha[k] == 77) << k;
    }
  }
}

TEST(TGAParser, A24BitImageLeavesTheAlphaOffscreenUntouched) {
  PalWrap palette;
  PaletteFromPicture(testing::LoadTrueColourDump("tga24_raw_top.txt"), palette);
  TGAParser parser;
  ASSERT_EQ(parser.Open(CorpusPath("tga24_raw_top.tga")), 0);
  Offscreen colour, alpha;
  ASSERT_TRUE(colour.Create(Rect::Make(0, 0, 13, 7), &palette));
  ASSERT_TRUE(alpha.Create(Rect::Make(0, 0, 5, 5), &palette));  // not even the image's size
  for (int y = 0; y < 5; ++y) std::fill(alpha.Row(y), alpha.Row(y) + 5, 0x5A);
  ASSERT_EQ(parser.Render(&colour, &alpha), 0);
  for (int y = 0; y < 5; ++y) EXPECT_EQ(std::count(alpha.Row(y), alpha.Row(y) + 5, 0x5A), 5);
}

TEST(TGAParser, RejectedFilesGiveTheirCodes) {
  struct Case {
    const char* image;
    ResErr code;
  } cases[] = {
      {"tga_grey.tga", tga_error::kBadImageType},      {"tga_mapped.tga", tga_error::kBadImageType},
      {"tga16.tga", tga_error::kBadBitsPerPixel},      {"tga32_alpha0.tga", tga_error::kBadAlphaBits},
      {"tga_cmap_flag.tga", tga_error::kColourMapped}, {"tga32_truncated.tga", res_error::kShortRead},
      {"tga_header_short.tga", res_error::kShortRead}, {"no_such_file.tga", res_error::kOpenFailed},
  };
  for (const auto& c : cases) {
    TGAParser parser;
    EXPECT_EQ(parser.Open(CorpusPath(c.image)), c.code) << c.image;
    EXPECT_FALSE(parser.HasImage());
    int width = -1, height = -1;
    parser.GetSize(width, height);
    EXPECT_EQ(width + height, 0) << c.image;
  }
}

TEST(TGAParser, HeaderChecksComeInTheirOrder) {
  struct Case {
    testing::TgaSpec spec;
    ResErr code;
  } cases[] = {
      {{.colourMapType = 1, .imageType = 1, .bitsPerPixel = 16, .descriptor = 0}, tga_error::kBadImageType},
      {{.colourMapType = 1, .imageType = 10, .bitsPerPixel = 16, .descriptor = 0}, tga_error::kBadBitsPerPixel},
      {{.colourMapType = 1, .imageType = 2, .bitsPerPixel = 32, .descriptor = 0x24}, tga_error::kBadAlphaBits},
      {{.colourMapType = 1, .imageType = 2, .bitsPerPixel = 24, .descriptor = 0x24}, tga_error::kColourMapped},
      {{.imageType = 2, .bitsPerPixel = 24, .descriptor = 0x05}, 0},  // alpha bits do not matter at 24
  };
  for (const auto& c : cases) {
    Bytes file = testing::TgaHeader(c.spec);
    file.resize(file.size() + 4, 0);
    TGAParser parser;
    EXPECT_EQ(parser.OpenBytes(file), c.code) << int(c.spec.imageType) << "/" << int(c.spec.bitsPerPixel);
  }
}

TEST(TGAParser, DimensionsLargerThanTheDataFailAtOpen) {
  struct Case {
    std::uint8_t type;
    std::uint16_t width, height;
    std::size_t dataBytes;
    ResErr code;
  } cases[] = {
      {2, 65535, 65535, 64, res_error::kShortRead},
      {2, 4, 4, 63, res_error::kShortRead},
      {2, 4, 4, 64, 0},
      {10, 65535, 65535, 1000, res_error::kShortRead},
      {10, 16, 16, 9, res_error::kShortRead},  // 256 pixels need at least two packets
      {10, 16, 16, 10, 0},
      {2, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    Bytes file = testing::TgaHeader({.imageType = c.type, .width = c.width, .height = c.height});
    file.resize(file.size() + c.dataBytes, 0);
    TGAParser parser;
    EXPECT_EQ(parser.OpenBytes(file), c.code) << int(c.type) << " " << c.width << "x" << c.height;
  }
}

TEST(TGAParser, IdFieldIsSkipped) {
  Bytes file = testing::TgaHeader({.idLength = 5, .width = 2, .height = 1, .descriptor = 0x28});
  testing::Append(file, {1, 2, 3, 4, 5, 6, 7, 8});
  TGAParser parser;
  ASSERT_EQ(parser.OpenBytes(file), 0);
  PalWrap palette;
  Offscreen alpha;
  ASSERT_TRUE(alpha.Create(Rect::Make(0, 0, 2, 1), &palette));
  ASSERT_EQ(parser.Render(nullptr, &alpha), 0);
  EXPECT_EQ(alpha.PixelAt(0, 0), 4);
  EXPECT_EQ(alpha.PixelAt(1, 0), 8);
}

TEST(TGAParser, WithoutColoursAPixelMapsToItsRed) {
  // How the build prepares an alpha layer from a grey image.
  Bytes file = testing::TgaHeader({.width = 3, .height = 1, .bitsPerPixel = 24, .descriptor = 0x20});
  testing::Append(file, {0, 0, 9, 5, 5, 200, 1, 2, 3});
  TGAParser parser;
  ASSERT_EQ(parser.OpenBytes(file), 0);
  PalWrap palette;
  Offscreen colour;
  ASSERT_TRUE(colour.Create(Rect::Make(0, 0, 3, 1), &palette));
  ASSERT_EQ(parser.Render(&colour, nullptr), 0);
  EXPECT_EQ(std::vector<int>(colour.Row(0), colour.Row(0) + 3), (std::vector<int>{9, 200, 3}));
}

TEST(TGAParser, RunPastTheLastRowIsReported) {
  TGAParser parser;
  ASSERT_EQ(parser.Open(CorpusPath("tga32_rle_past_edge.tga")), 0);
  PalWrap palette;
  Offscreen alpha;
  ASSERT_TRUE(alpha.Create(Rect::Make(0, 0, 13, 2), &palette));
  {
    AssertCapture capture;
    EXPECT_EQ(parser.Render(nullptr, &alpha), 0);
    EXPECT_TRUE(capture.Saw("(rcnt<0) tga run past edge of bitmap"));
  }
  EXPECT_EQ(std::count(alpha.Row(1), alpha.Row(1) + 13, 4), 13);
  // On the build's worker thread the report ends the build.
  ScopedWorkerThread worker;
  EXPECT_THROW(parser.Render(nullptr, &alpha), Terminate);
}

TEST(TGAParser, PixelDataThatRunsOutRaisesTheShortReadCode) {
  TGAParser parser;
  ASSERT_EQ(parser.Open(CorpusPath("tga32_rle_short.tga")), 0);
  PalWrap palette;
  Offscreen alpha;
  ASSERT_TRUE(alpha.Create(Rect::Make(0, 0, 13, 2), &palette));
  try {
    parser.Render(nullptr, &alpha);
    FAIL() << "no read error";
  } catch (const TgaReadError& e) {
    EXPECT_EQ(e.Code(), res_error::kShortRead);
  }
  // The pixels that were there were written before the error.
  EXPECT_EQ(std::count(alpha.Row(0), alpha.Row(0) + 13, 4), 13);
  EXPECT_EQ(std::count(alpha.Row(1), alpha.Row(1) + 5, 0), 5);
}

TEST(TGAParser, RenderNeedsAnImageAndOffscreensOfItsSize) {
  PalWrap palette;
  Offscreen small;
  ASSERT_TRUE(small.Create(Rect::Make(0, 0, 12, 7), &palette));
  TGAParser parser;
  {
    AssertCapture capture;
    EXPECT_EQ(parser.Render(&small, nullptr), res_error::kNotOpen);
    EXPECT_TRUE(capture.Saw("(fHasImage) no image file"));
  }
  ASSERT_EQ(parser.Open(CorpusPath("tga32_raw_top.tga")), 0);
  {
    AssertCapture capture;
    EXPECT_EQ(parser.Render(&small, nullptr), res_error::kShortWrite);
    EXPECT_TRUE(capture.Saw("offscreen and tga image differ in size"));
  }
  {
    AssertCapture capture;
    Offscreen none;
    EXPECT_EQ(parser.Render(&none, nullptr), 0);  // reported, then rendered into nothing
    EXPECT_TRUE(capture.Saw("(pal) no palette"));
  }
}

TEST(TGAParser, OpenClosesThePreviousFileAndCloseReportsWhenNothingIsOpen) {
  TGAParser parser;
  ASSERT_EQ(parser.Open(CorpusPath("tga32_raw_top.tga")), 0);
  ASSERT_EQ(parser.Open(CorpusPath("tga24_rle_rtl.tga")), 0);
  int width = 0, height = 0;
  parser.GetSize(width, height);
  EXPECT_EQ(width * 100 + height, 1305);
  EXPECT_TRUE(parser.Is24Bit());
  EXPECT_EQ(parser.Close(), 0);
  AssertCapture capture;
  EXPECT_EQ(parser.Close(), res_error::kNotOpen);
  EXPECT_TRUE(capture.Saw("closing an unopened file"));
}

}  // namespace
}  // namespace pixmold
