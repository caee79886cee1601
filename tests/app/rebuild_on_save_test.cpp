#include "app/rebuild_on_save.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace pixmold {
namespace {

using namespace std::chrono_literals;

// Each step is a change, a check while a build runs, or a check with none;
// the result is what every check gave, "-" for nothing.
TEST(RebuildTrigger, WaitsForQuietAndNeverStartsOverABuild) {
  struct Step {
    int at;  // milliseconds
    enum { kChange, kBuilding, kIdle } kind;
    const char* path = "";
  };
  struct Case {
    const char* what;
    std::vector<Step> steps;
    std::vector<std::string> taken;
  };
  const Case cases[] = {
      {"nothing changed", {{1000, Step::kIdle}}, {"-"}},
      {"one save, quiet 0.3 s after it",
       {{0, Step::kChange, "a.omk"}, {299, Step::kIdle}, {300, Step::kIdle}, {900, Step::kIdle}},
       {"-", "a.omk", "-"}},
      {"a burst is one rebuild, 0.3 s after its last write, for its last file",
       {{0, Step::kChange, "a.tga"},
        {200, Step::kChange, "b.tga"},
        {400, Step::kChange, "a.omk"},
        {550, Step::kIdle},
        {700, Step::kIdle},
        {2000, Step::kIdle}},
       {"-", "a.omk", "-"}},
      {"a build running holds the rebuild; one follows it",
       {{0, Step::kChange, "a.tga"},
        {500, Step::kBuilding},
        {900, Step::kBuilding},
        {950, Step::kIdle},
        {1000, Step::kIdle}},
       {"-", "-", "a.tga", "-"}},
      {"changes during a build are one rebuild after it",
       {{100, Step::kChange, "a.tga"},
        {120, Step::kChange, "b.tga"},
        {600, Step::kBuilding},
        {700, Step::kIdle},
        {710, Step::kIdle}},
       {"-", "b.tga", "-"}},
  };
  for (const Case& test : cases) {
    RebuildTrigger trigger;
    const RebuildTrigger::Clock::time_point start{};
    std::vector<std::string> taken;
    for (const Step& step : test.steps) {
      const auto now = start + std::chrono::milliseconds(step.at);
      if (step.kind == Step::kChange) {
        trigger.Changed(step.path, now);
        continue;
      }
      const std::optional<std::string> due = trigger.Take(now, step.kind == Step::kBuilding);
      taken.push_back(due ? *due : "-");
    }
    EXPECT_EQ(taken, test.taken) << test.what;
    EXPECT_FALSE(trigger.Pending()) << test.what;
  }
}

TEST(RebuildOnSave, WatchesWhatABuildReadExceptTheObjectItself) {
  const std::vector<std::string> read = {
      "/data/Objects/chair.iff",
      "/data/Objects/chair.spf",
      "/data/Objects/chair.SPF",
      "/data/Objects/chair.dir",
      "/data/Objects/chair.dir/#1#x.bmp",
      "/art/chair/chair.omk",
      "/art/chair",
      "/art/chair/chair.tga",
      "/art/chair/chair.tga",
      "/tmp/PixmoldReport.txt",
      "/data/Objects/chairs.iff",
      "/data/Objects/chair.omk",
      "/data/Objects/chair_spf",
  };
  EXPECT_EQ(
      WatchableInputs(read, "/data/Objects/chair", "/tmp/PixmoldReport.txt"),
      (std::vector<std::string>{"/art/chair/chair.omk", "/art/chair", "/art/chair/chair.tga",
                                "/data/Objects/chairs.iff", "/data/Objects/chair.omk", "/data/Objects/chair_spf"}));
}

// A file the last build read for the first time was not watched while that
// build ran: written after the build started, it counts as changed.
TEST(RebuildOnSave, AFileFirstReadByABuildAndWrittenDuringItCounts) {
  testing::TempDir root;
  const std::string markup = root.Write("art/chair.omk", "<target>");
  const std::string before = root.Write("sheets/old.tga", "x");
  RebuildOnSave watch;
  ASSERT_EQ(watch.Start({markup}), std::nullopt);
  const auto buildStart = std::filesystem::file_time_type::clock::now();
  std::filesystem::last_write_time(before, buildStart - 10s);
  const std::string during = root.Write("sheets/new.tga", "y");
  std::filesystem::last_write_time(during, buildStart + 1s);
  const auto now = RebuildOnSave::Clock::now();

  EXPECT_EQ(watch.Rearm({markup, before}, buildStart, now), std::nullopt);
  EXPECT_FALSE(watch.Pending());
  EXPECT_EQ(watch.Rearm({markup, before, during}, buildStart, now), std::nullopt);
  EXPECT_TRUE(watch.Pending());
  EXPECT_EQ(watch.Due(now + RebuildTrigger::kQuiet, false), during);
  EXPECT_EQ(watch.Watched(), 3u);

  // A file written after the rearm is seen by the watch itself.
  root.Write("sheets/old.tga", "z");
  EXPECT_EQ(watch.Poll(now), (std::vector<std::string>{before}));
  EXPECT_EQ(watch.Due(now + RebuildTrigger::kQuiet, false), before);
  watch.Stop();
  EXPECT_FALSE(watch.On());
  root.Write("sheets/old.tga", "again");
  EXPECT_TRUE(watch.Poll(now).empty());
  EXPECT_EQ(watch.Start({root.File("missing/a.omk")}),
            "cannot watch " + root.File("missing") + ": No such file or directory");
  EXPECT_FALSE(watch.On());
}

}  // namespace
}  // namespace pixmold
