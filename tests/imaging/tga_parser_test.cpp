#include "imaging/tga_parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <span>
#include <tuple>

#include "base/terminate.h"
#include "base/xassert.h"
#include "image_bytes.h"
#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

using testing::AssertCapture;
using testing::Bytes;
using testing::CorpusPath;
using Rows = std::vector<std::vector<int>>;

// A palette of the picture's own colours (up to 256), so that a correct
// reader maps every pixel to an entry of exactly its colour.
void PaletteFromPicture(const testing::ImageDump& dump, PalWrap& palette) {
  std::array<PaletteEntry, 256> colours{};
  std::map<std::vector<int>, int> seen;
  for (const auto& p : dump.pixels) {
    if (seen.size() < colours.size() && seen.emplace(std::vector<int>(p.begin(), p.begin() + 3), 0).second) {
      colours[seen.size() - 1] = {std::uint8_t(p[0]), std::uint8_t(p[1]), std::uint8_t(p[2]), 0};
    }
  }
  std::fill(colours.begin() + static_cast<std::ptrdiff_t>(seen.size()), colours.end(), colours[0]);
  palette.SetFromColours(colours, false);
}

// Renders the open image into a colour and an alpha offscreen of the given
// size, either left out when its size is 0.
struct Rendered {
  ResErr error = 0;
  Offscreen colour, alpha;
};
void Render(TGAParser& parser, PalWrap& palette, Rendered& out, int width, int height, int alphaWidth = -1) {
  EXPECT_TRUE(width <= 0 || out.colour.Create(Rect::Make(0, 0, width, height), &palette));
  if (alphaWidth < 0) alphaWidth = width;
  EXPECT_TRUE(alphaWidth <= 0 || out.alpha.Create(Rect::Make(0, 0, alphaWidth, height), &palette));
  out.error = parser.Render(width > 0 ? &out.colour : nullptr, alphaWidth > 0 ? &out.alpha : nullptr);
}

class TgaCorpus : public ::testing::TestWithParam<const char*> {};

TEST_P(TgaCorpus, MatchesTheIndependentDecoderPixelForPixel) {
  const std::string name = GetParam();
  const bool is24Bit = name.starts_with("tga24");
  const auto dump = testing::LoadDump(name + ".txt");
  ASSERT_GT(dump.width, 0);
  PalWrap palette;
  PaletteFromPicture(dump, palette);
  TGAParser parser;
  ASSERT_EQ(parser.Open(CorpusPath(name + ".tga")), 0);
  int width = 0, height = 0;
  parser.GetSize(width, height);
  ASSERT_EQ(width * 1000 + height, dump.width * 1000 + dump.height);
  EXPECT_EQ(parser.Is24Bit(), is24Bit);
  AssertCapture capture;
  Rendered out;
  Render(parser, palette, out, width, height, is24Bit ? 0 : width);
  ASSERT_EQ(out.error, 0);
  EXPECT_EQ(capture.Count(), 0u);
  const auto table = palette.GetColourTable();
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const PaletteEntry& got = table[out.colour.PixelAt(x, y)];
      std::vector<int> want = dump.At(x, y);
      if (is24Bit) want.resize(3);
      std::vector<int> have = {got.red, got.green, got.blue};
      if (!is24Bit) have.push_back(out.alpha.PixelAt(x, y));
      ASSERT_EQ(have, want) << x << "," << y;
    }
  }
  // The same pixels before any palette, as the palette maker reads them.
  ASSERT_EQ(parser.Open(CorpusPath(name + ".tga")), 0);
  std::vector<std::uint32_t> argb(static_cast<std::size_t>(width * height));
  ASSERT_EQ(parser.RenderTrueColour(argb), 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t v = argb[static_cast<std::size_t>(y * width + x)];
      std::vector<int> want = dump.At(x, y);
      if (is24Bit) want.resize(3);
      std::vector<int> have = {int(v >> 16 & 0xFF), int(v >> 8 & 0xFF), int(v & 0xFF)};
      if (!is24Bit) have.push_back(int(v >> 24));
      ASSERT_EQ(have, want) << x << "," << y;
      if (is24Bit) {
        ASSERT_EQ(v >> 24, 0u);
      }
    }
  }
  // And a row at a time, top row first, as the palette check walks a sheet.
  ASSERT_EQ(parser.Open(CorpusPath(name + ".tga")), 0);
  std::vector<std::uint32_t> visited;
  int nextRow = 0;
  ASSERT_EQ(parser.VisitTrueColourRows([&](int y, std::span<const std::uint32_t> row, int) {
    EXPECT_EQ(y, nextRow++);
    EXPECT_EQ(row.size(), static_cast<std::size_t>(width));
    visited.insert(visited.end(), row.begin(), row.end());
  }),
            0);
  EXPECT_EQ(visited, argb);
  EXPECT_EQ(capture.Count(), 0u);
  EXPECT_EQ(parser.Close(), 0);
}

INSTANTIATE_TEST_SUITE_P(Images, TgaCorpus,
                         ::testing::Values("tga24_raw_bottom", "tga24_raw_top", "tga32_raw_bottom", "tga32_raw_top",
                                           "tga24_rle_bottom", "tga32_rle_top", "tga32_rle_im", "tga24_raw_im",
                                           "tga32_rle_cross", "tga24_rle_rtl"),
                         [](const auto& info) { return std::string(info.param); });

TEST(TGAParser, RejectedFilesGiveTheirCodes) {
  const std::pair<const char*, ResErr> cases[] = {
      {"tga_grey.tga", tga_error::kBadImageType},      {"tga_mapped.tga", tga_error::kBadImageType},
      {"tga16.tga", tga_error::kBadBitsPerPixel},      {"tga32_alpha0.tga", tga_error::kBadAlphaBits},
      {"tga_cmap_flag.tga", tga_error::kColourMapped}, {"tga32_truncated.tga", res_error::kShortRead},
      {"tga_header_short.tga", res_error::kShortRead}, {"no_such_file.tga", res_error::kOpenFailed},
  };
  for (const auto& [image, code] : cases) {
    TGAParser parser;
    EXPECT_EQ(parser.Open(CorpusPath(image)), code) << image;
    EXPECT_FALSE(parser.HasImage());
  }
}

TEST(TGAParser, HeaderChecksComeInTheirOrderAndSizesMustFitTheData) {
  const std::tuple<testing::TgaSpec, std::size_t, ResErr> cases[] = {
      {{.colourMapType = 1, .imageType = 1, .bitsPerPixel = 16, .descriptor = 0}, 4, tga_error::kBadImageType},
      {{.colourMapType = 1, .imageType = 10, .bitsPerPixel = 16, .descriptor = 0}, 4, tga_error::kBadBitsPerPixel},
      {{.colourMapType = 1, .imageType = 2, .bitsPerPixel = 32, .descriptor = 0x24}, 4, tga_error::kBadAlphaBits},
      {{.colourMapType = 1, .imageType = 2, .bitsPerPixel = 24, .descriptor = 0x24}, 4, tga_error::kColourMapped},
      {{.imageType = 2, .bitsPerPixel = 24, .descriptor = 0x05}, 4, 0},  // alpha bits do not matter at 24
      {{.imageType = 2, .width = 65535, .height = 65535}, 64, res_error::kShortRead},
      {{.imageType = 2, .width = 4, .height = 4}, 63, res_error::kShortRead},
      {{.imageType = 2, .width = 4, .height = 4}, 64, 0},
      {{.imageType = 10, .width = 65535, .height = 65535}, 1000, res_error::kShortRead},
      {{.imageType = 10, .width = 16, .height = 16}, 9, res_error::kShortRead},  // 256 pixels need two packets
      {{.imageType = 10, .width = 16, .height = 16}, 10, 0},
      {{.imageType = 2, .width = 0, .height = 0}, 0, 0},
  };
  for (const auto& [spec, dataBytes, code] : cases) {
    Bytes file = testing::TgaHeader(spec);
    file.resize(file.size() + dataBytes, 0);
    TGAParser parser;
    EXPECT_EQ(parser.OpenBytes(file), code) << int(spec.imageType) << " " << spec.width << " " << dataBytes;
  }
}

// Uncompressed files are decoded into their final rows as they are read
// rather than turned over afterwards: every origin must land each pixel
// where the whole-image decode puts it, for the offscreens and row by row.
TEST(TGAParser, EveryOriginPlacesPixelsAlikeWholeAndRowByRow) {
  // Wide enough for whole steps of sixteen pixels and a remainder.
  constexpr int kWidth = 37, kHeight = 3;
  for (const std::uint8_t bits : {std::uint8_t{24}, std::uint8_t{32}}) {
    for (const std::uint8_t origin : {0x00, 0x10, 0x20, 0x30}) {
      SCOPED_TRACE(std::to_string(bits) + " bits, origin " + std::to_string(origin));
      Bytes file = testing::TgaHeader({.width = kWidth,
                                       .height = kHeight,
                                       .bitsPerPixel = bits,
                                       .descriptor = std::uint8_t(origin | (bits == 32 ? 8 : 0))});
      // Pixel i of the file: blue i, green 100 + i, red 200 - i, alpha 50 + i.
      for (int i = 0; i < kWidth * kHeight; ++i) {
        testing::Append(file, {std::uint8_t(i), std::uint8_t(100 + i), std::uint8_t(200 - i)});
        if (bits == 32) testing::Append(file, {std::uint8_t(50 + i)});
      }
      // Where the file's pixel i belongs: rows bottom-up unless 0x20, each
      // row left to right unless 0x10.
      const auto fileIndex = [&](int x, int y) {
        const int row = (origin & 0x20) ? y : kHeight - 1 - y;
        const int column = (origin & 0x10) ? kWidth - 1 - x : x;
        return row * kWidth + column;
      };
      TGAParser parser;
      ASSERT_EQ(parser.OpenBytes(file), 0);
      std::vector<std::uint32_t> whole(kWidth * kHeight);
      ASSERT_EQ(parser.RenderTrueColour(whole), 0);
      ASSERT_EQ(parser.OpenBytes(file), 0);
      std::vector<std::uint32_t> rows;
      ASSERT_EQ(parser.VisitTrueColourRows([&](int, std::span<const std::uint32_t> row, int) {
        rows.insert(rows.end(), row.begin(), row.end());
      }),
                0);
      EXPECT_EQ(rows, whole);
      if (bits == 32) {
        ASSERT_EQ(parser.OpenBytes(file), 0);
        PalWrap palette;
        Rendered depth;
        Render(parser, palette, depth, 0, kHeight, kWidth);
        ASSERT_EQ(depth.error, 0);
        for (int y = 0; y < kHeight; ++y) {
          for (int x = 0; x < kWidth; ++x) {
            const int i = fileIndex(x, y);
            EXPECT_EQ(depth.alpha.PixelAt(x, y), 50 + i) << x << "," << y;
            EXPECT_EQ(whole[std::size_t(y * kWidth + x)], std::uint32_t(50 + i) << 24 | std::uint32_t(200 - i) << 16 |
                                                              std::uint32_t(100 + i) << 8 | std::uint32_t(i))
                << x << "," << y;
          }
        }
      }
    }
  }
}

TEST(TGAParser, IdFieldIsSkipped) {
  PalWrap palette;
  TGAParser parser;
  Bytes file = testing::TgaHeader({.idLength = 5, .width = 2, .height = 1});
  testing::Append(file, {1, 2, 3, 4, 5, 6, 7, 8});
  ASSERT_EQ(parser.OpenBytes(file), 0);
  Rendered idField;
  Render(parser, palette, idField, 0, 1, 2);
  EXPECT_EQ(testing::Pixels(idField.alpha), (Rows{{4, 8}}));
}

TEST(TGAParser, BrokenRunLengthData) {
  TGAParser parser;
  ASSERT_EQ(parser.Open(CorpusPath("tga32_rle_past_edge.tga")), 0);
  PalWrap palette;
  Rendered out;
  {
    AssertCapture capture;
    Render(parser, palette, out, 0, 2, 13);
    EXPECT_EQ(out.error, 0);
    EXPECT_TRUE(capture.Saw("(rcnt<0) tga run past edge of bitmap"));
  }
  EXPECT_EQ(testing::Pixels(out.alpha)[1], std::vector<int>(13, 4));
  // Pixel data that runs out raises the short read code, after writing the pixels that were there.
  ASSERT_EQ(parser.Open(CorpusPath("tga32_rle_short.tga")), 0);
  std::fill(out.alpha.Row(0), out.alpha.Row(0) + 13, 0);
  try {
    parser.Render(nullptr, &out.alpha);
    ADD_FAILURE() << "no read error";
  } catch (const TgaReadError& e) {
    EXPECT_EQ(e.Code(), res_error::kShortRead);
  }
  EXPECT_EQ(testing::Pixels(out.alpha)[0], std::vector<int>(13, 4));
  // Decoded before any palette, the same data reports the same faults.
  std::vector<std::uint32_t> argb(13 * 2);
  {
    AssertCapture capture;
    ASSERT_EQ(parser.Open(CorpusPath("tga32_rle_past_edge.tga")), 0);
    EXPECT_EQ(parser.RenderTrueColour(argb), 0);
    EXPECT_TRUE(capture.Saw("(rcnt<0) tga run past edge of bitmap"));
    EXPECT_EQ(argb[13] >> 24, 4u);
    ASSERT_EQ(parser.Open(CorpusPath("tga32_rle_short.tga")), 0);
    EXPECT_EQ(parser.RenderTrueColour(std::span(argb).first(13)), res_error::kShortWrite);
    EXPECT_TRUE(capture.Saw("pixel buffer and tga image differ in size"));
    EXPECT_THROW(parser.RenderTrueColour(argb), TgaReadError);
  }
  // On the build's worker thread the report ends the build.
  ASSERT_EQ(parser.Open(CorpusPath("tga32_rle_past_edge.tga")), 0);
  ScopedWorkerThread worker;
  EXPECT_THROW(parser.Render(nullptr, &out.alpha), Terminate);
}

TEST(TGAParser, RenderNeedsAnImageAndOffscreensOfItsSize) {
  PalWrap palette;
  TGAParser parser;
  AssertCapture capture;
  Rendered none;
  Render(parser, palette, none, 12, 7, 0);
  EXPECT_EQ(none.error, res_error::kNotOpen);
  EXPECT_TRUE(capture.Saw("(fHasImage) no image file"));
  ASSERT_EQ(parser.Open(CorpusPath("tga32_raw_top.tga")), 0);
  Rendered small;
  Render(parser, palette, small, 12, 7, 0);
  EXPECT_EQ(small.error, res_error::kShortWrite);
  EXPECT_TRUE(capture.Saw("offscreen and tga image differ in size"));
  Offscreen nothing;
  EXPECT_EQ(parser.Render(&nothing, nullptr), 0);  // reported, then rendered into nothing
  EXPECT_TRUE(capture.Saw("(pal) no palette"));
}

}  // namespace
}  // namespace pixmold
