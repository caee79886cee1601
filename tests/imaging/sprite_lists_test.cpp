#include "imaging/sprite_lists.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "image_bytes.h"
#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "imaging/spr_list.h"
#include "imaging/sprite_list_settings.h"
#include "imaging/sprite_sheet.h"
#include "sprite_test_images.h"
#include "support/assert_capture.h"
#include "support/decoded_lists.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

using testing::DecodedList;
using testing::FatalOf;
using testing::Tga;
using testing::WriteFile;

constexpr std::uint8_t kBackground = 200;

// A 16 x 8 sheet of two 8 x 8 cells. The left cell holds a 3 x 2 block at
// (2, 3); the right one an L of varied colours from (9, 1) to (12, 5).
std::uint8_t SheetIndex(int x, int y) {
  if (x >= 2 && x < 5 && y >= 3 && y < 5) return 50;
  if (x >= 9 && x < 13 && y >= 1 && y < 6 && (x == 9 || y == 5)) return static_cast<std::uint8_t>(60 + x + y);
  return kBackground;
}
// The depth of drawn pixels; 255 (nothing) elsewhere.
std::uint32_t SheetRender(int x, int y) {
  const std::uint32_t depth = SheetIndex(x, y) == kBackground ? 255 : static_cast<std::uint32_t>(30 + 3 * x + y);
  return (depth << 24) | 0x00808080;
}

const std::vector<Rect> kCells = {Rect::Make(0, 0, 8, 8), Rect::Make(8, 0, 16, 8)};
const std::vector<Rect> kTrimmedCells = {Rect::Make(2, 3, 5, 5), Rect::Make(9, 1, 13, 6)};

// A list as a reader of the object file decodes it.
testing::DecodedList Decode(const OwnedHandle& list) { return testing::DecodeList(testing::Contents(list), false); }

class SpriteListsTest : public ::testing::Test {
 protected:
  void LoadSheet(int tgaBits) {
    MakeOffscreens(WriteFile(fDir, "chair.bmp", testing::Bmp8(16, 8, SheetIndex)),
                   WriteFile(fDir, "chair.tga", testing::Tga(16, 8, tgaBits, SheetRender)), fColour, fDepth);
  }
  MHandle Make(std::span<const Rect> cells, std::vector<Rect>& trimmed, int sides = spr_side::kAll,
               bool emptyIfClear = true) {
    return MakeSpriteList(&fColour, &fDepth, cells, trimmed, sides, 7, emptyIfClear);
  }

  testing::TempDir fDir;
  Offscreen fColour, fDepth;
};

TEST_F(SpriteListsTest, A32BitSheetAddsTheDepthFramesAfterTheColourFrames) {
  for (int bits : {24, 32}) {
    SCOPED_TRACE(bits);
    LoadSheet(bits);
    ASSERT_EQ(fDepth.Exists(), bits == 32);
    // The BMP gives the colours, and the global palette without reserved colours; the TGA's alpha the depth.
    EXPECT_FALSE(GetGlobalPalette().HasSystemColours());
    for (int i = 0; i < 16 * 8; ++i) {
      EXPECT_EQ(fColour.PixelAt(i % 16, i / 16), SheetIndex(i % 16, i / 16));
      EXPECT_TRUE(bits == 24 || fDepth.PixelAt(i % 16, i / 16) == SheetRender(i % 16, i / 16) >> 24);
    }
    std::vector<Rect> trimmed;
    OwnedHandle list(Make(kCells, trimmed));
    EXPECT_EQ(trimmed, kTrimmedCells);
    const DecodedList decoded = Decode(list);
    EXPECT_EQ(decoded.order, ByteOrder::kBig);
    EXPECT_EQ(decoded.version, bits == 32 ? kSprColourDepthVersion : kSprColourVersion);
    EXPECT_EQ(decoded.paletteId, 7);
    ASSERT_EQ(decoded.frames.size(), bits == 32 ? 4u : 2u);
    for (std::size_t i = 0; i < decoded.frames.size(); ++i)
      testing::ExpectFrameShows(decoded.frames[i], kTrimmedCells[i % 2],
                                testing::SheetPixels(i < 2 ? fColour : fDepth, i < 2 ? kBackground : 255));
  }
}

TEST_F(SpriteListsTest, CellsMustLieInsideTheSheetAndTheOutputStartEmpty) {
  LoadSheet(32);
  const std::string kTooSmall = "tga file too small for some sprite position...did you export all frames?";
  // The bottom-right cell touching both edges, then one pixel past each edge.
  const Rect cells[] = {Rect::Make(8, 0, 16, 8), Rect::Make(8, 1, 16, 9), Rect::Make(9, 0, 17, 8),
                        Rect::Make(0, -1, 8, 7), Rect::Make(-1, 0, 7, 8)};
  for (const Rect& cell : cells) {
    const std::vector<Rect> both = {kCells[0], cell};
    const std::string expected = cell == cells[0] ? "" : kTooSmall;
    std::vector<Rect> trimmed, trimmedOnly;
    MHandle list = nullptr;
    EXPECT_EQ(FatalOf([&] { list = Make(both, trimmed); }), expected) << cell.left << "," << cell.top;
    EXPECT_EQ(list != nullptr, expected.empty());
    OwnedHandle owned(list);
    EXPECT_EQ(FatalOf([&] { TrimCells(fDepth, both, trimmedOnly, spr_side::kAll, true); }), expected);
  }
  std::vector<Rect> used = {Rect::Make(0, 0, 1, 1)};
  EXPECT_EQ(FatalOf([&] { Make(kCells, used); }), "list already contains stuff");
}

// With the reserved colours the colour list keeps pixels inside 10..245:
// a sheet pixel of index 3 is stored as the usable index nearest its colour.
TEST_F(SpriteListsTest, ColourListsStayInsideTheUsableRange) {
  std::array<PaletteEntry, 256> colours{};
  for (int i = 0; i < 256; ++i) colours[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), 0, 0};
  PalWrap& palette = GetGlobalPalette();
  palette.SetFromColours(colours, true);
  const PaletteEntry shown = palette.GetColourTable()[3];
  const std::uint8_t nearest = palette.FindNearest(shown.red, shown.green, shown.blue);
  ASSERT_TRUE(nearest >= 10 && nearest <= 245);
  const std::uint8_t clear = nearest == 128 ? 129 : 128, kept = nearest == 100 ? 101 : 100;
  ASSERT_TRUE(fColour.Create(Rect::Make(0, 0, 4, 1)));
  std::copy_n(std::array<std::uint8_t, 4>{clear, kept, 3, clear}.begin(), 4, fColour.Row(0));
  std::vector<Rect> trimmed;
  const DecodedList decoded = Decode(
      OwnedHandle(MakeSpriteList(&fColour, nullptr, std::vector{Rect::Make(0, 0, 4, 1)}, trimmed, 0, -1, false)));
  ASSERT_EQ(decoded.frames.size(), 1u);
  EXPECT_FALSE(decoded.frames[0].Drawn(0, 0));
  EXPECT_EQ(decoded.frames[0].colour[1], kept);
  EXPECT_EQ(decoded.frames[0].colour[2], nearest);
}

TEST_F(SpriteListsTest, WallListsKeepTheCompressorsOrderAndFailuresAreFatal) {
  LoadSheet(32);
  std::array<Rect, kWallPieceCount> pieces;
  for (int i = 0; i < kWallPieceCount; ++i) pieces[i] = kTrimmedCells[i % 2];
  const DecodedList colour = Decode(OwnedHandle(MakeWallList(fColour, pieces, 5120)));
  EXPECT_EQ(colour.order, ByteOrder::kLittle);
  EXPECT_EQ(colour.version * 10000 + colour.paletteId, kSprColourVersion * 10000 + 5120);
  ASSERT_EQ(colour.frames.size(), 46u);
  testing::ExpectFrameShows(colour.frames[45], kTrimmedCells[1], testing::SheetPixels(fColour, kBackground));
  const DecodedList depth = Decode(OwnedHandle(MakeWallDepthList(fDepth, pieces)));
  EXPECT_EQ(depth.order, ByteOrder::kLittle);
  EXPECT_EQ(depth.version * 10000 + depth.paletteId, kSprWallDepthVersion * 10000 - 1);
  ASSERT_EQ(depth.frames.size(), 46u);
  testing::ExpectFrameShows(depth.frames[0], kTrimmedCells[0], testing::SheetPixels(fDepth, 255));

  testing::AssertCapture reports;
  const int previous = FailHandleAllocationAfter(3);
  const std::string fatal = FatalOf([&] { DisposeHandle(MakeWallList(fColour, pieces, 5120)); });
  FailHandleAllocationAfter(previous);
  EXPECT_EQ(fatal, "could not make spritelist : error #-200");
}

TEST(SpriteListSettings, EachRowSetsOnlyWhatItNames) {
  // Blues without reserved colours: no colour needs suppressing, and the
  // clear colour without a sheet is the nearest to pure blue.
  std::array<PaletteEntry, 256> colours{};
  for (int i = 0; i < 256; ++i) colours[i] = {0, 0, static_cast<std::uint8_t>(i), 0};
  GetGlobalPalette().SetFromColours(colours, false);
  Offscreen sheet;
  ASSERT_TRUE(sheet.Create(Rect::Make(0, 0, 2, 2)));
  sheet.Row(0)[0] = 42;
  std::vector<std::array<std::uint8_t, 12>> settings;
  auto use = [&](auto set) {
    Compressor c;
    c.SetSettings(SprSettings::FromBytes({0x31, 0, 3, 7, 8, 9, 2, 6, 7, 11, 20, 30}));
    set(c);
    settings.push_back(c.Settings().ToBytes());
  };
  use([&](Compressor& c) { UseColourListSettings(c, &sheet); });
  use([&](Compressor& c) { UseColourListSettings(c, nullptr); });
  use([&](Compressor& c) { UseDepthListSettings(c); });
  use([&](Compressor& c) { UseTrimSettings(c, sheet); });
  use([&](Compressor& c) { UseWallColourSettings(c, sheet); });
  use([&](Compressor& c) { UseWallDepthSettings(c); });
  // flags, clear, threshold; the pattern and shading colours stay.
  EXPECT_EQ(settings, (std::vector<std::array<std::uint8_t, 12>>{{0x31, 42, 8, 7, 8, 9, 2, 6, 7, 11, 0, 255},
                                                                 {0x31, 255, 8, 7, 8, 9, 2, 6, 7, 11, 0, 255},
                                                                 {0x11, 255, 8, 7, 8, 9, 2, 6, 7, 11, 20, 30},
                                                                 {0x01, 42, 3, 7, 8, 9, 2, 6, 7, 11, 20, 30},
                                                                 {0x31, 42, 16, 7, 8, 9, 2, 6, 7, 11, 0, 255},
                                                                 {0x31, 255, 16, 7, 8, 9, 2, 6, 7, 11, 0, 255}}));
}

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
  const std::string bmp = WriteFile(dir, "chair.bmp", testing::Bmp8(16, 8, SheetIndex));
  const std::string missing = dir.File("missing.tga");
  const std::string tga16 = WriteFile(dir, "sixteen.tga", testing::TgaHeader({.bitsPerPixel = 16}));
  const std::string rle = WriteFile(dir, "rle.tga", testing::TgaHeader({.imageType = 10}));
  const std::string badBmp = WriteFile(dir, "bad.bmp", testing::BmpHeaders({.clrUsed = 300}, 4));
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {bmp, WriteFile(dir, "wide.tga", Tga(17, 8, 32, SheetRender)), "bad bmp width"},
      {bmp, WriteFile(dir, "high.tga", Tga(16, 9, 32, SheetRender)), "bad bmp height"},
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

// On the build's worker every failure, the reader's assertions included,
// ends the build naming the file at fault and what is wrong with it; and
// images whose headers disagree are turned away before an offscreen the
// size of either is made.
TEST(SpriteSheet, OnTheWorkerEachFailureNamesItsFileBeforeAnythingIsDecoded) {
  testing::TempDir dir;
  const std::string bmp = WriteFile(dir, "chair.bmp", testing::Bmp8(16, 8, SheetIndex));
  const std::string tga = WriteFile(dir, "chair.tga", Tga(16, 8, 32, SheetRender));
  const std::string bigTga = WriteFile(dir, "big.tga", testing::TgaHeader({.width = 16384, .height = 16384}));
  std::filesystem::resize_file(bigTga, 18 + std::uint64_t{16384} * 16384 * 4);
  const std::string hugeTga =
      WriteFile(dir, "huge.tga", testing::TgaHeader({.width = 20000, .height = 20000, .bitsPerPixel = 24}));
  std::filesystem::resize_file(hugeTga, 18 + std::uint64_t{20000} * 20000 * 3);
  const std::string raw = WriteFile(dir, "raw.pal", testing::Bytes(768, 3));
  testing::Bytes cutRows = testing::Bmp8(16, 8, SheetIndex);
  cutRows.erase(cutRows.end() - 20, cutRows.end());
  const std::string shortBmp = WriteFile(dir, "short.bmp", cutRows);
  const std::string grey =
      WriteFile(dir, "grey.tga", testing::TgaHeader({.imageType = 3, .width = 16, .height = 8, .bitsPerPixel = 8}));
  testing::Bytes deep = testing::Bmp8(16, 8, SheetIndex);
  deep[28] = 24;
  const std::string deepBmp = WriteFile(dir, "deep.bmp", deep);
  const std::string bigBmp = WriteFile(dir, "bigpal.bmp", testing::Bmp8(16, 8, SheetIndex));
  std::filesystem::resize_file(bigBmp, PalWrap::kMaxPaletteFileBytes + 1);

  // The palette image, the sheet, the fatal message, the file blamed and the reason given.
  const std::tuple<std::string, std::string, std::string, std::string, std::string> cases[] = {
      {bmp, WriteFile(dir, "wide.tga", Tga(17, 8, 32, SheetRender)), "bad bmp width", dir.File("wide.tga"),
       "the sheet is 17 x 8 but its palette image " + bmp + " is 16 x 8; export both at the same size"},
      {bmp, bigTga, "bad bmp width", bigTga,
       "the sheet is 16384 x 16384 but its palette image " + bmp + " is 16 x 8; export both at the same size"},
      {bigBmp, tga, "(false) could not open file", bigBmp, "64 MiB; a palette image may be at most 64 MiB"},
      {shortBmp, tga, "(FALSE) fread failed", shortBmp, "ends after 1186 of 1206 bytes"},
      {raw, hugeTga, "could not create dib section", hugeTga,
       "20000 x 20000 pixels; the largest image accepted is 16384 x 16384 (or as many pixels in another shape, at "
       "most 32767 a side)"},
      {bmp, grey, "could not open tga file : " + grey + " : error #1201", grey,
       "8-bit grey TGA; sheets must be 24- or 32-bit"},
      {deepBmp, tga, "too many bits per pixel retrieving palette", deepBmp,
       "palette image must be 8-bit indexed (it is 24-bit)"},
      {bmp, dir.File("none.tga"), "could not open tga file", dir.File("none.tga"), "no such file"},
  };
  ScopedWorkerThread worker;
  for (const auto& [image, sheet, message, path, reason] : cases) {
    SCOPED_TRACE(sheet + " with " + image);
    Offscreen colour, depth;
    std::optional<Terminate> fatal;
    try {
      MakeOffscreens(image, sheet, colour, depth);
    } catch (const Terminate& error) {
      fatal = error;
    }
    ASSERT_TRUE(fatal.has_value());
    EXPECT_NE(fatal->Message().find(message), std::string::npos) << fatal->Message();
    ASSERT_TRUE(fatal->Problem().has_value());
    EXPECT_EQ(fatal->Problem()->path, path);
    EXPECT_EQ(fatal->Problem()->reason, reason);
    EXPECT_FALSE(colour.Exists() || depth.Exists());
  }
}

}  // namespace
}  // namespace pixmold
