// Failures at every I/O call. Two kinds:
//  - a crash: from the Nth write on nothing reaches the file (the Nth write
//    may also land in part, cut at a page boundary, as a killed process can
//    leave it); the file must then hold every resource in its state before
//    or after the operation under way, and so must a file that has been
//    through thousands of crashes, each session starting from what the last
//    one left;
//  - a fault: the Nth write, seek or flush fails and the program goes on and
//    closes the file; no resource the operation did not touch may be lost.
// In both, N runs 1, 2, ... until the operation gets through.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <random>

#include "filelib/ctg_file_manager.h"
#include "filelib/file_system.h"
#include "filelib/io_faults.h"
#include "iff_ops.h"
#include "resfile/iff_res_file.h"
#include "support/assert_capture.h"
#include "support/res_type_names.h"

namespace pixmold {
namespace {

using namespace testing;

constexpr std::int64_t kPage = 4096;

// A disk that stops at the Nth write (or the Nth that crosses a page
// boundary), as a killed process does: that write lands not at all or up
// to one of the page boundaries it crosses (the cut-th, counting from 0,
// wrapping round; -1 for none), and nothing after it lands. Syncs cost
// nothing here: only a power cut needs them.
class CrashingDisk final : public FileSystemDecorator {
 public:
  enum class Count { kEveryWrite, kPageCrossings };
  CrashingDisk(CTGFileManager& manager, std::int64_t crashAt, int cut, Count count = Count::kEveryWrite)
      : FileSystemDecorator(manager.Files()), fManager(manager), fCrashAt(crashAt), fCut(cut), fCount(count) {
    manager.SetFileSystem(*this);
  }
  ~CrashingDisk() override { fManager.SetFileSystem(Inner()); }

  std::int64_t WriteAt(FileHandle file, std::int64_t offset, const void* buffer, std::size_t count) override {
    if (fCrashed) return -1;
    const std::int64_t first = (offset / kPage + 1) * kPage;
    const std::int64_t end = offset + static_cast<std::int64_t>(count);
    const bool crosses = end > first;
    if ((fCount == Count::kEveryWrite || crosses) && ++fWrites == fCrashAt) {
      fCrashed = true;
      fCrossedPage = crosses;
      if (fCut >= 0 && crosses) {
        const std::int64_t boundary = first + (fCut % ((end - 1 - first) / kPage + 1)) * kPage;
        Inner().WriteAt(file, offset, buffer, static_cast<std::size_t>(boundary - offset));
      }
      return -1;
    }
    return Inner().WriteAt(file, offset, buffer, count);
  }
  // A kill between writes: nothing more lands.
  void Stop() { fCrashed = true; }
  bool Truncate(FileHandle file, std::int64_t size) override { return !fCrashed && Inner().Truncate(file, size); }
  bool Flush(FileHandle) override { return !fCrashed; }
  bool Sync(FileHandle) override { return !fCrashed; }

  bool Crashed() const { return fCrashed; }
  bool CrossedPage() const { return fCrossedPage; }

 private:
  CTGFileManager& fManager;
  std::int64_t fCrashAt;
  int fCut;
  Count fCount;
  std::int64_t fWrites = 0;
  bool fCrashed = false;
  bool fCrossedPage = false;
};

Snapshot Open(const std::string& path, bool* byMap = nullptr) {
  IFFResFile2 file;
  EXPECT_EQ(file.OpenFile(path), res_error::kNone);
  if (byMap) *byMap = file.OpenedByMap();
  return TakeSnapshot(file);
}

class IFFFaultTest : public ::testing::Test {
 protected:
  testing::MemoryScratchDir dir;
};

TEST_F(IFFFaultTest, CrashAtEveryWriteLeavesEveryResourceOldOrNew) {
  const std::string path = dir.File("crash.iff");
  const Snapshot base = MakeBase(path, 7, 24, 2000);
  const Bytes baseBytes = ReadAll(path);
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
  // What the next session does: mostly removals, so that its close compacts
  // (replacements would fill the holes that removals leave).
  std::vector<Op> recovery;
  {
    Snapshot model = base;
    OpSource source(5, 3000);
    while (recovery.size() < 40) {
      // A reopen before halfway: the rest works on a file opened through its
      // map, and its removals leave more holes than its replacements fill.
      if (recovery.size() == 17) recovery.push_back(Op{});
      Op op = source.Next(model);
      if (op.kind == Op::kAdd && recovery.size() % 4) continue;
      if (op.kind == Op::kReplace && recovery.size() % 5) op.kind = Op::kRemove;
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
        CrashingDisk disk(manager, n, tearIt ? 0 : -1);
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
        CrashingDisk noSync(manager, -1, -1);
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
      compacted += testing::FreeBlockCount(ReadAll(path), 76) == 0;
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
  RecordProperty("compacted_recoveries", compacted);
}

// One session of the chained crashes: random operations on the file until
// the disk stops, at a random write or, when the session runs out of
// operations first, between two.
struct Session {
  Snapshot before;  // the model before the operation in flight
  Snapshot after;   // and after it
  std::optional<Op> inFlight;
  bool cut = false;  // the last write was cut at a page boundary
};

template <typename File>
Session RunCrashingSession(const std::string& path, const Snapshot& model, std::mt19937& random) {
  constexpr int kOperations = 40;
  constexpr int kWritesBeforeCrash = 120;
  constexpr int kCrossingsBeforeCrash = 12;
  const std::uint32_t seed = random();
  // Half the crashes at any write, half at one that crosses a page boundary,
  // where a cut can fall (only a few writes do).
  const bool crossing = random() % 2;
  const std::int64_t crashAt = 1 + random() % (crossing ? kCrossingsBeforeCrash : kWritesBeforeCrash);
  const int cut = static_cast<int>(random() % 4) - 1;
  Session session{model, model, std::nullopt, false};
  // Reports of the refused writes go nowhere: the reopening checks.
  AssertCapture reports;
  CTGFileManager manager;
  CrashingDisk disk(manager, crashAt, cut,
                    crossing ? CrashingDisk::Count::kPageCrossings : CrashingDisk::Count::kEveryWrite);
  File file(manager);
  if (file.OpenFile(path) != res_error::kNone) {
    ADD_FAILURE() << "the last crash left a file that does not open";
    return session;
  }
  OpSource source(seed, 600, std::is_same_v<File, IFFResFile2>);
  for (int i = 0; i < kOperations && !disk.Crashed(); ++i) {
    const Op op = source.Next(session.before);
    const bool ok = Perform(file, path, op);
    session.after = session.before;
    testing::Apply(op, session.after);
    if (disk.Crashed()) {
      session.inFlight = op;
      session.cut = cut >= 0 && disk.CrossedPage();
      break;
    }
    EXPECT_TRUE(ok) << "an operation failed before the crash";
    session.before = session.after;
  }
  // The file object goes with the process: nothing it would write on the
  // way out lands.
  disk.Stop();
  return session;
}

// The first version keeps names in a list written at close, so a crash may
// take the names given since the file was opened; only bytes are compared.
Snapshot Compared(Snapshot snapshot, bool names) {
  if (!names) {
    for (auto& [key, value] : snapshot) value.name.clear();
  }
  return snapshot;
}

template <typename File>
void RunChainedCrashes(const std::string& path, Snapshot model, int rounds, std::uint32_t seed) {
  constexpr bool kNames = std::is_same_v<File, IFFResFile2>;
  SCOPED_TRACE(kNames ? "second version" : "first version");
  std::mt19937 random(seed);
  int crashes = 0;
  int cuts = 0;
  for (int round = 0; round < rounds; ++round) {
    const Session session = RunCrashingSession<File>(path, model, random);
    crashes += session.inFlight.has_value();
    cuts += session.cut;
    AssertCapture reports;
    File reader;
    ASSERT_EQ(reader.OpenFile(path), res_error::kNone) << "round " << round;
    const Snapshot found = TakeSnapshot(reader);
    reader.CloseFile();
    std::optional<Op> inFlight = session.inFlight;
    if (inFlight && !kNames) inFlight->value.name.clear();
    ExpectConsistent(Compared(found, kNames), Compared(session.before, kNames), Compared(session.after, kNames),
                     inFlight ? &*inFlight : nullptr, round);
    if (::testing::Test::HasFailure()) {
      for (const auto& report : reports.Reports()) ADD_FAILURE() << "reported: " << report;
      return;
    }
    model = found;
  }
  // Most sessions end in a crash, and many of those in a cut write.
  EXPECT_GT(crashes, rounds / 2);
  EXPECT_GT(cuts, rounds / 20);
  const std::string version = kNames ? "second_" : "first_";
  ::testing::Test::RecordProperty(version + "crashes", crashes);
  ::testing::Test::RecordProperty(version + "cut_writes", cuts);
}

// Fewer rounds for the first version: every reopening with 10240 free
// bytes or more compacts it, which costs a few hundred writes.
TEST_F(IFFFaultTest, ChainedCrashesLeaveEveryResourceOldOrNew) {
  const std::string second = dir.File("chained2.iff");
  RunChainedCrashes<IFFResFile2>(second, MakeBase(second, 1, 12, 600), 4000, 20240611);
  // This one reaches a torn append behind free space that may not be
  // reused, as a file whose map disagrees with its blocks has.
  const std::string another = dir.File("chained3.iff");
  RunChainedCrashes<IFFResFile2>(another, MakeBase(another, 1, 12, 600), 4000, 77772);
  const std::string first = dir.File("chained1.iff");
  RunChainedCrashes<IFFResFile>(first, MakeBase<IFFResFile>(first, 2, 12, 600), 1000, 20240612);
}

// One operation under fault injection: steps taken first without faults,
// then the operation with the Nth call of a kind failing.
struct FaultCase {
  const char* what;
  std::function<Op(const Snapshot&)> operation;
  std::function<std::vector<Op>(const Snapshot&)> before = nullptr;  // unarmed steps
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.what; }

Op FirstWith(const Snapshot& model, Op::Kind kind, std::function<bool(const ResValue&)> fits) {
  for (const auto& [key, value] : model) {
    if (!fits(value)) continue;
    Op op;
    op.kind = kind;
    op.key = key;
    op.value = value;
    return op;
  }
  ADD_FAILURE() << "no resource fits";
  return Op{};
}

Op Added(const Snapshot&) {
  Op op;
  op.kind = Op::kAdd;
  op.key = {MakeResType("OBJD"), 500, 0};
  op.value = {"added", Pattern(300, 500)};
  return op;
}

Op Reopen(const Snapshot&) { return Op{}; }

// Removes up to eight of the larger resources, so that the close compacts.
std::vector<Op> RemoveLarge(const Snapshot& model) {
  std::vector<Op> steps;
  for (const auto& [key, value] : model) {
    if (value.bytes.size() < 1500 || steps.size() == 8) continue;
    steps.push_back(Op{Op::kRemove, key, {}});
  }
  return steps;
}

// The first resource of more than ten bytes, replaced or rewritten with new
// bytes of its size or half of it.
std::function<Op(const Snapshot&)> Changed(Op::Kind kind, bool half, std::uint32_t seed) {
  return [=](const Snapshot& model) {
    Op op = FirstWith(model, kind, [](const ResValue& v) { return v.bytes.size() > 10; });
    op.value = {half ? "replaced" : op.value.name,
                Pattern(half ? op.value.bytes.size() / 2 : op.value.bytes.size(), seed)};
    return op;
  };
}

const FaultCase kFaultCases[] = {
    {"add", Added},
    {"replace with another size", Changed(Op::kReplace, true, 77)},
    {"replace with the same size", Changed(Op::kReplace, false, 78)},
    {"rewrite in place", Changed(Op::kInPlace, false, 79)},
    {"remove",
     [](const Snapshot& model) { return FirstWith(model, Op::kRemove, [](const ResValue&) { return true; }); }},
    {"close and reopen", Reopen,
     [](const Snapshot& model) {
       return std::vector<Op>{FirstWith(model, Op::kRemove, [](const ResValue& v) { return v.bytes.size() < 500; })};
     }},
    {"close that compacts", Reopen, RemoveLarge},
};

template <typename File>
void RunFaultCase(const FaultCase& c, const std::string& path, const Bytes& baseBytes, const Snapshot& base) {
  const IoOp kinds[] = {IoOp::kWrite, IoOp::kSeek, IoOp::kFlush, IoOp::kSync, IoOp::kTruncate};
  const char* const kindNames[] = {"write", "seek", "flush", "sync", "truncate"};
  int failures = 0;
  for (std::size_t k = 0; k < std::size(kinds); ++k) {
    for (int n = 1;; ++n) {
      WriteFileBytes(path, baseBytes);
      AssertCapture reports;
      Snapshot before = base;
      Op op;
      bool fired = false;
      {
        CTGFileManager manager;
        IoFaults faults(manager);
        File file(manager);
        ASSERT_EQ(file.OpenFile(path), res_error::kNone);
        for (const Op& step : c.before ? c.before(base) : std::vector<Op>{}) {
          ASSERT_TRUE(Perform(file, path, step)) << c.what;
          testing::Apply(step, before);
        }
        op = c.operation(before);
        faults.FailNth(kinds[k], n);
        Perform(file, path, op);
        fired = faults.Fired();
        faults.Clear();
        // The program goes on: it closes what is still open.
        if (file.IsOpen()) file.CloseFile();
      }
      if (!fired) break;
      ++failures;
      Snapshot after = before;
      testing::Apply(op, after);
      File reader;
      ASSERT_EQ(reader.OpenFile(path), res_error::kNone)
          << c.what << ": " << kindNames[k] << " " << n << " left a file that does not open";
      const Snapshot found = TakeSnapshot(reader);
      ExpectConsistent(found, before, after, &op, n);
      if (::testing::Test::HasFailure()) {
        ADD_FAILURE() << c.what << ": failing " << kindNames[k] << " " << n;
        return;
      }
    }
  }
  EXPECT_GT(failures, 0) << c.what;
}

class IFFFaultCaseTest : public IFFFaultTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(IFFFaultCaseTest, FailedCallLosesNothingTheOperationDidNotTouch) {
  const std::string second = dir.File("faults2.iff");
  const Snapshot secondBase = MakeBase(second, 11, 16, 3000);
  RunFaultCase<IFFResFile2>(GetParam(), second, ReadAll(second), secondBase);
  const std::string first = dir.File("faults1.iff");
  const Snapshot firstBase = MakeBase<IFFResFile>(first, 12, 16, 3000);
  RunFaultCase<IFFResFile>(GetParam(), first, ReadAll(first), firstBase);
}

INSTANTIATE_TEST_SUITE_P(Operations, IFFFaultCaseTest, ::testing::ValuesIn(kFaultCases), CaseName<FaultCase>);

// Freeing a block whose id and flags a page boundary splits: a kill that
// cuts the write there must not leave the free type on a block still flagged
// live, which a walk would take for a resource of that type.
TEST_F(IFFFaultTest, FreeingAcrossAPageBoundaryNeverLeavesAFreeTypedResource) {
  const std::string path = dir.File("page.iff");
  // The second block starts ten bytes before the page boundary: its type and
  // size lie in the first page, its id and flags across the boundary.
  const std::size_t firstData = static_cast<std::size_t>(kPage - 10 - kIFFFileHeaderSize - kIFFBlockHeaderSize2);
  {
    IFFResFile2 file;
    ASSERT_EQ(file.CreateFile(path), res_error::kNone);
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    for (ResID id : {1, 2}) {
      MHandle h = testing::HandleOf(testing::Pattern(id == 1 ? firstData : 500, id));
      ASSERT_EQ(file.AddResource(h, kSPR2, id, "", true), res_error::kNone);
      ASSERT_EQ(file.WriteResource(h), res_error::kNone);
    }
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  }
  ASSERT_EQ(testing::RawBlocks(testing::ReadAll(path), kIFFBlockHeaderSize2).at(1).offset, kPage - 10);
  for (int cut : {-1, 0}) {
    const testing::Bytes before = testing::ReadAll(path);
    {
      AssertCapture reports;
      CTGFileManager manager;
      CrashingDisk disk(manager, 1, cut, CrashingDisk::Count::kPageCrossings);
      IFFResFile2 file(manager);
      ASSERT_EQ(file.OpenFile(path), res_error::kNone);
      file.RemoveResource(file.GetResource(kSPR2, 2, nullptr));
    }
    IFFResFile2 reader;
    ASSERT_EQ(reader.OpenFile(path), res_error::kNone);
    EXPECT_EQ(reader.CountResources(kFreeBlockType), 0) << "cut " << cut;
    EXPECT_EQ(reader.CountResources(kSPR2), reader.GetResource(kSPR2, 2, nullptr) ? 2 : 1);
    reader.CloseFile();
    testing::WriteFileBytes(path, before);
  }
}

}  // namespace
}  // namespace pixmold
