// A writer killed at a random moment must leave a file that opens, in which
// every resource it was not working on is exactly as it was, and the one it
// was working on is in its old or its new state (a rewrite in place of the
// same size may leave that one resource torn).
//
// A child process opens a version 2.5 file and adds, replaces, rewrites in
// place and removes resources, now and then closing and reopening the file
// (which writes the map and may compact), until the parent kills it. Child
// and parent draw the same operations from the same generator; the child
// records in shared memory how many it started and finished, so the parent
// knows the state before the operation in flight and the state after it.
// The file is carried from one kill to the next, so each child also starts
// from whatever the previous crash left.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "iff_ops.h"
#include "support/assert_capture.h"
#include "support/child_process.h"

namespace pixmold {
namespace {

using namespace testing;

constexpr int kKills = 220;
constexpr int kMaxOperationsBeforeKill = 24;
constexpr int kMaxDelayMicros = 1000;
struct Progress {
  std::atomic<std::int64_t> started{0};
  std::atomic<std::int64_t> finished{0};
};

[[noreturn]] void RunChild(const std::string& path, Snapshot model, std::uint32_t seed, Progress* progress) {
  // Reports of damage the last crash left go nowhere: the parent checks.
  SetAssertSink([](const std::string&) {});
  IFFResFile2 file;
  if (file.OpenFile(path) != res_error::kNone) _exit(2);
  OpSource source(seed);
  for (;;) {
    const Op op = source.Next(model);
    progress->started.fetch_add(1);
    if (!Perform(file, path, op)) _exit(3);
    Apply(op, model);
    progress->finished.fetch_add(1);
  }
}

TEST(IFFCrash, KilledWriterLeavesOldOrNewStateOfEveryResource) {
  testing::MemoryScratchDir dir;
  const std::string path = dir.File("crash.iff");
  Snapshot model = MakeBase(path, 1, 12, 600);
  auto* progress = static_cast<Progress*>(
      mmap(nullptr, sizeof(Progress), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(progress, MAP_FAILED);
  std::mt19937 timing(20240611);
  int openedByMap = 0;
  std::int64_t operations = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    new (progress) Progress();
    const std::uint32_t seed = timing();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) RunChild(path, model, seed, progress);
    // Waiting for a chosen number of started operations, not for a fixed
    // time, keeps the kills spread across the work on a loaded machine.
    const std::int64_t startedBeforeKill = timing() % kMaxOperationsBeforeKill;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (progress->started.load() < startedBeforeKill && std::chrono::steady_clock::now() < giveUp) {
      std::this_thread::yield();
    }
    std::this_thread::sleep_for(std::chrono::microseconds(timing() % kMaxDelayMicros));
    ::kill(child, SIGKILL);
    const std::optional<int> ended = testing::WaitForChild(child);
    ASSERT_TRUE(ended) << "kill " << kill;
    const int status = *ended;
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child stopped by itself with " << WEXITSTATUS(status);

    // Replay the child's operations to know the states around the kill.
    const std::int64_t started = progress->started.load();
    const std::int64_t finished = progress->finished.load();
    operations += finished;
    Snapshot before = model;
    OpSource source(seed);
    Op op;
    for (std::int64_t i = 0; i < started; ++i) {
      op = source.Next(before);
      if (i < finished) Apply(op, before);
    }
    Snapshot after = before;
    const bool inFlight = started > finished;
    if (inFlight) Apply(op, after);

    AssertCapture reports;
    IFFResFile2 file;
    ASSERT_EQ(file.OpenFile(path), res_error::kNone) << "kill " << kill;
    openedByMap += file.OpenedByMap();
    Snapshot found = TakeSnapshot(file);
    ExpectConsistent(found, before, after, inFlight ? &op : nullptr, kill);
    if (::testing::Test::HasFailure()) {
      for (const auto& r : reports.Reports()) ADD_FAILURE() << "reported: " << r;
    }
    file.CloseFile();
    if (::testing::Test::HasFailure()) break;
    model = found;
  }
  munmap(progress, sizeof(Progress));
  // The kills must land across the work, not only before it starts.
  EXPECT_GT(operations, kKills);
  EXPECT_GT(openedByMap, 0);
  RecordProperty("operations", static_cast<int>(operations));
  RecordProperty("opened_by_map", openedByMap);
}

}  // namespace
}  // namespace pixmold
