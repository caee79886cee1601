#include "resfile/iff_res_file.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "iff_test_util.h"
#include "resfile/iff_format.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

using namespace testing;

constexpr ResType kSPR = MakeResType("SPR#");
constexpr ResType kSTR = MakeResType("STR#");
constexpr ResType kOBJD = MakeResType("OBJD");
constexpr ResType kNAME = MakeResType("NAME");

std::string NameOf(iResFile& file, MHandle h) {
  CTGString name("?");
  file.GetResName(h, name);
  return name.Str();
}

ResID IdOf(iResFile& file, MHandle h) {
  ResID id = 0;
  return file.GetResID(h, id);
}

// The offset of the live block that holds a resource, found by walking.
std::int64_t BlockOf(const Bytes& bytes, ResType type, ResID id) {
  for (const auto& block : RawBlocks(bytes, 16)) {
    const auto blockID = static_cast<ResID>((bytes[block.offset + 8] << 8) | bytes[block.offset + 9]);
    if (block.type == type && blockID == id && !(block.flags & kInvalid))
      return static_cast<std::int64_t>(block.offset);
  }
  return -1;
}

using IFF1Test = OpenContainerTest<IFFResFile>;

TEST_F(IFF1Test, NameListComesFirstAndBlocksStoreNameIndexes) {
  NewFile();
  auto blocks = RawBlocks(FileBytes(path), 16);
  ASSERT_EQ(blocks.size(), 1u);
  EXPECT_EQ(blocks[0].type, kNAME);
  EXPECT_EQ(blocks[0].flags & (kInternalFlag | kNativeFlag), kInternalFlag | kNativeFlag);
  Put(kSPR, 200, {1, 2, 3}, "chair");
  Put(kSPR, 201, {4}, "");
  Put(kSTR, 300, {'a', 'b'}, "labels");
  file.CloseFile();
  // The block stores the name's index, one above the largest in use.
  Bytes bytes = FileBytes(path);
  std::vector<std::int32_t> indexes;
  for (const auto& block : RawBlocks(bytes, 16)) {
    if (block.type == kSPR || block.type == kSTR)
      indexes.push_back(static_cast<std::int32_t>(BE32At(bytes, block.offset + 12)));
  }
  EXPECT_EQ(indexes, (std::vector<std::int32_t>{1, -1, 2}));
}

TEST_F(IFF1Test, VariantsAndSuspensionAreNotSupported) {
  NewFile();
  MHandle h = Put(kSPR, 1, {9});
  EXPECT_EQ(file.SetResInfo(h, 1, "", 2), res_error::kVariantUnsupported);
  EXPECT_EQ(file.SuspendFile(), res_error::kOpenFailed);
  EXPECT_EQ(file.ResumeFile(), res_error::kOpenFailed);
}

TEST_F(IFF1Test, RewriteOfTheSameSizeStaysInPlaceAndAnotherSizeFreesTheOldBlock) {
  NewFile();
  MHandle h = Put(kSPR, 1, Pattern(100, 1));
  Put(kSPR, 2, Pattern(10, 2));
  const std::int64_t first = BlockOf(FileBytes(path), kSPR, 1);
  HandleLock(h).Data()[0] ^= 0xFF;
  ASSERT_EQ(file.WriteResource(h), res_error::kNone);
  Bytes bytes = FileBytes(path);
  EXPECT_EQ(BlockOf(bytes, kSPR, 1), first);
  EXPECT_EQ(bytes[static_cast<std::size_t>(first) + 16], Pattern(100, 1)[0] ^ 0xFF);
  EXPECT_EQ(file.FreeBytes(), 0);
  ASSERT_EQ(SetHandleSize(h, 150), 0);
  ASSERT_EQ(file.WriteResource(h), res_error::kNone);
  bytes = FileBytes(path);
  EXPECT_GT(BlockOf(bytes, kSPR, 1), first);
  EXPECT_EQ(BE32At(bytes, static_cast<std::size_t>(first)), MakeResType("XXXX"));
  EXPECT_TRUE(bytes[static_cast<std::size_t>(first) + 11] & kInvalid);
  EXPECT_EQ(file.FreeBytes(), 116);
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
  const std::int64_t freed = RawBlocks(FileBytes(path), 16)[1].offset;
  EXPECT_EQ(file.FreeBytes(), 116);
  const Bytes added = Pattern(static_cast<std::size_t>(100 - c.smaller), 3);
  Put(kOBJD, 3, added);
  Reopen();
  Bytes bytes = FileBytes(path);
  EXPECT_EQ(BlockOf(bytes, kOBJD, 3) == freed, c.reused);
  std::int64_t restSize = 0;
  for (const auto& block : RawBlocks(bytes, 16)) restSize += (block.flags & kInvalid) ? block.size : 0;
  EXPECT_EQ(restSize, c.reused ? c.rest : 116);
  EXPECT_EQ(Get(kOBJD, 3), std::string(added.begin(), added.end()));
}

INSTANTIATE_TEST_SUITE_P(Sizes, IFF1ReuseTest,
                         ::testing::Values(ReuseCase{0, true, 0}, ReuseCase{1, false, 0}, ReuseCase{15, false, 0},
                                           ReuseCase{16, true, 16}, ReuseCase{17, true, 17}, ReuseCase{60, true, 60}));

TEST_F(IFF1Test, ReleaseOrCloseWritesWhatLivesOnlyInMemory) {
  NewFile();
  MHandle h = HandleOf(Bytes{5, 6});
  ASSERT_EQ(file.AddResource(h, kSTR, 7, "s", false), res_error::kNone);
  EXPECT_FALSE(file.IsResourceNative(h));
  ASSERT_EQ(file.ReleaseResource(h), res_error::kNone);
  EXPECT_EQ(file.GetResType(h), 0u) << "a released handle is the caller's";
  EXPECT_EQ(file.GetError(), res_error::kNotFound);
  DisposeHandle(h);
  ASSERT_EQ(file.AddResource(HandleOf(Bytes{8}), kSTR, 8, "", true), res_error::kNone);
  Reopen();
  EXPECT_EQ(Get(kSTR, 7), std::string("\5\6"));
  EXPECT_EQ(Get(kSTR, 8), std::string("\10"));
}

void Reverse(void* bytes, std::int32_t size) {
  auto* p = static_cast<std::uint8_t*>(bytes);
  std::reverse(p, p + size);
}

TEST_F(IFF1Test, SwizzlerRunsOnlyForBytesStoredInTheOtherOrder) {
  NewFile();
  ASSERT_EQ(file.AddResource(HandleOf(Bytes{1, 2, 3}), kSTR, 1, "", false), res_error::kNone);
  ASSERT_EQ(file.AddResource(HandleOf(Bytes{1, 2, 3}), kSTR, 2, "", true), res_error::kNone);
  Reopen();
  for (int round = 0; round < 2; ++round) {  // released bytes are swizzled again on the next load
    MHandle foreign = file.GetResource(kSTR, 1, Reverse);
    EXPECT_EQ(TextOf(foreign), std::string("\3\2\1"));
    EXPECT_TRUE(file.IsResourceNative(foreign));
    file.ReleaseAndDispose(foreign);
  }
  EXPECT_EQ(TextOf(file.GetResource(kSTR, 2, Reverse)), std::string("\1\2\3"));
}

TEST_F(IFF1Test, UniqueIDsNamesAndRenamingOnDisk) {
  NewFile();
  // The rules themselves are the base class's; here, which ids and names count.
  MHandle h = Put(kSPR, 5, {1}, "wall");
  MHandle other = Put(kSPR, 200, {1}, "wall0");
  EXPECT_EQ(file.UniqueID(kSPR), 201);
  CTGString name("wall");
  file.UniqueName(kSPR, name);
  EXPECT_EQ(name, "wall1");
  name = "wall";
  file.UniqueName(kSTR, name);
  EXPECT_EQ(name, "wall") << "names of other types do not count";
  ASSERT_EQ(file.SetResInfo(h, 2, "renamed", 0), res_error::kNone);
  ASSERT_EQ(file.SetResID(other, 4), res_error::kNone);
  ASSERT_EQ(file.SetResInfo(other, 4, "", 0), res_error::kNone);
  AssertCapture reports;
  Reopen();
  EXPECT_EQ(Get(kSPR, 5), "<absent>");
  EXPECT_EQ(IdOf(file, file.GetNamedResource(kSPR, "renamed", nullptr)), 2);
  EXPECT_EQ(NameOf(file, file.GetResource(kSPR, 4, nullptr)), "");
  EXPECT_EQ(reports.Count(), 0u);
}

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
  WriteFileBytes(path, bytes);
  AssertCapture reports;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  EXPECT_EQ(Get(kSPR, 10), "\1");
  EXPECT_EQ(IdOf(file, file.GetNamedResource(kSPR, "door", nullptr)), 11);
  Put(kSPR, 12, {3}, "new");
  Reopen();
  EXPECT_EQ(reports.Count(), 0u);
  std::vector<int> lists;  // ids of the live name lists
  Bytes after = FileBytes(path);
  for (const auto& block : RawBlocks(after, 16)) {
    if (block.type == kNAME && !(block.flags & kInvalid)) lists.push_back(after[block.offset + 9]);
  }
  EXPECT_EQ(lists, std::vector<int>{1});
  EXPECT_EQ(IdOf(file, file.GetNamedResource(kSPR, "window", nullptr)), 10);
}

TEST_F(IFF1Test, NameListProblemsAndInternalModeMisuseAreReported) {
  Bytes foreign = Header1();
  AppendBlock1(foreign, kNAME, 0, kInternalFlag, -1, {1, 0, 0, 0, 1, 'a'});
  WriteFileBytes(path, foreign);
  AssertCapture reports;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  EXPECT_TRUE(reports.Saw("code to swizzle names not implemented"));
  file.CloseFile();
  Bytes nameless = Header1();
  AppendBlock1(nameless, kSPR, 1, kNativeFlag, 4, {1});
  WriteFileBytes(path, nameless);
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  EXPECT_TRUE(reports.Saw("no names cache"));
  NameOf(file, file.GetResource(kSPR, 1, nullptr));
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
  WriteFileBytes(path, full);
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
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
