#include "architecture/walls.h"

#include <gtest/gtest.h>

#include <functional>
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

constexpr ResType kSPR = MakeResType("SPR#");
constexpr std::uint8_t kClear = 200;
constexpr std::uint8_t kMaskClear = 255;

// Each band of the sheet starts with 30 clear rows, so the tops of the wall
// images have something to trim; clear speckles everywhere test clear runs
// inside the frames.
bool Speckle(int x, int y) { return (x * 31 + y * 17) % 13 == 0; }
std::uint8_t Colour(int x, int y, std::uint8_t clear) {
  if (y % 384 < 30 || Speckle(x, y)) return clear;
  return static_cast<std::uint8_t>(20 + (x * 7 + y * 3) % 150);
}
std::uint8_t Depth(int x, int y) {
  return Colour(x, y, kClear) == kClear ? 255 : static_cast<std::uint8_t>(10 + (x + 2 * y) % 200);
}

struct Sheets {
  Sheets() {
    testing::UseTestPalette(false);
    testing::Fill(colour, kWidth, kHeight, [](int x, int y) { return Colour(x, y, kClear); });
    testing::Fill(depth, kWidth, kHeight, Depth);
    testing::Fill(mask, kWidth, kHeight, [](int x, int y) { return Colour(x, y, kMaskClear); });
    // The cutaway mask shows the same shapes one pixel to the right.
    testing::Fill(cutaway, kWidth, kHeight, [](int x, int y) { return Colour(x + 1, y, kMaskClear); });
  }
  static constexpr int kWidth = 1200;
  static constexpr int kHeight = 1600;
  Offscreen colour, depth, mask, cutaway;
};

// What one stored list must hold: its frames are the given pieces of the
// sheet (the depth frames, if any, after the colour frames).
struct ExpectedList {
  ResID id;
  std::string name;
  std::int32_t version;
  ResID paletteId;
  std::vector<Rect> pieces;
  const Offscreen* sheet;
  bool mask = false;                 // drawn pixels are stored as index 0
  const Offscreen* depth = nullptr;  // depth frames follow
  bool trimTop = false;
  bool depthOnly = false;  // a depth list of its own
};

// The piece with its clear top rows removed.
Rect TrimmedTop(const Offscreen& sheet, Rect piece, std::uint8_t clear) {
  auto rowClear = [&](int y) {
    for (int x = piece.left; x < piece.right; ++x)
      if (sheet.PixelAt(x, y) != clear) return false;
    return true;
  };
  while (piece.top < piece.bottom && rowClear(piece.top)) ++piece.top;
  return piece;
}

void ExpectList(const MemoryObject& object, const ExpectedList& expected) {
  SCOPED_TRACE("SPR# " + std::to_string(expected.id));
  const testing::StoredResource* stored = object.Find(kSPR, expected.id);
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->name, expected.name);
  EXPECT_TRUE(stored->native);
  const DecodedList list = testing::DecodeSpr(*stored);
  EXPECT_EQ(list.version, expected.version);
  EXPECT_EQ(list.paletteId, expected.paletteId);
  const std::size_t count = expected.pieces.size();
  ASSERT_EQ(list.frames.size(), expected.depth != nullptr ? 2 * count : count);
  const std::uint8_t clear = expected.depthOnly ? 255 : expected.mask ? kMaskClear : kClear;
  for (std::size_t i = 0; i < count; ++i) {
    const Rect piece = expected.trimTop ? TrimmedTop(*expected.sheet, expected.pieces[i], clear) : expected.pieces[i];
    EXPECT_TRUE(!expected.trimTop || piece.top > expected.pieces[i].top);
    testing::ExpectFrameShows(list.frames[i], piece, *expected.sheet, clear,
                              expected.mask ? [](std::uint8_t) { return std::uint8_t{0}; } : testing::Same);
    if (expected.depth != nullptr) {
      testing::ExpectFrameShows(list.frames[count + i], piece, *expected.depth, 255, testing::Same);
    }
  }
}

std::vector<Rect> Pieces(std::span<const Rect> rects) { return {rects.begin(), rects.end()}; }
std::vector<Rect> Walls(int zoom) { return Pieces(WallImageRects(zoom)); }
std::vector<Rect> Style(int zoom, bool transition = false) { return Pieces(StylePieces(zoom, transition)); }
std::vector<Rect> Thick(int zoom) { return Pieces(ThickWallPieces(zoom)); }

struct GeneratorCase {
  const char* what;
  std::function<void(Sheets&, iResFile&)> run;
  std::vector<std::string> contents;  // every stored resource, in order
  std::string printed;
  std::function<std::vector<ExpectedList>(const Sheets&)> lists;
};

TEST(WallGenerators, EachStoresItsListsWhoseFramesAreThePiecesOfTheSheet) {
  Sheets sheets;
  const GeneratorCase cases[] = {
      {"wall 1 without depth",
       [](Sheets& s, iResFile& f) { MakeWalls(s.colour, nullptr, 1, false, f); },
       {"SPR# 129", "SPR# 130", "SPR# 131"},
       "",
       [](const Sheets& s) {
         std::vector<ExpectedList> out;
         for (int z = 1; z <= 3; ++z)
           out.push_back({static_cast<ResID>(128 + z), "", 502, -1, Walls(z), &s.colour, false, nullptr, true});
         return out;
       }},
      {"wall 2 variant with depth",
       [](Sheets& s, iResFile& f) { MakeWalls(s.colour, &s.depth, 2, true, f); },
       {"SPR# 153", "SPR# 154", "SPR# 155"},
       "",
       [](const Sheets& s) {
         std::vector<ExpectedList> out;
         for (int z = 1; z <= 3; ++z)
           out.push_back({static_cast<ResID>(152 + z), "", 503, -1, Walls(z), &s.colour, false, &s.depth, true});
         return out;
       }},
      {"style 3 variant",
       [](Sheets& s, iResFile& f) { MakeWallStyle(s.mask, 3, true, f); },
       {"SPR# 7", "SPR# 519", "SPR# 1031"},
       "3:1:1(7)\n3:2:1(519)\n3:3:1(1031)\n",
       [](const Sheets& s) {
         return std::vector<ExpectedList>{{7, "3:1:1(7)", 504, -1, Style(1), &s.mask, true},
                                          {519, "3:2:1(519)", 504, -1, Style(2), &s.mask, true},
                                          {1031, "3:3:1(1031)", 504, -1, Style(3), &s.mask, true}};
       }},
      {"style 9, the transition shape",
       [](Sheets& s, iResFile& f) { MakeWallStyle(s.mask, 9, false, f); },
       {"SPR# 18", "SPR# 530", "SPR# 1042"},
       "9:1:0(18)\n9:2:0(530)\n9:3:0(1042)\n",
       [](const Sheets& s) {
         return std::vector<ExpectedList>{{18, "9:1:0(18)", 504, -1, Style(1, true), &s.mask, true},
                                          {530, "9:2:0(530)", 504, -1, Style(2, true), &s.mask, true},
                                          {1042, "9:3:0(1042)", 504, -1, Style(3, true), &s.mask, true}};
       }},
      {"style tag with a cutaway image",
       [](Sheets& s, iResFile& f) { MakeWallStyleSpec(s.mask, &s.cutaway, f, 300, "Arch"); },
       {"SPR# 300", "SPR# 301", "SPR# 302", "SPR# 303", "SPR# 304", "SPR# 305"},
       "Arch 300:1:0(300)\nArch 300:2:0(301)\nArch 300:3:0(302)\n"
       "Arch 300:1:1(303)\nArch 300:2:1(304)\nArch 300:3:1(305)\n",
       [](const Sheets& s) {
         std::vector<ExpectedList> out;
         for (int c = 0; c <= 1; ++c)
           for (int z = 1; z <= 3; ++z) {
             const auto id = static_cast<ResID>(300 + 3 * c + z - 1);
             out.push_back({id,
                            "Arch 300:" + std::to_string(z) + ":" + std::to_string(c) + "(" + std::to_string(id) + ")",
                            504, -1, Style(z), c == 0 ? &s.mask : &s.cutaway, true});
           }
         return out;
       }},
      {"style tag 9 without a cutaway image",
       [](Sheets& s, iResFile& f) { MakeWallStyleSpec(s.mask, nullptr, f, 9, "T"); },
       {"SPR# 9", "SPR# 10", "SPR# 11"},
       "T 9:1:0(9)\nT 9:2:0(10)\nT 9:3:0(11)\n",
       [](const Sheets& s) {
         return std::vector<ExpectedList>{{9, "T 9:1:0(9)", 504, -1, Style(1, true), &s.mask, true},
                                          {11, "T 9:3:0(11)", 504, -1, Style(3, true), &s.mask, true}};
       }},
      {"pattern 0",
       [](Sheets& s, iResFile& f) { MakeWallPattern(s.colour, 0, f); },
       {"SPR# 1536", "SPR# 1792", "SPR# 2048", "PALT 1536"},
       "0:1(1536)\n0:2(1792)\n0:3(2048)\n",
       [](const Sheets& s) {
         return std::vector<ExpectedList>{{1536, "0:1(1536)", 504, 1536, Style(1), &s.colour},
                                          {1792, "0:2(1792)", 504, 1536, Style(2), &s.colour},
                                          {2048, "0:3(2048)", 504, 1536, Style(3), &s.colour}};
       }},
      {"pattern 252, the transition shape",
       [](Sheets& s, iResFile& f) { MakeWallPattern(s.colour, 252, f); },
       {"SPR# 1788", "SPR# 2044", "SPR# 2300", "PALT 1788"},
       "252:1(1788)\n252:2(2044)\n252:3(2300)\n",
       [](const Sheets& s) {
         return std::vector<ExpectedList>{{1788, "252:1(1788)", 504, 1788, Style(1, true), &s.colour},
                                          {2300, "252:3(2300)", 504, 1788, Style(3, true), &s.colour}};
       }},
      {"thick walls, colour form",
       [](Sheets& s, iResFile& f) { MakeThickWalls(s.colour, 2, f); },
       {"SPR# 4097", "PALT 4096"},
       "",
       [](const Sheets& s) {
         return std::vector<ExpectedList>{{4097, "", 502, 4096, Thick(2), &s.colour}};
       }},
      {"thick walls, tile-wall form",
       [](Sheets& s, iResFile& f) { MakeTileWalls(s.colour, s.depth, 3, f); },
       {"SPR# 5122", "PALT 5120", "SPR# 6146"},
       "",
       [](const Sheets& s) {
         ExpectedList depth{6146, "", 505, -1, Thick(3), &s.depth};
         depth.depthOnly = true;
         return std::vector<ExpectedList>{{5122, "", 502, 5120, Thick(3), &s.colour}, depth};
       }},
  };
  for (const GeneratorCase& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryObject object;
    ::testing::internal::CaptureStdout();
    c.run(sheets, object.file);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.printed);
    EXPECT_EQ(object.Contents(), c.contents);
    for (const ExpectedList& list : c.lists(sheets)) ExpectList(object, list);
  }
}

TEST(WallGenerators, APatternStoresTheSheetsPalette) {
  Sheets sheets;
  MemoryObject object;
  ::testing::internal::CaptureStdout();
  MakeWallPattern(sheets.colour, 7, object.file);
  ::testing::internal::GetCapturedStdout();
  const testing::StoredResource* palette = object.Find(kPaletteResourceType, 1543);
  ASSERT_NE(palette, nullptr);
  EXPECT_EQ(palette->name, "");
  EXPECT_EQ(palette->bytes, EncodePaletteResource(GetGlobalPalette()));
}

// With the display's reserved colours the walls keep their pixels inside
// the usable range even though their list records no palette; a sheet
// pixel outside it must neither end the build nor be stored as it is.
TEST(WallGenerators, WallsWithReservedColoursStayInTheUsableRange) {
  Sheets sheets;
  testing::UseTestPalette(true);
  sheets.colour.Row(100)[100] = 250;
  MemoryObject object;
  testing::AssertCapture asserts;
  MakeWalls(sheets.colour, nullptr, 1, false, object.file);
  EXPECT_EQ(asserts.Count(), 0u);
  const DecodedList list = testing::DecodeSpr(*object.Find(kSPR, 131));
  const Rect piece = TrimmedTop(sheets.colour, WallImageRects(3)[0], kClear);
  const auto& frame = list.frames[0];
  const std::uint8_t stored = frame.colour[frame.Index(100 - piece.left, 100 - piece.top)];
  EXPECT_GE(stored, 10);
  EXPECT_LE(stored, 245);
}

struct FailureCase {
  const char* what;
  std::function<void(Sheets&, MemoryObject&)> run;
  std::string message;
  ResErr code;
};

TEST(WallGenerators, FailuresRaiseWallErrorWithTheFilesCodeAndStoreNothing) {
  Sheets sheets;
  Offscreen smallDepth;
  testing::Fill(smallDepth, 900, 900, Depth);
  const FailureCase cases[] = {
      {"adding the first list",
       [](Sheets& s, MemoryObject& o) {
         o.file.FailNext(testing::MemoryResFile::Op::kAdd, -34);
         MakeWalls(s.colour, nullptr, 1, false, o.file);
       },
       "could not add sprites", -34},
      {"writing the first list",
       [](Sheets& s, MemoryObject& o) {
         o.file.FailNext(testing::MemoryResFile::Op::kWrite, -36);
         MakeWallStyle(s.mask, 1, false, o.file);
       },
       "could not add write sprites", -36},
      {"a depth sheet that does not cover the pieces",
       [&smallDepth](Sheets& s, MemoryObject& o) { MakeWalls(s.colour, &smallDepth, 1, false, o.file); },
       "could not mmerge sprite lists", 1102},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryObject object;
    testing::AssertCapture asserts;  // the compressor's remark on a piece past the depth sheet
    ::testing::internal::CaptureStdout();
    try {
      c.run(sheets, object);
      ADD_FAILURE() << "no WallError";
    } catch (const WallError& error) {
      EXPECT_EQ(error.Message(), c.message);
      EXPECT_EQ(error.Code(), c.code);
    }
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(object.Contents(), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace pixmold
