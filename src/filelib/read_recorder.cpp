#include "filelib/read_recorder.h"

#include "filelib/ctg_file_manager.h"

namespace pixmold {

ReadRecorder::ReadRecorder() : ReadRecorder(CTGFileManager::Get()) {}

ReadRecorder::ReadRecorder(CTGFileManager& manager) : FileSystemDecorator(manager.Files()), fManager(&manager) {
  manager.SetFileSystem(*this);
}

ReadRecorder::~ReadRecorder() { fManager->SetFileSystem(Inner()); }

FileHandle ReadRecorder::Open(const std::string& path, OpenMode mode) {
  const FileHandle file = Inner().Open(path, mode);
  if (file == kNoFile) return file;
  std::lock_guard lock(fLock);
  if (mode == OpenMode::kCreate || mode == OpenMode::kCreateNew) {
    fCreated.insert(path);
  } else if (!fCreated.contains(path)) {
    Note(path);
  }
  return file;
}

bool ReadRecorder::List(const std::string& directory, std::vector<DirEntry>& entries) {
  if (!Inner().List(directory, entries)) return false;
  std::string path = directory;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  std::lock_guard lock(fLock);
  Note(path);
  return true;
}

// A file system without locking of its own opens files unlocked, so the
// recorder over it takes every lock at once.
LockResult ReadRecorder::Lock(FileHandle file, LockKind kind, bool wait) {
  FileLocking* inner = LockingOf(Inner());
  return inner != nullptr ? inner->Lock(file, kind, wait) : LockResult::kLocked;
}

void ReadRecorder::Unlock(FileHandle file) {
  if (FileLocking* inner = LockingOf(Inner())) inner->Unlock(file);
}

void ReadRecorder::Note(const std::string& path) {
  if (fListed.insert(path).second) fRead.push_back(path);
}

std::vector<std::string> ReadRecorder::FilesRead() const {
  std::lock_guard lock(fLock);
  return fRead;
}

}  // namespace pixmold
