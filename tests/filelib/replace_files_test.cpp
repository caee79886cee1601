#include "filelib/replace_files.h"

#include <gtest/gtest.h>

#include <string>

#include "filelib/memory_file_system.h"

namespace pixmold {
namespace {

// Fails the nth call that changes the disk (create, write, flush, sync,
// rename), as a full disk or a pulled cable would.
class FailNthChange final : public FileSystemDecorator {
 public:
  FailNthChange(FileSystem& inner, int n) : FileSystemDecorator(inner), fFailAt(n) {}
  FileHandle Open(const std::string& path, OpenMode mode) override {
    return mode == OpenMode::kCreate && Fails() ? kNoFile : Inner().Open(path, mode);
  }
  std::int64_t WriteAt(FileHandle file, std::int64_t offset, const void* buffer, std::size_t count) override {
    return Fails() ? -1 : Inner().WriteAt(file, offset, buffer, count);
  }
  bool Flush(FileHandle file) override { return !Fails() && Inner().Flush(file); }
  bool Sync(FileHandle file) override { return !Fails() && Inner().Sync(file); }
  bool Rename(const std::string& from, const std::string& to) override { return !Fails() && Inner().Rename(from, to); }
  bool Fired() const { return fCalls >= fFailAt; }

 private:
  bool Fails() { return ++fCalls == fFailAt; }
  int fFailAt;
  int fCalls = 0;
};

std::string Text(const MemoryFileSystem& files, const std::string& path) {
  const auto bytes = files.Contents(path);
  return bytes ? std::string(bytes->begin(), bytes->end()) : "(missing)";
}

// Whichever change fails, nothing but the targets is left in the folder:
// before the renames every target is old; at a rename, those renamed before
// it are new and the rest old. With no failure all three are new.
TEST(ReplaceFiles, EveryFailureLeavesTheTargetsOldAndNoTemporaryBehind) {
  for (int n = 1;; ++n) {
    MemoryFileSystem disk;
    disk.AddFile("/art/a.bmp", "old a");
    disk.AddFile("/art/b.bmp", "old b");
    FailNthChange failing(disk, n);
    const std::vector<FileReplacement> files = {
        {"/art/a.bmp", {'n', 'e', 'w', ' ', 'a'}}, {"/art/b.bmp", {'n', 'e', 'w', ' ', 'b'}}, {"/art/c.bmp", {'c'}}};
    const ReplaceOutcome outcome = ReplaceFiles(failing, files);
    std::vector<DirEntry> entries;
    ASSERT_TRUE(disk.List("/art", entries));
    const std::string state =
        Text(disk, "/art/a.bmp") + "|" + Text(disk, "/art/b.bmp") + "|" + Text(disk, "/art/c.bmp");
    if (!failing.Fired()) {
      EXPECT_TRUE(outcome.ok);
      EXPECT_EQ(state, "new a|new b|c");
      EXPECT_EQ(entries.size(), 3u);
      EXPECT_GT(n, 12);  // three files of create, write, flush, sync and rename each
      break;
    }
    ASSERT_FALSE(outcome.ok) << n;
    EXPECT_FALSE(outcome.failedPath.empty());
    std::string want = "old a|old b|(missing)";
    if (outcome.step == "rename" && outcome.failedPath == "/art/b.bmp") want = "new a|old b|(missing)";
    if (outcome.step == "rename" && outcome.failedPath == "/art/c.bmp") want = "new a|new b|(missing)";
    EXPECT_EQ(state, want) << n << " " << outcome.step;
    EXPECT_EQ(entries.size(), 2u) << n;
  }
}

}  // namespace
}  // namespace pixmold
