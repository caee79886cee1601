#include "imaging/pal_wrap.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <tuple>

#include "image_bytes.h"
#include "imaging/palette_resource.h"
#include "support/assert_capture.h"
#include "support/memory_res_file.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

using testing::AssertCapture;
using testing::Bytes;
using Colours = std::array<PaletteEntry, 256>;

// Entry i is (i, 255 - i, i / 2).
Colours Ramp() {
  Colours colours{};
  for (int i = 0; i < 256; ++i) colours[i] = {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i / 2), 0};
  return colours;
}

TEST(PalWrap, SystemColoursReplaceTheFirstAndLastTenAndAreNeverFound) {
  PalWrap palette;
  palette.SetFromColours(Ramp(), true);
  const auto table = palette.GetColourTable();
  EXPECT_TRUE(table[9] == PalWrap::SystemColours()[9] && table[246] == PalWrap::SystemColours()[10]);
  EXPECT_EQ(table[10], (PaletteEntry{10, 245, 5, kPaletteNoCollapse}));
  EXPECT_EQ(table[245], (PaletteEntry{245, 10, 122, kPaletteNoCollapse}));
  EXPECT_EQ(palette.GetPackedColours()[10], 0x0AF505u);
  for (const PaletteEntry& reserved : PalWrap::SystemColours()) {
    const int found = palette.FindNearest(reserved.red, reserved.green, reserved.blue);
    EXPECT_TRUE(found >= 10 && found <= 245) << found;
  }
  // Without them every entry is kept, and marked reserved.
  palette.SetFromColours(Ramp(), false);
  EXPECT_EQ(palette.GetColourTable()[0], (PaletteEntry{0, 255, 0, kPaletteReserved | kPaletteNoCollapse}));
  EXPECT_EQ(palette.FindNearest(0, 255, 0), 0);
}

TEST(PalWrap, FindNearestWeighsGreenAboveRedAboveBlueAndTiesGoToTheLowestIndex) {
  Colours colours{};
  colours.fill({255, 255, 255, 0});
  colours[1] = {100, 100, 110, 0};  // blue off by 10: 100
  colours[2] = {107, 100, 100, 0};  // red off by 7: 98
  colours[3] = {100, 105, 100, 0};  // green off by 5: 100
  PalWrap palette;
  palette.SetFromColours(colours, false);
  EXPECT_EQ(palette.FindNearest(100, 100, 100), 2);
  colours[2] = {108, 100, 100, 0};  // 128: now 1 and 3 tie at 100
  palette.SetFromColours(colours, false);
  EXPECT_EQ(palette.FindNearest(100, 100, 100), 1);
  EXPECT_EQ(palette.FindNearestBySearch(100, 100, 100), 1);
  // An exact colour gives its first usable entry.
  colours.fill({1, 2, 3, 0});
  colours[40] = colours[41] = {9, 9, 9, 0};
  palette.SetFromColours(colours, true);
  EXPECT_EQ(palette.FindColour(9, 9, 9), 40);
  EXPECT_EQ(palette.FindColour(1, 2, 3), 10);
  // Without colours a colour maps to its red.
  palette.ClearColours();
  EXPECT_EQ(palette.FindNearest(200, 0, 0), 200);
}

// Makes the file that long, with a hole that costs no disk.
std::string Longer(const std::string& path, std::uint64_t size) {
  std::filesystem::resize_file(path, size);
  return path;
}

TEST(PalWrap, ReadsPaletteFilesAndReportsTheirProblems) {
  testing::TempDir dir;
  auto bmp = [&](const char* name, const testing::BmpSpec& spec) {
    return dir.Write(name, testing::BmpHeaders(spec, 0));
  };
  // Stored blue, green, red; entries past the count are cleared; only 256 of
  // 300 colours are taken; a deeper BMP is read from the start as triples.
  const std::tuple<std::string, bool, const char*, std::size_t, PaletteEntry> cases[] = {
      {dir.Write("short.pal", Bytes(767, 0)), false, "(readCnt) unexpected EOF", 0, {}},
      {bmp("p.bmp", {.clrUsed = 16, .paletteEntries = 16}), true, "", 15, {7, 240, 15, 0}},
      {dir.File("p.bmp"), true, "", 16, {}},
      {bmp("s.bmp", {.paletteEntries = 100}), false, "(quads_read == colorCount) unexpected eof", 0, {}},
      {bmp("b.bmp", {.clrUsed = 300, .paletteEntries = 300}), true, "palette too big", 255, {127, 0, 255, 0}},
      {bmp("d.bmp", {.bitCount = 24, .paletteEntries = 200}), true, "too many bits per pixel", 0, {'B', 'M', 0x56, 0}},
      {dir.File("missing.bmp"), false, "could not open file", 0, {}},
      // Only the head of a palette image is read, but one over the limit is
      // refused whole.
      {Longer(bmp("limit.bmp", {.clrUsed = 16, .paletteEntries = 16}), PalWrap::kMaxPaletteFileBytes),
       true,
       "",
       15,
       {7, 240, 15, 0}},
      {Longer(bmp("over.bmp", {.clrUsed = 16, .paletteEntries = 16}), PalWrap::kMaxPaletteFileBytes + 1),
       false,
       "could not open file",
       0,
       {}},
  };
  for (const auto& [file, ok, message, at, entry] : cases) {
    AssertCapture capture;
    Colours colours{};
    colours.fill({1, 1, 1, 1});
    EXPECT_EQ(PalWrap::ReadPaletteFile(file, colours), ok) << message;
    EXPECT_TRUE(*message ? capture.Saw(message) : capture.Count() == 0) << message;
    EXPECT_TRUE(!ok || colours[at] == entry) << message;
  }
}

TEST(PalWrap, LongerInfoHeadersGiveTheColoursAnIndependentDecoderGives) {
  for (const std::string name : {"bmp8_v4_im", "bmp8_v5_im"}) {
    const auto dump = testing::LoadDump(name + ".txt");
    ASSERT_EQ(dump.colours.size(), 256u) << name;
    AssertCapture capture;
    Colours colours{};
    ASSERT_TRUE(PalWrap::ReadPaletteFile(testing::CorpusPath(name + ".bmp"), colours)) << name;
    for (std::size_t i = 0; i < 256; ++i) {
      const auto& want = dump.colours[i];
      ASSERT_EQ(colours[i], (PaletteEntry{std::uint8_t(want[0]), std::uint8_t(want[1]), std::uint8_t(want[2]), 0}))
          << name << " entry " << i;
    }
    EXPECT_EQ(capture.Count(), 0u) << name;
  }
}

TEST(PaletteResource, GoesThroughAResourceFileAndBack) {
  std::array<PaletteEntry, 256> colours{};
  for (int i = 0; i < 256; ++i) colours[i] = {static_cast<std::uint8_t>(i), 1, static_cast<std::uint8_t>(~i), 0};
  PalWrap palette;
  palette.SetFromColours(colours, true);
  const Bytes bytes = EncodePaletteResource(palette);
  ASSERT_EQ(bytes.size(), kPaletteResourceSize);
  EXPECT_FALSE(DecodePaletteResource(std::span(bytes).first(kPaletteResourceSize - 1)));
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 16), (Bytes{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  // The reserved black goes out as it is.
  EXPECT_EQ(Bytes(bytes.begin() + 16, bytes.begin() + 19), (Bytes{0, 0, 0}));
  EXPECT_EQ(Bytes(bytes.begin() + 46, bytes.begin() + 49), (Bytes{10, 1, 245}));

  testing::MemoryDisk disk;
  disk.files["object"];
  testing::MemoryResFile file(disk);
  ASSERT_EQ(file.OpenFile("object"), 0);
  MHandle h = NewPaletteResourceHandle(palette);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(file.AddResource(h, kPaletteResourceType, 4096, "", true), 0);
  ASSERT_EQ(file.UpdateFile(), 0);
  ASSERT_NE(disk.Find("object", MakeResType("PALT"), 4096), nullptr);
  EXPECT_EQ(disk.Find("object", MakeResType("PALT"), 4096)->bytes, bytes);

  PalWrap loaded;
  ASSERT_TRUE(LoadPaletteResource(file, 4096, loaded));
  EXPECT_EQ(loaded.GetColoursUsed(), 256);
  EXPECT_FALSE(loaded.HasSystemColours());
  EXPECT_EQ(loaded.GetColourTable()[200], (PaletteEntry{200, 1, 55, 0}));
  EXPECT_EQ(loaded.GetPackedColours()[200], 0xC80137u);
  EXPECT_FALSE(LoadPaletteResource(file, 4097, loaded));
  EXPECT_EQ(file.GetError(), res_error::kNotFound);
  EXPECT_EQ(file.CachedHandles(), 0u);
}

TEST(PaletteResource, BadVersionOrCountIsReportedAndLeavesNoColours) {
  const std::tuple<std::uint32_t, std::uint32_t, const char*> cases[] = {{2, 256, "unknown palette version"},
                                                                         {1, 0, "mColorsUsed out of range..."},
                                                                         {1, 257, "mColorsUsed out of range..."}};
  for (const auto& [version, count, message] : cases) {
    testing::AssertCapture capture;
    PaletteResource resource;
    resource.mVersion = version;
    resource.mCount = count;
    PalWrap palette;
    palette.SetFromColours(std::array<PaletteEntry, 256>{}, true);
    EXPECT_FALSE(palette.SetFromResource(resource));
    EXPECT_TRUE(capture.Saw(message)) << message;
    EXPECT_TRUE(palette.GetColourTable().empty());
    EXPECT_FALSE(palette.HasSystemColours());
  }
}

}  // namespace
}  // namespace pixmold
