#include "imaging/sprite_lists.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "base/terminate.h"
#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "imaging/spr_decoder.h"
#include "imaging/spr_list.h"
#include "imaging/sprite_list_settings.h"
#include "imaging/sprite_sheet.h"
#include "resfile/handle_owner.h"
#include "sheet_files.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

using testing::Bmp8;
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

template <typename F>
std::string FatalOf(F&& f) {
  try {
    f();
  } catch (const Terminate& fatal) {
    return fatal.Message();
  }
  return {};
}

struct DecodedList {
  ByteOrder order = ByteOrder::kLittle;
  SprListView view;
  std::vector<DecodedSprite> frames;
};

// Decodes a list the way a reader of the object file would.
DecodedList Decode(MHandle list) {
  DecodedList out;
  HandleLock lock(list);
  const std::span<const std::uint8_t> bytes = lock.Bytes();
  const auto order = GuessSprListOrder(bytes);
  EXPECT_TRUE(order.has_value());
  if (!order) return out;
  out.order = *order;
  const auto status = ParseSprList(bytes, out.order, out.view);
  EXPECT_TRUE(status.Ok()) << status.error;
  for (const auto& frame : out.view.frames) {
    out.frames.emplace_back();
    const auto frameStatus = DecodeSprFrame(frame, out.order, out.frames.back());
    EXPECT_TRUE(frameStatus.Ok()) << frameStatus.error;
  }
  return out;
}

// Every pixel of the frame against the sheet's pixels in rect: drawn where
// the sheet is not clear, with the sheet's value.
void ExpectFrameShows(const DecodedSprite& frame, const Rect& rect, const Offscreen& sheet, std::uint8_t clear,
                      const std::string& what) {
  ASSERT_EQ(frame.width, rect.Width()) << what;
  ASSERT_EQ(frame.height, rect.Height()) << what;
  for (int y = 0; y < frame.height; ++y) {
    for (int x = 0; x < frame.width; ++x) {
      const std::uint8_t expected = sheet.PixelAt(rect.left + x, rect.top + y);
      EXPECT_EQ(frame.Drawn(x, y), expected != clear) << what << " at " << x << "," << y;
      if (expected != clear) {
        EXPECT_EQ(frame.colour[frame.Index(x, y)], expected) << what << " at " << x << "," << y;
      }
    }
  }
}

class SpriteListsTest : public ::testing::Test {
 protected:
  void LoadSheet(int tgaBits) {
    const std::string bmp = WriteFile(fDir, "chair.bmp", Bmp8(16, 8, SheetIndex));
    const std::string tga = WriteFile(fDir, "chair.tga", Tga(16, 8, tgaBits, SheetRender));
    MakeOffscreens(bmp, tga, fColour, fDepth);
  }

  testing::TempDir fDir;
  Offscreen fColour, fDepth;
};

TEST_F(SpriteListsTest, A24BitSheetGivesAColourListInStoredOrder) {
  LoadSheet(24);
  ASSERT_FALSE(fDepth.Exists());
  std::vector<Rect> trimmed;
  OwnedHandle list(MakeSpriteList(&fColour, &fDepth, kCells, trimmed, spr_side::kAll, 7, true));
  ASSERT_TRUE(list);
  EXPECT_EQ(trimmed, kTrimmedCells);

  const DecodedList decoded = Decode(list.Get());
  EXPECT_EQ(decoded.order, ByteOrder::kBig);
  EXPECT_EQ(decoded.view.version, kSprColourVersion);
  EXPECT_EQ(decoded.view.paletteId, 7);
  ASSERT_EQ(decoded.frames.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    ExpectFrameShows(decoded.frames[i], kTrimmedCells[i], fColour, kBackground, "frame " + std::to_string(i));
  }
}

TEST_F(SpriteListsTest, A32BitSheetAddsTheDepthFramesAfterTheColourFrames) {
  LoadSheet(32);
  ASSERT_TRUE(fDepth.Exists());
  std::vector<Rect> trimmed;
  OwnedHandle list(MakeSpriteList(&fColour, &fDepth, kCells, trimmed, spr_side::kAll, 7, true));
  ASSERT_TRUE(list);

  const DecodedList decoded = Decode(list.Get());
  EXPECT_EQ(decoded.order, ByteOrder::kBig);
  EXPECT_EQ(decoded.view.version, kSprColourDepthVersion);
  EXPECT_EQ(decoded.view.paletteId, 7);
  ASSERT_EQ(decoded.frames.size(), 4u);
  for (std::size_t i = 0; i < 2; ++i) {
    ExpectFrameShows(decoded.frames[i], kTrimmedCells[i], fColour, kBackground, "colour " + std::to_string(i));
    ExpectFrameShows(decoded.frames[2 + i], kTrimmedCells[i], fDepth, 255, "depth " + std::to_string(i));
  }
  EXPECT_EQ(decoded.frames[2].colour[0], 30 + 3 * 2 + 3);
}

TEST_F(SpriteListsTest, CellsMustLieInsideTheSheet) {
  LoadSheet(32);
  const std::string kTooSmall = "tga file too small for some sprite position...did you export all frames?";
  struct Case {
    Rect cell;
    bool fatal;
  };
  const Case cases[] = {
      {Rect::Make(8, 0, 16, 8), false},  // the bottom-right cell, touching both edges
      {Rect::Make(8, 1, 16, 9), true},   // one pixel past the bottom
      {Rect::Make(9, 0, 17, 8), true},   // one past the right
      {Rect::Make(0, -1, 8, 7), true},
      {Rect::Make(-1, 0, 7, 8), true},
  };
  for (const Case& c : cases) {
    const std::vector<Rect> cells = {kCells[0], c.cell};
    std::vector<Rect> trimmed;
    MHandle list = nullptr;
    const std::string fatal =
        FatalOf([&] { list = MakeSpriteList(&fColour, &fDepth, cells, trimmed, spr_side::kAll, 7, true); });
    EXPECT_EQ(fatal, c.fatal ? kTooSmall : "") << c.cell.left << "," << c.cell.top;
    EXPECT_EQ(list != nullptr, !c.fatal);
    OwnedHandle owned(list);

    std::vector<Rect> trimmedOnly;
    EXPECT_EQ(FatalOf([&] { TrimCells(fDepth, cells, trimmedOnly, spr_side::kAll, true); }), c.fatal ? kTooSmall : "");
  }
}

TEST_F(SpriteListsTest, TheOutputListMustStartEmpty) {
  LoadSheet(24);
  std::vector<Rect> trimmed = {Rect::Make(0, 0, 1, 1)};
  EXPECT_EQ(FatalOf([&] { MakeSpriteList(&fColour, &fDepth, kCells, trimmed, spr_side::kAll, 7, true); }),
            "list already contains stuff");
}

TEST_F(SpriteListsTest, ShrinkSidesAndEmptyCells) {
  LoadSheet(24);
  const std::vector<Rect> cells = {Rect::Make(0, 0, 8, 8), Rect::Make(0, 0, 2, 2)};  // the second is all clear
  struct Case {
    int sides;
    bool emptyIfClear;
    Rect first;
    Rect second;
  };
  const Case cases[] = {
      {spr_side::kAll, true, Rect::Make(2, 3, 5, 5), Rect{}},
      {spr_side::kTop, true, Rect::Make(0, 3, 8, 8), Rect{}},
      {spr_side::kLeft | spr_side::kRight, true, Rect::Make(2, 0, 5, 8), Rect{}},
      {0, true, Rect::Make(0, 0, 8, 8), Rect::Make(0, 0, 2, 2)},
  };
  for (const Case& c : cases) {
    std::vector<Rect> trimmed;
    OwnedHandle list(MakeSpriteList(&fColour, &fDepth, cells, trimmed, c.sides, 7, c.emptyIfClear));
    ASSERT_EQ(trimmed.size(), 2u);
    EXPECT_EQ(trimmed[0], c.first) << "sides " << c.sides;
    EXPECT_EQ(trimmed[1], c.second) << "sides " << c.sides;
    const DecodedList decoded = Decode(list.Get());
    ASSERT_EQ(decoded.frames.size(), 2u);
    ExpectFrameShows(decoded.frames[0], c.first, fColour, kBackground, "sides " + std::to_string(c.sides));
    EXPECT_EQ(decoded.frames[1].width, c.second.Width());
  }
}

TEST_F(SpriteListsTest, TrimCellsClearsTheOffscreensOwnBackground) {
  LoadSheet(32);
  std::vector<Rect> trimmed = {Rect::Make(0, 0, 1, 1), Rect::Make(0, 0, 1, 1), Rect::Make(0, 0, 1, 1)};
  TrimCells(fDepth, kCells, trimmed, spr_side::kAll, true);
  EXPECT_EQ(trimmed, kTrimmedCells);
  EXPECT_EQ(SharedCompressor().Settings().clearColour, 255);
  EXPECT_EQ(SharedCompressor().Settings().flags, spr_flags::kClearColour);
}

// With the reserved colours the colour list keeps pixels inside 10..245:
// a sheet pixel of index 3 is stored as the usable index nearest its colour.
TEST_F(SpriteListsTest, ColourListsStayInsideTheUsableRange) {
  std::array<PaletteEntry, 256> colours{};
  for (int i = 0; i < 256; ++i) colours[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), 0, 0};
  PalWrap& palette = GetGlobalPalette();
  palette.SetFromColours(colours, true);
  const std::uint8_t reserved = 3;
  const PaletteEntry shown = palette.GetColourTable()[reserved];
  const std::uint8_t nearest = palette.FindNearest(shown.red, shown.green, shown.blue);
  ASSERT_GE(nearest, 10);
  ASSERT_LE(nearest, 245);
  const std::uint8_t clear = nearest == 128 ? 129 : 128;
  const std::uint8_t kept = nearest == 100 ? 101 : 100;

  Offscreen sheet;
  ASSERT_TRUE(sheet.Create(Rect::Make(0, 0, 4, 1)));
  const std::uint8_t row[4] = {clear, kept, reserved, clear};
  std::copy(row, row + 4, sheet.Row(0));

  std::vector<Rect> trimmed;
  const std::vector<Rect> cells = {Rect::Make(0, 0, 4, 1)};
  OwnedHandle list(MakeSpriteList(&sheet, nullptr, cells, trimmed, 0, -1, false));
  const DecodedList decoded = Decode(list.Get());
  ASSERT_EQ(decoded.frames.size(), 1u);
  const DecodedSprite& frame = decoded.frames[0];
  EXPECT_FALSE(frame.Drawn(0, 0));
  EXPECT_EQ(frame.colour[1], kept);
  EXPECT_EQ(frame.colour[2], nearest);
  EXPECT_EQ(SharedCompressor().Settings().suppressLow, 10);
  EXPECT_EQ(SharedCompressor().Settings().suppressHigh, 245);
}

TEST_F(SpriteListsTest, WallListsKeepTheCompressorsOrder) {
  LoadSheet(32);
  std::array<Rect, kWallPieceCount> pieces;
  for (int i = 0; i < kWallPieceCount; ++i) pieces[i] = (i % 2 == 0) ? kTrimmedCells[0] : kTrimmedCells[1];

  OwnedHandle colourList(MakeWallList(fColour, pieces, 5120));
  const DecodedList colour = Decode(colourList.Get());
  EXPECT_EQ(colour.order, ByteOrder::kLittle);
  EXPECT_EQ(colour.view.version, kSprColourVersion);
  EXPECT_EQ(colour.view.paletteId, 5120);
  ASSERT_EQ(colour.frames.size(), 46u);
  ExpectFrameShows(colour.frames[45], kTrimmedCells[1], fColour, kBackground, "wall colour 45");
  EXPECT_EQ(SharedCompressor().Settings().repeatThreshold, 16);

  OwnedHandle depthList(MakeWallDepthList(fDepth, pieces));
  const DecodedList depth = Decode(depthList.Get());
  EXPECT_EQ(depth.order, ByteOrder::kLittle);
  EXPECT_EQ(depth.view.version, kSprWallDepthVersion);
  EXPECT_EQ(depth.view.paletteId, -1);
  ASSERT_EQ(depth.frames.size(), 46u);
  ExpectFrameShows(depth.frames[0], kTrimmedCells[0], fDepth, 255, "wall depth 0");
}

TEST_F(SpriteListsTest, ACompressorFailureIsFatalWithItsCode) {
  LoadSheet(32);
  std::array<Rect, kWallPieceCount> pieces;
  pieces.fill(kTrimmedCells[0]);
  testing::AssertCapture reports;
  const int previous = FailHandleAllocationAfter(3);
  const std::string fatal = FatalOf([&] { DisposeHandle(MakeWallList(fColour, pieces, 5120)); });
  FailHandleAllocationAfter(previous);
  EXPECT_EQ(fatal, "could not make spritelist : error #-200");
}

TEST(SpriteListSettings, EachRowSetsOnlyWhatItNames) {
  PalWrap& palette = GetGlobalPalette();
  std::array<PaletteEntry, 256> colours{};
  for (int i = 0; i < 256; ++i) colours[i] = {0, 0, static_cast<std::uint8_t>(i), 0};
  palette.SetFromColours(colours, false);

  Offscreen sheet;
  ASSERT_TRUE(sheet.Create(Rect::Make(0, 0, 2, 2)));
  sheet.Row(0)[0] = 42;
  Compressor compressor;
  SprSettings start;
  start.patternColours = {7, 8, 9};
  start.repeatThreshold = 3;
  start.suppressLow = 20;
  start.suppressHigh = 30;

  struct Case {
    const char* name;
    void (*use)(Compressor&, const Offscreen&);
    std::uint8_t flags, clear, threshold, low, high;
  };
  const Case cases[] = {
      {"colour", [](Compressor& c, const Offscreen& o) { UseColourListSettings(c, &o); }, 0x31, 42, 8, 0, 255},
      {"colour without sheet", [](Compressor& c, const Offscreen&) { UseColourListSettings(c, nullptr); }, 0x31, 255,
       8, 0, 255},
      {"depth", [](Compressor& c, const Offscreen&) { UseDepthListSettings(c); }, 0x11, 255, 8, 20, 30},
      {"trim", [](Compressor& c, const Offscreen& o) { UseTrimSettings(c, o); }, 0x01, 42, 3, 20, 30},
      {"wall colour", [](Compressor& c, const Offscreen& o) { UseWallColourSettings(c, o); }, 0x31, 42, 16, 0, 255},
      {"wall depth", [](Compressor& c, const Offscreen&) { UseWallDepthSettings(c); }, 0x31, 255, 16, 0, 255},
  };
  for (const Case& c : cases) {
    compressor.SetSettings(start);
    c.use(compressor, sheet);
    const SprSettings& s = compressor.Settings();
    EXPECT_EQ(s.flags, c.flags) << c.name;
    EXPECT_EQ(s.clearColour, c.clear) << c.name;
    EXPECT_EQ(s.repeatThreshold, c.threshold) << c.name;
    EXPECT_EQ(s.suppressLow, c.low) << c.name;
    EXPECT_EQ(s.suppressHigh, c.high) << c.name;
    EXPECT_EQ(s.patternColours, start.patternColours) << c.name;
    EXPECT_EQ(s.shade1Low, start.shade1Low) << c.name;
  }
}

}  // namespace
}  // namespace pixmold
