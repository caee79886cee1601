// The memory file system stands in for the disk in tests and the fuzzer, so
// both must answer every call alike; each case runs against both.
#include "filelib/file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "filelib/memory_file_system.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

class FileSystemTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam()) {
      fFiles = &PosixFileSystem();
      fRoot = fTemp.Path().string();
    } else {
      fMemory = std::make_unique<MemoryFileSystem>();
      fMemory->MakeDirectories("/mem");
      fFiles = fMemory.get();
      fRoot = "/mem";
    }
  }
  std::string At(const std::string& name) const { return fRoot + "/" + name; }

  FileSystem* fFiles = nullptr;
  std::string fRoot;
  testing::TempDir fTemp;
  std::unique_ptr<MemoryFileSystem> fMemory;
};

TEST_P(FileSystemTest, CreateWriteReadTruncateRemove) {
  FileSystem& fs = *fFiles;
  EXPECT_EQ(fs.Open(At("a.bin"), OpenMode::kRead), kNoFile);
  EXPECT_EQ(fs.Open(At("a.bin"), OpenMode::kReadWrite), kNoFile);
  FileHandle h = fs.Open(At("a.bin"), OpenMode::kCreate);
  ASSERT_NE(h, kNoFile);
  EXPECT_EQ(fs.WriteAt(h, 0, "hello", 5), 5);
  EXPECT_EQ(fs.WriteAt(h, 7, "!", 1), 1);  // leaves a zero-filled hole
  EXPECT_EQ(fs.Size(h), 8);
  char buffer[16] = {};
  EXPECT_EQ(fs.ReadAt(h, 3, buffer, sizeof buffer), 5);
  EXPECT_EQ(std::string(buffer, 5), std::string("lo\0\0!", 5));
  EXPECT_EQ(fs.ReadAt(h, 8, buffer, 4), 0);
  EXPECT_EQ(fs.ReadAt(h, 100, buffer, 4), 0);
  EXPECT_TRUE(fs.Truncate(h, 2));
  EXPECT_EQ(fs.Size(h), 2);
  EXPECT_TRUE(fs.Seek(h, 0));
  EXPECT_TRUE(fs.Flush(h));
  EXPECT_TRUE(fs.Sync(h));
  fs.Close(h);

  h = fs.Open(At("a.bin"), OpenMode::kRead);
  ASSERT_NE(h, kNoFile);
  EXPECT_EQ(fs.Size(h), 2);
  EXPECT_EQ(fs.WriteAt(h, 0, "x", 1), -1);
  EXPECT_FALSE(fs.Truncate(h, 0));
  fs.Close(h);

  h = fs.Open(At("a.bin"), OpenMode::kCreate);
  EXPECT_EQ(fs.Size(h), 0);
  // An open file outlives its removal.
  EXPECT_EQ(fs.WriteAt(h, 0, "abc", 3), 3);
  EXPECT_TRUE(fs.Remove(At("a.bin")));
  EXPECT_EQ(fs.ReadAt(h, 0, buffer, 3), 3);
  fs.Close(h);
  EXPECT_EQ(fs.Open(At("a.bin"), OpenMode::kRead), kNoFile);
}

// A view holds the same bytes as a read, from any offset, and stays
// readable after the file is closed and replaced, or cut short while the
// view is held (as a renderer rewriting a sheet during a build does).
TEST_P(FileSystemTest, ViewsHoldTheBytesAReadGives) {
  FileSystem& fs = *fFiles;
  std::vector<std::uint8_t> bytes(300 * 1024);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 4096);
  ASSERT_TRUE(WriteWholeFile(fs, At("big.bin"), bytes));
  const FileHandle h = fs.Open(At("big.bin"), OpenMode::kRead);
  ASSERT_NE(h, kNoFile);
  for (const std::int64_t offset : {std::int64_t{0}, std::int64_t{4096}, std::int64_t{1001}}) {
    SCOPED_TRACE(offset);
    const std::size_t count = bytes.size() - static_cast<std::size_t>(offset);
    std::optional<FileView> view = fs.View(h, offset, count);
    ASSERT_TRUE(view);
    ASSERT_EQ(view->Bytes().size(), count);
    EXPECT_TRUE(std::equal(view->Bytes().begin(), view->Bytes().end(), bytes.begin() + offset));
  }
  std::optional<FileView> small = fs.View(h, 10, 100);
  ASSERT_TRUE(small);
  EXPECT_TRUE(std::equal(small->Bytes().begin(), small->Bytes().end(), bytes.begin() + 10));
  EXPECT_FALSE(fs.View(h, 1, bytes.size()));
  EXPECT_FALSE(fs.View(h, static_cast<std::int64_t>(bytes.size()) + 1, 0));
  std::optional<FileView> kept = fs.View(h, 0, bytes.size());
  fs.Close(h);
  const FileHandle cutter = fs.Open(At("big.bin"), OpenMode::kReadWrite);
  ASSERT_NE(cutter, kNoFile);
  ASSERT_TRUE(fs.Truncate(cutter, 10));
  fs.Close(cutter);
  ASSERT_TRUE(kept);
  EXPECT_TRUE(std::equal(kept->Bytes().begin(), kept->Bytes().end(), bytes.begin()));
  ASSERT_TRUE(WriteWholeFile(fs, At("other.bin"), {bytes.data(), 10}));
  ASSERT_TRUE(fs.Rename(At("other.bin"), At("big.bin")));
  ASSERT_TRUE(kept);
  FileView moved = std::move(*kept);
  EXPECT_TRUE(std::equal(moved.Bytes().begin(), moved.Bytes().end(), bytes.begin()));
}

TEST_P(FileSystemTest, DirectoriesKindsAndRemoval) {
  FileSystem& fs = *fFiles;
  EXPECT_EQ(fs.Kind(fRoot), EntryKind::kDirectory);
  EXPECT_EQ(fs.Kind(At("none")), EntryKind::kMissing);
  EXPECT_EQ(fs.Open(At("no/dir/a.bin"), OpenMode::kCreate), kNoFile);
  EXPECT_EQ(fs.Open(fRoot, OpenMode::kRead), kNoFile);
  ASSERT_TRUE(fs.MakeDirectories(At("sub/deeper")));
  EXPECT_EQ(fs.Kind(At("sub")), EntryKind::kDirectory);
  FileHandle h = fs.Open(At("sub/b.bin"), OpenMode::kCreate);
  ASSERT_NE(h, kNoFile);
  EXPECT_EQ(fs.WriteAt(h, 0, "abc", 3), 3);
  fs.Close(h);
  EXPECT_EQ(fs.Kind(At("sub/b.bin")), EntryKind::kFile);
  EXPECT_FALSE(fs.MakeDirectories(At("sub/b.bin/c")));

  std::vector<DirEntry> entries;
  ASSERT_TRUE(fs.List(At("sub"), entries));
  std::sort(entries.begin(), entries.end(), [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  std::string listed;
  for (const DirEntry& e : entries)
    listed += e.name + (e.kind == EntryKind::kFile ? " file " + std::to_string(e.size) : " directory") + ";";
  EXPECT_EQ(listed, "b.bin file 3;deeper directory;");
  EXPECT_FALSE(fs.List(At("sub/b.bin"), entries));
  EXPECT_FALSE(fs.List(At("none"), entries));

  // A directory goes only once it is empty.
  EXPECT_FALSE(fs.Remove(At("sub")));
  EXPECT_TRUE(fs.Remove(At("sub/b.bin")));
  EXPECT_FALSE(fs.Remove(At("sub/b.bin")));
  EXPECT_EQ(fs.Kind(At("sub/b.bin")), EntryKind::kMissing);
  EXPECT_FALSE(fs.Remove(At("sub")));
  EXPECT_TRUE(fs.Remove(At("sub/deeper")));
  EXPECT_TRUE(fs.Remove(At("sub")));
  EXPECT_EQ(fs.Kind(At("sub")), EntryKind::kMissing);
}

// What an all-or-nothing writer relies on: the new name takes the old one's
// place, a reader's open handle keeps what it had, and a failed rename
// leaves both names as they were.
TEST_P(FileSystemTest, RenameReplacesTheFileOfTheNewName) {
  FileSystem& fs = *fFiles;
  const auto write = [&](const std::string& name, const std::string& text) {
    FileHandle h = fs.Open(At(name), OpenMode::kCreate);
    ASSERT_NE(h, kNoFile);
    EXPECT_EQ(fs.WriteAt(h, 0, text.data(), text.size()), static_cast<std::int64_t>(text.size()));
    fs.Close(h);
  };
  const auto read = [&](const std::string& name) {
    FileHandle h = fs.Open(At(name), OpenMode::kRead);
    if (h == kNoFile) return std::string("(missing)");
    char buffer[16] = {};
    const std::int64_t n = fs.ReadAt(h, 0, buffer, sizeof buffer);
    fs.Close(h);
    return std::string(buffer, static_cast<std::size_t>(std::max<std::int64_t>(n, 0)));
  };
  write("old.bmp", "old");
  write("new.tmp", "newer");
  FileHandle reader = fs.Open(At("old.bmp"), OpenMode::kRead);
  ASSERT_NE(reader, kNoFile);
  EXPECT_TRUE(fs.Rename(At("new.tmp"), At("old.bmp")));
  EXPECT_EQ(read("old.bmp"), "newer");
  EXPECT_EQ(fs.Kind(At("new.tmp")), EntryKind::kMissing);
  char buffer[4] = {};
  EXPECT_EQ(fs.ReadAt(reader, 0, buffer, 3), 3);
  EXPECT_EQ(std::string(buffer, 3), "old");
  fs.Close(reader);

  EXPECT_FALSE(fs.Rename(At("new.tmp"), At("other.bmp")));
  EXPECT_FALSE(fs.Rename(At("old.bmp"), At("no/dir/old.bmp")));
  EXPECT_EQ(read("old.bmp"), "newer");
  EXPECT_EQ(read("other.bmp"), "(missing)");
}

// A listing sees through a link to a file (its target's size and mode) but
// not to a folder, as Kind() does, and marks files nobody may write.
TEST(PosixFileSystemListing, FollowsLinksToFilesAndMarksReadOnlyFiles) {
  testing::TempDir dir;
  dir.Write("data/plain.bin", std::string_view("abcd"));
  dir.Write("locked.bin", std::string_view("abcdefg"));
  std::filesystem::permissions(dir.File("locked.bin"), std::filesystem::perms::owner_read);
  std::filesystem::create_directories(dir.File("data/folder"));
  std::filesystem::create_symlink(dir.File("locked.bin"), dir.File("data/to_locked"));
  std::filesystem::create_symlink(dir.File("data/folder"), dir.File("data/to_folder"));
  std::filesystem::create_symlink(dir.File("gone"), dir.File("data/to_nothing"));
  std::vector<DirEntry> entries;
  ASSERT_TRUE(PosixFileSystem().List(dir.File("data"), entries));
  std::sort(entries.begin(), entries.end(), [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  std::string listed;
  for (const DirEntry& e : entries) {
    listed += e.name + (e.kind == EntryKind::kFile        ? " file " + std::to_string(e.size)
                        : e.kind == EntryKind::kDirectory ? std::string(" directory")
                                                          : std::string(" other"));
    listed += e.readOnly ? " read-only;" : ";";
  }
  EXPECT_EQ(listed, "folder directory;plain.bin file 4;to_folder other;to_locked file 7 read-only;to_nothing other;");
}

INSTANTIATE_TEST_SUITE_P(BothLayers, FileSystemTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Posix" : "Memory"; });

}  // namespace
}  // namespace pixmold
