// A file system held in memory, for tests and the archive fuzzer: no disk
// I/O, so a fuzzer can map thousands of archives a second and a test can
// build a directory tree in a few lines. It behaves as the POSIX layer does
// where callers can tell: paths are normalised like the manager's keys,
// directories exist when made or when a file lies below them, a file is
// created only inside an existing directory, an open file keeps its bytes
// after it is removed, and file locks are the handles' (file_locks.h).
#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "filelib/file_locks.h"
#include "filelib/file_system.h"

namespace pixmold {

class MemoryFileSystem final : public FileSystem, public FileLocking {
 public:
  // Puts a file, with any missing parent directories.
  void AddFile(std::string_view path, std::span<const unsigned char> bytes);
  void AddFile(std::string_view path, std::string_view text);
  // A file's bytes, or nothing when there is no such file.
  std::optional<std::vector<unsigned char>> Contents(std::string_view path) const;

  FileHandle Open(const std::string& path, OpenMode mode) override;
  void Close(FileHandle file) override;
  std::int64_t ReadAt(FileHandle file, std::int64_t offset, void* buffer, std::size_t count) override;
  std::int64_t WriteAt(FileHandle file, std::int64_t offset, const void* buffer, std::size_t count) override;
  bool Seek(FileHandle file, std::int64_t offset) override;
  std::int64_t Size(FileHandle file) override;
  bool Truncate(FileHandle file, std::int64_t size) override;
  bool Flush(FileHandle file) override;
  bool Sync(FileHandle file) override;
  LockResult Lock(FileHandle file, LockKind kind, bool wait) override;
  void Unlock(FileHandle file) override;
  bool Remove(const std::string& path) override;
  bool Rename(const std::string& from, const std::string& to) override;
  EntryKind Kind(const std::string& path) override;
  bool List(const std::string& directory, std::vector<DirEntry>& entries) override;
  bool MakeDirectories(const std::string& path) override;

 private:
  using Bytes = std::shared_ptr<std::vector<unsigned char>>;
  struct OpenFile {
    Bytes bytes;
    bool writable = false;
    std::optional<LockKind> lock;
  };
  // Whether another handle on the same bytes holds a lock that keeps out
  // one of this kind. Caller holds the lock.
  bool LockConflicts(FileHandle file, const OpenFile& open, LockKind kind) const;
  // Caller holds the lock.
  bool IsDirectory(const std::string& key) const;
  void AddParents(const std::string& key);
  OpenFile* Find(FileHandle file);

  mutable std::mutex fLock;
  std::condition_variable fLocksChanged;
  std::map<std::string, Bytes, std::less<>> fFiles;
  std::set<std::string, std::less<>> fDirectories{"/"};
  std::map<FileHandle, OpenFile> fOpen;
  FileHandle fNextHandle = 3;
};

}  // namespace pixmold
