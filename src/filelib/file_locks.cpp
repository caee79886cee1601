#include "filelib/file_locks.h"

#include <cerrno>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace pixmold {
namespace {

std::mutex& PolicyLock() {
  static std::mutex lock;
  return lock;
}

LockPolicy& Policy() {
  static LockPolicy policy;
  return policy;
}

// The files each owner has open under the policy, and how often.
using FileKey = std::pair<const void*, std::string>;
struct OpenedFiles {
  std::map<FileKey, int> counts;
  std::map<FileHandle, FileKey> byHandle;
};

OpenedFiles& Opened() {
  static OpenedFiles opened;
  return opened;
}

}  // namespace

FileLocking* LockingOf(FileSystem& files) { return dynamic_cast<FileLocking*>(&files); }

void SetLockPolicy(LockPolicy policy) {
  std::lock_guard lock(PolicyLock());
  Policy() = std::move(policy);
}

LockPolicy CurrentLockPolicy() {
  std::lock_guard lock(PolicyLock());
  return Policy();
}

bool LockOpenedFile(FileSystem& files, FileHandle file, const void* owner, std::string_view key, std::string_view path,
                    bool writable) {
  const LockPolicy policy = CurrentLockPolicy();
  FileLocking* locking = LockingOf(files);
  if (!policy.enabled || !locking) return true;
  FileKey fileKey{owner, std::string(key)};
  {
    std::lock_guard lock(PolicyLock());
    OpenedFiles& opened = Opened();
    const bool held = opened.counts[fileKey]++ > 0;
    opened.byHandle[file] = fileKey;
    if (held) return true;
  }
  const LockKind kind = writable ? LockKind::kExclusive : LockKind::kShared;
  LockResult result = locking->Lock(file, kind, false);
  if (result == LockResult::kBusy) {
    if (policy.inUse) policy.inUse(path);
    if (policy.wait && (!policy.mayWait || policy.mayWait())) result = locking->Lock(file, kind, true);
    if (result == LockResult::kLocked && policy.acquired) policy.acquired(path);
  }
  if (result == LockResult::kLocked) return true;
  const int reason = result == LockResult::kBusy ? EWOULDBLOCK : errno;
  ForgetOpenedFile(file);
  errno = reason;
  return false;
}

void ForgetOpenedFile(FileHandle file) {
  std::lock_guard lock(PolicyLock());
  OpenedFiles& opened = Opened();
  auto it = opened.byHandle.find(file);
  if (it == opened.byHandle.end()) return;
  auto count = opened.counts.find(it->second);
  if (count != opened.counts.end() && --count->second <= 0) opened.counts.erase(count);
  opened.byHandle.erase(it);
}

}  // namespace pixmold
