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
  if (mode == OpenMode::kCreate) {
    fCreated.insert(path);
  } else if (!fCreated.contains(path) && fListed.insert(path).second) {
    fRead.push_back(path);
  }
  return file;
}

std::vector<std::string> ReadRecorder::FilesRead() const {
  std::lock_guard lock(fLock);
  return fRead;
}

}  // namespace pixmold
