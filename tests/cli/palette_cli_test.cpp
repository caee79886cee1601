// pixmold palette as a user meets it: each line a command, the exit status
// it must give and what standard error (or output) must show; no failing
// line may touch a palette image. Then the options that steer a written
// palette, read back from the files.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>
#include <string>

#include "cli_runner.h"
#include "imaging/bmp_parser.h"
#include "imaging/image_bytes.h"
#include "imaging/offscreen.h"

namespace pixmold {
namespace {

std::uint32_t Shaded(int x, int y) {
  if ((x - 8) * (x - 8) + (y - 6) * (y - 6) > 30) return 0xFF000000u;
  return (90u + y) << 24 | (50u + x * 9) << 16 | (30u + y * 12) << 8 | 99u;
}
std::uint32_t Flat(int x, int y) { return (x + y) % 3 != 1 ? 0x0000FF : 0x203040u + x; }

// The palette image's pixels, top row first.
std::vector<int> Indices(const std::string& path) {
  BMPParser bmp;
  EXPECT_EQ(bmp.Open(path), 0) << path;
  int width = 0, height = 0;
  bmp.GetSize(width, height);
  Offscreen pixels;
  EXPECT_TRUE(pixels.Create(Rect::Make(0, 0, width, height)));
  EXPECT_TRUE(bmp.ReadPixels(pixels));
  std::vector<int> out;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) out.push_back(pixels.PixelAt(x, y));
  return out;
}

TEST(PaletteCli, EveryMistakeGivesItsExitAndReasonAndWritesNothing) {
  testing::TempDir dir;
  testing::WriteFile(dir, "good.tga", testing::Tga(17, 13, 32, Shaded));
  const std::string oldImage =
      testing::WriteFile(dir, "good.bmp", testing::Bmp8(17, 13, [](int, int) { return std::uint8_t(3); }));
  testing::Bytes grey = testing::TgaHeader({.imageType = 3, .width = 2, .height = 2, .bitsPerPixel = 8});
  grey.resize(grey.size() + 4);
  testing::WriteFile(dir, "grey.tga", grey);
  dir.Write("none.omk", "<sizes lwidth=8 lheight=8 mwidth=4 mheight=4 swidth=2 sheight=2>");
  // A markup in a folder of its own naming a sheet beside that folder,
  // whose palette image would be written there.
  dir.Write("sub/up.omk",
            "<sizes lwidth=8 lheight=8 mwidth=4 mheight=4 swidth=2 sheight=2>\n"
            "<sprite id=1 tgafile=\"../good.tga\">");
  const std::string before = testing::Text(oldImage);

  const struct {
    std::string args;
    int status;
    std::string err;  // a fragment; the stream must be empty when it is ""
    std::string out = {};
  } cases[] = {
      {"palette", 2, "name the sheets, or a markup file with --omk, but not both"},
      {"palette $good.tga --omk $none.omk", 2, "but not both"},
      {"palette $good.tga --colours 1", 2, "--colours: Value 1 not in range 2 to 256"},
      {"palette $good.tga --dither 1.5", 2, "--dither: Value 1.5 not in range"},
      {"palette $good.tga --reserve 9..3", 2, "--reserve 9..3: expected I..J or I, entries between 0 and 255"},
      {"palette $good.tga --colours 64 --reserve 250..255", 2, "--reserve 250..255 lies outside the palette's 64"},
      {"palette $good.tga $grey.tga", 2, "grey.tga: greyscale TGA; sheets must be 24- or 32-bit true colour"},
      {"palette $good.tga $missing.tga", 1, "missing.tga: no such file\npixmold palette: nothing written"},
      {"palette $good.tga --from $missing.bmp", 1, "missing.bmp: cannot be read"},
      {"palette --omk $missing.omk", 1, "missing.omk: cannot be read"},
      {"palette --omk $none.omk", 2, "none.omk: names no sprite sheet"},
      {"palette --omk $sub/up.omk", 1,
       "pixmold palette: $sub/up.omk: line 2: tgafile \"../good.tga\" leaves the image folder: file names in markup "
       "are relative to their folder and may not leave it (--allow-outside-names lifts this)\npixmold palette: "
       "nothing written\n"},
      {"palette --omk $sub/up.omk --allow-outside-names --dry-run", 0, "", "good.tga: 97 drawn pixels"},
      {"palette $good.tga --dry-run", 0, "", "good.tga: 97 drawn pixels"},
      {"palette --help", 0, "", "Exit status: 0 written"},
  };
  for (const auto& c : cases) {
    const testing::CliRun run = testing::RunCli(dir, testing::Expand(c.args, dir));
    EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.err;
    if (c.err.empty()) {
      EXPECT_EQ(run.err, "") << c.args;
    } else {
      EXPECT_NE(run.err.find(testing::Expand(c.err, dir)), std::string::npos) << c.args << "\n" << run.err;
    }
    EXPECT_NE(run.out.find(c.out), std::string::npos) << c.args << "\n" << run.out;
    EXPECT_EQ(testing::Text(oldImage), before) << c.args;
  }
}

// Options among and after the sheets: each --reserve takes one range and
// leaves the sheets alone; -q prints nothing; --json gives the report as
// data, and the files hold what it says.
TEST(PaletteCli, OptionsSteerTheWrittenPaletteAndTheReport) {
  testing::TempDir dir;
  testing::WriteFile(dir, "round.tga", testing::Tga(17, 13, 32, Shaded));
  testing::WriteFile(dir, "flat.tga", testing::Tga(9, 9, 24, Flat));
  const testing::CliRun quiet = testing::RunCli(
      dir, testing::Expand("palette --reserve 0..3 $round.tga --reserve 10 $flat.tga -q --colours 40", dir));
  ASSERT_EQ(quiet.status, 0) << quiet.err;
  EXPECT_EQ(quiet.out + quiet.err, "");
  std::set<int> used;
  for (const char* image : {"round.bmp", "flat.bmp"}) {
    for (int index : Indices(dir.File(image))) used.insert(index);
  }
  for (int reserved : {0, 1, 2, 3, 10}) EXPECT_FALSE(used.contains(reserved)) << reserved;
  EXPECT_LT(*used.rbegin(), 40);

  const testing::CliRun json =
      testing::RunCli(dir, testing::Expand("palette $round.tga $flat.tga --json --dither 0.5", dir));
  ASSERT_EQ(json.status, 0) << json.err;
  const auto report = nlohmann::json::parse(json.out);
  EXPECT_EQ(report["written"], true);
  ASSERT_EQ(report["palettes"].size(), 1u);
  const auto& palette = report["palettes"][0];
  ASSERT_EQ(palette["sheets"].size(), 2u);
  EXPECT_EQ(palette["sheets"][0]["paletteImage"], dir.File("round.bmp"));
  EXPECT_EQ(palette["sheets"][0]["drawnPixels"], 97);
  EXPECT_EQ(palette["sheets"][1]["drawnPixels"], 27);
  EXPECT_EQ(palette["palette"].size(), 256u);
  // The reported palette is the one written.
  BMPParser bmp;
  ASSERT_EQ(bmp.Open(dir.File("flat.bmp")), 0);
  for (int i = 0; i < 256; ++i) {
    const PaletteEntry& entry = bmp.GetColours()[i];
    ASSERT_EQ(palette["palette"][i], (std::vector<int>{entry.red, entry.green, entry.blue})) << i;
  }
}

}  // namespace
}  // namespace pixmold
