// Two writers on one file, and a writer with readers: the advisory locks of
// the file library keep a writer alone with the file for as long as it has
// it open, so no update is lost and no reader sees a half-written file. The
// rules are checked on the memory file system, where two managers stand for
// two processes; real processes check what only the kernel gives: one lock
// shared by two processes, and a lock released when its holder is killed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>

#include "filelib/ctg_file_manager.h"
#include "filelib/file_locks.h"
#include "filelib/memory_file_system.h"
#include "iff_test_util.h"
#include "resfile/iff_res_file2.h"
#include "support/child_process.h"
#include "support/res_type_names.h"

namespace pixmold {
namespace {

using namespace testing;

// Turns locking on for one test and records every file found in use.
class LockingOn {
 public:
  explicit LockingOn(bool wait) {
    LockPolicy policy;
    policy.enabled = true;
    policy.wait = wait;
    policy.inUse = [this](std::string_view path) {
      std::lock_guard lock(fMutex);
      fInUse.push_back(std::string(path));
    };
    SetLockPolicy(policy);
  }
  ~LockingOn() { SetLockPolicy(LockPolicy()); }
  std::vector<std::string> InUse() {
    std::lock_guard lock(fMutex);
    return fInUse;
  }

 private:
  std::mutex fMutex;
  std::vector<std::string> fInUse;
};

// A lock that must not be waited for is never waited for long: far longer
// than an open takes, far shorter than the suite's limit.
constexpr std::chrono::seconds kLockDeadline{10};

// Runs `open` on a thread of its own. When it has not returned by the
// deadline it waits on a lock it should not: `release` lets it go, and the
// test fails then rather than at the suite's limit.
template <typename Open, typename Release>
auto OpenWithinDeadline(Open open, Release release) {
  std::packaged_task<decltype(open())()> task(std::move(open));
  auto result = task.get_future();
  std::thread opener(std::move(task));
  if (result.wait_for(kLockDeadline) != std::future_status::ready) {
    ADD_FAILURE() << "the open waited on a lock";
    release();
  }
  opener.join();
  return result.get();
}

TEST(FileLocks, WritersExcludeEveryoneAndReadersShare) {
  struct Case {
    const char* what;
    bool firstWrites;
    bool secondWrites;
    bool sameProcess;
    bool secondOpens;
  };
  const Case cases[] = {
      {"writer, then writer", true, true, false, false},
      {"writer, then reader", true, false, false, false},
      {"reader, then writer", false, true, false, false},
      {"reader, then reader", false, false, false, true},
      {"writer, then writer in the same process", true, true, true, true},
  };
  const std::string path = "/objects/chair.iff";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LockingOn locking(false);
    MemoryFileSystem files;
    files.AddFile(path, "bytes");
    CTGFileManager first(files);
    CTGFileManager second(files);
    auto held = first.Open(path, c.firstWrites);
    ASSERT_TRUE(held);
    CTGFileManager& opener = c.sameProcess ? first : second;
    auto again = OpenWithinDeadline([&] { return opener.Open(path, c.secondWrites); }, [&] { held.reset(); });
    EXPECT_EQ(again != nullptr, c.secondOpens);
    again.reset();
    EXPECT_EQ(locking.InUse(), c.secondOpens ? std::vector<std::string>{} : std::vector<std::string>{path});
    held.reset();
    EXPECT_TRUE(second.Open(path, c.secondWrites)) << "once the holder has closed it";
  }
}

TEST(FileLocks, ReadOnlyCommandsNeverOpenForWriting) {
  MemoryFileSystem files;
  files.AddFile("/objects/chair.iff", "bytes");
  CTGFileManager manager(files);
  LockPolicy policy;
  policy.readOnly = true;
  SetLockPolicy(policy);
  EXPECT_FALSE(manager.Open("/objects/chair.iff", true));
  EXPECT_TRUE(manager.Open("/objects/chair.iff", false));
  SetLockPolicy(LockPolicy());
  EXPECT_TRUE(manager.Open("/objects/chair.iff", true));
}

TEST(FileLocks, AWriterWaitsForTheHolderAndSaysSoOnce) {
  LockingOn locking(true);
  MemoryFileSystem files;
  files.AddFile("/objects/chair.iff", "bytes");
  CTGFileManager holder(files);
  CTGFileManager waiter(files);
  auto held = holder.Open("/objects/chair.iff", true);
  ASSERT_TRUE(held);
  std::atomic<bool> opened{false};
  std::thread writer([&] { opened = waiter.Open("/objects/chair.iff", true) != nullptr; });
  const auto giveUp = std::chrono::steady_clock::now() + kLockDeadline;
  while (locking.InUse().empty() && std::chrono::steady_clock::now() < giveUp) std::this_thread::yield();
  EXPECT_FALSE(locking.InUse().empty()) << "the writer never found the file in use";
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(opened) << "still waiting while the holder has the file";
  held.reset();
  writer.join();
  EXPECT_TRUE(opened);
  EXPECT_EQ(locking.InUse().size(), 1u);
}

// The kernel releases the locks of a process that dies.
TEST(FileLocks, AKilledHoldersLockIsReleased) {
  TempDir dir;
  const std::string path = dir.Write("chair.iff", "bytes");
  LockingOn locking(false);
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    CTGFileManager holder;
    auto held = holder.Open(path, true);
    const char byte = held ? 'y' : 'n';
    if (write(ready[1], &byte, 1) != 1) _exit(2);
    pause();
    _exit(0);
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  ASSERT_EQ(byte, 'y');
  CTGFileManager other;
  EXPECT_FALSE(OpenWithinDeadline([&] { return other.Open(path, true); }, [&] { kill(child, SIGKILL); }))
      << "held by the live child";
  kill(child, SIGKILL);
  ASSERT_TRUE(testing::WaitForChild(child));
  EXPECT_TRUE(other.Open(path, true));
  close(ready[0]);
  close(ready[1]);
}

// Two processes add resources to one file at once, each opening, adding and
// closing the file for every resource: without the locks one would write
// its map over the other's additions.
TEST(FileLocks, TwoProcessesAddingToOneFileLoseNothing) {
  constexpr int kPerProcess = 30;
  TempDir dir;
  const std::string path = dir.File("shared.iff");
  ASSERT_EQ(IFFResFile2().CreateFile(path), res_error::kNone);
  pid_t children[2];
  for (int n = 0; n < 2; ++n) {
    children[n] = fork();
    ASSERT_GE(children[n], 0);
    if (children[n] != 0) continue;
    LockingOn locking(true);
    for (int i = 0; i < kPerProcess; ++i) {
      IFFResFile2 file;
      if (file.OpenFile(path) != res_error::kNone) _exit(2);
      const auto id = static_cast<ResID>(n * 1000 + i);
      if (file.AddResource(HandleOf(std::to_string(id)), kSTR, id, "", true) != res_error::kNone) _exit(3);
      if (file.CloseFile() != res_error::kNone) _exit(4);
    }
    _exit(0);
  }
  for (pid_t child : children) {
    // Two writers that hold the file's lock the wrong way deadlock; the
    // deadline ends them.
    EXPECT_EQ(testing::ExitStatusWithin(child), 0);
  }
  IFFResFile2 file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  EXPECT_EQ(file.CountResources(kSTR), 2 * kPerProcess);
  for (int n = 0; n < 2; ++n) {
    for (int i = 0; i < kPerProcess; ++i) {
      const auto id = static_cast<ResID>(n * 1000 + i);
      MHandle h = file.GetResource(kSTR, id, nullptr);
      EXPECT_EQ(h ? TextOf(h) : "<absent>", std::to_string(id));
    }
  }
}

}  // namespace
}  // namespace pixmold
