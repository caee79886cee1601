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

constexpr ResType kSPR2 = MakeResType("SPR2");
constexpr std::uint8_t kClear = 200;
constexpr int kWidth = 230;
constexpr int kHeight = 70;

// Each cell holds a drawn diamond inside its edges, with clear speckles, so
// trimming moves every side.
std::uint8_t Tile(int x, int y) {
  for (int scale = 1; scale <= 3; ++scale) {
    const Rect cell = FloorCell(scale);
    if (!cell.Contains(x, y)) continue;
    const int dx = std::abs(2 * (x - cell.left) - cell.Width());
    const int dy = std::abs(2 * (y - cell.top) - cell.Height());
    if (dx * cell.Height() + dy * cell.Width() >= cell.Width() * cell.Height() * 3 / 4) return kClear;
    return (x * 5 + y * 3) % 11 == 0 ? kClear : static_cast<std::uint8_t>(20 + (x + 3 * y) % 100);
  }
  return kClear;
}

Rect DrawnBounds(const Offscreen& sheet, const Rect& cell) {
  Rect bounds = Rect::Make(cell.right, cell.bottom, cell.left, cell.top);
  for (int y = cell.top; y < cell.bottom; ++y)
    for (int x = cell.left; x < cell.right; ++x)
      if (sheet.PixelAt(x, y) != kClear) bounds = UnionRect(bounds, Rect::Make(x, y, x + 1, y + 1));
  return bounds;
}

TEST(Floors, EachKindStoresOneTrimmedFramePerZoomUnderItsIds) {
  testing::UseTestPalette(false);
  Offscreen sheet;
  testing::Fill(sheet, kWidth, kHeight, Tile);
  struct Case {
    int tile;
    bool shadow, pool;
    std::vector<ResID> ids;  // per zoom
    ResID paletteId;
    bool palette;
  };
  const Case cases[] = {
      {5, false, false, {5, 261, 517}, 5, true},        {3, true, false, {771, 803, 835}, 1, false},
      {2, false, true, {1026, 1042, 1058}, 1026, true}, {17, false, true, {1073, 1077, 1081}, 1073, true},
      {4, true, true, {772, 804, 836}, 1, false},  // reported, made as a shadow
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ids[0]);
    testing::MemoryObject object;
    testing::AssertCapture asserts;
    MakeFloors(sheet, object.file, c.tile, c.shadow, c.pool);
    EXPECT_EQ(asserts.Saw("pooltile & shadow?!?"), c.shadow && c.pool);
    EXPECT_EQ(object.Contents().size(), c.palette ? 4u : 3u);
    for (int scale = 1; scale <= 3; ++scale) {
      const testing::StoredResource* stored = object.Find(kSPR2, c.ids[scale - 1]);
      ASSERT_NE(stored, nullptr);
      const testing::DecodedList list = testing::Decode(*stored);
      EXPECT_EQ(list.paletteId, c.paletteId);
      ASSERT_EQ(list.frames.size(), 1u);
      // The frame's own palette id is its list's, as in every pass.
      EXPECT_EQ(list.headers[0].paletteId, c.paletteId);
      const Rect cell = FloorCell(scale);
      const Rect drawn = DrawnBounds(sheet, cell);
      EXPECT_EQ(list.headers[0].originX * 1000 + list.headers[0].originY,
                (drawn.left - cell.left) * 1000 + drawn.top - cell.top);
      testing::ExpectFrameShows(list.frames[0], drawn, testing::SheetPixels(sheet, kClear));
    }
    const testing::StoredResource* palette = object.Find(kPaletteResourceType, c.paletteId);
    EXPECT_EQ(palette != nullptr, c.palette);
    EXPECT_TRUE(!palette || palette->bytes == EncodePaletteResource(GetGlobalPalette()));
    EXPECT_TRUE(!palette || !palette->native);
  }
}

TEST(Floors, AClearCellGivesAnEmptyFrameAndAFailedStoreAWallError) {
  testing::UseTestPalette(false);
  Offscreen sheet;
  testing::Fill(sheet, kWidth, kHeight, [](int x, int y) { return FloorCell(1).Contains(x, y) ? kClear : Tile(x, y); });
  testing::MemoryObject object;
  MakeFloors(sheet, object.file, 0, false, false);
  const Sprite2FrameHeader header = testing::Decode(*object.Find(kSPR2, 0)).headers.at(0);
  EXPECT_EQ(std::vector<int>({header.width, header.height, header.originX, header.originY}),
            std::vector<int>({0, 0, 0, 0}));

  object.file.FailNext(testing::MemoryResFile::Op::kWrite, -36);
  try {
    MakeFloors(sheet, object.file, 1, false, false);
    ADD_FAILURE() << "no WallError";
  } catch (const WallError& error) {
    EXPECT_EQ(error.Message() + " " + std::to_string(error.Code()), "could not add write sprites -36");
  }
}

// Water is drawn over the whole cell, large first, with depth 255 raised to
// 254 so nothing in the cell is cut out; its store failures are reported
// and the pass goes on.
TEST(Water, OneListHoldsTheThreeZoomsWithEveryPixelDrawn) {
  testing::UseTestPalette(false);
  Offscreen colour, depth;
  testing::Fill(colour, kWidth, kHeight, Tile);
  auto depthOf = [](int x, int y) { return static_cast<std::uint8_t>(Tile(x, y) == kClear ? 255 : 40 + x % 50); };
  for (bool withDepth : {true, false}) {
    SCOPED_TRACE(withDepth);
    testing::Fill(depth, kWidth, kHeight, depthOf);
    testing::MemoryObject object;
    MakeWater(colour, withDepth ? &depth : nullptr, object.file, 3);
    EXPECT_EQ(object.Contents(), (std::vector<std::string>{"SPR2 2051", "PALT 2051"}));
    EXPECT_FALSE(object.Find(kSPR2, 2051)->native);
    EXPECT_FALSE(object.Find(kPaletteResourceType, 2051)->native);
    const testing::DecodedList list = testing::Decode(*object.Find(kSPR2, 2051));
    EXPECT_EQ(list.paletteId, 2051);
    ASSERT_EQ(list.frames.size(), 3u);
    for (const Sprite2FrameHeader& header : list.headers) EXPECT_EQ(header.paletteId, 2051);
    for (int index = 0; index < 3; ++index) {
      SCOPED_TRACE(index);
      const Rect cell = FloorCell(3 - index);
      std::vector<std::uint8_t> depths;
      for (int y = cell.top; y < cell.bottom; ++y)
        for (int x = cell.left; x < cell.right; ++x)
          depths.push_back(withDepth ? std::min<std::uint8_t>(depthOf(x, y), 254) : 254);
      testing::ExpectFrameShows(list.frames[index], cell, [&](int x, int y) { return colour.PixelAt(x, y); });
      EXPECT_EQ(list.frames[index].depth, depths);
    }
  }
  testing::MemoryObject failing;
  failing.file.FailNext(testing::MemoryResFile::Op::kAdd, -34);
  testing::AssertCapture asserts;
  MakeWater(colour, nullptr, failing.file, 0);
  EXPECT_TRUE(asserts.Saw("(false) could not add sprites"));
  EXPECT_EQ(failing.Contents(), (std::vector<std::string>{"PALT 2048"}));
}

}  // namespace
}  // namespace pixmold
