// Counts what passes through a file manager's file system while it lives:
// bytes read and written, modification marks, writeback hints and
// directory listings.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "filelib/ctg_file_manager.h"
#include "filelib/file_system.h"

namespace pixmold::testing {

class TransferCounter final : public FileSystemDecorator {
 public:
  explicit TransferCounter(CTGFileManager& manager) : FileSystemDecorator(manager.Files()), fManager(manager) {
    manager.SetFileSystem(*this);
  }
  ~TransferCounter() override { fManager.SetFileSystem(Inner()); }
  std::int64_t ReadAt(FileHandle file, std::int64_t offset, void* buffer, std::size_t count) override {
    const std::int64_t n = Inner().ReadAt(file, offset, buffer, count);
    read += std::max<std::int64_t>(n, 0);
    return n;
  }
  std::int64_t WriteAt(FileHandle file, std::int64_t offset, const void* buffer, std::size_t count) override {
    const std::int64_t n = Inner().WriteAt(file, offset, buffer, count);
    written += std::max<std::int64_t>(n, 0);
    return n;
  }
  bool MarkModified(FileHandle file) override {
    ++marked;
    return Inner().MarkModified(file);
  }
  void StartWriteback(FileHandle file, std::int64_t offset, std::int64_t count) override {
    writebacks.emplace_back(offset, count);
    Inner().StartWriteback(file, offset, count);
  }
  bool List(const std::string& directory, std::vector<DirEntry>& entries) override {
    ++lists;
    return Inner().List(directory, entries);
  }
  std::vector<std::pair<std::int64_t, std::int64_t>> writebacks;
  std::int64_t read = 0;
  std::int64_t written = 0;
  int marked = 0;
  int lists = 0;

 private:
  CTGFileManager& fManager;
};

}  // namespace pixmold::testing
