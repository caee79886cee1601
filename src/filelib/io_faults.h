// Fault injection for the file library: makes the Nth call of a chosen kind
// (open, read, write, seek, truncate, flush, sync, remove, rename) fail, the way a
// full disk or a dying device would, so tests can prove that every caller
// turns an I/O failure into its error code and loses no data. The pattern is
// the classic one: for N = 1, 2, ... fail the Nth write, run the operation,
// check that what is on disk is still whole, and stop once the operation ran
// without reaching a planned failure (Fired() is false).
//
//   IoFaults faults;                       // wraps the process-wide manager
//   faults.FailNth(IoOp::kWrite, 3);       // the third write from now fails
//   EXPECT_EQ(file.Write(...), res_error::kShortWrite);
//
// An IoFaults installs itself as a decorator of its manager's current file
// system and puts that back when destroyed, so files opened before, during
// and after it keep working (several may be stacked; they must end in the
// reverse order, as scoped objects do). Without one, the manager calls the real POSIX
// layer directly: production code pays nothing. Calls are counted under a
// lock, so threads may share it.
//
// By default a failed call does nothing at all (a failed write writes no
// byte). TearFailedWrites makes a failed write first write the first half of
// its bytes and report that count, as a write cut short by a full disk does,
// so a test can check that a container survives a torn record too.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>

#include "filelib/file_system.h"

namespace pixmold {

class CTGFileManager;

enum class IoOp { kOpen, kRead, kWrite, kSeek, kTruncate, kFlush, kSync, kRemove, kRename };
inline constexpr int kIoOpCount = 9;

class IoFaults final : public FileSystemDecorator {
 public:
  // Installs itself under the manager (by default the process-wide one).
  IoFaults();
  explicit IoFaults(CTGFileManager& manager);
  ~IoFaults() override;
  IoFaults(const IoFaults&) = delete;
  IoFaults& operator=(const IoFaults&) = delete;

  // The nth call of op from now on fails (1 = the next one); with
  // persistent, every call after it fails too. n <= 0 removes the plan.
  void FailNth(IoOp op, int n, bool persistent = false);
  // Removes every plan; counts go on.
  void Clear();
  // A failing write of more than one byte writes its first half first.
  void TearFailedWrites(bool tear);
  // Calls of op since this object was installed.
  std::int64_t Calls(IoOp op) const;
  // Planned failures that happened.
  std::int64_t Failures() const;
  bool Fired() const { return Failures() > 0; }

  FileHandle Open(const std::string& path, OpenMode mode) override;
  std::int64_t ReadAt(FileHandle file, std::int64_t offset, void* buffer, std::size_t count) override;
  std::int64_t WriteAt(FileHandle file, std::int64_t offset, const void* buffer, std::size_t count) override;
  bool Seek(FileHandle file, std::int64_t offset) override;
  // Read, never mapped, so that a planned read failure reaches it too.
  std::optional<FileView> View(FileHandle file, std::int64_t offset, std::size_t count) override {
    return ReadView(*this, file, offset, count);
  }
  bool Truncate(FileHandle file, std::int64_t size) override;
  bool Flush(FileHandle file) override;
  bool Sync(FileHandle file) override;
  bool Remove(const std::string& path) override;
  bool Rename(const std::string& from, const std::string& to) override;

 private:
  struct Plan {
    std::int64_t calls = 0;
    std::int64_t failAt = 0;  // call number that fails; 0 for none
    bool persistent = false;
  };
  // Counts a call of op; true when it must fail.
  bool ShouldFail(IoOp op);

  CTGFileManager* fManager;
  mutable std::mutex fLock;
  std::array<Plan, kIoOpCount> fPlans{};
  std::int64_t fFailures = 0;
  bool fTear = false;
};

}  // namespace pixmold
