// Whole trees through ninja, as a pipeline engineer runs them: a generated
// tree of small objects built, re-run, touched and broken, each object
// compared with the same object built alone.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "cli_runner.h"
#include "cli_tree_objects.h"
#include "support/child_process.h"

namespace pixmold {
namespace {

namespace fs = std::filesystem;
using testing::CliRun;
using testing::NinjaInstalled;
using testing::ObjdFields;
using testing::ObjdResource;
using testing::Quote;
using testing::Text;
using testing::TreeObjectName;
using testing::TreeSheetPath;
using testing::WriteTreeObject;

constexpr int kObjects = 20;

// The last object has the odd name.
static_assert(testing::kOddlyNamedObject == kObjects - 1);

class CliTree : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!NinjaInstalled()) GTEST_SKIP() << "ninja is not installed";
    for (int index = 0; index < kObjects; ++index) {
      WriteTreeObject(fRoot, "data", "content", index);
      WriteTreeObject(fRoot, "alone", "alone", index);
    }
  }

  CliRun All(const std::string& options = "-j2") const {
    return testing::RunCli(fRoot, "all --data " + Quote(fRoot.File("data")) + " --content " +
                                      Quote(fRoot.File("content")) + " " + options);
  }
  std::string Plan() const { return fRoot.File("data/.pixmold/build.ninja"); }
  std::string Stamp(int index) const { return testing::TreeStamp(fRoot, index); }
  std::string NinjaDryRun() const {
    const std::string out = fRoot.File("dry.txt");
    const std::string command = "timeout -k 5 60 ninja -f " + Quote(Plan()) + " -n >" + Quote(out) + " 2>&1";
    return std::system(command.c_str()) == 0 ? Text(out) : "ninja failed: " + Text(out);
  }
  // Runs the tree and checks it ends well with the summary line given.
  void ExpectAll(const std::string& summary) const {
    const CliRun run = All();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("pixmold all: " + summary + "\n"), std::string::npos) << run.out;
  }
  std::vector<fs::file_time_type> StampTimes() const {
    std::vector<fs::file_time_type> times;
    for (int index = 0; index < kObjects; ++index) times.push_back(fs::last_write_time(Stamp(index)));
    return times;
  }

  testing::TempDir fRoot;
};

TEST_F(CliTree, BuildsEveryObjectOnceThenOnlyWhatChanged) {
  // A missing sheet fails its object alone; -k builds the others.
  const int broken = 7;
  const std::vector<unsigned char> sheet = testing::ReadAll(TreeSheetPath(fRoot, broken));
  fs::remove(TreeSheetPath(fRoot, broken));
  CliRun run = All("-j2 -k");
  EXPECT_EQ(run.status, 1) << run.err;
  const std::string report = fRoot.File("data/.pixmold/objects/obj07.report.txt");
  EXPECT_NE(run.out.find("pixmold all: 19 built, 0 up to date, 1 failed\n"
                         "failed: obj07: fatal error: could not open tga file : " +
                         TreeSheetPath(fRoot, broken)),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("  report: " + report + "\n"), std::string::npos) << run.out;
  EXPECT_NE(Text(report).find("fatal error:"), std::string::npos);
  // A failed build writes neither stamp nor depfile, so ninja tries it again.
  EXPECT_FALSE(fs::exists(Stamp(broken)) || fs::exists(Stamp(broken) + ".d"));
  EXPECT_NE(
      testing::FindResource(testing::ReadObjectFile(fRoot.File("data/Objects/obj07.iff")), MakeResType("OBJD"), 128),
      nullptr)
      << "a failed build leaves its object file readable";

  // Put back, it is tried again, and it alone.
  fRoot.Write("content/Sprites/obj07/sheet.tga", sheet);
  ExpectAll("1 built, 19 up to date, 0 failed");

  // Nothing left to do, for ninja itself and for a re-run.
  EXPECT_NE(NinjaDryRun().find("ninja: no work to do."), std::string::npos) << NinjaDryRun();
  ExpectAll("0 built, 20 up to date, 0 failed");

  // Each object is byte for byte what a build of it alone makes.
  for (int index = 0; index < kObjects; ++index) {
    const std::string name = TreeObjectName(index);
    const std::string alone = fRoot.File("alone/Objects/" + name);
    const std::string content = fRoot.File("alone/Sprites/" + name + "/");
    CliRun single = testing::RunCli(fRoot, "build " + Quote(alone) + " --omk " + Quote(content + name + ".omk"));
    ASSERT_EQ(single.status, 0) << single.err;
    for (const char* part : {".iff", ".spf"}) {
      EXPECT_EQ(testing::ReadAll(fRoot.File("data/Objects/" + name + part)), testing::ReadAll(alone + part))
          << name << part;
    }
  }

  // A touched sheet, whose path ninja read back from an escaped depfile,
  // rebuilds its object and no other.
  const int touched = kObjects - 1;
  const std::vector<fs::file_time_type> before = StampTimes();
  fs::last_write_time(TreeSheetPath(fRoot, touched), fs::file_time_type::clock::now());
  ExpectAll("1 built, 19 up to date, 0 failed");
  const std::vector<fs::file_time_type> after = StampTimes();
  for (int index = 0; index < kObjects; ++index) {
    EXPECT_EQ(after[index] != before[index], index == touched) << TreeObjectName(index);
  }

  // An optional image that was not there is no file the build opened, but
  // the build looked for it in its folder: one appearing rebuilds the object.
  const int gained = 5;
  fRoot.Write("content/Sprites/" + TreeObjectName(gained) + "/sheetalpha.tga",
              testing::ReadAll(TreeSheetPath(fRoot, gained)));
  ExpectAll("1 built, 19 up to date, 0 failed");
  EXPECT_NE(StampTimes()[gained], after[gained]);
}

TEST_F(CliTree, WithoutKeepGoingCountsWhatNeverStarted) {
  fs::remove(TreeSheetPath(fRoot, 0));
  const CliRun run = All("-j1");
  EXPECT_EQ(run.status, 1);
  int built = -1;
  int upToDate = -1;
  int failed = -1;
  int notStarted = 0;
  const std::size_t summary = run.out.find("pixmold all: ");
  ASSERT_NE(summary, std::string::npos) << run.out;
  const int fields = std::sscanf(run.out.c_str() + summary, "pixmold all: %d built, %d up to date, %d failed, %d not",
                                 &built, &upToDate, &failed, &notStarted);
  ASSERT_GE(fields, 3) << run.out;
  EXPECT_EQ(failed, 1);
  EXPECT_EQ(upToDate, 0);
  EXPECT_EQ(built + notStarted, kObjects - 1) << run.out;
  EXPECT_GT(notStarted, 0) << "ninja stops at the first failure without -k\n" << run.out;
}

TEST_F(CliTree, ReplansWhenTheTreeGainsAnObject) {
  ExpectAll("20 built, 0 up to date, 0 failed");
  WriteTreeObject(fRoot, "data", "content", kObjects);  // named like the rest, one more
  const std::string dry = NinjaDryRun();
  EXPECT_NE(dry.find("plan"), std::string::npos) << dry;
  const CliRun run = All("--json");
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string report = fRoot.File("data/.pixmold/objects/obj20.report.txt");
  EXPECT_EQ(run.out.substr(0, run.out.find("\"objects\"")),
            "{\"built\":1,\"upToDate\":20,\"failed\":0,\"interrupted\":0,\"notStarted\":0,\"withWarnings\":0,"
            "\"stopped\":false,")
      << "standard output holds the JSON alone";
  EXPECT_NE(run.out.find("{\"object\":\"obj20\",\"state\":\"built\",\"report\":\"" + report + "\"}"), std::string::npos)
      << run.out;
  EXPECT_NE(run.err.find("build obj20"), std::string::npos) << "ninja's status goes to standard error";
  EXPECT_NE(NinjaDryRun().find("ninja: no work to do."), std::string::npos);
}

// Ctrl-C in a terminal signals the whole job, `pixmold all` and ninja; a
// SIGTERM from a job runner may reach `pixmold all` alone.
TEST_F(CliTree, InterruptedRunSaysWhatItDidAndTheNextRunDoesTheRest) {
  const struct {
    int signal;
    bool wholeGroup;
  } cases[] = {{SIGINT, true}, {SIGTERM, false}};
  const std::string objects = fRoot.File("data/.pixmold/objects");
  // ninja removes the stamp of a build it had not yet seen finish when the
  // signal came; the third stamp means two builds were done and seen.
  const auto stamps = [&] {
    int count = 0;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(objects, error)) count += entry.path().extension() == ".stamp";
    return count;
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(strsignal(c.signal));
    std::error_code error;
    fs::remove_all(objects, error);  // every object is built again
    const std::string out = fRoot.File("all.out");
    const std::string err = fRoot.File("all.err");
    const pid_t child = testing::StartCli(
        {"all", "--data", fRoot.File("data"), "--content", fRoot.File("content"), "-j1"}, "", out, err, true);
    ASSERT_GT(child, 0);
    setpgid(child, child);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (stamps() < 3 && std::chrono::steady_clock::now() < giveUp) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    kill(c.wholeGroup ? -child : child, c.signal);
    const std::optional<int> ended = testing::WaitForChild(child);
    ASSERT_TRUE(ended) << "the tree build did not stop";
    const int raw = *ended;
    ASSERT_TRUE(WIFEXITED(raw)) << "ended by signal " << WTERMSIG(raw);
    EXPECT_EQ(WEXITSTATUS(raw), 130) << Text(err);
    EXPECT_NE(Text(err).find("pixmold all: interrupted; the next run builds what was not built"), std::string::npos)
        << Text(err);
    const std::string all = Text(out);
    const std::string summary = all.substr(std::min(all.find("pixmold all: "), all.size()));
    int built = -1;
    int caught = 0;
    int notStarted = 0;
    // The build ninja was running when the signal came is interrupted, not
    // failed: it stopped at a resource boundary or had just finished.
    const int fields =
        std::sscanf(summary.c_str(), "pixmold all: %d built, 0 up to date, 0 failed, %d interrupted, %d not", &built,
                    &caught, &notStarted);
    ASSERT_GE(fields, 1) << summary;
    if (fields == 2) std::swap(caught, notStarted);  // no build was running
    EXPECT_GE(built, 2) << summary;
    EXPECT_LE(caught, 1) << "-j1 runs one build at a time\n" << summary;
    EXPECT_EQ(built + caught + notStarted, kObjects) << summary;
    EXPECT_NE(summary.find(" not started (interrupted)\n"), std::string::npos) << summary;

    ExpectAll(std::to_string(kObjects - built) + " built, " + std::to_string(built) + " up to date, 0 failed");
  }
}

// What a tree run says besides its counts: a stop that comes while ninja
// makes or reads the plan ends the run with its summary, as a stop during
// the builds does; and the objects built with warnings are named with the
// first of them, since nobody reads a tree build's reports unasked.
TEST(CliTreeSummary, StopsWhileThePlanIsMadeOrReadAndNamesWarnings) {
  if (!NinjaInstalled()) GTEST_SKIP() << "ninja is not installed";
  testing::TempDir root;
  for (int index = 0; index < 3; ++index) WriteTreeObject(root, "data", "content", index);
  const std::string trees = " --data " + Quote(root.File("data")) + " --content " + Quote(root.File("content"));

  // A ninja that, on its Nth run, passes Ctrl-C to pixmold (a terminal
  // signals the whole job) and stops as ninja stops; otherwise the real one.
  root.Write("bin/ninja",
             "#!/bin/sh\n"
             "[ \"$1\" = --version ] && exec env PATH=\"${PATH#*:}\" ninja \"$@\"\n"
             "calls=$(( $(cat \"$0.calls\" 2>/dev/null || echo 0) + 1 ))\n"
             "echo $calls >\"$0.calls\"\n"
             "if [ $calls = \"$STOP_AT\" ]; then\n"
             "  kill -INT $PPID\n"
             "  echo 'ninja: build stopped: interrupted by user.' >&2\n"
             "  exit 2\n"
             "fi\n"
             "exec env PATH=\"${PATH#*:}\" ninja \"$@\"\n");
  fs::permissions(root.File("bin/ninja"), fs::perms::owner_all);
  // Run 1 makes the plan anew (ninja's plan edge), run 2 reads it (a dry run).
  for (const auto& [command, stopAt] : {std::pair{"all", 1}, std::pair{"all", 2}, std::pair{"watch", 2}}) {
    SCOPED_TRACE(std::string(command) + ", stopped in ninja's run " + std::to_string(stopAt));
    fs::remove(root.File("bin/ninja.calls"));
    const std::string out = root.File("stop.out");
    const std::string err = root.File("stop.err");
    const std::string line = "PATH=" + Quote(root.File("bin")) + ":\"$PATH\" STOP_AT=" + std::to_string(stopAt) +
                             " timeout 60 " + Quote(PIXMOLD_CLI_PATH) + " " + command + trees + " >" + Quote(out) +
                             " 2>" + Quote(err);
    const int raw = std::system(line.c_str());
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 130) << Text(err);
    EXPECT_NE(Text(out).find("pixmold " + std::string(command) +
                             ": 0 built, 0 up to date, 0 failed, 3 not started (interrupted)\n"),
              std::string::npos)
        << Text(out) << Text(err);
    EXPECT_EQ(Text(err).find("cannot read the plan"), std::string::npos) << Text(err);
  }

  root.Write("content/Sprites/obj01/obj01.omk",
             testing::Text(root.File("content/Sprites/obj01/obj01.omk")) + "<sprit>\n<sprat>\n");
  const std::string report = root.File("data/.pixmold/objects/obj01.report.txt");
  CliRun run = testing::RunCli(root, "all" + trees);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("pixmold all: 3 built, 1 with warnings, 0 up to date, 0 failed\n"
                         "warned: obj01: warning: line: 4 - unknown tag: sprit (and 1 more warning)\n"
                         "  report: " +
                         report + "\n"),
            std::string::npos)
      << run.out;
  // Only a build of this run counts: an object left as it was warns no more.
  fs::last_write_time(root.File("content/Sprites/obj01/obj01.omk"), fs::file_time_type::clock::now());
  run = testing::RunCli(root, "all" + trees + " --json");
  EXPECT_NE(run.out.find("\"notStarted\":0,\"withWarnings\":1,"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("{\"object\":\"obj01\",\"state\":\"built\",\"warnings\":2,"
                         "\"firstWarning\":\"warning: line: 4 - unknown tag: sprit\",\"report\":"),
            std::string::npos)
      << run.out;
  run = testing::RunCli(root, "all" + trees);
  EXPECT_NE(run.out.find("pixmold all: 0 built, 3 up to date, 0 failed\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("warned:"), std::string::npos) << run.out;
}

TEST(CliDepfile, NamesEveryFileTheBuildOpenedEscaped) {
  testing::TempDir root;
  WriteTreeObject(root, "a b$c", "a b$c", kObjects - 1);
  const std::string name = TreeObjectName(kObjects - 1);
  const std::string object = root.File("a b$c/Objects/" + name);
  const std::string images = root.File("a b$c/Sprites/" + name + "/");
  const std::string depfile = root.File("out/build.d");
  const std::string stamp = root.File("out/my stamp");
  fs::create_directories(root.File("out"));
  const std::string args = "build " + Quote(object) + " --omk " + Quote(images + name + ".omk") + " --depfile " +
                           Quote(depfile) + " --stamp " + Quote(stamp);

  const CliRun run = testing::RunCli(root, args);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto escaped = [](std::string path) {
    std::string out;
    for (char c : path) out += c == ' ' ? std::string("\\ ") : c == '$' ? std::string("$$") : std::string(1, c);
    return out;
  };
  std::string expected = escaped(stamp) + ":";
  for (const std::string& path :
       {object + ".iff", object + ".spf", images + name + ".omk", images.substr(0, images.size() - 1),
        images + "sheet $x 1.bmp", images + "sheet $x 1.tga"}) {
    expected += " \\\n  " + escaped(path);
  }
  EXPECT_EQ(Text(depfile), expected + "\n");
  EXPECT_TRUE(fs::exists(stamp));
}

// Names a ninja file cannot hold, and object files that are links out of
// the data tree: each such object is named and left out, and the rest of
// the tree builds. A failure is never reported without a reason.
TEST(CliTreeNames, ObjectsThatCannotBePlannedAreLeftOutAndTheRestBuilds) {
  if (!NinjaInstalled()) GTEST_SKIP() << "ninja is not installed";
  testing::TempDir root;
  const auto object = [&root](const std::string& folder, const std::string& name) {
    const std::string base = root.File("data/Objects/" + folder + name);
    fs::create_directories(fs::path(base).parent_path());
    testing::WriteObjectFile(base + ".iff", {ObjdResource(128, "Thing", ObjdFields{})});
    testing::WriteObjectFile(base + ".spf", {});
    const std::string images = "content/Sprites/" + std::to_string(std::hash<std::string>{}(name)) + "/";
    root.Write(images + name + ".omk",
               "<sizes lwidth=16 lheight=8 mwidth=8 mheight=4 swidth=4 sheight=2>\n"
               "<sprite id=100 tgafile=\"sheet.tga\">\n<drawgroup id=100><item sprite id=100>\n");
    testing::WriteSheetImages(root, images + "sheet", 112, 8);
    return base;
  };
  object("", "plain");
  object("a|b/", "piped");
  object("", "line\nbreak");
  object("", "nostamp");
  // A link into another tree: a tree build writes only inside its own.
  const std::string outside = object("../../outside/", "linked");
  for (const char* part : {".iff", ".spf"}) {
    fs::create_symlink(outside + part, root.File(std::string("data/Objects/linked") + part));
  }
  const auto outsideBefore = testing::ReadAll(outside + ".spf");
  // The stamp cannot be written: the build fails after it ran, with no
  // fatal line in its report.
  fs::create_directories(root.File("data/.pixmold/objects/nostamp.stamp"));

  const CliRun run = testing::RunCli(
      root, "all --json -j2 -k --data " + Quote(root.File("data")) + " --content " + Quote(root.File("content")));
  EXPECT_EQ(run.status, 1) << run.err;
  for (const std::string& leftOut : {root.File("data/Objects/a|b/piped") + ": a path of this object holds",
                                     root.File("data/Objects/line\\nbreak") + ": a path of this object holds",
                                     root.File("data/Objects/linked") + ": a symbolic link to a file outside"}) {
    EXPECT_NE(run.err.find("pixmold all: " + leftOut), std::string::npos) << leftOut << " in:\n" << run.err;
  }
  EXPECT_NE(run.out.find("\"built\":1,"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("{\"object\":\"plain\",\"state\":\"built\""), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("{\"object\":\"nostamp\",\"state\":\"failed\",\"fatal\":\"no fatal error in its report"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("\"fatal\":\"\""), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("linked"), std::string::npos) << run.out;
  EXPECT_EQ(testing::ReadAll(outside + ".spf"), outsideBefore) << "a file outside the tree was built";
}

TEST(CliTreeUsage, RefusesWhatCannotBePlanned) {
  testing::TempDir root;
  WriteTreeObject(root, "data", "content", 0);
  const std::string trees = " --data " + Quote(root.File("data")) + " --content " + Quote(root.File("content"));
  const std::string plan = " -o " + Quote(root.File("plan/build.ninja"));
  struct Case {
    std::string args;
    std::string message;
  } cases[] = {
      {"plan" + trees + plan + " --omk x.omk", "--omk: the plan sets this for every object itself"},
      {"plan" + trees + plan + " --report=r.txt", "--report=r.txt: the plan sets this for every object itself"},
      {"all" + trees + " --dry-run", "--dry-run: the plan sets this for every object itself"},
      {"plan --data " + Quote(root.File("none")) + " --content " + Quote(root.File("content")) + plan,
       "/Objects/: no such folder"},
      {"all --data " + Quote(root.File("data")) + " --content " + Quote(root.File("data")),
       "/Sprites/: no such folder"},
      {"all" + trees + " -j 0", "-j must be at least 1"},
      {"watch" + trees + " -j -2", "-j must be at least 1"},
      {"all" + trees + " --al-passes",
       "every build: The following argument was not expected: --al-passes (did you "
       "mean '--all-passes'?)"},
      // A watch refuses its request as `all` does, before it watches.
      {"watch" + trees + " --report=r.txt",
       "pixmold watch: --report=r.txt: the plan sets this for every object itself"},
      {"watch --data " + Quote(root.File("data")) + " --content " + Quote(root.File("none")),
       "pixmold watch: " + root.File("none") + "/Sprites/: no such folder"},
      // Refused once by the plan, not by every object's build.
      {"plan" + trees + plan + " --walls 0", "every build: --walls 0 is out of range (1..2040)"},
      {"all" + trees + " --all-passes --no-such-pass",
       "every build: The following argument was not expected: --no-such-pass"},
      {"plan" + trees + plan + " --draw-groups 1,x", "every build: --draw-groups: \"x\" is not a resource id"},
      {"all" + trees + " --wall-styles 300,x", "every build: --wall-styles: \"x\" is not a resource id"},
      {"all" + trees + " --shadow --floors 2 --pool", "every build: --shadow cannot be combined with --pool"},
      {"build " + Quote(root.File("data/Objects/obj00")) + " --dry-run --depfile d", "a dry run changes nothing"},
  };
  for (const Case& test : cases) {
    const CliRun run = testing::RunCli(root, test.args);
    EXPECT_EQ(run.status, 2) << test.args << "\n" << run.err;
    EXPECT_NE(run.err.find(test.message), std::string::npos) << test.args << "\n" << run.err;
  }
  EXPECT_FALSE(fs::exists(root.File("plan/build.ninja")));
  EXPECT_FALSE(fs::exists(root.File("data/.pixmold")));
}

}  // namespace
}  // namespace pixmold
