// The architecture passes of pixmold build, run from generated sheets.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "imaging/image_bytes.h"
#include "support/object_file_fixture.h"

namespace pixmold {
namespace {

using testing::CliRun;
using testing::FindResource;
using testing::Quote;
using testing::ReadObjectFile;

constexpr std::uint8_t kBackground = 255;

// One sheet serves every pass: drawn everywhere but a clear band along the
// top and every tenth column, which touches all the layouts' pieces.
std::uint8_t Index(int x, int y) {
  return y < 3 || x % 10 == 0 ? kBackground : static_cast<std::uint8_t>(30 + (x + y) % 90);
}

struct Architecture {
  Architecture() {
    testing::WriteObjectFile(object, {});
    dir.Write("art.omk", "");
    for (int bits : {24, 32}) {
      const std::string base = "sheet" + std::to_string(bits);
      testing::WriteFile(dir, base + ".bmp", testing::Bmp8(kWidth, kHeight, Index));
      testing::WriteFile(dir, base + ".tga", testing::Tga(kWidth, kHeight, bits, [](int x, int y) {
                           const std::uint32_t depth = Index(x, y) == kBackground ? 255 : 100;
                           return (depth << 24) | 0x404040u;
                         }));
    }
  }
  CliRun Build(const std::string& args) const { return testing::RunCli(dir, "build " + Quote(object) + " " + args); }
  std::string Sheet(int bits) const { return Quote(dir.File("sheet" + std::to_string(bits) + ".tga")); }
  // "TYPE id" of every resource of the object file, sorted: the container
  // keeps its own order.
  std::vector<std::string> Contents() const {
    std::vector<std::string> out = testing::ResourceKeys(ReadObjectFile(object));
    std::sort(out.begin(), out.end());
    return out;
  }

  static constexpr int kWidth = 1144;
  static constexpr int kHeight = 1572;
  testing::TempDir dir;
  std::string object = dir.File("art.iff");
};

struct PassCase {
  std::string args;
  std::vector<std::string> contents;
  std::string out;
};

TEST(CliArchitecture, EachPassStoresItsSpritesFromASheet) {
  Architecture art;
  const std::string walls = " --wall-images " + art.Sheet(32);
  const std::string floors = " --floor-images " + art.Sheet(32);
  const PassCase cases[] = {
      {"--walls 1" + walls, {"SPR# 129", "SPR# 130", "SPR# 131"}, ""},
      {"--walls 1 --cutaway-images " + art.Sheet(24) + walls,
       {"SPR# 129", "SPR# 130", "SPR# 131", "SPR# 137", "SPR# 138", "SPR# 139"},
       ""},
      {"--wall-style 3 --variant" + walls, {"SPR# 1031", "SPR# 519", "SPR# 7"}, "3:1:1(7)\n3:2:1(519)\n3:3:1(1031)\n"},
      {"--wall-pattern 0" + walls,
       {"PALT 1536", "SPR# 1536", "SPR# 1792", "SPR# 2048"},
       "0:1(1536)\n0:2(1792)\n0:3(2048)\n"},
      {"--thick-walls 1" + walls, {"PALT 5120", "SPR# 5120", "SPR# 6144"}, ""},
      {"--thick-walls 3 --wall-images " + art.Sheet(24), {"PALT 4096", "SPR# 4098"}, ""},
      {"--floors 5" + floors, {"PALT 5", "SPR2 261", "SPR2 5", "SPR2 517"}, ""},
      {"--floors 17 --pool" + floors, {"PALT 1073", "SPR2 1073", "SPR2 1077", "SPR2 1081"}, ""},
      {"--floors 19 --pool" + floors, {"PALT 1075", "SPR2 1075", "SPR2 1079", "SPR2 1083"}, ""},
      {"--water 0" + floors, {"PALT 2048", "SPR2 2048"}, ""},
      {"--palette-images" + walls, {"PALT 4096", "PALT 5120"}, ""},
      // The summary lists what a pass stored.
      {"--water 2 --json -q" + floors,
       {"PALT 2050", "SPR2 2050"},
       "{\"object\":\"" + art.object +
           "\",\"ok\":true,\"dryRun\":false,\"written\":{\"PALT\":[2050],\"SPR2\":[2050]},\"warnings\":[],\"fatal\":"
           "null}\n"},
  };
  for (const PassCase& c : cases) {
    SCOPED_TRACE(c.args);
    testing::WriteObjectFile(art.object, {});
    CliRun result = art.Build(c.args);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(art.Contents(), c.contents);
  }
}

// A style tag's images come from the image folder; a cutaway image that
// cannot be loaded leaves the style without cutaway sprites.
TEST(CliArchitecture, WallStyleTagsMakeTheirSpritesAfterTheDrawGroups) {
  Architecture art;
  art.dir.Write("art.omk",
                "<\"wall style\" id=300 name=\"Arch\" tgafile=sheet24.tga \"cutaway tgafile\"=sheet32.tga>\n"
                "<\"wall style\" id=400 name=\"Door\" tgafile=sheet32.tga \"cutaway tgafile\"=none.tga>\n");
  CliRun result = art.Build("");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(art.Contents(), (std::vector<std::string>{"SPR# 300", "SPR# 301", "SPR# 302", "SPR# 303", "SPR# 304",
                                                      "SPR# 305", "SPR# 400", "SPR# 401", "SPR# 402"}));
  // The newest tag first, each image's zooms in order.
  EXPECT_EQ(result.out,
            "Door 400:1:0(400)\nDoor 400:2:0(401)\nDoor 400:3:0(402)\n"
            "Arch 300:1:0(300)\nArch 300:2:0(301)\nArch 300:3:0(302)\n"
            "Arch 300:1:1(303)\nArch 300:2:1(304)\nArch 300:3:1(305)\n");

  art.dir.Write("art.omk", "<\"wall style\" id=300 tgafile=none.tga>");
  testing::WriteObjectFile(art.object, {});
  CliRun missing = art.Build("");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("fatal error: cant make walls without tga"), std::string::npos) << missing.err;
}

struct RefusedCase {
  std::string args;
  int status;
  std::string message;
};

TEST(CliArchitecture, NumbersOutOfRangeAndMissingSheetsAreRefused) {
  Architecture art;
  const std::string walls = " --wall-images " + art.Sheet(32);
  const RefusedCase cases[] = {
      {"--walls 0" + walls, 2, "--walls 0 is out of range (1..2040)"},
      {"--walls 1 --wall-style 3" + walls, 2, "--walls cannot be combined with --wall-style or --wall-pattern"},
      {"--wall-style 22" + walls, 2, "can't get id for custom style!"},
      {"--wall-style 256" + walls, 2, "--wall-style 256 is out of range (0..255)"},
      {"--thick-walls 4" + walls, 2, "(1..3)"},
      {"--floors 32 --shadow", 2, "(0..31)"},
      {"--water 16", 2, "(0..15)"},
      {"--floors 1 --shadow --pool", 2, "--shadow cannot be combined with --pool"},
      {"--walls 1 --variant --cutaway-images x.tga" + walls, 2, "--variant cannot be combined with --cutaway-images"},
      {"--walls 1", 2, "--walls needs its sheet: name it with --wall-images SHEET.tga"},
      {"--floors 1 --floor-images " + Quote(art.dir.File("none.tga")), 1,
       "fatal error: cant make walls without tga : "},
  };
  for (const RefusedCase& c : cases) {
    SCOPED_TRACE(c.args);
    testing::WriteObjectFile(art.object, {});
    CliRun result = art.Build(c.args);
    EXPECT_EQ(result.status, c.status);
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    EXPECT_EQ(art.Contents(), std::vector<std::string>{});
  }
}

// On a terminal the pass's own lines, on standard error and output, never
// continue the status line: it is taken away first.
TEST(CliArchitecture, PrintedLinesStartLinesOfTheirOwnOnATerminal) {
  Architecture art;
  const std::string screen = art.dir.File("screen.txt");
  const std::string build = "TERM=xterm COLUMNS=200 " + Quote(PIXMOLD_CLI_PATH) + " build " + Quote(art.object) +
                            " --wall-pattern 252 --wall-images " + art.Sheet(32);
  ASSERT_EQ(std::system(("timeout -k 5 " + std::to_string(testing::kCommandDeadlineSeconds) + " script -qec " +
                         Quote(build) + " /dev/null </dev/null >" + Quote(screen))
                            .c_str()),
            0);
  std::string shown = testing::Text(screen);
  std::erase(shown, '\r');
  const std::string line = "Doing transition left pattern\n";
  std::size_t at = shown.find(line);
  ASSERT_NE(at, std::string::npos) << shown;
  for (; at != std::string::npos; at = shown.find(line, at + 1)) {
    const std::string_view before = std::string_view(shown).substr(0, at);
    EXPECT_TRUE(before.ends_with("\x1B[K") || before.ends_with("\n")) << shown;
  }
}

}  // namespace
}  // namespace pixmold
