// The recorder must list what a run read and nothing it wrote, whatever
// order the opens come in.
#include "filelib/read_recorder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filelib/ctg_file_manager.h"
#include "filelib/memory_file_system.h"

namespace pixmold {
namespace {

struct Step {
  std::string path;
  OpenMode mode;
};

struct RecorderCase {
  const char* what;
  std::vector<Step> opens;
  std::vector<std::string> read;
};

TEST(ReadRecorder, ListsEachFileOpenedToReadOnce) {
  const std::vector<RecorderCase> cases = {
      {"reads in first-open order", {{"/t/b", OpenMode::kRead}, {"/t/a", OpenMode::kRead}}, {"/t/b", "/t/a"}},
      {"a repeat is listed once", {{"/t/a", OpenMode::kRead}, {"/t/a", OpenMode::kReadWrite}}, {"/t/a"}},
      {"read-write is a read (the object file)", {{"/t/a", OpenMode::kReadWrite}}, {"/t/a"}},
      {"a created file is an output", {{"/t/new", OpenMode::kCreate}, {"/t/new", OpenMode::kRead}}, {}},
      {"created after a read stays listed", {{"/t/a", OpenMode::kRead}, {"/t/a", OpenMode::kCreate}}, {"/t/a"}},
      {"a failed open is no read", {{"/t/missing", OpenMode::kRead}, {"/t/a", OpenMode::kRead}}, {"/t/a"}},
  };
  for (const RecorderCase& test : cases) {
    MemoryFileSystem disk;
    disk.AddFile("/t/a", "a");
    disk.AddFile("/t/b", "b");
    CTGFileManager manager(disk);
    std::vector<std::string> read;
    {
      ReadRecorder recorder(manager);
      for (const Step& step : test.opens) {
        const FileHandle file = manager.Files().Open(step.path, step.mode);
        if (file != kNoFile) manager.Files().Close(file);
      }
      read = recorder.FilesRead();
    }
    EXPECT_EQ(read, test.read) << test.what;
    EXPECT_EQ(&manager.Files(), &disk) << test.what << ": the recorder must put the file system back";
  }
}

TEST(ReadRecorder, SeesFilesTheManagerOpens) {
  MemoryFileSystem disk;
  disk.AddFile("/t/sheet.tga", "pixels");
  CTGFileManager manager(disk);
  ReadRecorder recorder(manager);
  std::unique_ptr<CTGFile> file = manager.Open("/t/sheet.tga", false);
  ASSERT_NE(file, nullptr);
  manager.Close(std::move(file));
  std::vector<DirEntry> entries;
  EXPECT_TRUE(manager.Files().List("/t/", entries));
  EXPECT_FALSE(manager.Files().List("/none", entries));
  EXPECT_EQ(recorder.FilesRead(), (std::vector<std::string>{"/t/sheet.tga", "/t"}))
      << "a listed folder is read too, so that a file appearing in it rebuilds";
}

// Recording a build must not unlock it: the locks of the file system below
// hold through the recorder, and one without locks stays without.
TEST(ReadRecorder, KeepsTheLocksOfTheFileSystemItRecords) {
  MemoryFileSystem disk;
  disk.AddFile("/t/chair.iff", "object");
  CTGFileManager manager(disk);
  const FileHandle other = disk.Open("/t/chair.iff", OpenMode::kReadWrite);
  ASSERT_EQ(disk.Lock(other, LockKind::kExclusive, false), LockResult::kLocked);
  {
    ReadRecorder recorder(manager);
    FileLocking* locking = LockingOf(manager.Files());
    ASSERT_NE(locking, nullptr);
    const FileHandle mine = manager.Files().Open("/t/chair.iff", OpenMode::kReadWrite);
    EXPECT_EQ(locking->Lock(mine, LockKind::kShared, false), LockResult::kBusy);
    disk.Unlock(other);
    EXPECT_EQ(locking->Lock(mine, LockKind::kExclusive, false), LockResult::kLocked);
    locking->Unlock(mine);
    manager.Files().Close(mine);
  }
  disk.Close(other);

  struct Unlocked final : FileSystemDecorator {
    using FileSystemDecorator::FileSystemDecorator;
  } unlocked(disk);
  CTGFileManager plain(unlocked);
  ReadRecorder recorder(plain);
  const FileHandle file = plain.Files().Open("/t/chair.iff", OpenMode::kRead);
  EXPECT_EQ(LockingOf(plain.Files())->Lock(file, LockKind::kExclusive, false), LockResult::kLocked);
  plain.Files().Close(file);
}

}  // namespace
}  // namespace pixmold
