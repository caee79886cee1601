// Sheets a build must turn away at the cost of their headers: each row is a
// sheet and its palette image whose headers ask for far more than the build
// should spend (the large files are sparse, so they cost no disk), the
// message the build must end with, and the peak memory of the whole
// command, taken from the kernel's account of the child process.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "cli_runner.h"
#include "support/object_file_fixture.h"
#include "support/sheet_images.h"

extern char** environ;

namespace pixmold {
namespace {

using testing::Bytes;

constexpr long kCeilingKiB = 64 * 1024;
constexpr auto kDeadline = std::chrono::seconds(60);

struct Sheet {
  Bytes tga;
  std::uint64_t tgaLength;  // the file is extended to this many bytes
  Bytes bmp;
  std::uint64_t bmpLength;
};

Bytes TgaHeader(int width, int height, int bits = 32) {
  return testing::TgaHeader({.width = std::uint16_t(width),
                             .height = std::uint16_t(height),
                             .bitsPerPixel = std::uint8_t(bits),
                             .descriptor = std::uint8_t(bits == 32 ? 0x28 : 0x20)});
}

std::uint64_t TgaLength(int width, int height, int bits = 32) {
  return 18 + std::uint64_t(width) * std::uint64_t(height) * std::uint64_t(bits / 8);
}

Bytes BmpHeader(int width, int height) {
  const std::uint32_t stride = (std::uint32_t(width) + 3) & ~3u;
  return testing::BmpHeaders({.width = width, .height = height}, stride * std::uint32_t(height));
}

std::uint64_t BmpLength(int width, int height) {
  return 14 + 40 + 1024 + ((std::uint64_t(width) + 3) & ~std::uint64_t{3}) * std::uint64_t(height);
}

struct Outcome {
  int status = -1;
  long peakKiB = 0;
  std::string err;
};

// Runs the command line as a child of its own (spawned, not forked, so the
// child's peak is the program's, not a copy of this test's) and takes its
// peak resident size from wait4.
Outcome RunMeasured(const testing::TempDir& dir, std::vector<std::string> args) {
  const std::string errPath = dir.File("stderr.txt");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv{const_cast<char*>(PIXMOLD_CLI_PATH)};
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  const int spawned = posix_spawn(&child, PIXMOLD_CLI_PATH, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  Outcome outcome;
  if (spawned != 0) return outcome;

  const auto giveUp = std::chrono::steady_clock::now() + kDeadline;
  int raw = 0;
  rusage usage{};
  for (;;) {
    const pid_t done = wait4(child, &raw, WNOHANG, &usage);
    if (done == child) break;
    if (done < 0 || std::chrono::steady_clock::now() > giveUp) {
      kill(child, SIGKILL);
      wait4(child, &raw, 0, &usage);
      outcome.err = "killed after the deadline";
      return outcome;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  outcome.peakKiB = usage.ru_maxrss;
  outcome.err = testing::Text(errPath);
  return outcome;
}

TEST(HostileSheets, ARejectedSheetCostsItsHeadersNotItsSize) {
  testing::TempDir dir;
  testing::WriteObjectFile(dir.File("chair.iff"), {testing::ObjdResource(128, "Chair", testing::ObjdFields{})});
  constexpr int kLarge = 16384;
  const Bytes smallTga = TgaHeader(112, 24);
  const Bytes smallBmp = BmpHeader(112, 24);
  // The sheet, what the build must say, and why the row is here.
  const std::tuple<Sheet, std::string, const char*> cases[] = {
      {{TgaHeader(kLarge, kLarge), TgaLength(kLarge, kLarge), smallBmp, BmpLength(112, 24)},
       "bad bmp width",
       "a full-size render beside the palette image of a small one"},
      {{TgaHeader(4096, kLarge), TgaLength(4096, kLarge), BmpHeader(4096, 24), BmpLength(4096, 24)},
       "bad bmp height",
       "a render taller than its palette image"},
      {{smallTga, TgaLength(112, 24), BmpHeader(8000, 8000), BmpLength(8000, 8000)},
       "bad bmp width",
       "a palette image just under the palette size limit beside a small render"},
      {{TgaHeader(kLarge, kLarge), TgaLength(kLarge, kLarge), BmpHeader(kLarge, kLarge), 4096},
       "fread failed",
       "a palette image whose header promises rows its file lacks, beside a render of that size"},
      {{TgaHeader(kLarge, kLarge), TgaLength(kLarge, kLarge), BmpHeader(kLarge, kLarge), BmpLength(kLarge, kLarge)},
       "could not open file",
       "a palette image over the size limit"},
      {{TgaHeader(kLarge, kLarge), 4096, smallBmp, BmpLength(112, 24)},
       "could not open tga file",
       "a render whose header promises pixels its file lacks"},
      {{TgaHeader(20000, 20000, 24), TgaLength(20000, 20000, 24), Bytes(768, 1), 768},
       "could not create dib section",
       "a render larger than any sheet, with a palette file that carries no pixels"},
  };
  int row = 0;
  for (const auto& [sheet, message, why] : cases) {
    const std::string base = "sheet" + std::to_string(++row);
    testing::WriteFile(dir, base + ".tga", sheet.tga);
    std::filesystem::resize_file(dir.Path() / (base + ".tga"), sheet.tgaLength);
    testing::WriteFile(dir, base + ".bmp", sheet.bmp);
    std::filesystem::resize_file(dir.Path() / (base + ".bmp"), sheet.bmpLength);
    dir.Write(base + ".omk",
              "<sizes lwidth=16 lheight=24 mwidth=8 mheight=12 swidth=4 sheight=6>\n<sprite id=100 tgafile=\"" + base +
                  ".tga\">\n");
    const Outcome outcome = RunMeasured(dir, {"build", dir.File("chair.iff"), "--omk", dir.File(base + ".omk")});
    EXPECT_EQ(outcome.status, 1) << why << "\n" << outcome.err;
    EXPECT_NE(outcome.err.find(message), std::string::npos) << why << "\n" << outcome.err;
    EXPECT_NE(outcome.err.find("pixmold build: " + dir.File(base)), std::string::npos) << why << "\n" << outcome.err;
    EXPECT_LT(outcome.peakKiB, kCeilingKiB) << why;
    std::filesystem::remove(dir.Path() / (base + ".tga"));
    std::filesystem::remove(dir.Path() / (base + ".bmp"));
  }
}

}  // namespace
}  // namespace pixmold
