// The palette maker over sheets written here, its palette images read back
// by the build's own sheet reader: every drawn pixel must come back within
// the error the maker reports, undrawn pixels as the sheet's clear colour,
// and never the other way round.
#include "quantize/palette_job.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <string>

#include "filelib/ctg_file_manager.h"
#include "filelib/io_faults.h"
#include "imaging/bmp_colour_table.h"
#include "imaging/bmp_writer.h"
#include "imaging/image_bytes.h"
#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "imaging/sprite_sheet.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

using testing::Tga;

constexpr std::uint32_t kBlue = 0x0000FF;

// A smoothly shaded ellipse on nothing: alpha is the depth, 255 outside,
// where the colour is noise a renderer might leave.
std::uint32_t Shaded(int x, int y) {
  const int dx = x - 20, dy = y - 15;
  if (dx * dx * 9 + dy * dy * 16 > 18 * 18 * 9) return 0xFF000000u | ((x * 7919u + y * 104729u) & 0xFFFFFF);
  const std::uint32_t r = 40 + x * 4, g = 60 + y * 5, b = 200 - x * 2;
  return (100u + y) << 24 | r << 16 | g << 8 | b;
}
// A 24-bit sheet: blue where nothing is drawn (its top-left pixel), and art
// that comes within a hair of that blue.
std::uint32_t Flat(int x, int y) {
  if ((x + y) % 3 != 0 || x < 2) return kBlue;
  return x % 4 == 0 ? 0x0000FA : (x * 9u) << 16 | (y * 11u) << 8 | 40u;
}

double Distance(const PaletteEntry& entry, std::uint32_t rgb) {
  const double dr = entry.red - double(rgb >> 16 & 0xFF), dg = entry.green - double(rgb >> 8 & 0xFF),
               db = entry.blue - double(rgb & 0xFF);
  return std::sqrt(dr * dr + dg * dg + db * db);
}

class PaletteJob : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, int width, int height, int bits, std::uint32_t (*colour)(int, int)) {
    return testing::WriteFile(fDir, name, Tga(width, height, bits, colour));
  }
  std::string Path(const std::string& name) const { return fDir.File(name); }
  std::vector<std::uint8_t> Bytes(const std::string& name) const {
    auto bytes = testing::ReadAll(Path(name));
    return {bytes.begin(), bytes.end()};
  }

  // Reads the sheet as the build does and holds every pixel against the
  // truecolour source.
  void ExpectBuildSees(const SheetResult& sheet, std::uint32_t (*colour)(int, int), bool depth) {
    SCOPED_TRACE(sheet.sheet);
    Offscreen indices, depthOffscreen;
    MakeOffscreens(sheet.paletteImage, sheet.sheet, indices, depthOffscreen);
    ASSERT_EQ(indices.Width() * 1000 + indices.Height(), sheet.width * 1000 + sheet.height);
    const auto palette = GetGlobalPalette().GetColourTable();
    const std::uint8_t clear = indices.PixelAt(0, 0);
    std::int64_t drawn = 0;
    double worst = 0;
    for (int y = 0; y < sheet.height; ++y) {
      for (int x = 0; x < sheet.width; ++x) {
        const std::uint32_t source = colour(x, y);
        const bool isDrawn = depth ? (source >> 24) != 255 : (source & 0xFFFFFF) != (colour(0, 0) & 0xFFFFFF);
        const std::uint8_t index = indices.PixelAt(x, y);
        if (!isDrawn) {
          ASSERT_EQ(index, clear) << x << "," << y;
          continue;
        }
        ASSERT_NE(index, clear) << "drawn pixel " << x << "," << y << " takes the clear colour";
        worst = std::max(worst, Distance(palette[index], source));
        ++drawn;
      }
    }
    EXPECT_EQ(drawn, sheet.drawnPixels);
    EXPECT_NEAR(worst, sheet.maxError, 1e-9);
  }

  testing::TempDir fDir;
};

TEST_F(PaletteJob, SheetsShareOnePaletteAndTheBuildReadsEveryPixelBackWithinTheReportedError) {
  Write("round.tga", 41, 31, 32, Shaded);
  Write("flat.tga", 30, 12, 24, Flat);
  PaletteRun run = MakePalettes({Path("round.tga"), Path("flat.tga")}, {});
  ASSERT_EQ(run.fault, PaletteFault::kNone) << run.message;
  const WriteOutcome written = WritePaletteImages({&run, 1}, CTGFileManager::Get().Files());
  ASSERT_TRUE(written.ok && run.written) << written.message;
  ASSERT_EQ(run.sheets.size(), 2u);
  EXPECT_EQ(run.sheets[0].paletteImage, Path("round.bmp"));

  ExpectBuildSees(run.sheets[0], Shaded, true);
  ExpectBuildSees(run.sheets[1], Flat, false);
  // One palette, the one reported, in both images.
  EXPECT_EQ(ReadBmpColourTable(Bytes("round.bmp")).colours, run.palette);
  EXPECT_EQ(ReadBmpColourTable(Bytes("flat.bmp")).colours, run.palette);
  // Many more colours than entries, yet close to each; fewer colours than
  // entries, each kept exactly.
  EXPECT_LT(run.sheets[0].maxError, 10);
  EXPECT_LT(run.sheets[0].meanError, 5);
  EXPECT_GT(run.sheets[0].coloursUsed, 150);
  PaletteRun flat = MakePalettes({Path("flat.tga")}, {});
  ASSERT_EQ(flat.fault, PaletteFault::kNone);
  EXPECT_EQ(flat.sheets[0].maxError, 0);
  EXPECT_EQ(run.sheets[0].drawnPixels + run.sheets[1].drawnPixels, [] {
    int n = 0;
    for (int y = 0; y < 31; ++y)
      for (int x = 0; x < 41; ++x) n += (Shaded(x, y) >> 24) != 255;
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < 30; ++x) n += Flat(x, y) != kBlue;
    return n;
  }());
}

// Past a million pixels the colours are counted in a table of every
// colour rather than a map: the same sheet content must fare as well.
TEST_F(PaletteJob, LargeSheetsAreCountedAsWell) {
  const auto large = [](int x, int y) -> std::uint32_t {
    if ((x ^ y) % 7 == 0) return 0xFF123456u;  // nothing drawn, noise beneath
    return 0x40000000u | std::uint32_t(x / 5) << 16 | std::uint32_t(y / 5) << 8 | std::uint32_t((x + y) / 10);
  };
  testing::WriteFile(fDir, "large.tga", Tga(1100, 1000, 32, large));
  const PaletteRun run = MakePalettes({Path("large.tga")}, {});
  ASSERT_EQ(run.fault, PaletteFault::kNone) << run.message;
  // A million colours from a smooth cube in 255 entries: each entry stands
  // for a cell of some 30 levels a side.
  EXPECT_LT(run.sheets[0].meanError, 8);
  EXPECT_LT(run.sheets[0].maxError, 20);
  EXPECT_EQ(
      run.sheets[0].drawnPixels, 1100 * 1000 - [&] {
        int undrawn = 0;
        for (int y = 0; y < 1000; ++y)
          for (int x = 0; x < 1100; ++x) undrawn += (x ^ y) % 7 == 0;
        return undrawn;
      }());
}

// Scarce colours make the choices visible: coverage weighs what the palette
// keeps, reserved entries stay out of reach, and dithering spreads the error.
TEST_F(PaletteJob, CoverageReservedEntriesAndDitheringSteerTheColours) {
  // Left half red, right half green, all of it drawn; the alpha image
  // gives the green a coverage the build rounds to nothing, so it neither
  // counts nor takes an entry.
  Write("half.tga", 16, 8, 32, [](int x, int) { return x < 8 ? 0x10C00000u : 0x1000C000u; });
  Write("halfalpha.tga", 16, 8, 24, [](int x, int) -> std::uint32_t { return x < 8 ? 0xFFFFFF : 0x070707; });
  PaletteRun weighed = MakePalettes({Path("half.tga")}, {});
  ASSERT_EQ(weighed.fault, PaletteFault::kNone) << weighed.message;
  EXPECT_EQ(weighed.sheets[0].drawnPixels, 64);
  EXPECT_EQ(weighed.sheets[0].coloursUsed, 1);
  EXPECT_EQ(weighed.sheets[0].maxError, 0);

  // Entries 0..3 reserved: no pixel of either sheet takes one, and they
  // keep the colours the first sheet's palette image has.
  Write("round.tga", 41, 31, 32, Shaded);
  testing::WriteFile(fDir, "round.bmp", testing::Bmp8(41, 31, [](int, int) { return std::uint8_t(0); }));
  PaletteOptions reserved;
  reserved.reserve = {{0, 3}};
  reserved.colours = 40;
  PaletteRun run = MakePalettes({Path("round.tga")}, reserved);
  ASSERT_EQ(run.fault, PaletteFault::kNone) << run.message;
  const std::set<std::uint8_t> used(run.sheets[0].indices.begin(), run.sheets[0].indices.end());
  EXPECT_GT(*used.begin(), 3);
  EXPECT_LT(*used.rbegin(), 40);
  const auto before = ReadBmpColourTable(Bytes("round.bmp")).colours;
  for (int i = 0; i <= 3; ++i) EXPECT_EQ(run.palette[i], before[i]) << i;

  // Mid grey on a palette of black and white: undithered it all takes one
  // of them, dithered it mixes both to about its own brightness. Below it a
  // band of all but the background's blue, which must still not take the
  // background's entry.
  Write("grey.tga", 24, 28, 24, [](int x, int y) -> std::uint32_t {
    return x < 4 || y < 4 ? kBlue : y < 24 ? 0x808080 : 0x0000FA;
  });
  std::array<PaletteEntry, 256> blackAndWhite{};
  blackAndWhite[0] = {0, 0, 255, 0};
  blackAndWhite[2] = {255, 255, 255, 0};
  testing::WriteFile(fDir, "bw.bmp", EncodeBmp8(1, 1, std::vector<std::uint8_t>{0}, blackAndWhite));
  PaletteOptions mapped;
  mapped.fromPalette = Path("bw.bmp");
  mapped.colours = 3;
  for (const float dither : {0.0f, 1.0f}) {
    mapped.dither = dither;
    const PaletteRun grey = MakePalettes({Path("grey.tga")}, mapped);
    ASSERT_EQ(grey.fault, PaletteFault::kNone) << grey.message;
    std::map<int, int> counts;
    double brightness = 0;
    for (int y = 4; y < 24; ++y) {
      for (int x = 4; x < 24; ++x) {
        const int index = grey.sheets[0].indices[y * 24 + x];
        ++counts[index];
        brightness += blackAndWhite[index].red / 400.0;
      }
    }
    EXPECT_EQ(counts.size(), dither == 0 ? 1u : 2u) << dither;
    EXPECT_FALSE(counts.contains(0)) << dither;
    for (int at = 24 * 24 + 4; at < 24 * 28; at += at % 24 == 23 ? 5 : 1) {
      ASSERT_NE(grey.sheets[0].indices[at], 0) << at;
    }
    if (dither == 1) {
      EXPECT_NEAR(brightness, 128, 24);
    }
  }
}

TEST_F(PaletteJob, FromMapsOntoTheGivenPaletteAndKeepsItWhole) {
  Write("round.tga", 41, 31, 32, Shaded);
  // Entry i is (blue i, green 255 - i, red i / 2): a ramp the art is near
  // to in places. Entries 0..9 are reserved, 200 and up lie past --colours.
  testing::WriteFile(fDir, "shared.bmp", testing::Bmp8(1, 1, [](int, int) { return std::uint8_t(0); }));
  PaletteOptions options;
  options.fromPalette = Path("shared.bmp");
  options.reserve = {{0, 9}};
  options.colours = 200;
  PaletteRun run = MakePalettes({Path("round.tga")}, options);
  ASSERT_EQ(run.fault, PaletteFault::kNone) << run.message;
  EXPECT_EQ(run.palette, ReadBmpColourTable(Bytes("shared.bmp")).colours);
  const std::vector<std::uint8_t>& indices = run.sheets[0].indices;
  std::set<int> drawnEntries;
  for (int i = 0; i < 41 * 31; ++i) {
    if ((Shaded(i % 41, i / 41) >> 24) != 255) drawnEntries.insert(indices[i]);
  }
  EXPECT_GE(*drawnEntries.begin(), 10);
  EXPECT_LT(*drawnEntries.rbegin(), 200);
  // The background takes the entry nearest to its colour (black: entry 0
  // is reserved, so the darkest free one), and no drawn pixel shares it.
  EXPECT_FALSE(drawnEntries.contains(indices[0]));
  EXPECT_GE(indices[0], 10);
}

// Nothing is written unless every sheet reads; the user learns which file
// failed and why, and whether it is theirs to fix (usage) or a failure.
TEST_F(PaletteJob, AFailingSheetOrWriteLeavesEveryPaletteImageAsItWas) {
  Write("good.tga", 41, 31, 32, Shaded);
  testing::WriteFile(fDir, "good.bmp", testing::Bmp8(41, 31, [](int, int) { return std::uint8_t(7); }));
  const std::vector<std::uint8_t> before = Bytes("good.bmp");
  testing::Bytes eightBit = testing::TgaHeader({.imageType = 3, .width = 2, .height = 2, .bitsPerPixel = 8});
  eightBit.resize(eightBit.size() + 4);
  testing::WriteFile(fDir, "grey.tga", eightBit);
  testing::Bytes cut = Tga(8, 8, 32, Shaded);
  cut.erase(cut.end() - 5, cut.end());
  testing::WriteFile(fDir, "cut.tga", cut);
  fDir.Write("photo.tga", "\x89PNG\r\n\x1a\n0000000000000000000000");
  Write("wide.tga", 8, 8, 32, Shaded);
  Write("widealpha.tga", 9, 8, 24, Flat);

  const struct {
    std::vector<std::string> sheets;
    PaletteOptions options;
    PaletteFault fault;
    std::string message;
  } cases[] = {
      {{"good.tga", "missing.tga"}, {}, PaletteFault::kUnreadable, "missing.tga: no such file"},
      {{"good.tga", "grey.tga"}, {}, PaletteFault::kUnsupportedSheet, "grey.tga: greyscale TGA; sheets must be"},
      {{"good.tga", "cut.tga"}, {}, PaletteFault::kUnreadable, "cut.tga: cut short"},
      {{"good.tga", "photo.tga"}, {}, PaletteFault::kUnreadable, "photo.tga: not a TGA file"},
      {{"good.tga", "wide.tga"}, {}, PaletteFault::kUnreadable, "widealpha.tga: 9x8, but its sheet"},
      {{"good.tga", "good.tga"}, {}, PaletteFault::kUsage, "good.tga: named twice"},
      {{"good.tga", "good.png"}, {}, PaletteFault::kUsage, "good.png: a sheet's name must end in .tga"},
      {{"good.tga"}, {.colours = 3, .reserve = {{1, 1}}}, PaletteFault::kUsage, "leaves fewer than 2 entries"},
      {{"good.tga"}, {.colours = 8, .reserve = {{6, 8}}}, PaletteFault::kUsage, "--reserve 6..8 lies outside"},
      {{"good.tga"}, {.fromPalette = Path("cut.tga")}, PaletteFault::kUnreadable, "cut.tga: not a BMP file"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> paths;
    for (const std::string& name : c.sheets) paths.push_back(Path(name));
    const PaletteRun run = MakePalettes(paths, c.options);
    EXPECT_EQ(run.fault, c.fault) << c.message;
    EXPECT_NE(run.message.find(c.message), std::string::npos) << run.message;
  }
  EXPECT_EQ(Bytes("good.bmp"), before);

  // A disk that refuses the second rename: the first image is already new,
  // the second (of another palette's run) old, and the message says so.
  Write("other.tga", 8, 8, 32, Shaded);
  testing::WriteFile(fDir, "other.bmp", testing::Bmp8(8, 8, [](int, int) { return std::uint8_t(7); }));
  PaletteRun runs[] = {MakePalettes({Path("good.tga")}, {}), MakePalettes({Path("other.tga")}, {})};
  ASSERT_EQ(runs[1].fault, PaletteFault::kNone);
  WriteOutcome outcome;
  {
    IoFaults faults;
    faults.FailNth(IoOp::kRename, 2);
    outcome = WritePaletteImages(runs, CTGFileManager::Get().Files());
  }
  EXPECT_FALSE(outcome.ok || runs[0].written || runs[1].written);
  EXPECT_NE(outcome.message.find("other.bmp: cannot be written (rename failed); the palette images named before"),
            std::string::npos)
      << outcome.message;
  EXPECT_NE(Bytes("good.bmp"), before);
  EXPECT_EQ(Bytes("other.bmp"), testing::Bmp8(8, 8, [](int, int) { return std::uint8_t(7); }));
}

TEST(ReserveRange, ReadsOneEntryOrARangeWithinThePalette) {
  const std::pair<const char*, const char*> cases[] = {
      {"0..9", "0-9"}, {"250..255", "250-255"}, {"7", "7-7"}, {"9..0", ""}, {"0..256", ""},
      {"-1..3", ""},   {"1...3", ""},           {"a..b", ""}, {"", ""},     {"3..", ""},
  };
  for (const auto& [text, want] : cases) {
    const auto range = ParseReserveRange(text);
    EXPECT_EQ(range ? std::to_string(range->first) + "-" + std::to_string(range->last) : "", want) << text;
  }
}

}  // namespace
}  // namespace pixmold
