// Notes every file a run opens to read, so that a build can tell an outside
// build tool exactly which files its result came from. The list comes from
// the opens themselves, not from a second reading of the request: a sheet
// found under another letter case, a palette image beside it, a template or
// the object file's parts are listed because they were opened, and a file
// the build only thought about is not.
//
// A directory the run listed counts as read too: a build lists a folder
// when it looks for a file under another letter case or for an optional
// image, so a file that appears there later (an alpha image, a mask) must
// make the build run again, and a folder's time is what changes then.
//
// A file the run created (kCreate) is its own output, not an input, and is
// left out even when the run opens it again. The recorder installs itself as
// a decorator of its manager's file system, as the fault injector does, and
// puts the previous one back when destroyed. Opens may come from the build's
// worker thread while another thread asks for the list, so it keeps a lock.
// It passes the locking of the file system it records on through, or a
// recorded build would write object files another process has open.
#pragma once

#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "filelib/file_locks.h"
#include "filelib/file_system.h"

namespace pixmold {

class CTGFileManager;

class ReadRecorder final : public FileSystemDecorator, public FileLocking {
 public:
  // Installs itself under the manager (by default the process-wide one).
  ReadRecorder();
  explicit ReadRecorder(CTGFileManager& manager);
  ~ReadRecorder() override;
  ReadRecorder(const ReadRecorder&) = delete;
  ReadRecorder& operator=(const ReadRecorder&) = delete;

  FileHandle Open(const std::string& path, OpenMode mode) override;
  bool List(const std::string& directory, std::vector<DirEntry>& entries) override;
  LockResult Lock(FileHandle file, LockKind kind, bool wait) override;
  void Unlock(FileHandle file) override;

  // The paths opened for reading (or reading and writing) that existed
  // before the run made them, and the directories listed (without a
  // trailing separator), each once, in the order first used.
  std::vector<std::string> FilesRead() const;

 private:
  void Note(const std::string& path);  // caller holds the lock

  CTGFileManager* fManager;
  mutable std::mutex fLock;
  std::vector<std::string> fRead;
  std::set<std::string> fListed;
  std::set<std::string> fCreated;
};

}  // namespace pixmold
