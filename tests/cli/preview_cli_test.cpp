#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "imaging/palette_resource.h"
#include "imaging/sprite_lists.h"
#include "resfile/handle_owner.h"
#include "resfile/iff_res_file2.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

struct RunResult {
  int status;
  std::string out;
  std::string err;
};

RunResult RunCli(const std::string& args, const testing::TempDir& dir) {
  const std::string errFile = dir.File("stderr.txt");
  std::string command = std::string("'") + PIXMOLD_CLI_PATH + "' " + args + " 2>'" + errFile + "'";
  RunResult result{-1, {}, {}};
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
  int raw = pclose(pipe);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  auto err = testing::ReadAll(errFile);
  result.err.assign(err.begin(), err.end());
  return result;
}

std::vector<std::uint8_t> Bytes(std::initializer_list<std::uint8_t> list) { return std::vector<std::uint8_t>(list); }

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

std::vector<std::uint8_t> Sprite2Frame(int width, int height, std::uint32_t flags, const std::vector<std::uint8_t>& tokens) {
  std::vector<std::uint8_t> out;
  Put16(out, static_cast<std::uint32_t>(width));
  Put16(out, static_cast<std::uint32_t>(height));
  Put32(out, flags);
  for (int i = 0; i < 4; ++i) Put16(out, 0);
  out.insert(out.end(), tokens.begin(), tokens.end());
  return out;
}

// Two frames: 2 x 1 colour only, and 3 x 2 with depth and alpha (its
// second row skipped).
std::vector<std::uint8_t> Sprite2List(std::int32_t paletteId) {
  const std::vector<std::vector<std::uint8_t>> frames = {
      Sprite2Frame(2, 1, 1, {0x06, 0x00, 0x02, 0xC0, 7, 9, 0x00, 0xA0}),
      Sprite2Frame(3, 2, 7, {0x0E, 0x00, 0x01, 0x60, 0x01, 0x20, 40, 5, 0x01, 0x40, 50, 6, 16, 0xB0, 0x02, 0x00,
                             0x00, 0xA0}),
  };
  std::vector<std::uint8_t> out;
  Put32(out, 1000);
  Put32(out, static_cast<std::uint32_t>(frames.size()));
  Put32(out, static_cast<std::uint32_t>(paletteId));
  std::uint32_t offset = 12 + 4 * static_cast<std::uint32_t>(frames.size());
  for (const auto& frame : frames) {
    Put32(out, offset);
    offset += static_cast<std::uint32_t>(frame.size());
  }
  for (const auto& frame : frames) out.insert(out.end(), frame.begin(), frame.end());
  return out;
}

MHandle HandleOf(const std::vector<std::uint8_t>& bytes) {
  MHandle h = NewHandle(static_cast<std::uint32_t>(bytes.size()));
  HandleLock lock(h);
  std::copy(bytes.begin(), bytes.end(), lock.Data());
  return h;
}

// An SPR# list of version 503 with one 5 x 4 frame, made from offscreens.
MHandle ColourAndDepthSprList() {
  Offscreen colour, depth;
  colour.Create(Rect::Make(0, 0, 6, 4));
  depth.Create(Rect::Make(0, 0, 6, 4));
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) {
      const bool drawn = x >= 1;
      colour.Row(y)[x] = drawn ? static_cast<std::uint8_t>(30 + x) : 0;
      depth.Row(y)[x] = drawn ? static_cast<std::uint8_t>(100 + y) : 255;
    }
  }
  std::vector<Rect> trimmed;
  const std::vector<Rect> cells = {Rect::Make(0, 0, 6, 4)};
  return MakeSpriteList(&colour, &depth, cells, trimmed, 15, 100, true);
}

constexpr ResType kSPR2 = MakeResType("SPR2");
constexpr ResType kSPR = MakeResType("SPR#");
constexpr ResType kPALT = MakeResType("PALT");

struct PngHeader {
  bool signature = false;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  int colourType = -1;
};

PngHeader ReadPngHeader(const std::filesystem::path& path) {
  const auto bytes = testing::ReadAll(path);
  PngHeader header;
  const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (bytes.size() < 26) return header;
  header.signature = std::equal(kSignature, kSignature + 8, bytes.begin()) &&
                     std::string(bytes.begin() + 12, bytes.begin() + 16) == "IHDR";
  auto be32 = [&](std::size_t at) {
    return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
           (std::uint32_t{bytes[at + 2]} << 8) | std::uint32_t{bytes[at + 3]};
  };
  header.width = be32(16);
  header.height = be32(20);
  header.colourType = bytes[25];
  return header;
}

std::vector<std::string> FilesIn(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  if (!std::filesystem::exists(dir)) return names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class PreviewCli : public ::testing::Test {
 protected:
  void SetUp() override {
    fFile = fDir.File("chair.iff");
    IFFResFile2 file;
    ASSERT_EQ(file.OpenWithFlags(CTGString(fFile), iResFile::kOpenCreate), res_error::kNone);
    Add(file, HandleOf(Sprite2List(100)), kSPR2, 100);
    Add(file, HandleOf(Sprite2List(-1)), kSPR2, 300);
    Add(file, HandleOf(Bytes({1, 2, 3, 4, 5})), kSPR2, 101);
    Add(file, ColourAndDepthSprList(), kSPR, 200);
    Add(file, HandleOf(EncodePaletteResource(GetGlobalPalette())), kPALT, 100);
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  }

  static void Add(IFFResFile2& file, MHandle h, ResType type, ResID id) {
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(file.AddResource(h, type, id, CTGString("chair"), false), res_error::kNone);
    ASSERT_EQ(file.WriteResource(h), res_error::kNone);
  }

  std::string Out() const { return fDir.File("out"); }

  testing::TempDir fDir;
  std::string fFile;
};

TEST_F(PreviewCli, WritesOnePngPerFrame) {
  const RunResult result = RunCli("preview '" + fFile + "' SPR2 100 -o '" + Out() + "'", fDir);
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(FilesIn(Out()), (std::vector<std::string>{"SPR2_100_frame000.png", "SPR2_100_frame001.png"}));
  EXPECT_EQ(result.out, Out() + "/SPR2_100_frame000.png\n" + Out() + "/SPR2_100_frame001.png\n");
  EXPECT_NE(result.err.find("colours from PALT 100"), std::string::npos) << result.err;

  const PngHeader first = ReadPngHeader(Out() + "/SPR2_100_frame000.png");
  EXPECT_TRUE(first.signature);
  EXPECT_EQ(first.width, 2u);
  EXPECT_EQ(first.height, 1u);
  EXPECT_EQ(first.colourType, 6);  // red, green, blue, alpha
  const PngHeader second = ReadPngHeader(Out() + "/SPR2_100_frame001.png");
  EXPECT_EQ(second.width, 3u);
  EXPECT_EQ(second.height, 2u);
}

TEST_F(PreviewCli, ChannelsGoBesideTheFramesThatStoreThem) {
  const RunResult result = RunCli("preview '" + fFile + "' SPR2 100 -o '" + Out() + "' --channels --quiet", fDir);
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(FilesIn(Out()), (std::vector<std::string>{"SPR2_100_frame000.png", "SPR2_100_frame001.png",
                                                      "SPR2_100_frame001_alpha.png", "SPR2_100_frame001_depth.png"}));
  for (const char* name : {"SPR2_100_frame001_alpha.png", "SPR2_100_frame001_depth.png"}) {
    const PngHeader header = ReadPngHeader(Out() + "/" + name);
    EXPECT_TRUE(header.signature) << name;
    EXPECT_EQ(header.width, 3u) << name;
    EXPECT_EQ(header.height, 2u) << name;
    EXPECT_EQ(header.colourType, 0) << name;  // greyscale
  }
}

TEST_F(PreviewCli, AnSprListShowsItsColourFramesWithTheirDepth) {
  const RunResult result = RunCli("preview '" + fFile + "' 'SPR#' 200 -o '" + Out() + "' --channels", fDir);
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(FilesIn(Out()), (std::vector<std::string>{"SPR#_200_frame000.png", "SPR#_200_frame000_depth.png"}));
  const PngHeader header = ReadPngHeader(Out() + "/SPR#_200_frame000.png");
  EXPECT_EQ(header.width, 5u);
  EXPECT_EQ(header.height, 4u);
  EXPECT_NE(result.err.find("colours from PALT 100"), std::string::npos) << result.err;
}

TEST_F(PreviewCli, PaletteChoice) {
  struct Case {
    std::string args;
    std::string said;
  };
  const Case cases[] = {
      {"SPR2 300", "colours from a grey ramp (no usable PALT 300)"},
      {"SPR2 300 --palette 100", "colours from PALT 100"},
      {"SPR2 100 --palette 5", "colours from a grey ramp (no usable PALT 5)"},
  };
  for (const Case& c : cases) {
    const RunResult result = RunCli("preview '" + fFile + "' " + c.args + " -o '" + Out() + "'", fDir);
    EXPECT_EQ(result.status, 0) << c.args << ": " << result.err;
    EXPECT_NE(result.err.find(c.said), std::string::npos) << c.args << ": " << result.err;
  }
}

TEST_F(PreviewCli, FailuresAndUsageErrors) {
  struct Case {
    std::string args;
    int status;
    std::string said;
  };
  const std::string missing = fDir.File("nothing_here");
  const Case cases[] = {
      {"'" + fFile + "' SPR2 102 -o OUT", 1, "holds no SPR2 102"},
      {"'" + fFile + "' 'SPR#' 100 -o OUT", 1, "holds no SPR# 100"},
      {"'" + fFile + "' SPR2 101 -o OUT", 1, "SPR2 101 cannot be decoded"},
      {"'" + fFile + "' PALT 100 -o OUT", 2, "TYPE must be SPR2 or SPR#"},
      {"'" + fFile + "' SPR2 40000 -o OUT", 2, ""},
      {"'" + fFile + "' SPR2 100", 2, "--output"},
      {"'" + missing + "' SPR2 100 -o OUT", 2, missing},
  };
  for (const Case& c : cases) {
    std::string args = c.args;
    if (const auto at = args.find("OUT"); at != std::string::npos) args.replace(at, 3, "'" + Out() + "'");
    const RunResult result = RunCli("preview " + args, fDir);
    EXPECT_EQ(result.status, c.status) << c.args << ": " << result.err;
    EXPECT_NE(result.err.find(c.said), std::string::npos) << c.args << ": " << result.err;
    EXPECT_EQ(result.out, "") << c.args;
    EXPECT_TRUE(FilesIn(Out()).empty()) << c.args;
  }
}

TEST_F(PreviewCli, HelpDescribesTheFiles) {
  const RunResult result = RunCli("preview --help", fDir);
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.out.find("--channels"), std::string::npos);
  EXPECT_NE(result.out.find("SPR2_100_frame003.png"), std::string::npos);
}

}  // namespace
}  // namespace pixmold
