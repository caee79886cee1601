#include "resfile/iff_res_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "iff_test_util.h"
#include "resfile/iff_format.h"
#include "support/assert_capture.h"
#include "support/res_type_names.h"

namespace pixmold {
namespace {

using namespace testing;

// The offset of the live block that holds a resource, found by walking.
std::int64_t BlockOf(const Bytes& bytes, ResType type, ResID id) {
  for (const auto& block : RawBlocks(bytes, 16)) {
    if (block.type == type && block.id == id && !(block.flags & kInvalid))
      return static_cast<std::int64_t>(block.offset);
  }
  return -1;
}

using IFF1Test = OpenContainerTest<IFFResFile>;

TEST_F(IFF1Test, NameListComesFirstAndBlocksStoreNameIndexes) {
  NewFile();
  auto blocks = RawBlocks(ReadAll(path), 16);
  ASSERT_EQ(blocks.size(), 1u);
  EXPECT_EQ(std::pair(blocks[0].type, blocks[0].flags & (kInternalFlag | kNativeFlag)),
            std::pair(kNAME, kInternalFlag | kNativeFlag));
  Put(kSPR, 200, {1, 2, 3}, "chair");
  Put(kSPR, 201, {4}, "");
  Put(kSTR, 300, {'a', 'b'}, "labels");
  file.CloseFile();
  // The block stores the name's index, one above the largest in use.
  const Bytes bytes = ReadAll(path);
  std::vector<std::int32_t> indexes;
  for (const auto& block : RawBlocks(bytes, 16)) {
    if (block.type == kSPR || block.type == kSTR)
      indexes.push_back(static_cast<std::int32_t>(BE32At(bytes, block.offset + 12)));
  }
  EXPECT_EQ(indexes, (std::vector<std::int32_t>{1, -1, 2}));
}

TEST_F(IFF1Test, RewriteOfTheSameSizeStaysInPlaceAndAnotherSizeFreesTheOldBlock) {
  NewFile();
  MHandle h = Put(kSPR, 1, Pattern(100, 1));
  Put(kSPR, 2, Pattern(10, 2));
  const std::int64_t first = BlockOf(ReadAll(path), kSPR, 1);
  HandleLock(h).Data()[0] ^= 0xFF;
  ASSERT_EQ(file.WriteResource(h), res_error::kNone);
  Bytes bytes = ReadAll(path);
  EXPECT_EQ(std::tuple(BlockOf(bytes, kSPR, 1), bytes[static_cast<std::size_t>(first) + 16], file.FreeBytes()),
            std::tuple(first, Pattern(100, 1)[0] ^ 0xFF, 0));
  ASSERT_EQ(SetHandleSize(h, 150), 0);
  ASSERT_EQ(file.WriteResource(h), res_error::kNone);
  bytes = ReadAll(path);
  EXPECT_GT(BlockOf(bytes, kSPR, 1), first);
  EXPECT_EQ(std::tuple(BE32At(bytes, static_cast<std::size_t>(first)),
                       bytes[static_cast<std::size_t>(first) + 11] & kInvalid, file.FreeBytes()),
            std::tuple(MakeResType("XXXX"), kInvalid, 116));
}

struct ReuseCase {
  std::int32_t smaller;  // how much smaller the new resource is than the freed one
  bool reused;
  std::int32_t rest;  // size of the free block left behind it, 0 for none
};

class IFF1ReuseTest : public IFF1Test, public ::testing::WithParamInterface<ReuseCase> {};

TEST_P(IFF1ReuseTest, FreeBlockIsTakenSplitOrPassedOver) {
  const ReuseCase& c = GetParam();
  NewFile();
  MHandle doomed = Put(kSPR, 1, Pattern(100, 1));
  Put(kSPR, 2, Pattern(10, 2));
  ASSERT_EQ(file.RemoveResource(doomed), res_error::kNone);
  Reopen();
  const std::int64_t freed = RawBlocks(ReadAll(path), 16)[1].offset;
  EXPECT_EQ(file.FreeBytes(), 116);
  const Bytes added = Pattern(static_cast<std::size_t>(100 - c.smaller), 3);
  Put(kOBJD, 3, added);
  Reopen();
  Bytes bytes = ReadAll(path);
  EXPECT_EQ(BlockOf(bytes, kOBJD, 3) == freed, c.reused);
  std::int64_t restSize = 0;
  for (const auto& block : RawBlocks(bytes, 16)) restSize += (block.flags & kInvalid) ? block.size : 0;
  EXPECT_EQ(restSize, c.reused ? c.rest : 116);
  EXPECT_EQ(Get(kOBJD, 3), std::string(added.begin(), added.end()));
}

INSTANTIATE_TEST_SUITE_P(Sizes, IFF1ReuseTest,
                         ::testing::Values(ReuseCase{0, true, 0}, ReuseCase{1, false, 0}, ReuseCase{15, false, 0},
                                           ReuseCase{16, true, 16}, ReuseCase{17, true, 17}, ReuseCase{60, true, 60}));

TEST_F(IFF1Test, OlderNameListIsReadAndRewrittenInTheCurrentForm) {
  Bytes bytes = Header1();
  Bytes names;
  for (auto [index, text] : {std::pair{3, std::string("door")}, std::pair{9, std::string("window")}}) {
    testing::AppendLE(names, static_cast<std::uint32_t>(index), 4);
    names.push_back(static_cast<std::uint8_t>(text.size()));
    names.insert(names.end(), text.begin(), text.end());
  }
  names.push_back(7);  // a cut-off record at the end is ignored
  AppendBlock1(bytes, kNAME, 0, kInternalFlag | kNativeFlag, -1, names);
  AppendBlock1(bytes, kSPR, 10, kNativeFlag, 9, {1});
  AppendBlock1(bytes, kSPR, 11, kNativeFlag, 3, {2});
  AssertCapture reports;
  ASSERT_EQ(OpenBytes(bytes), res_error::kNone);
  EXPECT_EQ(std::tuple(Get(kSPR, 10), IdOf(file.GetNamedResource(kSPR, "door", nullptr))), std::tuple("\1", 11));
  Put(kSPR, 12, {3}, "new");
  Reopen();
  EXPECT_EQ(reports.Count(), 0u);
  std::vector<int> lists;  // ids of the live name lists
  for (const auto& block : RawBlocks(ReadAll(path), 16)) {
    if (block.type == kNAME && !(block.flags & kInvalid)) lists.push_back(block.id);
  }
  EXPECT_EQ(lists, std::vector<int>{1});
  EXPECT_EQ(IdOf(file.GetNamedResource(kSPR, "window", nullptr)), 10);
}

TEST_F(IFF1Test, NameListProblemsAndInternalModeMisuseAreReported) {
  Bytes foreign = Header1();
  AppendBlock1(foreign, kNAME, 0, kInternalFlag, -1, {1, 0, 0, 0, 1, 'a'});
  AssertCapture reports;
  ASSERT_EQ(OpenBytes(foreign), res_error::kNone);
  EXPECT_TRUE(reports.Saw("code to swizzle names not implemented"));
  file.CloseFile();
  Bytes nameless = Header1();
  AppendBlock1(nameless, kSPR, 1, kNativeFlag, 4, {1});
  ASSERT_EQ(OpenBytes(nameless), res_error::kNone);
  EXPECT_TRUE(reports.Saw("no names cache"));
  NameOf(file.GetResource(kSPR, 1, nullptr));
  EXPECT_TRUE(reports.Saw("name index not found"));
  file.EnterInternalMode();
  file.EnterInternalMode();
  EXPECT_TRUE(reports.Saw("entering internal mode more than once"));
  EXPECT_EQ(file.CountTypes(), 0);
  file.ExitInternalMode();
  file.ExitInternalMode();
  EXPECT_TRUE(reports.Saw("exiting internal mode more than once"));
  EXPECT_EQ(file.CountTypes(), 1);
  file.CloseFile();
  // A name list holding the largest index has no room for new names.
  Bytes full = Header1();
  AppendBlock1(full, kNAME, 0, kInternalFlag | kNativeFlag, -1, {0xFF, 0xFF, 0xFF, 0x7F, 1, 'z'});
  ASSERT_EQ(OpenBytes(full), res_error::kNone);
  MHandle named = HandleOf(Bytes{1});
  EXPECT_EQ(file.AddResource(named, kSPR, 1, "named", true), res_error::kNoNameIndex);
  DisposeHandle(named);
  MHandle unnamed = HandleOf(Bytes{2});
  EXPECT_EQ(file.AddResource(unnamed, kSPR, 2, "", true), res_error::kNone);
  EXPECT_EQ(file.SetResInfo(unnamed, 2, "late", 0), res_error::kNoNameIndex);
  EXPECT_EQ(file.CloseFile(), res_error::kNone);
}

}  // namespace
}  // namespace pixmold
