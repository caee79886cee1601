#include "resfile/iff_res_file2.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "filelib/ctg_file_manager.h"
#include "filelib/file_system.h"
#include "filelib/io_faults.h"
#include "iff_test_util.h"
#include "resfile/iff_format.h"
#include "support/assert_capture.h"
#include "support/res_type_names.h"

namespace pixmold {
namespace {

using namespace testing;

using IFF2Test = OpenContainerTest<IFFResFile2>;

TEST_F(IFF2Test, Version20FileIsWalkedAndGetsAMapAtClose) {
  Bytes bytes = testing::Header2('0', 0xDEADBEEF);
  testing::AppendBlock2(bytes, kSTR, 1, kNativeFlag, "old", {7, 8});
  ASSERT_EQ(OpenBytes(bytes), res_error::kNone);
  EXPECT_FALSE(file.OpenedByMap()) << "a 2.0 header's last bytes are not a map offset";
  Put(kSTR, 2, {9});
  Reopen();
  Bytes after = ReadAll(path);
  EXPECT_EQ(std::tuple(after[11], BE32At(after, BE32At(after, 60)), Get(kSTR, 1) + Get(kSTR, 2)),
            std::tuple('5', kResMapType, "\7\10\11"));
}

TEST_F(IFF2Test, VariantsShareTypeAndId) {
  NewFile();
  Put(kSPR2, 5, {0}, "plain", 0);
  Put(kSPR2, 5, {1}, "first", 1);
  EXPECT_EQ(file.CountResources(kSPR2), 2) << "variants count too";
  Reopen();
  // A missing variant falls back to variant 0; names find variant 0 only.
  EXPECT_EQ(Get(kSPR2, 5) + Get(kSPR2, 5, 1) + Get(kSPR2, 5, 2), std::string("\0\1\0", 3));
  MHandle h = file.GetVariantResource(kSPR2, 5, 1, nullptr);
  EXPECT_EQ(std::tuple(file.GetResVariant(h), file.GetNamedResource(kSPR2, "first", nullptr)), std::tuple(1, nullptr));
  ASSERT_EQ(file.SetResInfo(h, 6, "moved", 3), res_error::kNone);
  EXPECT_EQ(file.GetVariantResource(kSPR2, 6, 3, nullptr), h);
  Reopen(true);
  EXPECT_EQ(Get(kSPR2, 6, 3), "\1") << "the new id and variant are in the block header";
  EXPECT_EQ(NameOf(file.GetVariantResource(kSPR2, 6, 3, nullptr)), "moved");
}

TEST_F(IFF2Test, LongNamesAreCutTo63Characters) {
  NewFile();
  const std::string longName(64, 'n');
  AssertCapture reports;
  Put(kSTR, 1, {1}, longName);
  EXPECT_TRUE(reports.Saw("name too long"));
  Reopen();
  EXPECT_EQ(NameOf(file.GetResource(kSTR, 1, nullptr)), longName.substr(0, 63));
  CTGString unique(longName.substr(0, 63));
  file.UniqueName(kSTR, unique);
  EXPECT_EQ(unique.Str(), longName.substr(0, 62) + "0") << "the number fits in the 63 characters";
}

TEST_F(IFF2Test, ResourceOfTheMapTypeIsReportedAndDropped) {
  NewFile();
  AssertCapture reports;
  Put(kResMapType, 3, {1});
  Put(kSTR, 1, {1});
  Reopen();
  EXPECT_TRUE(reports.Saw("howd that happen?"));
  EXPECT_EQ(file.CountTypes(), 1);
}

TEST_F(IFF2Test, CodesOfVariantsStrangersAndARefusedHeap) {
  NewFile();
  Put(kSTR, 1, {1, 2, 3});
  MHandle stranger = HandleOf(Bytes{1});
  EXPECT_EQ(Miss(file.GetResVariant(stranger)), res_error::kNotFound);
  EXPECT_EQ(Miss(!file.IsResourceNative(stranger)), res_error::kNotThisFile);
  DisposeHandle(stranger);
  EXPECT_EQ(Miss(file.GetIndType(0)), res_error::kTypeIndexRange);
  // The heap refuses the bytes of a resource being loaded.
  file.ReleaseAndDispose(file.GetResource(kSTR, 1, nullptr));
  AssertCapture reports;
  FailHandleAllocationAfter(1);
  EXPECT_EQ(Miss(file.GetResource(kSTR, 1, nullptr)), res_error::kOutOfMemory);
  FailHandleAllocationAfter(0);
}

TEST_F(IFF2Test, FailedWritesGiveTheFlatFileCodes) {
  ASSERT_EQ(file.CreateFile(path), res_error::kNone);
  CTGFileManager manager;
  IoFaults faults(manager);
  IFFResFile2 faulty(manager);
  ASSERT_EQ(faulty.OpenFile(path), res_error::kNone);
  AssertCapture reports;
  MHandle h = HandleOf(Bytes{1, 2});
  ASSERT_EQ(faulty.AddResource(h, kSTR, 1, "", true), res_error::kNone);
  std::vector<ResErr> codes;
  for (IoOp op : {IoOp::kWrite, IoOp::kSeek, IoOp::kFlush}) {
    faults.FailNth(op, 1);
    codes.push_back(op == IoOp::kFlush ? faulty.UpdateFile() : faulty.WriteResource(h));
  }
  EXPECT_EQ(codes, (std::vector<ResErr>{res_error::kShortWrite, res_error::kShortRead, res_error::kOpenFailed}));
  EXPECT_TRUE(reports.Saw("could not make new header") && reports.Saw("could not flush file"));
  EXPECT_EQ(faulty.CloseFile(), res_error::kNone);
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  EXPECT_EQ(Get(kSTR, 1), std::string("\1\2"));
}

// Bytes read and written through a manager's file system while it lives.
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
  std::int64_t read = 0;
  std::int64_t written = 0;

 private:
  CTGFileManager& fManager;
};

// A rebuild replaces every resource in file order, the way a build of the
// same art does. Each replacement takes the space the ones before it freed,
// so no resource is written twice (a close that closes up the holes would
// copy every block after the first) and none is read back. A resource that
// grows lands whole, and however many rebuilds run, the file stays within
// its live blocks and three of the largest (past that, a close compacts).
TEST(IFF2Rebuilds, ReplacementsFillTheSpaceTheyFreeAndNothingMoves) {
  TempDir dir;
  const std::string path = dir.File("rebuilt.iff");
  constexpr ResID kCount = 12;
  std::vector<std::size_t> sizes;
  for (ResID id = 1; id <= kCount; ++id) sizes.push_back(id % 2 ? 300000 : 700 + id);
  auto expected = [&](ResID id, std::uint32_t round) {
    return Pattern(sizes[static_cast<std::size_t>(id - 1)], round * 100 + static_cast<std::uint32_t>(id));
  };
  auto build = [&](std::uint32_t round, bool create) {
    IFFResFile2 file;
    if (create) {
      ASSERT_EQ(file.CreateFile(path), res_error::kNone);
    }
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    for (ResID id = 1; id <= kCount; ++id) {
      MHandle h = HandleOf(expected(id, round));
      ASSERT_EQ(file.AddResource(h, kSPR2, id, "", true), res_error::kNone);
      ASSERT_EQ(file.WriteResource(h), res_error::kNone);
      file.ReleaseAndDispose(h);
    }
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  };
  build(0, true);
  for (std::uint32_t round = 1; round <= 8; ++round) {
    SCOPED_TRACE(round);
    // The fifth round makes the third resource grow past every hole.
    if (round == 5) sizes[2] = 450000;
    std::int64_t data = 0;
    for (std::size_t size : sizes) data += static_cast<std::int64_t>(size) + kIFFBlockHeaderSize2;
    TransferCounter counter(CTGFileManager::Get());
    build(round, false);
    if (round < 5) {
      EXPECT_LE(counter.written, data + 8192) << "each resource written once";
      EXPECT_LT(counter.read, 300000) << "no resource read back";
    }
    const Bytes bytes = ReadAll(path);
    std::int64_t live = kIFFFileHeaderSize;
    std::int64_t largest = 0;
    int maps = 0;
    for (const auto& block : RawBlocks(bytes, kIFFBlockHeaderSize2)) {
      if (block.flags & kInvalid) continue;
      live += block.size;
      largest = std::max<std::int64_t>(largest, block.size);
      maps += block.type == kResMapType;
    }
    EXPECT_LE(static_cast<std::int64_t>(bytes.size()), live + 3 * largest);
    EXPECT_EQ(maps, 1) << "the map a walk passed over is freed";
    for (bool walk : {false, true}) {
      if (walk) {
        ASSERT_EQ(IFFResFile2().ClearMap(path), res_error::kNone);
      }
      IFFResFile2 reader;
      ASSERT_EQ(reader.OpenFile(path), res_error::kNone);
      for (ResID id = 1; id <= kCount; ++id) {
        MHandle h = reader.GetResource(kSPR2, id, nullptr);
        EXPECT_EQ(h ? BytesOf(h) : Bytes{}, expected(id, round)) << id << (walk ? " walked" : " by map");
      }
    }
  }
}

// A close that keeps its holes still cuts the free space after the last
// block: a file whose last resource went ends where the one before it does.
TEST(IFF2Rebuilds, TheFreeTailIsCutAtClose) {
  TempDir dir;
  const std::string path = dir.File("tail.iff");
  IFFResFile2 file;
  ASSERT_EQ(file.CreateFile(path), res_error::kNone);
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  ASSERT_EQ(file.AddResource(HandleOf(Pattern(20000, 1)), kSPR2, 1, "", true), res_error::kNone);
  ASSERT_EQ(file.AddResource(HandleOf(Pattern(30000, 2)), kSPR2, 2, "", true), res_error::kNone);
  ASSERT_EQ(file.CloseFile(), res_error::kNone);
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  ASSERT_EQ(file.RemoveResource(file.GetResource(kSPR2, 1, nullptr)), res_error::kNone);
  ASSERT_EQ(file.CloseFile(), res_error::kNone);
  const Bytes bytes = ReadAll(path);
  std::int64_t live = kIFFFileHeaderSize;
  for (const auto& block : RawBlocks(bytes, kIFFBlockHeaderSize2)) {
    if (!(block.flags & kInvalid)) live += block.size;
  }
  EXPECT_EQ(static_cast<std::int64_t>(bytes.size()), live);
}

}  // namespace
}  // namespace pixmold
