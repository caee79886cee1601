#include "filelib/memory_file_system.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "filelib/file_path.h"

namespace pixmold {
namespace {

// Sizes a memory file may reach; far beyond any test, well below exhaustion.
constexpr std::int64_t kMaxMemoryFile = std::int64_t{1} << 32;

}  // namespace

void MemoryFileSystem::AddFile(std::string_view path, std::span<const unsigned char> bytes) {
  std::string key = PathKey(path);
  std::lock_guard lock(fLock);
  AddParents(key);
  fFiles[key] = std::make_shared<std::vector<unsigned char>>(bytes.begin(), bytes.end());
}

void MemoryFileSystem::AddFile(std::string_view path, std::string_view text) {
  AddFile(path, std::span(reinterpret_cast<const unsigned char*>(text.data()), text.size()));
}

std::optional<std::vector<unsigned char>> MemoryFileSystem::Contents(std::string_view path) const {
  std::lock_guard lock(fLock);
  auto it = fFiles.find(PathKey(path));
  if (it == fFiles.end()) return std::nullopt;
  return *it->second;
}

bool MemoryFileSystem::IsDirectory(const std::string& key) const { return fDirectories.count(key) != 0; }

void MemoryFileSystem::AddParents(const std::string& key) {
  for (std::string parent = ParentKey(key); !parent.empty(); parent = ParentKey(parent)) {
    if (!fDirectories.insert(parent).second) break;
  }
}

MemoryFileSystem::OpenFile* MemoryFileSystem::Find(FileHandle file) {
  auto it = fOpen.find(file);
  return it == fOpen.end() ? nullptr : &it->second;
}

FileHandle MemoryFileSystem::Open(const std::string& path, OpenMode mode) {
  std::string key = PathKey(path);
  std::lock_guard lock(fLock);
  auto it = fFiles.find(key);
  const bool create = mode == OpenMode::kCreate || mode == OpenMode::kCreateNew;
  if (mode == OpenMode::kCreateNew && (it != fFiles.end() || IsDirectory(key))) {
    errno = EEXIST;
    return kNoFile;
  }
  if (it == fFiles.end()) {
    if (!create || IsDirectory(key) || !IsDirectory(ParentKey(key))) return kNoFile;
    it = fFiles.emplace(key, std::make_shared<std::vector<unsigned char>>()).first;
  } else if (mode == OpenMode::kCreate) {
    it->second->clear();
  }
  FileHandle handle = fNextHandle++;
  fOpen.emplace(handle, OpenFile{it->second, mode != OpenMode::kRead, std::nullopt});
  return handle;
}

void MemoryFileSystem::Close(FileHandle file) {
  std::lock_guard lock(fLock);
  fOpen.erase(file);
  fLocksChanged.notify_all();
}

bool MemoryFileSystem::LockConflicts(FileHandle file, const OpenFile& open, LockKind kind) const {
  for (const auto& [handle, other] : fOpen) {
    if (handle == file || other.bytes != open.bytes || !other.lock) continue;
    if (kind == LockKind::kExclusive || *other.lock == LockKind::kExclusive) return true;
  }
  return false;
}

LockResult MemoryFileSystem::Lock(FileHandle file, LockKind kind, bool wait) {
  std::unique_lock lock(fLock);
  for (;;) {
    OpenFile* open = Find(file);
    if (!open) return LockResult::kFailed;
    if (!LockConflicts(file, *open, kind)) {
      open->lock = kind;
      fLocksChanged.notify_all();
      return LockResult::kLocked;
    }
    if (!wait) return LockResult::kBusy;
    fLocksChanged.wait(lock);
  }
}

void MemoryFileSystem::Unlock(FileHandle file) {
  std::lock_guard lock(fLock);
  if (OpenFile* open = Find(file)) open->lock.reset();
  fLocksChanged.notify_all();
}

std::int64_t MemoryFileSystem::ReadAt(FileHandle file, std::int64_t offset, void* buffer, std::size_t count) {
  std::lock_guard lock(fLock);
  OpenFile* open = Find(file);
  if (!open || offset < 0) return -1;
  const std::vector<unsigned char>& bytes = *open->bytes;
  if (offset >= static_cast<std::int64_t>(bytes.size())) return 0;
  std::size_t n = std::min(count, bytes.size() - static_cast<std::size_t>(offset));
  std::memcpy(buffer, bytes.data() + offset, n);
  return static_cast<std::int64_t>(n);
}

std::int64_t MemoryFileSystem::WriteAt(FileHandle file, std::int64_t offset, const void* buffer, std::size_t count) {
  std::lock_guard lock(fLock);
  OpenFile* open = Find(file);
  if (!open || !open->writable || offset < 0) return -1;
  if (count > static_cast<std::size_t>(kMaxMemoryFile - std::min(offset, kMaxMemoryFile))) return -1;
  std::vector<unsigned char>& bytes = *open->bytes;
  std::size_t end = static_cast<std::size_t>(offset) + count;
  if (end > bytes.size()) bytes.resize(end);
  if (count > 0) std::memcpy(bytes.data() + offset, buffer, count);
  return static_cast<std::int64_t>(count);
}

bool MemoryFileSystem::Seek(FileHandle file, std::int64_t offset) {
  std::lock_guard lock(fLock);
  return Find(file) != nullptr && offset >= 0;
}

std::int64_t MemoryFileSystem::Size(FileHandle file) {
  std::lock_guard lock(fLock);
  OpenFile* open = Find(file);
  return open ? static_cast<std::int64_t>(open->bytes->size()) : -1;
}

bool MemoryFileSystem::Truncate(FileHandle file, std::int64_t size) {
  std::lock_guard lock(fLock);
  OpenFile* open = Find(file);
  if (!open || !open->writable || size < 0 || size > kMaxMemoryFile) return false;
  open->bytes->resize(static_cast<std::size_t>(size));
  return true;
}

bool MemoryFileSystem::Flush(FileHandle file) {
  std::lock_guard lock(fLock);
  return Find(file) != nullptr;
}

bool MemoryFileSystem::Sync(FileHandle file) { return Flush(file); }

bool MemoryFileSystem::Remove(const std::string& path) {
  const std::string key = PathKey(path);
  std::lock_guard lock(fLock);
  if (fFiles.erase(key) != 0) return true;
  if (key == "/" || fDirectories.count(key) == 0) return false;
  for (const auto& [file, bytes] : fFiles) {
    if (ParentKey(file) == key) return false;
  }
  for (const std::string& dir : fDirectories) {
    if (dir != key && ParentKey(dir) == key) return false;
  }
  fDirectories.erase(key);
  return true;
}

// Files only: nothing here moves a directory. An open handle keeps the
// bytes it had, as a descriptor keeps its inode.
bool MemoryFileSystem::Rename(const std::string& from, const std::string& to) {
  const std::string fromKey = PathKey(from);
  const std::string toKey = PathKey(to);
  std::lock_guard lock(fLock);
  auto it = fFiles.find(fromKey);
  if (it == fFiles.end() || !IsDirectory(ParentKey(toKey)) || IsDirectory(toKey)) return false;
  Bytes bytes = it->second;
  fFiles.erase(it);
  fFiles[toKey] = std::move(bytes);
  return true;
}

EntryKind MemoryFileSystem::Kind(const std::string& path) {
  std::string key = PathKey(path);
  std::lock_guard lock(fLock);
  if (fFiles.count(key) != 0) return EntryKind::kFile;
  if (IsDirectory(key)) return EntryKind::kDirectory;
  return EntryKind::kMissing;
}

bool MemoryFileSystem::List(const std::string& directory, std::vector<DirEntry>& entries) {
  std::string key = PathKey(directory);
  std::lock_guard lock(fLock);
  if (!IsDirectory(key)) return false;
  for (const auto& [file, bytes] : fFiles) {
    if (ParentKey(file) == key) {
      entries.push_back(
          DirEntry{file.substr(file.rfind('/') + 1), EntryKind::kFile, static_cast<std::int64_t>(bytes->size())});
    }
  }
  for (const std::string& dir : fDirectories) {
    if (dir != key && ParentKey(dir) == key) {
      entries.push_back(DirEntry{dir.substr(dir.rfind('/') + 1), EntryKind::kDirectory, 0});
    }
  }
  return true;
}

bool MemoryFileSystem::MakeDirectories(const std::string& path) {
  std::string key = PathKey(path);
  std::lock_guard lock(fLock);
  for (std::string dir = key; !dir.empty(); dir = ParentKey(dir)) {
    if (fFiles.count(dir) != 0) return false;
  }
  AddParents(key);
  fDirectories.insert(key);
  return true;
}

}  // namespace pixmold
