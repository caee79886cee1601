// A watch as an artist leaves it running: started on a small tree, a sheet
// saved again, and the rebuild of that object alone expected, with no run
// started by the object file the rebuild wrote.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "cli_runner.h"
#include "cli_tree_objects.h"
#include "support/child_process.h"

namespace pixmold {
namespace {

namespace fs = std::filesystem;
using testing::Text;

constexpr int kWatchedObjects = 3;

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
  return count;
}

class CliWatch : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::NinjaInstalled()) GTEST_SKIP() << "ninja is not installed";
    for (int index = 0; index < kWatchedObjects; ++index) testing::WriteTreeObject(fRoot, "data", "content", index);
  }
  void TearDown() override {
    // A failed check must not leave the watch running for ever.
    if (fChild > 0) {
      kill(-fChild, SIGKILL);
      waitpid(fChild, nullptr, 0);
    }
  }

  void Start() {
    fChild = testing::StartCli({"watch", "--data", fRoot.File("data"), "--content", fRoot.File("content"), "-j2"}, "",
                               Out(), Err(), true);
    ASSERT_GT(fChild, 0);
    setpgid(fChild, fChild);
  }
  // Polls standard output until `part` appears `times` times; false after a minute.
  bool WaitFor(const std::string& part, std::size_t times = 1) const {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (Count(Text(Out()), part) < times) {
      if (std::chrono::steady_clock::now() > giveUp) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }
  // Ends the watch with `signal`, sent to its whole job as Ctrl-C is, or to
  // it alone as a job runner may; its exit status.
  int Stop(int signal, bool wholeGroup) {
    kill(wholeGroup ? -fChild : fChild, signal);
    const int status = testing::ExitStatusWithin(fChild);
    fChild = 0;
    return status;
  }
  std::vector<fs::file_time_type> StampTimes() const {
    std::vector<fs::file_time_type> times;
    for (int index = 0; index < kWatchedObjects; ++index)
      times.push_back(fs::last_write_time(testing::TreeStamp(fRoot, index)));
    return times;
  }
  std::string Out() const { return fRoot.File("watch.out"); }
  std::string Err() const { return fRoot.File("watch.err"); }

  testing::TempDir fRoot;
  pid_t fChild = 0;
};

TEST_F(CliWatch, RebuildsWhatASavedSheetChangesAndNothingElse) {
  Start();
  ASSERT_TRUE(WaitFor("pixmold watch: 3 built, 0 up to date, 0 failed\n")) << Text(Out()) << Text(Err());
  const std::vector<fs::file_time_type> before = StampTimes();

  const int saved = 1;
  const std::string sheet = testing::TreeSheetPath(fRoot, saved);
  fRoot.Write("content/Sprites/obj01/sheet.tga", testing::ReadAll(sheet));
  ASSERT_TRUE(WaitFor("pixmold watch: 1 built, 2 up to date, 0 failed\n")) << Text(Out()) << Text(Err());
  EXPECT_NE(Text(Out()).find("pixmold watch: Sprites/obj01/sheet.tga changed\n"), std::string::npos) << Text(Out());
  const std::vector<fs::file_time_type> after = StampTimes();
  for (int index = 0; index < kWatchedObjects; ++index)
    EXPECT_EQ(after[index] != before[index], index == saved) << index;

  // The rebuild wrote obj01's object file; that is no change to build.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_EQ(Count(Text(Out()), " changed"), 1u) << Text(Out());
  EXPECT_EQ(Count(Text(Out()), "pixmold watch: "), 3u) << Text(Out());

  // Two sheets saved together: one run, the first change named and the
  // other counted.
  fRoot.Write("content/Sprites/obj00/sheet.tga", testing::ReadAll(testing::TreeSheetPath(fRoot, 0)));
  fRoot.Write("content/Sprites/obj02/sheet.tga", testing::ReadAll(testing::TreeSheetPath(fRoot, 2)));
  ASSERT_TRUE(WaitFor("pixmold watch: 2 built, 1 up to date, 0 failed\n")) << Text(Out()) << Text(Err());
  EXPECT_NE(Text(Out()).find("pixmold watch: Sprites/obj00/sheet.tga changed, and 1 more\n"), std::string::npos)
      << Text(Out());

  EXPECT_EQ(Stop(SIGINT, true), 130) << Text(Err());
  EXPECT_NE(Text(Err()).find("pixmold watch: stopped\n"), std::string::npos) << Text(Err());
}

// Objects come as folders: the new folder gets a watch of its own, and the
// files written into it count even when they came before that watch.
TEST_F(CliWatch, BuildsAnObjectThatComesWhileItWaits) {
  Start();
  ASSERT_TRUE(WaitFor("pixmold watch: 3 built, 0 up to date, 0 failed\n")) << Text(Out()) << Text(Err());
  testing::WriteTreeObject(fRoot, "data", "content", kWatchedObjects);
  ASSERT_TRUE(WaitFor("pixmold watch: 1 built, 3 up to date, 0 failed\n")) << Text(Out()) << Text(Err());
  EXPECT_TRUE(fs::exists(testing::TreeStamp(fRoot, kWatchedObjects)));
  // Saved again, the sheet in the new folder is seen there.
  fRoot.Write("content/Sprites/obj03/sheet.tga", testing::ReadAll(testing::TreeSheetPath(fRoot, kWatchedObjects)));
  ASSERT_TRUE(WaitFor("pixmold watch: Sprites/obj03/sheet.tga changed\n")) << Text(Out()) << Text(Err());
  ASSERT_TRUE(WaitFor("pixmold watch: 1 built, 3 up to date, 0 failed\n", 2)) << Text(Out()) << Text(Err());
  EXPECT_EQ(Stop(SIGTERM, false), 130) << Text(Err());
  EXPECT_NE(Text(Err()).find("pixmold watch: stopped\n"), std::string::npos) << Text(Err());
}

// Without ninja every run would fail alike: the watch says so once and ends.
TEST(CliWatchUsage, EndsAtOnceWhenNinjaCannotRun) {
  testing::TempDir root;
  testing::WriteTreeObject(root, "data", "content", 0);
  const std::string err = root.File("err.txt");
  const std::string command = "timeout 60 env PATH=" + testing::Quote(root.File("no-bin")) + " " +
                              testing::Quote(PIXMOLD_CLI_PATH) + " watch --data " + testing::Quote(root.File("data")) +
                              " --content " + testing::Quote(root.File("content")) + " </dev/null >/dev/null 2>" +
                              testing::Quote(err);
  const int raw = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 1) << Text(err);
  EXPECT_EQ(Text(err).rfind("pixmold watch: cannot run ninja: ", 0), 0u) << Text(err);
  EXPECT_FALSE(fs::exists(root.File("data/.pixmold")));
}

}  // namespace
}  // namespace pixmold
