// Sheets read from a file come in pieces of rows, spread over threads; the
// offscreens must hold exactly what decoding the whole file from memory
// gives, whatever the orientation, the row padding, the piece boundaries
// and the number of threads, and a file cut short after it was opened must
// fail the read rather than leave rows unwritten.
#include <gtest/gtest.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "image_bytes.h"
#include "imaging/bmp_parser.h"
#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "imaging/pixel_view.h"
#include "imaging/row_pieces.h"
#include "imaging/sprite2_prepare.h"
#include "imaging/sprite_sheet.h"
#include "imaging/tga_parser.h"
#include "sprite_test_images.h"
#include "support/assert_capture.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

using testing::Bytes;

// Wide enough that one row is a good part of a piece and tall enough for
// several pieces and a short last one.
constexpr int kPieceTestWidth = 301;
constexpr int kPieceTestHeight = 5 * static_cast<int>(kRowPieceBytes / (kPieceTestWidth * 4)) + 7;

std::uint32_t PieceTestPixel(int x, int y) {
  const std::uint32_t mixed = static_cast<std::uint32_t>(x * 2654435761u) ^ static_cast<std::uint32_t>(y * 40503u);
  return mixed * 2246822519u >> 3;
}

Bytes PieceTestTga(int bits, std::uint8_t origin) {
  Bytes file = testing::TgaHeader({.width = kPieceTestWidth,
                                   .height = kPieceTestHeight,
                                   .bitsPerPixel = std::uint8_t(bits),
                                   .descriptor = std::uint8_t(origin | (bits == 32 ? 8 : 0))});
  for (int y = 0; y < kPieceTestHeight; ++y)
    for (int x = 0; x < kPieceTestWidth; ++x) testing::Put(file, {{PieceTestPixel(x, y), bits / 8}});
  return file;
}

struct PieceTestRender {
  Offscreen colour, depth;
};

// Renders an open parser's image; colour only when asked, since colour
// lookups keep to one thread and depth alone is what goes to the threads.
void RenderPieceTest(TGAParser& parser, PalWrap& palette, bool withColour, int threads, PieceTestRender& out) {
  ASSERT_TRUE(out.depth.Create(Rect::Make(0, 0, kPieceTestWidth, kPieceTestHeight), &palette));
  if (withColour) {
    ASSERT_TRUE(out.colour.Create(Rect::Make(0, 0, kPieceTestWidth, kPieceTestHeight), &palette));
  }
  ASSERT_EQ(parser.Render(withColour ? &out.colour : nullptr, &out.depth, threads), 0);
}

TEST(SheetPieces, ATgaReadInPiecesMatchesTheWholeFileDecodedFromMemory) {
  testing::TempDir dir;
  PalWrap palette;
  std::array<PaletteEntry, 256> colours{};
  for (int i = 0; i < 256; ++i)
    colours[std::size_t(i)] = {std::uint8_t(i), std::uint8_t(i * 7), std::uint8_t(i * 13), 0};
  palette.SetFromColours(colours, false);
  for (const int bits : {24, 32}) {
    for (const std::uint8_t origin : {std::uint8_t{0x00}, std::uint8_t{0x20}, std::uint8_t{0x10}}) {
      const Bytes file = PieceTestTga(bits, origin);
      const std::string path = testing::WriteFile(dir, "sheet.tga", file);
      TGAParser whole;
      ASSERT_EQ(whole.OpenBytes(file), 0);
      PieceTestRender expected;
      RenderPieceTest(whole, palette, true, 1, expected);
      for (const int threads : {1, 2, 3}) {
        for (const bool withColour : {true, false}) {
          SCOPED_TRACE(std::to_string(bits) + " bits, origin " + std::to_string(origin) + ", " +
                       std::to_string(threads) + " threads" + (withColour ? ", colour" : ""));
          TGAParser pieces;
          ASSERT_EQ(pieces.Open(path), 0);
          PieceTestRender got;
          RenderPieceTest(pieces, palette, withColour, threads, got);
          if (bits == 32) {
            EXPECT_TRUE(testing::Pixels(got.depth) == testing::Pixels(expected.depth));
          }
          if (withColour) {
            EXPECT_TRUE(testing::Pixels(got.colour) == testing::Pixels(expected.colour));
          }
        }
      }
    }
  }
}

// Rows handed over one by one come from the file in pieces too: every row
// once, with the values the whole decode gives, and each band of rows in
// order on one slot.
TEST(SheetPieces, RowsVisitedFromAFileMatchTheWholeDecode) {
  testing::TempDir dir;
  for (const int bits : {24, 32}) {
    for (const std::uint8_t origin : {std::uint8_t{0x00}, std::uint8_t{0x30}}) {
      const Bytes file = PieceTestTga(bits, origin);
      const std::string path = testing::WriteFile(dir, "rows.tga", file);
      TGAParser whole;
      ASSERT_EQ(whole.OpenBytes(file), 0);
      std::vector<std::uint32_t> expected(std::size_t(kPieceTestWidth) * kPieceTestHeight);
      ASSERT_EQ(whole.RenderTrueColour(expected), 0);
      for (const int threads : {1, 3}) {
        for (const int bandRows : {1, 4, 37}) {
          SCOPED_TRACE(std::to_string(bits) + " bits, origin " + std::to_string(origin) + ", " +
                       std::to_string(threads) + " threads, bands of " + std::to_string(bandRows));
          TGAParser pieces;
          ASSERT_EQ(pieces.Open(path), 0);
          std::vector<std::uint32_t> got(expected.size());
          std::vector<int> visits(kPieceTestHeight, 0);
          std::vector<int> slotOfBand((kPieceTestHeight + bandRows - 1) / bandRows, -1);
          std::vector<int> lastRowOfSlot(std::size_t(threads), -1);
          bool inOrder = true;
          std::mutex lock;
          ASSERT_EQ(pieces.VisitTrueColourRows(
                        [&](int y, std::span<const std::uint32_t> row, int slot) {
                          std::lock_guard hold(lock);
                          ++visits[std::size_t(y)];
                          std::copy(row.begin(), row.end(), got.begin() + std::ptrdiff_t(y) * kPieceTestWidth);
                          int& bandSlot = slotOfBand[std::size_t(y / bandRows)];
                          if (bandSlot == -1) bandSlot = slot;
                          inOrder = inOrder && bandSlot == slot && y > lastRowOfSlot[std::size_t(slot)];
                          lastRowOfSlot[std::size_t(slot)] = y;
                        },
                        threads, bandRows),
                    0);
          EXPECT_TRUE(got == expected);
          EXPECT_EQ(std::count(visits.begin(), visits.end(), 1), kPieceTestHeight);
          EXPECT_TRUE(inOrder);
        }
      }
    }
  }
}

TEST(SheetPieces, ABmpReadInPiecesMatchesTheWholeFileDecodedFromMemory) {
  testing::TempDir dir;
  // An odd width pads every row; the padding must never reach the pixels.
  const Bytes file = testing::Bmp8(kPieceTestWidth, 4 * kPieceTestHeight,
                                   [](int x, int y) { return std::uint8_t(PieceTestPixel(x, y)); });
  const std::string path = testing::WriteFile(dir, "sheet.bmp", file);
  BMPParser whole;
  ASSERT_EQ(whole.OpenBytes(file), 0);
  Offscreen expected;
  ASSERT_TRUE(expected.Create(Rect::Make(0, 0, kPieceTestWidth, 4 * kPieceTestHeight)));
  ASSERT_TRUE(whole.ReadPixels(expected));
  for (const int threads : {1, 2, 3}) {
    BMPParser pieces;
    ASSERT_EQ(pieces.Open(path), 0);
    Offscreen got;
    ASSERT_TRUE(got.Create(Rect::Make(0, 0, kPieceTestWidth, 4 * kPieceTestHeight)));
    ASSERT_TRUE(pieces.ReadPixels(got, threads));
    EXPECT_TRUE(testing::Pixels(got) == testing::Pixels(expected)) << threads << " threads";
  }
}

TEST(SheetPieces, AFileCutShortAfterOpeningFailsTheRead) {
  testing::TempDir dir;
  for (const int threads : {1, 3}) {
    SCOPED_TRACE(std::to_string(threads) + " threads");
    const Bytes tgaFile = PieceTestTga(32, 0x20);
    const std::string tgaPath = testing::WriteFile(dir, "cut.tga", tgaFile);
    TGAParser tga;
    ASSERT_EQ(tga.Open(tgaPath), 0);
    ASSERT_EQ(::truncate(tgaPath.c_str(), static_cast<off_t>(tgaFile.size() - 5)), 0);
    PalWrap palette;
    Offscreen depth;
    ASSERT_TRUE(depth.Create(Rect::Make(0, 0, kPieceTestWidth, kPieceTestHeight), &palette));
    try {
      tga.Render(nullptr, &depth, threads);
      ADD_FAILURE() << "a TGA cut short rendered";
    } catch (const TgaReadError& error) {
      EXPECT_EQ(error.Code(), res_error::kShortRead);
    }
    TGAParser rows;
    ASSERT_EQ(::truncate(tgaPath.c_str(), static_cast<off_t>(tgaFile.size())), 0);
    ASSERT_EQ(rows.Open(tgaPath), 0);
    ASSERT_EQ(::truncate(tgaPath.c_str(), static_cast<off_t>(tgaFile.size() - 5)), 0);
    EXPECT_THROW(rows.VisitTrueColourRows([](int, std::span<const std::uint32_t>, int) {}, threads, 4), TgaReadError);

    const Bytes bmpFile = testing::Bmp8(kPieceTestWidth, kPieceTestHeight, [](int x, int) { return std::uint8_t(x); });
    const std::string bmpPath = testing::WriteFile(dir, "cut.bmp", bmpFile);
    BMPParser bmp;
    ASSERT_EQ(bmp.Open(bmpPath), 0);
    ASSERT_EQ(::truncate(bmpPath.c_str(), static_cast<off_t>(bmpFile.size() - 5)), 0);
    Offscreen colour;
    ASSERT_TRUE(colour.Create(Rect::Make(0, 0, kPieceTestWidth, kPieceTestHeight)));
    testing::AssertCapture asserts;
    EXPECT_FALSE(bmp.ReadPixels(colour, threads));
    EXPECT_EQ(asserts.Count(), 1u);
  }
}

// A sheet's pieces are handed on as they are decoded, colour and depth
// final: every row once, whatever the orientation, so the clean-up that
// looks at them as they come finds what it finds on the whole sheet. The
// palette image's rows are read band by band beside the sheet's pieces,
// straight into the offscreen when its rows have no padding (width 300)
// and through a buffer when they do (301); either way its colours are what
// decoding it whole from memory gives.
TEST(SheetPieces, EveryRowOfASheetIsHandedOnOnceFinal) {
  testing::TempDir dir;
  // Drawn pixels (index 1 and up) on a clear ground (index 0) where the
  // x + y pattern says; every 7th drawn pixel has no depth, and some of
  // those sit beside one another so that fills read fills.
  const auto index = [](int x, int y) { return std::uint8_t((x / 3 + y / 2) % 4 != 0 ? 1 + (x + 3 * y) % 9 : 0); };
  const auto depthOf = [&](int x, int y) {
    return index(x, y) == 0 ? 255 : ((x * 5 + y * 3) % 7 == 0 || (x + 1) * 5 % 7 == y % 7 ? 255 : (x + y) % 200);
  };
  for (const int width : {kPieceTestWidth, kPieceTestWidth - 1}) {
    const Bytes bmpFile = testing::Bmp8(width, kPieceTestHeight, [&](int x, int y) { return index(x, y); });
    const std::string bmpPath = testing::WriteFile(dir, "sheet.bmp", bmpFile);
    BMPParser memory;
    ASSERT_EQ(memory.OpenBytes(bmpFile), 0);
    Offscreen decodedColour;
    ASSERT_TRUE(decodedColour.Create(Rect::Make(0, 0, width, kPieceTestHeight)));
    ASSERT_TRUE(memory.ReadPixels(decodedColour));
    for (const std::uint8_t origin : {std::uint8_t{0x00}, std::uint8_t{0x20}, std::uint8_t{0x10}}) {
      Bytes tga = testing::TgaHeader({.width = std::uint16_t(width),
                                      .height = kPieceTestHeight,
                                      .bitsPerPixel = 32,
                                      .descriptor = std::uint8_t(origin | 8)});
      // Stored in the file's order: rows bottom-up unless 0x20, right to left with 0x10.
      for (int row = 0; row < kPieceTestHeight; ++row) {
        const int y = (origin & 0x20) ? row : kPieceTestHeight - 1 - row;
        for (int column = 0; column < width; ++column) {
          const int x = (origin & 0x10) ? width - 1 - column : column;
          testing::Put(tga, {{std::uint32_t(depthOf(x, y)) << 24 | 0x404040u, 4}});
        }
      }
      const std::string tgaPath = testing::WriteFile(dir, "sheet.tga", tga);
      Offscreen wholeColour, wholeDepth;
      MakeOffscreens(bmpPath, tgaPath, wholeColour, wholeDepth);
      ASSERT_EQ(wholeDepth.PixelAt(0, kPieceTestHeight - 1), depthOf(0, kPieceTestHeight - 1));
      ASSERT_TRUE(testing::Pixels(wholeColour) == testing::Pixels(decodedColour)) << "width " << width;
      const int expectedLost = CleanUpDepth(ViewOf(wholeColour), MutableViewOf(wholeDepth));
      for (const int threads : {1, 3}) {
        SCOPED_TRACE("width " + std::to_string(width) + ", origin " + std::to_string(origin) + ", " +
                     std::to_string(threads) + " threads");
        Offscreen colour, depth;
        DepthGaps gaps;
        std::mutex lock;
        std::vector<int> handed(kPieceTestHeight, 0);
        MakeOffscreens(bmpPath, tgaPath, colour, depth, "palette image", threads, [&](int first, int count) {
          {
            std::lock_guard hold(lock);
            for (int y = first; y < first + count; ++y) ++handed[std::size_t(y)];
          }
          gaps.Look(ViewOf(colour), ViewOf(depth), first, count);
        });
        EXPECT_EQ(std::count(handed.begin(), handed.end(), 1), kPieceTestHeight);
        EXPECT_EQ(gaps.Fill(ViewOf(colour), MutableViewOf(depth)), expectedLost);
        EXPECT_TRUE(testing::Pixels(depth) == testing::Pixels(wholeDepth));
        EXPECT_TRUE(testing::Pixels(colour) == testing::Pixels(decodedColour));
      }
    }
  }
}

// A palette image cut short while the sheet beside it is being read (here,
// once its first band is in) fails the read as it would when read first:
// the rows it no longer has are not left as they were.
TEST(SheetPieces, APaletteImageCutShortWhileItsSheetIsReadFailsTheRead) {
  testing::TempDir dir;
  const Bytes bmpFile = testing::Bmp8(kPieceTestWidth, kPieceTestHeight, [](int x, int) { return std::uint8_t(x); });
  const std::string bmpPath = testing::WriteFile(dir, "cut.bmp", bmpFile);
  const std::string tgaPath = testing::WriteFile(dir, "cut.tga", PieceTestTga(32, 0x20));
  testing::AssertCapture asserts;
  Offscreen colour, depth;
  bool cut = false;
  MakeOffscreens(bmpPath, tgaPath, colour, depth, "palette image", 1, [&](int, int) {
    if (!std::exchange(cut, true)) {
      ASSERT_EQ(::truncate(bmpPath.c_str(), 0), 0);
    }
  });
  EXPECT_TRUE(cut);
  EXPECT_EQ(asserts.Count(), 1u);
}

// The clean-up looks for pixels needing a depth on the threads, band by
// band, and fills them in order here: a fill reads the fills above it, so
// a pixel just below a band boundary must see the one above it filled.
TEST(SheetPieces, DepthCleanUpFillsInRowOrderAcrossBandsAtAnyThreadCount) {
  // Threads 0 is the pieces looked at last first, as threads may hand them.
  for (const int threads : {0, 1, 2, 3}) {
    SCOPED_TRACE(std::to_string(threads) + " threads");
    constexpr int kColumn = 5;
    testing::TestImage colour(9, 200, 0), depth(9, 200, 255);
    // A column of drawn pixels without depth from row 62 to row 129, across
    // the bands' boundaries at 64 and 128, with a depth above and below it.
    // Its neighbours left and right have depth 0, which adds nothing, so
    // each fill comes from above and below.
    for (int y = 61; y <= 130; ++y) {
      colour.Set(kColumn, y, 1);
      depth.Set(kColumn - 1, y, 0);
      depth.Set(kColumn + 1, y, 0);
    }
    depth.Set(kColumn, 61, 100);
    depth.Set(kColumn, 130, 200);
    if (threads == 0) {
      DepthGaps gaps;
      for (int first = 192; first >= 0; first -= 8) gaps.Look(colour.View(), depth.MutView(), first, 8);
      EXPECT_EQ(gaps.Fill(colour.View(), depth.MutView()), 0);
    } else {
      EXPECT_EQ(CleanUpDepth(colour.View(), depth.MutView(), threads), 0);
    }
    // Each fill takes the one above and the 255 below, not yet filled, over
    // the four neighbours it looked at: (100 + 255) / 4 -> 89, then
    // (89 + 255) / 4 -> 86, ...
    int above = 100;
    for (int y = 62; y <= 128; ++y) {
      const int expected = static_cast<int>((above + 255) / 4.0 + 0.5);
      ASSERT_EQ(depth.Get(kColumn, y), expected) << "row " << y;
      above = expected;
    }
    EXPECT_EQ(depth.Get(kColumn, 129), static_cast<int>((above + 200) / 4.0 + 0.5));
  }
}

}  // namespace
}  // namespace pixmold
