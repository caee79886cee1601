#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <tuple>
#include <vector>

#include "cli_runner.h"
#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "imaging/palette_resource.h"
#include "imaging/sprite_lists.h"
#include "records/draw_group.h"
#include "resfile/handle_owner.h"
#include "resfile/iff_res_file2.h"
#include "support/handle_bytes.h"

namespace pixmold {
namespace {

using testing::Quote;
using Bytes = std::vector<std::uint8_t>;

// An SPR2 list of two frames: 2 x 1 colour only, and 3 x 2 with depth and
// alpha (its second row skipped). All fields are little-endian.
Bytes Sprite2List(std::uint8_t paletteId) {
  const std::uint8_t p = paletteId, high = paletteId == 0xFF ? 0xFF : 0;
  return {0xE8, 3,    0,    0,    2,    0,    0,    0,    p,    high, high, high, 20, 0,    0,    0,    44,   0,
          0,    0,  // version, count, palette, offsets
          2,    0,    1,    0,    1,    0,    0,    0,    0,    0,    0,    0,    0,  0,    0,    0,  // 2 x 1, colour
          0x06, 0x00, 0x02, 0xC0, 7,    9,    0x00, 0xA0, 3,    0,    2,    0,    7,  0,    0,    0,    0,    0,
          0,    0,    0,    0,    0,    0,  // 3 x 2, colour, depth, alpha
          0x0E, 0x00, 0x01, 0x60, 0x01, 0x20, 40,   5,    0x01, 0x40, 50,   6,    16, 0xB0, 0x02, 0x00, 0x00, 0xA0};
}

// An SPR# list of version 503 with one 5 x 4 frame, made from offscreens.
MHandle ColourAndDepthSprList() {
  Offscreen colour, depth;
  colour.Create(Rect::Make(0, 0, 6, 4));
  depth.Create(Rect::Make(0, 0, 6, 4));
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) {
      colour.Row(y)[x] = x >= 1 ? static_cast<std::uint8_t>(30 + x) : 0;
      depth.Row(y)[x] = x >= 1 ? static_cast<std::uint8_t>(100 + y) : 255;
    }
  }
  std::vector<Rect> trimmed;
  const std::vector<Rect> cells = {Rect::Make(0, 0, 6, 4)};
  return MakeSpriteList(&colour, &depth, cells, trimmed, 15, 100, true);
}

// The files of a directory, each as "name WIDTHxHEIGHT tCOLOURTYPE" read
// from its PNG header ("name not-png" when it has none).
std::vector<std::string> PngsIn(const std::filesystem::path& dir) {
  std::vector<std::string> found;
  if (!std::filesystem::exists(dir)) return found;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const auto b = testing::ReadAll(entry.path());
    const unsigned char kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    std::string text = entry.path().filename().string();
    if (b.size() < 26 || !std::equal(kSignature, kSignature + 16, b.begin())) {
      found.push_back(text + " not-png");
      continue;
    }
    auto be32 = [&](std::size_t at) { return (b[at] << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3]; };
    found.push_back(text + " " + std::to_string(be32(16)) + "x" + std::to_string(be32(20)) + " t" +
                    std::to_string(b[25]));
  }
  std::sort(found.begin(), found.end());
  return found;
}

class PreviewCli : public ::testing::Test {
 protected:
  void SetUp() override {
    IFFResFile2 file;
    ASSERT_EQ(file.OpenWithFlags(CTGString(fFile), iResFile::kOpenCreate), res_error::kNone);
    Add(file, testing::HandleOf(Sprite2List(100)).Release(), MakeResType("SPR2"), 100);
    Add(file, testing::HandleOf(Sprite2List(0xFF)).Release(), MakeResType("SPR2"), 300);
    Add(file, testing::HandleOf(Bytes{1, 2, 3, 4, 5}).Release(), MakeResType("SPR2"), 101);
    Add(file, ColourAndDepthSprList(), MakeResType("SPR#"), 200);
    // An SPR# under SPR2 100's id, with another frame size: a draw group
    // item takes the SPR2.
    Add(file, ColourAndDepthSprList(), MakeResType("SPR#"), 100);
    Add(file, testing::HandleOf(EncodePaletteResource(GetGlobalPalette())).Release(), MakeResType("PALT"), 100);
    // Three views: SPR2 100's 3 x 2 frame with its bottom-left corner on the
    // reference point, the same mirrored to its left, and an item whose list
    // does not exist.
    DrawGroup group;
    for (auto [direction, zoom, sprite, x, flags] :
         {std::tuple{0, 3u, 100, 0, 0u}, std::tuple{2, 3u, 100, -3, 1u}, std::tuple{0, 1u, 102, 0, 0u}}) {
      DrawGroupImage& image = group.AddImage();
      image.directionMask = 1u << direction;
      image.zoom = zoom;
      image.items.push_back(DrawGroupItem{sprite, 1, x, 2, 0.0f, 0.0f, 0.0f, flags});
    }
    ASSERT_EQ(group.Save(file, 400), res_error::kNone);
    // Around it, a draw group with no view at all and one that shows SPR2
    // 100 again beside the SPR# list, for the whole-file preview.
    ASSERT_EQ(DrawGroup().Save(file, 399), res_error::kNone);
    DrawGroup second;
    DrawGroupImage& image = second.AddImage();
    image.directionMask = 1u << 4;
    image.zoom = 2;
    image.items = {DrawGroupItem{100, 1, -1, 1, 0.0f, 0.0f, 0.0f, 0u},
                   DrawGroupItem{200, 0, 1, 3, 0.0f, 0.0f, 0.0f, 0u}};
    ASSERT_EQ(second.Save(file, 402), res_error::kNone);
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  }

  static void Add(IFFResFile2& file, MHandle h, ResType type, ResID id) {
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(file.AddResource(h, type, id, CTGString("chair"), false), res_error::kNone);
    ASSERT_EQ(file.WriteResource(h), res_error::kNone);
  }

  // Runs "preview FILE ARGS" with "OUT" in the arguments standing for the output directory.
  testing::CliRun Preview(std::string args, const std::string& file) const {
    if (const auto at = args.find("OUT"); at != std::string::npos) args.replace(at, 3, Quote(Out()));
    return testing::RunCli(fDir, "preview " + Quote(file) + " " + args);
  }
  std::string Out() const { return fDir.File("out"); }

  testing::TempDir fDir;
  std::string fFile = fDir.File("chair.iff");
};

// Every file of a directory with its bytes.
std::map<std::string, std::vector<unsigned char>> PreviewFilesIn(const std::filesystem::path& dir) {
  std::map<std::string, std::vector<unsigned char>> found;
  if (!std::filesystem::exists(dir)) return found;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    found[entry.path().filename().string()] = testing::ReadAll(entry.path());
  return found;
}

struct PreviewCase {
  const char* args;
  std::vector<std::string> files;
  const char* said;  // on standard error
};

TEST_F(PreviewCli, WritesOnePngPerFrameAndChannel) {
  const std::vector<std::string> twoFrames = {"SPR2_100_frame000.png 2x1 t6", "SPR2_100_frame001.png 3x2 t6"};
  const std::vector<std::string> greyFrames = {"SPR2_300_frame000.png 2x1 t6", "SPR2_300_frame001.png 3x2 t6"};
  const PreviewCase cases[] = {
      {"SPR2 100 -o OUT", twoFrames, "colours from PALT 100"},
      {"SPR2 100 -o OUT --channels --quiet",
       {"SPR2_100_frame000.png 2x1 t6", "SPR2_100_frame001.png 3x2 t6", "SPR2_100_frame001_alpha.png 3x2 t0",
        "SPR2_100_frame001_depth.png 3x2 t0"},
       ""},
      {"'SPR#' 200 -o OUT --channels",
       {"SPR#_200_frame000.png 5x4 t6", "SPR#_200_frame000_depth.png 5x4 t0"},
       "colours from PALT 100"},
      {"SPR2 300 -o OUT", greyFrames, "colours from a grey ramp (no usable PALT 300)"},
      {"SPR2 300 -o OUT --palette 100", greyFrames, "colours from PALT 100"},
      {"SPR2 100 -o OUT --palette 5 -q", twoFrames,
       "pixmold preview: warning: colours from a grey ramp (no usable PALT 5)\n"},
      // Row 0 (zoom 3) cells reach 3 left and 3 right of the reference point
      // and 2 below it, row 1 (zoom 1) holds a lone reference point: two
      // columns of 6 + 8 padding, rows of 2 + 8 and 1 + 8, gaps of 4.
      {"DGRP 400 -o OUT",
       {"DGRP_400_contact.png 40x31 t6", "DGRP_400_d0_z1.png 1x1 t6", "DGRP_400_d0_z3.png 3x2 t6",
        "DGRP_400_d2_z3.png 4x2 t6"},
       "DGRP 400 direction 0 zoom 1: item 0: no SPR2 or SPR# 102"},
      {"DGRP 400 -o OUT --direction 2 --channels",
       {"DGRP_400_d2_z3.png 4x2 t6", "DGRP_400_d2_z3_depth.png 4x2 t0"},
       ""},
      {"DGRP 400 -o OUT --zoom 3 --quiet", {"DGRP_400_d0_z3.png 3x2 t6", "DGRP_400_d2_z3.png 4x2 t6"}, ""},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(Out());
    const testing::CliRun result = Preview(c.args, fFile);
    ASSERT_EQ(result.status, 0) << c.args << ": " << result.err;
    EXPECT_EQ(PngsIn(Out()), c.files) << c.args;
    // Quiet, it says only what must be said: a palette that is not there.
    const bool quiet = std::string(c.args).ends_with("--quiet") || std::string(c.args).ends_with(" -q");
    EXPECT_TRUE(quiet ? result.err == c.said : result.err.find(c.said) != std::string::npos)
        << c.args << ": " << result.err;
    EXPECT_TRUE(!quiet || result.out.empty()) << c.args << ": " << result.out;
  }
  std::filesystem::remove_all(Out());
  EXPECT_EQ(Preview("SPR2 100 -o OUT", fFile).out,
            Out() + "/SPR2_100_frame000.png\n" + Out() + "/SPR2_100_frame001.png\n");
}

TEST_F(PreviewCli, FailuresAndUsageErrors) {
  struct Case {
    std::string args;
    int status;
    std::string said;
  };
  const Case cases[] = {
      {"SPR2 102 -o OUT", 1, "holds no SPR2 102"},
      {"'SPR#' 300 -o OUT", 1, "holds no SPR# 300"},
      {"SPR2 101 -o OUT", 1, "SPR2 101 cannot be decoded"},
      {"PALT 100 -o OUT", 2, "TYPE must be SPR2, SPR# or DGRP"},
      {"DGRP 401 -o OUT", 1, "no DGRP 401"},
      {"DGRP 400 -o OUT --direction 4 --zoom 3", 1, "DGRP 400 direction 4 zoom 3: the draw group has no view"},
      {"DGRP 400 -o OUT --direction 5", 1, "DGRP 400 has no view to show"},
      {"DGRP 400 -o OUT --palette 100", 2, "--palette applies to sprite lists"},
      {"SPR2 100 -o OUT --zoom 1", 2, "--direction and --zoom apply to draw groups"},
      {"SPR2 40000 -o OUT", 2, ""},
      {"SPR2 100", 2, "--output"},
      {"DGRP -o OUT", 2, "an ID is required (or --all with DGRP)"},
      {"DGRP 400 --all -o OUT", 2, "give an ID or --all, not both"},
      {"SPR2 --all -o OUT", 2, "--all applies to draw groups"},
      {"DGRP --all --threads 0 -o OUT", 2, "--threads"},
  };
  for (const Case& c : cases) {
    const testing::CliRun result = Preview(c.args, fFile);
    EXPECT_EQ(result.status, c.status) << c.args << ": " << result.err;
    EXPECT_NE(result.err.find(c.said), std::string::npos) << c.args << ": " << result.err;
    EXPECT_EQ(result.out, "") << c.args;
    EXPECT_TRUE(PngsIn(Out()).empty()) << c.args;
  }
  const std::string missing = fDir.File("nothing_here");
  const testing::CliRun result = Preview("SPR2 100 -o OUT", missing);
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find(missing), std::string::npos) << result.err;
}

// The whole file at once is the same as one run per draw group in id order:
// the same files byte for byte, the same lines, at any number of threads; a
// draw group that cannot be shown fails the run but not the others.
TEST_F(PreviewCli, AllWritesEveryDrawGroupAsItsOwnRunWould) {
  const struct {
    std::string eachRun, allRun;
  } cases[] = {{"", ""}, {" --channels --threads 3", " --channels --threads 1"}};
  for (const auto& c : cases) {
    std::filesystem::remove_all(Out());
    std::string out, err;
    for (const int id : {399, 400, 402}) {
      const testing::CliRun one = Preview("DGRP " + std::to_string(id) + " -o OUT" + c.eachRun, fFile);
      EXPECT_EQ(one.status, id == 399 ? 1 : 0) << id << ": " << one.err;
      out += one.out;
      err += one.err;
    }
    // Views large first, then the contact sheet, whichever was encoded first.
    if (c.eachRun.empty()) {
      std::string listed;
      for (const char* name : {"400_d0_z3", "400_d2_z3", "400_d0_z1", "400_contact", "402_d4_z2", "402_contact"})
        listed += Out() + "/DGRP_" + name + ".png\n";
      EXPECT_EQ(out, listed);
    }
    const auto separately = PreviewFilesIn(Out());
    // DGRP 400: three views and the contact sheet; DGRP 402: one and its sheet.
    EXPECT_EQ(separately.size(), c.eachRun.empty() ? 6u : 12u);
    std::filesystem::remove_all(Out());
    const testing::CliRun all = Preview("DGRP --all -o OUT" + c.allRun, fFile);
    EXPECT_EQ(all.status, 1) << all.err;
    EXPECT_EQ(all.out, out);
    EXPECT_EQ(all.err, err);
    EXPECT_TRUE(PreviewFilesIn(Out()) == separately) << c.allRun;
  }

  // A folder that cannot be made fails every draw group alike: said once.
  std::filesystem::remove_all(Out());
  fDir.Write("out", "in the way");
  const testing::CliRun blocked = Preview("DGRP --all -o OUT", fFile);
  EXPECT_EQ(blocked.status, 1);
  std::size_t said = 0;
  for (std::size_t at = blocked.err.find("cannot create"); at != std::string::npos;
       at = blocked.err.find("cannot create", at + 1))
    ++said;
  EXPECT_EQ(said, 1u) << blocked.err;
}

}  // namespace
}  // namespace pixmold
