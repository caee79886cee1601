#include "architecture/walls.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "architecture/wall_error.h"
#include "architecture/wall_pieces.h"
#include "architecture_fixture.h"
#include "imaging/palette_resource.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

using Op = testing::MemoryResFile::Op;

constexpr ResType kSPR = MakeResType("SPR#");
constexpr std::uint8_t kClear = 200;
constexpr std::uint8_t kMaskClear = 255;

// Each 384-row band starts with 30 clear rows and ends with 8, so the wall
// images' tops have something to trim and the large ones' feet something
// to keep; clear speckles put clear runs inside every frame.
std::uint8_t Colour(int x, int y, std::uint8_t clear) {
  if (y % 384 < 30 || y % 384 >= 376 || (x * 31 + y * 17) % 13 == 0) return clear;
  return static_cast<std::uint8_t>(20 + (x * 7 + y * 3) % 150);
}
std::uint8_t Depth(int x, int y) {
  return Colour(x, y, kClear) == kClear ? 255 : static_cast<std::uint8_t>(10 + (x + 2 * y) % 200);
}

struct Sheets {
  Sheets() {
    testing::UseTestPalette(false);
    testing::Fill(colour, 1200, 1600, [](int x, int y) { return Colour(x, y, kClear); });
    testing::Fill(depth, 1200, 1600, Depth);
    testing::Fill(mask, 1200, 1600, [](int x, int y) { return Colour(x, y, kMaskClear); });
    testing::Fill(cutaway, 1200, 1600, [](int x, int y) { return Colour(x + 1, y, kMaskClear); });
  }
  Offscreen colour, depth, mask, cutaway;
};

enum class Kind { kColour, kTrimmedWithDepth, kTrimmed, kMask, kDepth };

// One stored list: its frames are `pieces` of `sheet` (walls trimmed at the
// top, with their depth frames after the colour frames when they have depth).
struct Expected {
  ResID id;
  std::string name;
  std::int32_t version;
  ResID paletteId;
  std::vector<Rect> pieces;
  const Offscreen* sheet;
  Kind kind;
};

Rect TrimmedTop(const Offscreen& sheet, Rect piece) {
  auto clearRow = [&](int y) {
    for (int x = piece.left; x < piece.right; ++x)
      if (sheet.PixelAt(x, y) != kClear) return false;
    return true;
  };
  while (piece.top < piece.bottom && clearRow(piece.top)) ++piece.top;
  return piece;
}

void ExpectList(const testing::MemoryObject& object, const Expected& expected, const Sheets& sheets) {
  SCOPED_TRACE(expected.id);
  const testing::StoredResource* stored = object.Find(kSPR, expected.id);
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->name, expected.name);
  const testing::DecodedList list = testing::Decode(*stored);
  EXPECT_EQ(list.version, expected.version);
  EXPECT_EQ(list.paletteId, expected.paletteId);
  const bool withDepth = expected.kind == Kind::kTrimmedWithDepth;
  const std::size_t count = expected.pieces.size();
  ASSERT_EQ(list.frames.size(), withDepth ? 2 * count : count);
  for (std::size_t i = 0; i < count; ++i) {
    const bool trimmed = withDepth || expected.kind == Kind::kTrimmed;
    const Rect piece = trimmed ? TrimmedTop(*expected.sheet, expected.pieces[i]) : expected.pieces[i];
    EXPECT_TRUE(!trimmed || piece.top > expected.pieces[i].top);
    const bool mask = expected.kind == Kind::kMask;
    const std::uint8_t clear = mask || expected.kind == Kind::kDepth ? 255 : kClear;
    testing::ExpectFrameShows(list.frames[i], piece, testing::SheetPixels(*expected.sheet, clear, mask ? 0 : -1));
    if (withDepth) testing::ExpectFrameShows(list.frames[count + i], piece, testing::SheetPixels(sheets.depth, 255));
  }
}

template <std::size_t N>
std::vector<Rect> Pieces(const std::array<Rect, N>& rects) {
  return {rects.begin(), rects.end()};
}

struct GeneratorCase {
  std::function<void(Sheets&, iResFile&)> run;
  std::vector<std::string> contents;  // every stored resource, in order
  std::string printed;
  std::vector<Expected> lists;  // some of them, in full
  std::string announced = {};   // on standard error
};

TEST(WallGenerators, EachStoresItsListsWhoseFramesAreThePiecesOfTheSheet) {
  Sheets s;
  const GeneratorCase cases[] = {
      {[](Sheets& s, iResFile& f) { MakeWalls(s.colour, nullptr, 1, false, f); },
       {"SPR# 129", "SPR# 130", "SPR# 131"},
       "",
       {{129, "", 502, -1, Pieces(WallImageRects(1)), &s.colour, Kind::kTrimmed},
        {131, "", 502, -1, Pieces(WallImageRects(3)), &s.colour, Kind::kTrimmed}}},
      {[](Sheets& s, iResFile& f) { MakeWalls(s.colour, &s.depth, 2, true, f); },
       {"SPR# 153", "SPR# 154", "SPR# 155"},
       "",
       {{154, "", 503, -1, Pieces(WallImageRects(2)), &s.colour, Kind::kTrimmedWithDepth}}},
      {[](Sheets& s, iResFile& f) { MakeWallStyle(s.mask, 3, true, f); },
       {"SPR# 7", "SPR# 519", "SPR# 1031"},
       "3:1:1(7)\n3:2:1(519)\n3:3:1(1031)\n",
       {{7, "3:1:1(7)", 504, -1, Pieces(StylePieces(1, false)), &s.mask, Kind::kMask},
        {1031, "3:3:1(1031)", 504, -1, Pieces(StylePieces(3, false)), &s.mask, Kind::kMask}}},
      {[](Sheets& s, iResFile& f) { MakeWallStyleSpec(s.mask, &s.cutaway, f, 9, "Arch"); },
       {"SPR# 9", "SPR# 10", "SPR# 11", "SPR# 12", "SPR# 13", "SPR# 14"},
       "Arch 9:1:0(9)\nArch 9:2:0(10)\nArch 9:3:0(11)\nArch 9:1:1(12)\nArch 9:2:1(13)\nArch 9:3:1(14)\n",
       {{10, "Arch 9:2:0(10)", 504, -1, Pieces(StylePieces(2, true)), &s.mask, Kind::kMask},
        {14, "Arch 9:3:1(14)", 504, -1, Pieces(StylePieces(3, true)), &s.cutaway, Kind::kMask}}},
      {[](Sheets& s, iResFile& f) { MakeWallPattern(s.colour, 252, f); },
       {"SPR# 1788", "SPR# 2044", "SPR# 2300", "PALT 1788"},
       "252:1(1788)\n252:2(2044)\n252:3(2300)\n",
       {{2044, "252:2(2044)", 504, 1788, Pieces(StylePieces(2, true)), &s.colour, Kind::kColour}},
       // Each zoom cuts the transition shape's pieces and says so.
       "Doing transition left pattern\nDoing transition left pattern\nDoing transition left pattern\n"},
      {[](Sheets& s, iResFile& f) { MakeThickWalls(s.colour, 2, f); },
       {"SPR# 4097", "PALT 4096"},
       "",
       {{4097, "", 502, 4096, Pieces(ThickWallPieces(2)), &s.colour, Kind::kColour}}},
      {[](Sheets& s, iResFile& f) { MakeTileWalls(s.colour, s.depth, 3, f); },
       {"SPR# 5122", "PALT 5120", "SPR# 6146"},
       "",
       {{5122, "", 502, 5120, Pieces(ThickWallPieces(3)), &s.colour, Kind::kColour},
        {6146, "", 505, -1, Pieces(ThickWallPieces(3)), &s.depth, Kind::kDepth}}},
  };
  for (const GeneratorCase& c : cases) {
    SCOPED_TRACE(c.contents[0]);
    testing::MemoryObject object;
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    c.run(s, object.file);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.announced);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.printed);
    EXPECT_EQ(object.Contents(), c.contents);
    for (const Expected& list : c.lists) ExpectList(object, list, s);
    // Palettes are stored with the native flag clear, as every pass stores them.
    for (const testing::StoredResource& stored : object.disk.files.at("chair.iff")) {
      EXPECT_TRUE(stored.type != kPaletteResourceType || !stored.native) << stored.id;
    }
  }
}

// The walls' list records no palette, yet with the display's reserved
// colours a pixel outside the usable range must still be mapped into it
// rather than end the build.
TEST(WallGenerators, WallsWithReservedColoursStayInTheUsableRange) {
  Sheets sheets;
  testing::UseTestPalette(true);
  sheets.colour.Row(100)[100] = 250;
  testing::MemoryObject object;
  testing::AssertCapture asserts;
  MakeWalls(sheets.colour, nullptr, 1, false, object.file);
  EXPECT_EQ(asserts.Count(), 0u);
  const testing::DecodedList list = testing::Decode(*object.Find(kSPR, 131));
  const Rect piece = TrimmedTop(sheets.colour, WallImageRects(3)[0]);
  const std::uint8_t stored = list.frames[0].colour[list.frames[0].Index(100 - piece.left, 100 - piece.top)];
  EXPECT_TRUE(stored >= 10 && stored <= 245) << int(stored);
}

TEST(WallGenerators, FailuresRaiseWallErrorWithTheCodeAndStoreNothing) {
  Sheets sheets;
  Offscreen smallDepth;
  testing::Fill(smallDepth, 900, 900, Depth);
  struct Case {
    std::optional<Op> failing;
    Offscreen* depth;
    const char* message;
    ResErr code;
  };
  const Case cases[] = {
      {Op::kAdd, nullptr, "could not add sprites", -34},
      {Op::kWrite, nullptr, "could not add write sprites", -34},
      // Depth frames clipped by a smaller depth sheet do not match their colour frames.
      {std::nullopt, &smallDepth, "could not mmerge sprite lists", 1102},
  };
  for (const Case& c : cases) {
    testing::MemoryObject object;
    if (c.failing) object.file.FailNext(*c.failing, -34);
    testing::AssertCapture asserts;
    try {
      MakeWalls(sheets.colour, c.depth, 1, false, object.file);
      ADD_FAILURE() << "no WallError";
    } catch (const WallError& error) {
      EXPECT_EQ(error.Message(), c.message);
      EXPECT_EQ(error.Code(), c.code);
    }
    EXPECT_EQ(object.Contents(), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace pixmold
