#include "filelib/io_faults.h"

#include "filelib/ctg_file_manager.h"

namespace pixmold {

IoFaults::IoFaults() : IoFaults(CTGFileManager::Get()) {}

IoFaults::IoFaults(CTGFileManager& manager) : FileSystemDecorator(manager.Files()), fManager(&manager) {
  manager.SetFileSystem(*this);
}

IoFaults::~IoFaults() { fManager->SetFileSystem(Inner()); }

void IoFaults::FailNth(IoOp op, int n, bool persistent) {
  std::lock_guard lock(fLock);
  Plan& plan = fPlans[static_cast<int>(op)];
  plan.failAt = n > 0 ? plan.calls + n : 0;
  plan.persistent = persistent;
}

void IoFaults::Clear() {
  std::lock_guard lock(fLock);
  for (Plan& plan : fPlans) {
    plan.failAt = 0;
    plan.persistent = false;
  }
}

void IoFaults::TearFailedWrites(bool tear) {
  std::lock_guard lock(fLock);
  fTear = tear;
}

std::int64_t IoFaults::Calls(IoOp op) const {
  std::lock_guard lock(fLock);
  return fPlans[static_cast<int>(op)].calls;
}

std::int64_t IoFaults::Failures() const {
  std::lock_guard lock(fLock);
  return fFailures;
}

bool IoFaults::ShouldFail(IoOp op) {
  std::lock_guard lock(fLock);
  Plan& plan = fPlans[static_cast<int>(op)];
  ++plan.calls;
  bool fail = plan.failAt != 0 && (plan.calls == plan.failAt || (plan.persistent && plan.calls > plan.failAt));
  if (fail) ++fFailures;
  return fail;
}

FileHandle IoFaults::Open(const std::string& path, OpenMode mode) {
  return ShouldFail(IoOp::kOpen) ? kNoFile : Inner().Open(path, mode);
}

std::int64_t IoFaults::ReadAt(FileHandle file, std::int64_t offset, void* buffer, std::size_t count) {
  return ShouldFail(IoOp::kRead) ? -1 : Inner().ReadAt(file, offset, buffer, count);
}

std::int64_t IoFaults::WriteAt(FileHandle file, std::int64_t offset, const void* buffer, std::size_t count) {
  if (!ShouldFail(IoOp::kWrite)) return Inner().WriteAt(file, offset, buffer, count);
  bool tear;
  {
    std::lock_guard lock(fLock);
    tear = fTear;
  }
  if (!tear || count < 2) return -1;
  return Inner().WriteAt(file, offset, buffer, count / 2);
}

bool IoFaults::Seek(FileHandle file, std::int64_t offset) {
  return !ShouldFail(IoOp::kSeek) && Inner().Seek(file, offset);
}

bool IoFaults::Truncate(FileHandle file, std::int64_t size) {
  return !ShouldFail(IoOp::kTruncate) && Inner().Truncate(file, size);
}

bool IoFaults::Flush(FileHandle file) { return !ShouldFail(IoOp::kFlush) && Inner().Flush(file); }

bool IoFaults::Sync(FileHandle file) { return !ShouldFail(IoOp::kSync) && Inner().Sync(file); }

bool IoFaults::Remove(const std::string& path) { return !ShouldFail(IoOp::kRemove) && Inner().Remove(path); }

bool IoFaults::Rename(const std::string& from, const std::string& to) {
  return !ShouldFail(IoOp::kRename) && Inner().Rename(from, to);
}

}  // namespace pixmold
