// Advisory locks on whole files, so that two processes never write one
// object file at once (the later one would write its map over the other's
// additions) and no reader reads a file while another process writes it.
//
// A file opened for writing holds an exclusive lock for as long as it is
// open, a whole build included; a file opened for reading holds a shared
// lock. A lock belongs to the handle (two handles of one process conflict as
// two processes do) and the system releases it when its process dies, so a
// crashed writer never leaves a file locked.
//
// Locking is a capability of a file system beside its FileSystem interface:
// the POSIX layer and the memory file system have it; a file system without
// it (a fault-injecting decorator) opens files unlocked. It is off until a
// front end turns it on, since a library user that opens one file twice in
// one process would wait on itself.
#pragma once

#include <functional>
#include <string_view>

#include "filelib/file_system.h"

namespace pixmold {

enum class LockKind { kShared, kExclusive };
enum class LockResult { kLocked, kBusy, kFailed };

class FileLocking {
 public:
  // Shared locks keep exclusive ones out, an exclusive lock keeps out every
  // other. Without wait a conflicting lock gives kBusy at once. Asking again
  // changes the handle's lock; Close drops it.
  virtual LockResult Lock(FileHandle file, LockKind kind, bool wait) = 0;
  virtual void Unlock(FileHandle file) = 0;

 protected:
  ~FileLocking() = default;
};

// The locking of a file system, or null when it has none.
FileLocking* LockingOf(FileSystem& files);

struct LockPolicy {
  bool enabled = false;
  bool wait = true;  // else a file in use fails to open at once
  // Asked before waiting, when set: a thread that must not block (a
  // window's own thread) fails at once instead.
  std::function<bool()> mayWait;
  bool readOnly = false;  // writable opens are refused (commands that only read)
  // Told the path each time an open finds the file in use, before it waits
  // (or fails).
  std::function<void(std::string_view path)> inUse;
  // Told the path when a file waited for is ours at last.
  std::function<void(std::string_view path)> acquired;
};

// The process-wide policy every file manager follows.
void SetLockPolicy(LockPolicy policy);
LockPolicy CurrentLockPolicy();

// Takes the lock the policy asks for (exclusive when writable) on a file
// just opened by owner, a file manager: one per process, outside tests. A
// file its owner has open already is not locked again, since the owner
// holds it: a process never waits on itself. False when the file is not to
// be used, with errno EWOULDBLOCK when another process holds it. key identifies the file (the manager's path key); path
// is what the policy's inUse is told.
bool LockOpenedFile(FileSystem& files, FileHandle file, const void* owner, std::string_view key, std::string_view path,
                    bool writable);
// Called before an opened file's handle closes.
void ForgetOpenedFile(FileHandle file);

}  // namespace pixmold
