// A whole build of a generated object with sprites, killed at a write spread
// over the build, or stopped by a full disk: afterwards both parts of the
// object file open, and every resource is as it was before the build or as
// a whole build writes it; none is lost and none appears from nowhere.
//
// The kills are exact: a forked child runs the build through a file system
// that, at the chosen write, lands part of it up to a page boundary (half of
// the time; a killed process can leave a write cut there) and sends itself
// SIGKILL. The writes of a whole build are counted first, so the kill points
// cover it from the first write to the last.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>

#include "base/xassert.h"
#include "builder/run_build.h"
#include "filelib/ctg_file_manager.h"
#include "filelib/file_system.h"
#include "resfile/iff_res_file2.h"
#include "support/assert_capture.h"
#include "support/build_on_worker.h"
#include "support/child_process.h"
#include "support/demo_object.h"
#include "support/object_file_fixture.h"
#include "support/old_or_new.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

constexpr std::int64_t kPage = 4096;

// Writes through the process-wide manager are counted; the killAt-th one
// kills the process (after landing up to its first page boundary, when cut),
// and from the failAt-th on every write fails with ENOSPC.
class CountingDisk final : public FileSystemDecorator {
 public:
  CountingDisk(std::int64_t killAt, bool cut, std::int64_t failAt)
      : FileSystemDecorator(CTGFileManager::Get().Files()), fKillAt(killAt), fCut(cut), fFailAt(failAt) {
    CTGFileManager::Get().SetFileSystem(*this);
  }
  ~CountingDisk() override { CTGFileManager::Get().SetFileSystem(Inner()); }
  CountingDisk(const CountingDisk&) = delete;
  CountingDisk& operator=(const CountingDisk&) = delete;

  std::int64_t WriteAt(FileHandle file, std::int64_t offset, const void* buffer, std::size_t count) override {
    ++fWrites;
    if (fWrites == fKillAt) {
      const std::int64_t boundary = (offset / kPage + 1) * kPage;
      if (fCut && offset + static_cast<std::int64_t>(count) > boundary) {
        Inner().WriteAt(file, offset, buffer, static_cast<std::size_t>(boundary - offset));
      }
      kill(getpid(), SIGKILL);
    }
    if (fFailAt > 0 && fWrites >= fFailAt) {
      errno = ENOSPC;
      return -1;
    }
    return Inner().WriteAt(file, offset, buffer, count);
  }
  std::int64_t Writes() const { return fWrites; }

 private:
  std::int64_t fKillAt;
  bool fCut;
  std::int64_t fFailAt;
  std::int64_t fWrites = 0;
};

// The demo object in an artist's two trees, with its parts kept as they were
// made, so that every build starts from the same files.
class DemoBuild {
 public:
  std::string Make() {
    if (std::string failed = testing::MakeDemoObject(fRoot.File("data"), fRoot.File("content")); !failed.empty()) {
      return failed;
    }
    for (const char* part : {".iff", ".spf"}) fPristine[part] = testing::ReadAll(Object(part));
    return "";
  }
  void Restore() const {
    for (const auto& [part, bytes] : fPristine) fRoot.Write("data/Objects/tableset" + part, bytes);
  }
  std::string Object(const std::string& part = ".iff") const { return fRoot.File("data/Objects/tableset" + part); }

  // Every pass the markup feeds, on a worker thread as the command line
  // runs it; the build's status.
  int Run(std::ostream& report) const {
    BuildArgs args;
    args.fObjectFile = Object();
    args.fOmkFile = fRoot.File("content/Sprites/tableset/tableset.omk");
    args.fTgaDirectory = fRoot.File("content/Sprites/tableset/");
    args.fThumbnailDirectory = args.fTgaDirectory;
    args.fReportStream = &report;
    args.fMakeSprites = 1;
    args.fWriteSlots = args.fWriteSpriteLists = args.fWriteAttributeStrings = args.fWriteSkillTables = 1;
    args.fWriteCatalogs = args.fWriteTreeTables = args.fWriteBitmaps = 1;
    return testing::RunBuildOnWorker(args);
  }

  testing::ObjectContents Read() const { return testing::ContentsOf(Object()); }

 private:
  testing::TempDir fRoot;
  std::map<std::string, std::vector<std::uint8_t>> fPristine;
};

class BuildReliability : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::DemoGeneratorCanRun()) GTEST_SKIP() << "needs /usr/bin/python3 with numpy and PIL";
    ASSERT_EQ(build.Make(), "");
    before = build.Read();
    std::ostringstream report;
    CountingDisk counter(-1, false, -1);
    ASSERT_EQ(build.Run(report), 0) << report.str();
    writes = counter.Writes();
    after = build.Read();
    ASSERT_GT(after.size(), before.size());
  }

  // Both parts open, through their maps or by walking their blocks, and
  // every resource is old or new; how many are new.
  int ExpectOpenOldOrNew(const std::string& when) {
    for (const char* part : {".iff", ".spf"}) {
      IFFResFile2 file;
      EXPECT_EQ(file.OpenFile(CTGString(build.Object(part))), res_error::kNone) << when << ": " << part;
    }
    return testing::ExpectOldOrNew(build.Read(), before, after, when);
  }

  // The write numbers where a sweep stops the build: count of them, spread
  // evenly from the first write to the last.
  std::vector<std::int64_t> Points(int count) const {
    std::vector<std::int64_t> points;
    for (int i = 0; i < count; ++i) {
      const std::int64_t point = 1 + (writes - 1) * i / (count - 1);
      if (points.empty() || points.back() != point) points.push_back(point);
    }
    return points;
  }

  DemoBuild build;
  testing::ObjectContents before;
  testing::ObjectContents after;
  std::int64_t writes = 0;
};

TEST_F(BuildReliability, KilledAtAnyWriteLeavesEveryResourceOldOrNew) {
  int kills = 0;
  int partlyBuilt = 0;
  for (std::int64_t point : Points(120)) {
    // Reports of the damage a kill leaves, found by the next open, go nowhere.
    testing::AssertCapture quiet;
    const std::string when = "killed at write " + std::to_string(point) + " of " + std::to_string(writes);
    build.Restore();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      std::ostringstream report;
      CountingDisk disk(point, point % 2 == 1, -1);
      build.Run(report);
      _exit(0);
    }
    const std::optional<int> ended = testing::WaitForChild(child);
    ASSERT_TRUE(ended) << when << ": the build hung";
    const int status = *ended;
    // A build may write a few times fewer than the counted one: one that
    // ends before the point must have ended whole.
    const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    ASSERT_TRUE(killed || (WIFEXITED(status) && point > writes - 8)) << when << ": the build ended by itself";
    kills += killed;
    const int built = ExpectOpenOldOrNew(when);
    partlyBuilt += built > 0 && built < static_cast<int>(after.size());
    if (HasFailure()) return;
  }
  EXPECT_GE(kills, 100);
  EXPECT_GT(partlyBuilt, kills / 2) << "the kills must land inside the work, not only before or after it";
  RecordProperty("kill_points", kills);
  RecordProperty("build_writes", static_cast<int>(writes));
}

TEST_F(BuildReliability, FullDiskEndsTheBuildWithAFatalErrorAndLosesNothing) {
  int sweeps = 0;
  for (std::int64_t point : Points(60)) {
    testing::AssertCapture quiet;
    const std::string when = "disk full from write " + std::to_string(point) + " of " + std::to_string(writes);
    build.Restore();
    std::ostringstream report;
    int status = 0;
    {
      CountingDisk disk(-1, false, point);
      status = build.Run(report);
    }
    ++sweeps;
    EXPECT_NE(status, 0) << when;
    // One fatal error, naming the part it could not write and why.
    const std::string text = report.str();
    const std::size_t fatal = text.find("fatal error: ");
    ASSERT_NE(fatal, std::string::npos) << when << ":\n" << text;
    const std::string line = text.substr(fatal, text.find('\n', fatal) - fatal);
    EXPECT_TRUE(line.find(build.Object(".iff")) != std::string::npos ||
                line.find(build.Object(".spf")) != std::string::npos)
        << when << ": " << line;
    EXPECT_NE(line.find(std::strerror(ENOSPC)), std::string::npos) << when << ": " << line;
    ExpectOpenOldOrNew(when);
    if (HasFailure()) return;
  }
  RecordProperty("full_disk_points", sweeps);
}

}  // namespace
}  // namespace pixmold
