#include "architecture/floors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "architecture/wall_error.h"
#include "architecture/wall_pieces.h"
#include "architecture_fixture.h"
#include "imaging/palette_resource.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

using testing::DecodedList;
using testing::MemoryObject;

constexpr ResType kSPR2 = MakeResType("SPR2");
constexpr std::uint8_t kClear = 200;
constexpr int kWidth = 230;
constexpr int kHeight = 70;

// Each cell holds a drawn diamond a few pixels inside its edges, with clear
// speckles, so trimming moves every side.
std::uint8_t Tile(int x, int y) {
  for (int scale = 1; scale <= 3; ++scale) {
    const Rect cell = FloorCell(scale);
    if (!cell.Contains(x, y)) continue;
    const int dx = std::abs(2 * (x - cell.left) - cell.Width());
    const int dy = std::abs(2 * (y - cell.top) - cell.Height());
    const bool inside = dx * cell.Height() + dy * cell.Width() < cell.Width() * cell.Height() * 3 / 4;
    if (!inside || (x * 5 + y * 3) % 11 == 0) return kClear;
    return static_cast<std::uint8_t>(20 + (x + 3 * y) % 100);
  }
  return kClear;
}

// The smallest rectangle holding the cell's drawn pixels.
Rect DrawnBounds(const Offscreen& sheet, const Rect& cell) {
  Rect bounds = Rect::Make(cell.right, cell.bottom, cell.left, cell.top);
  for (int y = cell.top; y < cell.bottom; ++y)
    for (int x = cell.left; x < cell.right; ++x)
      if (sheet.PixelAt(x, y) != kClear) bounds = UnionRect(bounds, Rect::Make(x, y, x + 1, y + 1));
  return bounds;
}

struct FloorCase {
  const char* what;
  int tile;
  bool shadow, pool;
  std::vector<std::string> contents;
  ResID paletteId;
  const char* report;
};

TEST(Floors, EachKindStoresOneTrimmedFramePerZoomUnderItsIds) {
  testing::UseTestPalette(false);
  Offscreen sheet;
  testing::Fill(sheet, kWidth, kHeight, Tile);
  const FloorCase cases[] = {
      {"floor tile 5", 5, false, false, {"SPR2 5", "SPR2 261", "SPR2 517", "PALT 5"}, 5, ""},
      {"shadow 3", 3, true, false, {"SPR2 771", "SPR2 803", "SPR2 835"}, 1, ""},
      {"pool tile 2", 2, false, true, {"SPR2 1026", "SPR2 1042", "SPR2 1058", "PALT 1026"}, 1026, ""},
      {"pool overlap 17", 17, false, true, {"SPR2 1073", "SPR2 1077", "SPR2 1081", "PALT 1073"}, 1073, ""},
      {"shadow and pool", 4, true, true, {"SPR2 772", "SPR2 804", "SPR2 836"}, 1, "pooltile & shadow?!?"},
  };
  for (const FloorCase& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryObject object;
    testing::AssertCapture asserts;
    MakeFloors(sheet, object.file, c.tile, c.shadow, c.pool);
    EXPECT_EQ(asserts.Count(), std::string(c.report).empty() ? 0u : 1u);
    EXPECT_TRUE(asserts.Count() == 0 || asserts.Saw(c.report));
    EXPECT_EQ(object.Contents(), c.contents);
    for (int scale = 1; scale <= 3; ++scale) {
      const testing::StoredResource* stored =
          object.Find(kSPR2, static_cast<ResID>(std::stoi(c.contents[scale - 1].substr(5))));
      ASSERT_NE(stored, nullptr);
      EXPECT_TRUE(stored->native);
      const DecodedList list = testing::DecodeSpr2(*stored);
      EXPECT_EQ(list.paletteId, c.paletteId);
      ASSERT_EQ(list.frames.size(), 1u);
      const Rect cell = FloorCell(scale);
      const Rect drawn = DrawnBounds(sheet, cell);
      EXPECT_EQ(list.headers[0].originX, drawn.left - cell.left);
      EXPECT_EQ(list.headers[0].originY, drawn.top - cell.top);
      testing::ExpectFrameShows(list.frames[0], drawn, sheet, kClear, testing::Same);
    }
    if (!c.shadow) {
      const testing::StoredResource* palette = object.Find(kPaletteResourceType, c.paletteId);
      ASSERT_NE(palette, nullptr);
      EXPECT_EQ(palette->bytes, EncodePaletteResource(GetGlobalPalette()));
    }
  }
}

TEST(Floors, AClearCellStillGivesAnEmptyFrame) {
  testing::UseTestPalette(false);
  Offscreen sheet;
  testing::Fill(sheet, kWidth, kHeight, [](int x, int y) { return FloorCell(1).Contains(x, y) ? kClear : Tile(x, y); });
  MemoryObject object;
  MakeFloors(sheet, object.file, 0, false, false);
  const DecodedList list = testing::DecodeSpr2(*object.Find(kSPR2, 0));
  ASSERT_EQ(list.frames.size(), 1u);
  EXPECT_EQ(list.headers[0].width, 0);
  EXPECT_EQ(list.headers[0].height, 0);
  EXPECT_EQ(list.headers[0].originX, 0);
  EXPECT_EQ(list.headers[0].originY, 0);
  EXPECT_EQ(testing::DecodeSpr2(*object.Find(kSPR2, 256)).headers[0].width, DrawnBounds(sheet, FloorCell(2)).Width());
}

TEST(Floors, AFailedStoreRaisesWallErrorWithTheFilesCode) {
  testing::UseTestPalette(false);
  Offscreen sheet;
  testing::Fill(sheet, kWidth, kHeight, Tile);
  MemoryObject object;
  object.file.FailNext(testing::MemoryResFile::Op::kWrite, -36);
  try {
    MakeFloors(sheet, object.file, 1, false, false);
    ADD_FAILURE() << "no WallError";
  } catch (const WallError& error) {
    EXPECT_EQ(error.Message(), "could not add write sprites");
    EXPECT_EQ(error.Code(), -36);
  }
}

// Water is drawn over the whole cell, large first, with depth 255 raised
// to 254 so nothing in the cell is cut out.
TEST(Water, OneListHoldsTheThreeZoomsWithEveryPixelDrawn) {
  testing::UseTestPalette(false);
  Offscreen colour, depth;
  testing::Fill(colour, kWidth, kHeight, Tile);
  auto depthOf = [](int x, int y) { return static_cast<std::uint8_t>(Tile(x, y) == kClear ? 255 : 40 + (x % 50)); };
  for (bool withDepth : {true, false}) {
    SCOPED_TRACE(withDepth ? "with depth" : "without depth");
    testing::Fill(depth, kWidth, kHeight, depthOf);
    MemoryObject object;
    MakeWater(colour, withDepth ? &depth : nullptr, object.file, 3);
    EXPECT_EQ(object.Contents(), (std::vector<std::string>{"SPR2 2051", "PALT 2051"}));
    const testing::StoredResource* stored = object.Find(kSPR2, 2051);
    ASSERT_NE(stored, nullptr);
    EXPECT_FALSE(stored->native);
    const DecodedList list = testing::DecodeSpr2(*stored);
    EXPECT_EQ(list.paletteId, 2051);
    ASSERT_EQ(list.frames.size(), 3u);
    for (int index = 0; index < 3; ++index) {
      const Rect cell = FloorCell(3 - index);
      const DecodedSprite& frame = list.frames[index];
      ASSERT_EQ(frame.width, cell.Width());
      ASSERT_EQ(frame.height, cell.Height());
      EXPECT_EQ(list.headers[index].originX, 0);
      int wrong = 0;
      for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
          const int sx = cell.left + x, sy = cell.top + y;
          const std::uint8_t wantDepth = withDepth ? std::min<std::uint8_t>(depthOf(sx, sy), 254) : 254;
          const bool ok = frame.Drawn(x, y) && frame.colour[frame.Index(x, y)] == colour.PixelAt(sx, sy) &&
                          frame.depth[frame.Index(x, y)] == wantDepth;
          if (!ok && ++wrong <= 3) ADD_FAILURE() << "frame " << index << " pixel " << x << "," << y;
        }
      }
    }
  }
}

// The stored palette and list of water may fail without ending the pass:
// each failure is reported and the rest is still stored.
TEST(Water, AFailedStoreIsReportedAndThePassGoesOn) {
  testing::UseTestPalette(false);
  Offscreen colour;
  testing::Fill(colour, kWidth, kHeight, Tile);
  MemoryObject object;
  object.file.FailNext(testing::MemoryResFile::Op::kAdd, -34);
  testing::AssertCapture asserts;
  MakeWater(colour, nullptr, object.file, 0);
  EXPECT_TRUE(asserts.Saw("(false) could not add sprites"));
  EXPECT_EQ(object.Contents(), (std::vector<std::string>{"PALT 2048"}));
}

}  // namespace
}  // namespace pixmold
