#include "imaging/pal_wrap.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "image_bytes.h"
#include "support/assert_capture.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

using testing::AssertCapture;
using testing::Bytes;

std::array<PaletteEntry, 256> Ramp() {
  std::array<PaletteEntry, 256> colours{};
  for (int i = 0; i < 256; ++i) {
    colours[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i / 2),
                  0};
  }
  return colours;
}

TEST(PalWrap, SystemColoursReplaceTheFirstAndLastTen) {
  PalWrap palette;
  palette.SetFromColours(Ramp(), true);
  const auto table = palette.GetColourTable();
  ASSERT_EQ(table.size(), 256u);
  EXPECT_EQ(table[0], (PaletteEntry{0, 0, 0, 0}));
  EXPECT_EQ(table[9], (PaletteEntry{166, 202, 240, 0}));
  EXPECT_EQ(table[246], (PaletteEntry{255, 251, 240, 0}));
  EXPECT_EQ(table[255], (PaletteEntry{255, 255, 255, 0}));
  EXPECT_EQ(table[10], (PaletteEntry{10, 245, 5, kPaletteNoCollapse}));
  EXPECT_EQ(table[245], (PaletteEntry{245, 10, 122, kPaletteNoCollapse}));
  EXPECT_EQ(palette.GetFirstUsable(), 10);
  EXPECT_EQ(palette.GetLastUsable(), 245);
  EXPECT_EQ(palette.GetPackedColours()[10], 0x0AF505u);
}

TEST(PalWrap, WithoutSystemColoursEveryEntryIsKeptAndReserved) {
  PalWrap palette;
  palette.SetFromColours(Ramp(), false);
  EXPECT_EQ(palette.GetColourTable()[0], (PaletteEntry{0, 255, 0, kPaletteReserved | kPaletteNoCollapse}));
  EXPECT_EQ(palette.GetFirstUsable(), 0);
  EXPECT_EQ(palette.GetLastUsable(), 255);
  EXPECT_EQ(palette.GetColoursUsed(), 256);
}

TEST(PalWrap, FindNearestNeverReturnsReservedEntries) {
  PalWrap palette;
  palette.SetFromColours(Ramp(), true);
  for (const PaletteEntry& reserved : PalWrap::SystemColours()) {
    const int found = palette.FindNearest(reserved.red, reserved.green, reserved.blue);
    EXPECT_GE(found, 10);
    EXPECT_LE(found, 245);
  }
  // Pure black is entry 0, reserved; the ramp's darkest usable red wins.
  EXPECT_EQ(palette.FindNearest(0, 0, 0), palette.FindNearestBySearch(0, 0, 0));
}

TEST(PalWrap, FindNearestWeighsGreenAboveRedAboveBlue) {
  std::array<PaletteEntry, 256> colours{};
  colours.fill({255, 255, 255, 0});
  colours[1] = {100, 100, 110, 0};  // blue off by 10: 100
  colours[2] = {107, 100, 100, 0};  // red off by 7: 98
  colours[3] = {100, 105, 100, 0};  // green off by 5: 100
  PalWrap palette;
  palette.SetFromColours(colours, false);
  EXPECT_EQ(palette.FindNearest(100, 100, 100), 2);
  colours[2] = {108, 100, 100, 0};  // 128: now a tie of 1 and 3 at 100, lowest index wins
  palette.SetFromColours(colours, false);
  EXPECT_EQ(palette.FindNearest(100, 100, 100), 1);
  EXPECT_EQ(palette.FindNearestBySearch(100, 100, 100), 1);
}

TEST(PalWrap, ExactMatchReturnsTheFirstEqualEntry) {
  std::array<PaletteEntry, 256> colours{};
  colours.fill({1, 2, 3, 0});
  colours[40] = {9, 9, 9, 0};
  colours[41] = {9, 9, 9, 0};
  PalWrap palette;
  palette.SetFromColours(colours, true);
  EXPECT_EQ(palette.FindColour(9, 9, 9), 40);
  EXPECT_EQ(palette.FindColour(1, 2, 3), 10);
}

TEST(PalWrap, WithoutColoursAColourMapsToItsRed) {
  PalWrap palette;
  EXPECT_EQ(palette.FindColour(77, 1, 2), 77);
  palette.SetFromColours(Ramp(), false);
  palette.ClearColours();
  EXPECT_EQ(palette.FindNearest(200, 0, 0), 200);
  EXPECT_TRUE(palette.GetColourTable().empty());
}

TEST(PalWrap, NotBmpPaletteFileIsRead768BytesOfTriples) {
  testing::TempDir dir;
  Bytes raw;
  for (int i = 0; i < 256; ++i)
    testing::Append(raw, {static_cast<std::uint8_t>(i), 7, static_cast<std::uint8_t>(255 - i)});
  raw.push_back(0xEE);  // extra bytes are not read
  std::array<PaletteEntry, 256> colours{};
  ASSERT_TRUE(PalWrap::ReadPaletteFile(dir.Write("p.pal", raw), colours));
  EXPECT_EQ(colours[0], (PaletteEntry{0, 7, 255, 0}));
  EXPECT_EQ(colours[255], (PaletteEntry{255, 7, 0, 0}));

  AssertCapture capture;
  raw.resize(767);
  EXPECT_FALSE(PalWrap::ReadPaletteFile(dir.Write("short.pal", raw), colours));
  EXPECT_TRUE(capture.Saw("(readCnt) unexpected EOF"));
}

TEST(PalWrap, BmpPaletteFileReadsItsColourCountAndClearsTheRest) {
  testing::TempDir dir;
  testing::BmpSpec spec;
  spec.clrUsed = 16;
  spec.paletteEntries = 16;
  std::array<PaletteEntry, 256> colours{};
  colours.fill({1, 1, 1, 1});
  ASSERT_TRUE(PalWrap::ReadPaletteFile(dir.Write("p.bmp", testing::BmpHeaders(spec, 0)), colours));
  // Stored blue, green, red: entry i is (blue i, green 255 - i, red i / 2).
  EXPECT_EQ(colours[3], (PaletteEntry{1, 252, 3, 0}));
  EXPECT_EQ(colours[15], (PaletteEntry{7, 240, 15, 0}));
  EXPECT_EQ(colours[16], (PaletteEntry{}));
  EXPECT_EQ(colours[255], (PaletteEntry{}));

  PalWrap palette;
  ASSERT_TRUE(palette.LoadFromFile(dir.File("p.bmp"), false));
  EXPECT_EQ(palette.GetColourTable()[15], (PaletteEntry{7, 240, 15, kPaletteReserved | kPaletteNoCollapse}));
}

TEST(PalWrap, BmpPaletteFileProblemsAreReported) {
  testing::TempDir dir;
  std::array<PaletteEntry, 256> colours{};
  {
    AssertCapture capture;
    testing::BmpSpec spec;
    spec.paletteEntries = 100;  // 256 promised
    EXPECT_FALSE(PalWrap::ReadPaletteFile(dir.Write("short.bmp", testing::BmpHeaders(spec, 0)), colours));
    EXPECT_TRUE(capture.Saw("(quads_read == colorCount) unexpected eof"));
  }
  {
    AssertCapture capture;
    testing::BmpSpec spec;
    spec.clrUsed = 300;
    spec.paletteEntries = 300;
    ASSERT_TRUE(PalWrap::ReadPaletteFile(dir.Write("big.bmp", testing::BmpHeaders(spec, 0)), colours));
    EXPECT_TRUE(capture.Saw("(*outNumColors <= 256) palette too big"));
    EXPECT_EQ(colours[255], (PaletteEntry{127, 0, 255, 0}));  // only 256 are taken
  }
  {
    AssertCapture capture;
    testing::BmpSpec spec;
    spec.bitCount = 24;
    spec.paletteEntries = 200;  // 14 + 40 + 800 bytes, enough to read as triples
    ASSERT_TRUE(PalWrap::ReadPaletteFile(dir.Write("deep.bmp", testing::BmpHeaders(spec, 0)), colours));
    EXPECT_TRUE(capture.Saw("too many bits per pixel retrieving palette"));
    EXPECT_EQ(colours[0], (PaletteEntry{'B', 'M', 0x56, 0}));  // read from the start as triples
  }
  {
    AssertCapture capture;
    EXPECT_FALSE(PalWrap::ReadPaletteFile(dir.File("missing.bmp"), colours));
    EXPECT_TRUE(capture.Saw("could not open file"));
  }
}

TEST(PalWrap, DestroyingAReferencedPaletteIsReported) {
  AssertCapture capture;
  auto palette = std::make_unique<PalWrap>();
  palette->AddRef();
  palette.reset();
  EXPECT_TRUE(capture.Saw("Deleting PalWrap object with non-zero refcount"));
}

TEST(PalWrap, AmbientAndTypeTableRangesAreChecked) {
  AssertCapture capture;
  PalWrap palette;
  EXPECT_FLOAT_EQ(palette.GetOtherAmbient(), 0.3f);
  palette.SetOtherAmbient(1.0f);
  EXPECT_EQ(capture.Count(), 0u);
  palette.SetOtherAmbient(1.5f);
  EXPECT_TRUE(capture.Saw("ambient out of range"));
  palette.GetTypeTable(4)[511] = 9;
  EXPECT_EQ(palette.GetTypeTable(4)[511], 9);
  palette.GetTypeTable(5);
  EXPECT_TRUE(capture.Saw("(inType >= 0 && inType < kPaletteCount) bad palette type"));
}

}  // namespace
}  // namespace pixmold
