// A build stopped by a signal, as a user's Ctrl-C or a batch system's
// SIGTERM stops it: the command stops at a resource boundary, says why, exits
// with 130, and leaves an object file whose every resource is as it was or
// as a whole build writes it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

#include "cli_runner.h"
#include "support/object_file_fixture.h"
#include "support/sheet_images.h"

namespace pixmold {
namespace {

using testing::Quote;
using testing::StoredResource;

constexpr int kSprites = 60;

using Contents = std::map<std::pair<ResType, ResID>, std::vector<std::uint8_t>>;

Contents ContentsOf(const std::string& object) {
  Contents contents;
  for (const StoredResource& r : testing::ReadObjectFile(object)) contents[{r.type, r.id}] = r.bytes;
  return contents;
}

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

// Starts `pixmold build OBJECT` with its report in a file.
pid_t StartBuild(const std::string& object, const std::string& report) {
  const pid_t child = fork();
  if (child != 0) return child;
  const int out = open(report.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (out < 0) _exit(99);
  dup2(out, STDERR_FILENO);
  execl(PIXMOLD_CLI_PATH, PIXMOLD_CLI_PATH, "build", object.c_str(), static_cast<char*>(nullptr));
  _exit(98);
}

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
  const Contents before = ContentsOf(wholeObject);
  const testing::CliRun built = testing::RunCli(whole, "build -q " + Quote(wholeObject));
  ASSERT_EQ(built.status, 0) << built.err;
  const Contents after = ContentsOf(wholeObject);
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
    const pid_t child = StartBuild(object, report);
    ASSERT_GT(child, 0);
    const bool reached = WaitForText(report, "Generating sprite " + std::to_string(c.stopAtSprite));
    // Stopped while the signal is sent, so that a fast build cannot finish
    // between the line and the signal.
    kill(child, SIGSTOP);
    kill(child, c.signal);
    kill(child, SIGCONT);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(reached) << testing::Text(report);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 130);
    const std::string text = testing::Text(report);
    EXPECT_TRUE(text.ends_with("fatal error: interrupted\n\n")) << text;

    const Contents found = ContentsOf(object);
    int newer = 0;
    for (const auto& [key, bytes] : found) {
      const auto old = before.find(key);
      const auto built = after.find(key);
      const bool asBefore = old != before.end() && old->second == bytes;
      const bool asBuilt = built != after.end() && built->second == bytes;
      EXPECT_TRUE(asBefore || asBuilt) << "resource " << key.second;
      newer += !asBefore;
    }
    for (const auto& [key, bytes] : before) EXPECT_TRUE(found.count(key)) << "lost resource " << key.second;
    // Stopped in the middle: some of the work done, not all of it.
    EXPECT_GT(newer, 0);
    EXPECT_LT(found.size(), after.size());
    // Closed with its map, as a finished build closes it.
    IFFResFile2 reopened;
    ASSERT_EQ(reopened.OpenFile(object), res_error::kNone);
    EXPECT_TRUE(reopened.OpenedByMap());
  }
}

}  // namespace
}  // namespace pixmold
