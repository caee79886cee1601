#include "filelib/ctg_file.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "filelib/ctg_file_manager.h"
#include "filelib/far_writer.h"
#include "filelib/io_faults.h"
#include "filelib/memory_file_system.h"

namespace pixmold {
namespace {

std::string Pattern(std::size_t size, int seed) {
  std::string text(size, '\0');
  for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>((i * 31 + seed) % 251);
  return text;
}

class CTGFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FarWriter writer;
    writer.Add("pad", Pattern(1000, 1));
    writer.Add("big", Pattern(10000, 2));
    fFiles.AddFile("/d/a.far", writer.Build());
    fFiles.AddFile("/d/loose.bin", Pattern(10000, 2));
    ASSERT_TRUE(fManager.MapFAR("/d/a.far"));
  }

  MemoryFileSystem fFiles;
  CTGFileManager fManager{fFiles};
};

// A member and a loose file with the same bytes read alike through every mix
// of small (cached) and large (direct) reads and seeks.
TEST_F(CTGFileTest, MixedReadsAgreeWithTheBytes) {
  const std::string expected = Pattern(10000, 2);
  for (const char* path : {"/d/big", "/d/loose.bin"}) {
    SCOPED_TRACE(path);
    std::unique_ptr<CTGFile> file = fManager.Open(path, false);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Size(), 10000);
    const std::size_t steps[] = {1, 3, 4095, 1, 4096, 17, 5000};
    std::string seen;
    std::size_t i = 0;
    for (;;) {
      std::string chunk(steps[i++ % std::size(steps)], '\0');
      std::int64_t n = file->Read(chunk.data(), chunk.size());
      ASSERT_GE(n, 0);
      if (n == 0) break;
      seen.append(chunk, 0, static_cast<std::size_t>(n));
      EXPECT_EQ(file->Tell(), static_cast<std::int64_t>(seen.size()));
    }
    EXPECT_EQ(seen, expected);
    ASSERT_TRUE(file->Seek(4094));
    std::uint32_t value = 0;
    ASSERT_TRUE(file->ReadU32LE(value));
    std::uint32_t want = 0;
    for (int b = 3; b >= 0; --b) want = (want << 8) | static_cast<unsigned char>(expected[4094 + b]);
    EXPECT_EQ(value, want);
    ASSERT_TRUE(file->Seek(9998));
    EXPECT_FALSE(file->ReadU32LE(value));
  }
}

// A view is all of the asked bytes or nothing, never past a member's end
// into the next, and a failed read fails it without moving the position.
TEST_F(CTGFileTest, ViewsAreWholeWithinTheirFileOrFail) {
  const std::string expected = Pattern(10000, 2);
  for (const char* path : {"/d/big", "/d/loose.bin"}) {
    SCOPED_TRACE(path);
    std::unique_ptr<CTGFile> file = fManager.Open(path, false);
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->Seek(100));
    std::optional<FileView> view = file->View(5000);
    ASSERT_TRUE(view);
    EXPECT_EQ(std::string(view->Bytes().begin(), view->Bytes().end()), expected.substr(100, 5000));
    EXPECT_EQ(file->Tell(), 5100);
    ASSERT_TRUE(file->Seek(9000));
    EXPECT_FALSE(file->View(1001));
    EXPECT_EQ(file->Tell(), 9000);
    {
      IoFaults faults(fManager);
      faults.FailNth(IoOp::kRead, 1);
      EXPECT_FALSE(file->View(1000));
      EXPECT_TRUE(faults.Fired());
    }
    EXPECT_EQ(file->Tell(), 9000);
    view = file->View(1000);
    ASSERT_TRUE(view);
    EXPECT_EQ(std::string(view->Bytes().begin(), view->Bytes().end()), expected.substr(9000));
    // Bytes a small read has already brought into the cache come from there.
    ASSERT_TRUE(file->Seek(30));
    char head[8];
    ASSERT_EQ(file->Read(head, sizeof head), 8);
    view = file->View(2000);
    ASSERT_TRUE(view);
    EXPECT_EQ(std::string(view->Bytes().begin(), view->Bytes().end()), expected.substr(38, 2000));
    EXPECT_EQ(file->Tell(), 2038);
  }
}

TEST_F(CTGFileTest, WritesExtendAndSizeLooseFiles) {
  std::unique_ptr<CTGFile> file = fManager.Open("/d/loose.bin", true);
  ASSERT_TRUE(file);
  EXPECT_TRUE(file->IsWritable());
  EXPECT_EQ(file->Write("abc", 0), 0);
  ASSERT_TRUE(file->Seek(10000));
  EXPECT_EQ(file->Write("abc", 3), 3);
  EXPECT_EQ(file->Size(), 10003);
  EXPECT_FALSE(file->Extend(5));
  ASSERT_TRUE(file->Extend(10010));
  EXPECT_EQ(file->Tell(), 10010);
  EXPECT_EQ(fFiles.Contents("/d/loose.bin")->size(), 10010u);
  ASSERT_TRUE(file->SetSize(4));
  EXPECT_EQ(file->Size(), 4);
  EXPECT_EQ(file->Tell(), 4);
}

TEST_F(CTGFileTest, AFailedReadLeavesThePositionAndRecovers) {
  std::unique_ptr<CTGFile> file = fManager.Open("/d/big", false);
  ASSERT_TRUE(file);
  IoFaults faults(fManager);
  faults.FailNth(IoOp::kRead, 1);
  char buffer[8];
  EXPECT_EQ(file->Read(buffer, 8), -1);
  EXPECT_EQ(file->Tell(), 0);
  EXPECT_EQ(file->Read(buffer, 8), 8);
  EXPECT_EQ(std::string(buffer, 8), Pattern(8, 2));
}

TEST(IoFaults, CountsCallsAndFailsThePlannedOnes) {
  MemoryFileSystem files;
  files.AddFile("/x.bin", "abcdef");
  CTGFileManager manager(files);
  std::unique_ptr<CTGFile> file = manager.Open("/x.bin", true);
  ASSERT_TRUE(file);
  {
    IoFaults faults(manager);
    EXPECT_EQ(&manager.Files(), &faults);
    faults.FailNth(IoOp::kWrite, 2);
    EXPECT_EQ(file->Write("1", 1), 1);
    EXPECT_FALSE(faults.Fired());
    EXPECT_EQ(file->Write("2", 1), -1);
    EXPECT_EQ(faults.Failures(), 1);
    EXPECT_EQ(file->Write("3", 1), 1);
    EXPECT_EQ(faults.Calls(IoOp::kWrite), 3);

    faults.FailNth(IoOp::kSync, 1, true);
    EXPECT_FALSE(file->Sync());
    EXPECT_FALSE(file->Sync());
    faults.Clear();
    EXPECT_TRUE(file->Sync());
    EXPECT_EQ(faults.Failures(), 3);

    {
      IoFaults inner(manager);
      inner.FailNth(IoOp::kFlush, 1);
      EXPECT_FALSE(file->Flush());
      EXPECT_EQ(faults.Calls(IoOp::kFlush), 0);  // the inner one refused it first
    }
    EXPECT_EQ(&manager.Files(), &faults);
    EXPECT_TRUE(file->Flush());
    faults.FailNth(IoOp::kOpen, 1);
    EXPECT_EQ(manager.Open("/x.bin", false), nullptr);
    EXPECT_NE(manager.Open("/x.bin", false), nullptr);
    faults.FailNth(IoOp::kTruncate, 1);
    EXPECT_FALSE(file->SetSize(0));
    faults.FailNth(IoOp::kSeek, 1);
    EXPECT_FALSE(file->Seek(0));
    faults.FailNth(IoOp::kRemove, 1);
    EXPECT_FALSE(manager.Delete("/x.bin"));
    faults.FailNth(IoOp::kWrite, 0);
    EXPECT_EQ(file->Write("4", 1), 1);
  }
  EXPECT_EQ(&manager.Files(), &files);
  EXPECT_EQ(*files.Contents("/x.bin"), (std::vector<unsigned char>{'1', '3', '4', 'd', 'e', 'f'}));
}

}  // namespace
}  // namespace pixmold
