// Failures at every I/O call. Two kinds:
//  - a crash: from the Nth write on nothing reaches the file (the Nth write
//    may also land half, cut at a page boundary, as a killed process can leave
//    it); the file must then hold every resource in its state before or after
//    the operation under way;
//  - a fault: the Nth write, seek or flush fails and the program goes on and
//    closes the file; no resource the operation did not touch may be lost.
// In both, N runs 1, 2, ... until the operation gets through.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "filelib/ctg_file_manager.h"
#include "filelib/file_system.h"
#include "filelib/io_faults.h"
#include "iff_ops.h"
#include "iff_test_util.h"
#include "resfile/iff_res_file.h"
#include "resfile/iff_res_file2.h"
#include "support/assert_capture.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

using testing::AssertCapture;
using testing::Bytes;
using testing::ExpectConsistent;
using testing::FileBytes;
using testing::HandleOf;
using testing::Op;
using testing::OpSource;
using testing::Pattern;
using testing::Snapshot;
using testing::TakeSnapshot;
using testing::TempDir;
using testing::WriteFileBytes;

constexpr std::int64_t kPage = 4096;

// A disk that stops at the Nth write, as a killed process does: that write
// lands not at all or up to the first page boundary it crosses, and nothing
// after it lands. Syncs cost nothing here: only a power cut needs them.
class CrashingDisk final : public FileSystemDecorator {
 public:
  CrashingDisk(CTGFileManager& manager, std::int64_t crashAt, bool torn)
      : FileSystemDecorator(manager.Files()), fManager(manager), fCrashAt(crashAt), fTorn(torn) {
    manager.SetFileSystem(*this);
  }
  ~CrashingDisk() override { fManager.SetFileSystem(Inner()); }

  std::int64_t WriteAt(FileHandle file, std::int64_t offset, const void* buffer, std::size_t count) override {
    if (fCrashed) return -1;
    if (++fWrites == fCrashAt) {
      fCrashed = true;
      const std::int64_t boundary = (offset / kPage + 1) * kPage;
      fCrossedPage = offset + static_cast<std::int64_t>(count) > boundary;
      if (fTorn && fCrossedPage) Inner().WriteAt(file, offset, buffer, static_cast<std::size_t>(boundary - offset));
      return -1;
    }
    return Inner().WriteAt(file, offset, buffer, count);
  }
  bool Truncate(FileHandle file, std::int64_t size) override { return !fCrashed && Inner().Truncate(file, size); }
  bool Flush(FileHandle) override { return !fCrashed; }
  bool Sync(FileHandle) override { return !fCrashed; }

  bool Crashed() const { return fCrashed; }
  bool CrossedPage() const { return fCrossedPage; }

 private:
  CTGFileManager& fManager;
  std::int64_t fCrashAt;
  bool fTorn;
  std::int64_t fWrites = 0;
  bool fCrashed = false;
  bool fCrossedPage = false;
};

class IFFFaultTest : public ::testing::Test {
 protected:
  // A version 2.5 file with a map and some resources; its model.
  Snapshot MakeBase(const std::string& path, std::uint32_t seed, std::size_t count, int maxSize = 600) {
    Snapshot model;
    IFFResFile2 file;
    EXPECT_EQ(file.CreateFile(path), res_error::kNone);
    EXPECT_EQ(file.OpenFile(path), res_error::kNone);
    OpSource source(seed, maxSize);
    while (model.size() < count) {
      Op op = source.Next(model);
      if (op.kind != Op::kAdd) continue;
      EXPECT_TRUE(Perform(file, path, op));
      testing::Apply(op, model);
    }
    EXPECT_EQ(file.CloseFile(), res_error::kNone);
    return model;
  }

  static Snapshot Open(const std::string& path, bool* byMap = nullptr) {
    IFFResFile2 file;
    EXPECT_EQ(file.OpenFile(path), res_error::kNone);
    if (byMap) *byMap = file.OpenedByMap();
    return TakeSnapshot(file);
  }

  testing::MemoryScratchDir dir;
};

TEST_F(IFFFaultTest, CrashAtEveryWriteLeavesEveryResourceOldOrNew) {
  const std::string path = dir.File("crash.iff");
  const Snapshot base = MakeBase(path, 7, 24, 2000);
  const Bytes baseBytes = FileBytes(path);
  // A script long enough to replace, remove, reopen (map) and compact.
  std::vector<Op> script;
  {
    Snapshot model = base;
    OpSource source(99);
    while (script.size() < 60) {
      script.push_back(source.Next(model));
      testing::Apply(script.back(), model);
    }
    script.push_back(Op{});  // a last close and reopen
  }
  // What the next session does: mostly removals, so that its close compacts.
  std::vector<Op> recovery;
  {
    Snapshot model = base;
    OpSource source(5, 3000);
    while (recovery.size() < 30) {
      Op op = source.Next(model);
      if (op.kind == Op::kAdd && recovery.size() % 4) continue;
      if (op.kind == Op::kReplace && recovery.size() % 3) op.kind = Op::kRemove;
      recovery.push_back(op);
      testing::Apply(op, model);
    }
    recovery.push_back(Op{});
  }
  int crashes = 0;
  int torn = 0;
  int compacted = 0;
  for (std::int64_t n = 1;; ++n) {
    bool finished = false;
    for (bool tearIt : {false, true}) {
      WriteFileBytes(path, baseBytes);
      AssertCapture reports;
      Snapshot before = base;
      Snapshot after = base;
      const Op* inFlight = nullptr;
      bool crossed = false;
      {
        CTGFileManager manager;
        CrashingDisk disk(manager, n, tearIt);
        {
          IFFResFile2 file(manager);
          ASSERT_EQ(file.OpenFile(path), res_error::kNone);
          for (const Op& op : script) {
            const bool ok = Perform(file, path, op);
            if (disk.Crashed()) {
              inFlight = &op;
              testing::Apply(op, after);
              break;
            }
            ASSERT_TRUE(ok) << "step " << (&op - script.data());
            testing::Apply(op, before);
            testing::Apply(op, after);
          }
        }
        finished = !disk.Crashed();
        crossed = disk.CrossedPage();
      }
      if (finished) break;
      if (tearIt && !crossed) continue;
      ++crashes;
      torn += tearIt;
      const Snapshot found = Open(path);
      ExpectConsistent(found, before, after, inFlight, static_cast<int>(n));
      // The next session works on what the crash left, and loses nothing.
      Snapshot recovered = found;
      {
        CTGFileManager manager;
        CrashingDisk noSync(manager, -1, false);
        IFFResFile2 file(manager);
        ASSERT_EQ(file.OpenFile(path), res_error::kNone);
        for (const Op& op : recovery) {
          Op adjusted = op;
          if (op.kind != Op::kAdd && op.kind != Op::kReopen && !recovered.count(op.key)) continue;
          if (op.kind == Op::kAdd && recovered.count(op.key)) adjusted.kind = Op::kReplace;
          if (op.kind == Op::kInPlace) adjusted.value.bytes.resize(recovered[op.key].bytes.size());
          if (op.kind == Op::kInPlace) adjusted.value.name = recovered[op.key].name;
          ASSERT_TRUE(Perform(file, path, adjusted)) << "recovery after crash at write " << n;
          testing::Apply(adjusted, recovered);
        }
        ASSERT_EQ(file.CloseFile(), res_error::kNone);
      }
      compacted += testing::FreeBlockCount(FileBytes(path), 76) == 0;
      bool byMap = false;
      EXPECT_EQ(Open(path, &byMap), recovered) << "recovery after crash at write " << n;
      EXPECT_TRUE(byMap);
      ASSERT_EQ(IFFResFile2().ClearMap(path), res_error::kNone);
      EXPECT_EQ(Open(path), recovered) << "blocks after recovery from crash at write " << n;
      if (::testing::Test::HasFailure()) {
        ADD_FAILURE() << "crash at write " << n << (tearIt ? " (torn)" : "") << " during step "
                      << (inFlight - script.data()) << " kind " << inFlight->kind;
        return;
      }
    }
    if (finished) break;
  }
  EXPECT_GT(crashes, 200);
  EXPECT_GT(torn, 0);
  EXPECT_GT(compacted, 0);
  RecordProperty("crash_points", crashes);
}

}  // namespace
}  // namespace pixmold
