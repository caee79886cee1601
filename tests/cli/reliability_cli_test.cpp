// The command line on one object file under stress: a build stopped by a
// signal, as a user's Ctrl-C or a batch system's SIGTERM stops it (it stops
// at a resource boundary, says why, exits with 130 and leaves every resource
// as it was or as a whole build writes it), and builds and adds run at once
// on the same object, which must take turns and lose nothing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <thread>
#include <vector>

#include "cli_runner.h"
#include "support/child_process.h"
#include "support/object_file_fixture.h"
#include "support/old_or_new.h"
#include "support/sheet_images.h"

namespace pixmold {
namespace {

using testing::Quote;

constexpr int kSprites = 60;

using testing::ContentsOf;
using testing::ObjectContents;

// An object whose build takes long enough to be caught in the middle: many
// sprites, each from its own sheet and in its own draw group.
void WriteObject(const testing::TempDir& dir, const std::string& object) {
  testing::WriteObjectFile(object, {testing::ObjdResource(128, "Chair", {})});
  std::string markup = "<sizes lwidth=16 lheight=24 mwidth=8 mheight=12 swidth=4 sheight=6>\n";
  for (int i = 0; i < kSprites; ++i) {
    const std::string id = std::to_string(100 + i);
    markup += "<sprite id=" + id + " tgafile=\"chair" + id + ".tga\">\n<drawgroup id=" + id + "><item sprite id=" + id +
              ">\n";
    testing::WriteSheetImages(dir, "chair" + id, 112, 24);
  }
  dir.Write("chair.omk", markup);
}

int ExitStatus(pid_t child) { return testing::ExitStatusWithin(child); }

bool WaitForText(const std::string& path, const std::string& text) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < giveUp) {
    if (testing::Text(path).find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return false;
}

TEST(BuildSignal, SigintOrSigtermStopsTheBuildAtAResourceAndLeavesTheFileWhole) {
  // What a whole build writes, to hold the stopped builds against.
  testing::TempDir whole;
  const std::string wholeObject = whole.File("chair.iff");
  WriteObject(whole, wholeObject);
  const ObjectContents before = ContentsOf(wholeObject);
  // Built on one thread: the stopped builds below run on three, so what they
  // finished must match the single-threaded bytes.
  const testing::CliRun built = testing::RunCli(whole, "build -q --threads 1 " + Quote(wholeObject));
  ASSERT_EQ(built.status, 0) << built.err;
  const ObjectContents after = ContentsOf(wholeObject);
  ASSERT_EQ(after.size(), before.size() + 2 * kSprites);

  struct SignalCase {
    int signal;
    int stopAtSprite;  // the signal arrives while this sprite is generated
  };
  const SignalCase cases[] = {{SIGINT, 100}, {SIGTERM, 103}, {SIGINT, 130}};
  for (const SignalCase& c : cases) {
    SCOPED_TRACE(strsignal(c.signal) + std::string(" at sprite ") + std::to_string(c.stopAtSprite));
    testing::TempDir dir;
    const std::string object = dir.File("chair.iff");
    WriteObject(dir, object);
    const std::string report = dir.File("report.txt");
    const pid_t child = testing::StartCli({"build", object, "--threads", "3"}, "/dev/null", "", report);
    ASSERT_GT(child, 0);
    const bool reached = WaitForText(report, "Generating sprite " + std::to_string(c.stopAtSprite));
    // Stopped while the signal is sent, so that a fast build cannot finish
    // between the line and the signal.
    kill(child, SIGSTOP);
    kill(child, c.signal);
    kill(child, SIGCONT);
    const std::optional<int> ended = testing::WaitForChild(child);
    ASSERT_TRUE(ended) << "the build did not stop";
    const int status = *ended;
    ASSERT_TRUE(reached) << testing::Text(report);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 130);
    const std::string text = testing::Text(report);
    EXPECT_TRUE(text.ends_with("fatal error: interrupted\n\n")) << text;

    const ObjectContents found = ContentsOf(object);
    // Stopped in the middle: some of the work done, not all of it.
    EXPECT_GT(testing::ExpectOldOrNew(found, before, after, "stopped"), 0);
    EXPECT_LT(found.size(), after.size());
    // Closed with its map, as a finished build closes it.
    IFFResFile2 reopened;
    ASSERT_EQ(reopened.OpenFile(object), res_error::kNone);
    EXPECT_TRUE(reopened.OpenedByMap());
  }
}

// The same object built on one thread and on several is the same file, the
// last --threads given counts (a tree plan's own comes first), and a count
// below one is refused before anything is read.
TEST(BuildThreads, AnyThreadCountWritesTheSameFile) {
  testing::TempDir dir;
  const std::string alone = dir.File("alone.iff");
  const std::string spread = dir.File("spread.iff");
  WriteObject(dir, alone);
  WriteObject(dir, spread);
  const std::string markup = " --omk " + Quote(dir.File("chair.omk"));
  const testing::CliRun one = testing::RunCli(dir, "build -q --threads 1 " + Quote(alone) + markup);
  ASSERT_EQ(one.status, 0) << one.err;
  const testing::CliRun many = testing::RunCli(dir, "build -q --threads 1 --threads 4 " + Quote(spread) + markup);
  ASSERT_EQ(many.status, 0) << many.err;
  EXPECT_EQ(one.err, many.err);
  EXPECT_TRUE(testing::ReadAll(alone) == testing::ReadAll(spread));
  EXPECT_GT(testing::ReadAll(alone).size(), 10000u);

  const testing::CliRun none = testing::RunCli(dir, "build --threads 0 " + Quote(alone) + markup);
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find("--threads must be 1 to 256"), std::string::npos) << none.err;
}

// A file-size limit reached in the middle of a build (as a full disk is):
// the build says why and fails, leaving at worst a torn append; with the
// limit gone the next build cuts it away and writes everything.
TEST(BuildSignal, FileSizeLimitFailsTheBuildAndTheNextBuildRepairsIt) {
  // How large a whole build makes the object, to stop this one halfway.
  testing::TempDir whole;
  WriteObject(whole, whole.File("chair.iff"));
  const auto sizeBefore = std::filesystem::file_size(whole.File("chair.iff"));
  ASSERT_EQ(testing::RunCli(whole, "build -q " + Quote(whole.File("chair.iff"))).status, 0);
  const auto sizeAfter = std::filesystem::file_size(whole.File("chair.iff"));
  ASSERT_GT(sizeAfter, sizeBefore + 1000);

  testing::TempDir dir;
  const std::string object = dir.File("chair.iff");
  WriteObject(dir, object);
  const ObjectContents before = ContentsOf(object);
  const std::string report = dir.File("report.txt");
  const std::string limited = "prlimit --fsize=" + std::to_string((sizeBefore + sizeAfter) / 2) + " " +
                              Quote(PIXMOLD_CLI_PATH) + " build -q " + Quote(object) + " 2>" + Quote(report);
  const int raw =
      std::system(("timeout -k 5 " + std::to_string(testing::kCommandDeadlineSeconds) + " " + limited).c_str());
  ASSERT_TRUE(WIFEXITED(raw)) << "ended by signal " << WTERMSIG(raw);
  EXPECT_EQ(WEXITSTATUS(raw), 1);
  EXPECT_NE(testing::Text(report).find("File too large"), std::string::npos) << testing::Text(report);

  const testing::CliRun again = testing::RunCli(dir, "build -q " + Quote(object));
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.err, "");
  const ObjectContents after = ContentsOf(object);
  EXPECT_EQ(after.size(), before.size() + 2 * kSprites);
  for (int i = 0; i < kSprites; ++i) {
    EXPECT_TRUE(after.count({MakeResType("SPR2"), static_cast<ResID>(100 + i)})) << "SPR2 " << 100 + i;
  }
}

}  // namespace
}  // namespace pixmold

namespace pixmold {
namespace {

// Two builds and two adds at once on one object, round after round: every
// add survives, the builds' resources are whole, and the file's map lists
// exactly the blocks a walk of the file finds.
TEST(Stress, TwoBuildsAndTwoAddsAtOnceLoseNothing) {
  constexpr int kRounds = 30;
  constexpr ResType kSTR = MakeResType("STR#");
  testing::TempDir dir;
  const std::string object = dir.File("chair.iff");
  testing::WriteObjectFile(object, {testing::ObjdResource(128, "Chair", {})});
  dir.Write("chair.omk",
            "<sizes lwidth=16 lheight=24 mwidth=8 mheight=12 swidth=4 sheight=6>\n"
            "<sprite id=100 tgafile=\"chair.tga\">\n<drawgroup id=100><item sprite id=100>\n");
  testing::WriteSheetImages(dir, "chair", 112, 24);
  const std::string noInput = dir.Write("empty.bin", "");
  std::map<ResID, std::string> added;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    std::vector<pid_t> children;
    for (int i = 0; i < 2; ++i) {
      children.push_back(
          testing::StartCli({"build", "-q", object}, noInput, "", dir.File("build" + std::to_string(i) + ".txt")));
      const auto id = static_cast<ResID>(1000 + 2 * round + i);
      const std::string bytes = "round " + std::to_string(round) + " add " + std::to_string(i);
      const std::string input = dir.Write("add" + std::to_string(i) + ".bin", bytes);
      children.push_back(testing::StartCli({"add", object, "STR#", std::to_string(id)}, input, "",
                                           dir.File("add" + std::to_string(i) + ".txt")));
      added[id] = bytes;
    }
    for (std::size_t c = 0; c < children.size(); ++c) {
      EXPECT_EQ(ExitStatus(children[c]), 0)
          << (c % 2 ? "add: " : "build: ")
          << testing::Text(dir.File((c % 2 ? "add" : "build") + std::to_string(c / 2) + ".txt"));
    }
    const ObjectContents found = ContentsOf(object);
    for (const auto& [id, bytes] : added) {
      const auto it = found.find({kSTR, id});
      ASSERT_NE(it, found.end()) << "lost STR# " << id;
      EXPECT_EQ(std::string(it->second.second.begin(), it->second.second.end()), bytes);
    }
    EXPECT_TRUE(found.count({MakeResType("SPR2"), 100}) && found.count({MakeResType("DGRP"), 100}));
    // What the map lists is what a walk of the blocks finds.
    const std::string walked = dir.File("walked.iff");
    std::filesystem::copy_file(object, walked, std::filesystem::copy_options::overwrite_existing);
    ASSERT_EQ(IFFResFile2().ClearMap(CTGString(walked)), res_error::kNone);
    EXPECT_EQ(ContentsOf(walked), found);
    if (::testing::Test::HasFailure()) break;
  }
}

}  // namespace
}  // namespace pixmold
