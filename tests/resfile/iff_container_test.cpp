// What both container versions share: the header check, the error codes,
// the round trip through a reopening, compaction and archive members. Each
// test runs on a first-version and a second-version file.
#include "resfile/iff_container.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "filelib/ctg_file_manager.h"
#include "filelib/far_writer.h"
#include "iff_test_util.h"
#include "resfile/iff_format.h"
#include "resfile/iff_res_file.h"
#include "resfile/iff_res_file2.h"
#include "support/assert_capture.h"
#include "support/res_type_names.h"

namespace pixmold {
namespace {

using namespace testing;

std::unique_ptr<IFFContainer> MakeContainer(int version, CTGFileManager* manager = nullptr) {
  if (version == 1) return manager ? std::make_unique<IFFResFile>(*manager) : std::make_unique<IFFResFile>();
  return manager ? std::make_unique<IFFResFile2>(*manager) : std::make_unique<IFFResFile2>();
}

class IFFBothTest : public OpenContainerTest<IFFContainer>, public ::testing::WithParamInterface<int> {
 protected:
  IFFBothTest() : OpenContainerTest(MakeContainer(GetParam())) {}
  bool First() const { return GetParam() == 1; }
  std::size_t BlockHeader() const { return First() ? 16 : 76; }
  // The contents of a type's resources in enumeration order.
  std::vector<std::string> Listed(ResType type) {
    std::vector<std::string> texts;
    for (std::int32_t i = 1; i <= file.CountResources(type); ++i) {
      MHandle h = file.GetIndResource(type, i, nullptr);
      texts.push_back(h ? TextOf(h) : "<absent>");
      if (h) file.ReleaseAndDispose(h);
    }
    return texts;
  }
  // The ids of a type's live blocks in file order.
  std::vector<int> BlockIds(ResType type) {
    std::vector<int> ids;
    for (const auto& block : RawBlocks(ReadAll(path), BlockHeader())) {
      if (block.type == type && !(block.flags & kInvalid)) ids.push_back(block.id);
    }
    return ids;
  }
  // Every resource of the type holds Pattern(size, id) and is named "odd" when its id is.
  void ExpectPatterns(ResType type, const std::map<ResID, std::size_t>& sizes) {
    EXPECT_EQ(file.CountResources(type), static_cast<std::int32_t>(sizes.size()));
    for (const auto& [id, size] : sizes) {
      MHandle h = file.GetResource(type, id, nullptr);
      EXPECT_EQ(BytesOf(h), Pattern(size, static_cast<std::uint32_t>(id))) << id;
      EXPECT_EQ(NameOf(h), id % 2 ? "odd" : "") << id;
    }
  }
};

TEST_P(IFFBothTest, CreatedFileHeaderAndEveryChangeOfItsText) {
  NewFile();
  const Bytes bytes = ReadAll(path);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 64), First() ? Header1() : Header2('5', 0));
  EXPECT_EQ(bytes.size() == 64, !First()) << "only the first version starts with a name list";
  EXPECT_EQ(file.CountTypes(), 0) << "internal resources stay out of the normal index";
  EXPECT_EQ(file.CloseFile(), res_error::kNone);
  EXPECT_EQ(ReadAll(path), bytes) << "closing an unchanged file writes nothing";
  // The second version's last four bytes are the map offset.
  std::vector<std::pair<Bytes, ResErr>> damaged = {{First() ? Header2('5', 0) : Header1(), res_error::kNotIFF},
                                                   {Header2('7', 0), res_error::kNotIFF},
                                                   {Bytes(bytes.begin(), bytes.begin() + 40), res_error::kShortRead}};
  for (std::size_t i = 0; i < (First() ? 64u : 60u); ++i) {
    damaged.push_back({bytes, res_error::kNotIFF});
    damaged.back().first[i] ^= 0x20;
  }
  for (const auto& [bad, code] : damaged) {
    WriteFileBytes(path, bad);
    EXPECT_EQ(file.OpenFile(path), code) << ::testing::PrintToString(bad);
    EXPECT_FALSE(file.IsOpen());
  }
}

TEST_P(IFFBothTest, ResourcesSurviveReopeningAndMissesHaveTheirCodes) {
  EXPECT_EQ(Miss(file.GetResource(kSTR, 1, nullptr)), res_error::kNotOpen);
  MHandle loose = HandleOf(Bytes{1});
  EXPECT_EQ(file.AddResource(loose, kSTR, 1, "", true), res_error::kNotOpen);
  EXPECT_EQ(file.UpdateFile(), res_error::kNotOpen);
  EXPECT_EQ(file.CloseFile(), res_error::kNotOpen);
  EXPECT_EQ(file.OpenFile(path), res_error::kOpenFailed);
  NewFile();
  EXPECT_EQ(file.OpenFile(path), res_error::kAlreadyOpen);
  Put(kSPR2, 200, {1, 2, 3}, "sprite");
  Put(kSPR2, 201, {}, "");
  Put(kSTR, 128, {'h', 'i'}, "strings");
  Put(kSTR, 1, {1});
  EXPECT_EQ(file.WriteResource(loose), res_error::kNotThisFile);
  DisposeHandle(loose);
  Reopen();
  // The first version lists what it read last first; the second keeps the
  // order of first appearance.
  EXPECT_EQ(file.CountTypes(), 2);
  EXPECT_EQ(file.GetIndType(1), First() ? kSTR : kSPR2);
  EXPECT_EQ(Miss(file.GetIndType(3)), res_error::kTypeIndexRange);
  EXPECT_EQ(file.CountResources(kSPR2), 2);
  EXPECT_EQ(IdOf(file.GetIndResource(kSTR, 1, nullptr)), First() ? 1 : 128);
  EXPECT_EQ(Miss(file.GetIndResource(kSTR, 3, nullptr)), res_error::kNotFound);
  EXPECT_EQ(Get(kSPR2, 200) + "," + Get(kSPR2, 201), "\1\2\3,");
  EXPECT_EQ(Miss(file.GetResource(kSTR, 2, nullptr)), res_error::kNotFound);
  MHandle named = file.GetNamedResource(kSTR, "strings", nullptr);
  EXPECT_EQ(TextOf(named) + "," + NameOf(named), "hi,strings");
  EXPECT_EQ(Miss(file.GetNamedResource(kSPR2, "strings", nullptr)), res_error::kNotThisFile)
      << "the name belongs to another type";
  const Bytes bytes = ReadAll(path);
  EXPECT_EQ(file.CloseFile(), res_error::kNone);
  EXPECT_EQ(ReadAll(path), bytes) << "closing an unchanged file writes nothing";
  EXPECT_EQ(file.CreateFile(path), res_error::kCreateExists);
}

// The archive's own damage checks are the file library's; here, that a
// member opens read-only and the container refuses every change.
TEST_P(IFFBothTest, ArchiveMemberOpensReadOnlyAndRefusesChanges) {
  NewFile();
  Put(kSTR, 1, {1}, "one");
  file.CloseFile();
  FarWriter writer;
  ASSERT_TRUE(writer.Add("objects/first.iff", ReadAll(path)));
  ASSERT_TRUE(writer.Save(dir.File("objects.far")));
  CTGFileManager manager;
  ASSERT_TRUE(manager.MapFAR(dir.File("objects.far")));
  auto member = MakeContainer(GetParam(), &manager);
  ASSERT_EQ(member->OpenFile(dir.File("objects/first.iff")), res_error::kNone);
  EXPECT_FALSE(member->IsWritable());
  MHandle h = member->GetNamedResource(kSTR, "one", nullptr);
  ASSERT_NE(h, nullptr);
  OwnedHandle added(HandleOf(Bytes{2}));
  EXPECT_EQ(std::vector<ResErr>({member->WriteResource(h), member->RemoveResource(h), member->SetResInfo(h, 5, "", 0),
                                 member->AddResource(added.Get(), kSTR, 2, "", true)}),
            std::vector<ResErr>(4, res_error::kNotWritable));
  EXPECT_EQ(member->CloseFile(), res_error::kNone);
}

// Small gaps, and blocks larger than a gap before them, which must move
// over themselves and keep their place in the order all the same. The
// holes add up to more than three of the largest block, which is what makes
// the second version move blocks rather than only cut the free tail.
TEST_P(IFFBothTest, ClosingWithEnoughFreeSpaceCompactsTheFileInOrder) {
  NewFile();
  std::map<ResID, std::size_t> kept;
  for (ResID id = 1; id <= 24; ++id) {
    const std::size_t size = id == 6 || id == 7 ? 30000 : id == 13 ? 11000 : id == 14 ? 20000 : 7000 + id * 100;
    Put(kSPR2, id, Pattern(size, id), id % 2 ? "odd" : "");
    if (id % 3 && id != 11 && id != 13) kept[id] = size;
  }
  if (!First()) Reopen();  // a map, which the compaction must not leave behind
  for (ResID id = 1; id <= 24; ++id) {
    if (!kept.count(id)) {
      ASSERT_EQ(file.RemoveResource(file.GetResource(kSPR2, id, nullptr)), res_error::kNone);
    }
  }
  ASSERT_GE(file.FreeBytes(), 10240);
  Reopen();
  Bytes bytes = ReadAll(path);
  std::size_t live = 0;
  for (const auto& block : RawBlocks(bytes, BlockHeader())) {
    EXPECT_FALSE(block.flags & kInvalid) << block.offset;
    EXPECT_TRUE(block.type != kResMapType || block.offset == BE32At(bytes, 60)) << "old map at " << block.offset;
    live += block.size;
  }
  EXPECT_EQ(bytes.size(), 64 + live);
  EXPECT_EQ(file.FreeBytes(), 0);
  std::vector<int> ids;
  for (const auto& [id, size] : kept) ids.push_back(id);
  EXPECT_EQ(BlockIds(kSPR2), ids);
  ExpectPatterns(kSPR2, kept);
  EXPECT_EQ(IdOf(file.GetIndResource(kSPR2, First() ? static_cast<std::int32_t>(kept.size()) : 1, nullptr)), 1)
      << "index-based lookups find the same resource after the reopening";
  if (First()) return;
  static_cast<IFFResFile2&>(file).SetNoCompaction(true);
  ASSERT_EQ(file.RemoveResource(file.GetResource(kSPR2, 7, nullptr)), res_error::kNone);
  Reopen();
  EXPECT_GE(ReadAll(path).size(), bytes.size()) << "compaction turned off";
}

// Resources added only in memory are written at close in the order of the
// index: the first version's newest first, so a walk (which lists the last
// block it meets first) turns its list around; the second writes from the
// last entry back, and its map keeps the order of the index.
TEST_P(IFFBothTest, EnumerationOrderAfterARoundTrip) {
  NewFile();
  for (char c = '1'; c <= '5'; ++c) {
    ASSERT_EQ(file.AddResource(HandleOf(std::string(1, c)), kSTR, c - '0', "", true), res_error::kNone);
  }
  const std::vector<std::string> ascending = {"1", "2", "3", "4", "5"}, descending = {"5", "4", "3", "2", "1"};
  std::vector<std::string> before;  // without releasing, which would write them
  for (std::int32_t i = 1; i <= 5; ++i) before.push_back(TextOf(file.GetIndResource(kSTR, i, nullptr)));
  EXPECT_EQ(before, First() ? descending : ascending);
  Reopen();
  EXPECT_EQ(BlockIds(kSTR), (std::vector<int>{5, 4, 3, 2, 1}));
  EXPECT_EQ(Listed(kSTR), ascending);
  if (First()) return;
  ASSERT_EQ(file.CloseFile(), res_error::kNone);
  ASSERT_EQ(static_cast<IFFResFile2&>(file).ClearMap(path), res_error::kNone);
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  EXPECT_EQ(Listed(kSTR), descending) << "a walk lists in file order";
}

// Giving a resource the id of another leaves two resources of one type and
// id; both stay through later changes, a compaction and reopenings. A lookup
// finds the one enumeration shows first: the first version's newest.
TEST_P(IFFBothTest, ResourcesSharingAnIdAllSurvive) {
  NewFile();
  Put(kSTR, 1, {'a'});
  MHandle moved = Put(kSTR, 2, {'b'});
  Put(kSPR2, 9, Pattern(12000, 9));
  ASSERT_EQ(file.SetResInfo(moved, 1, "", 0), res_error::kNone);
  EXPECT_EQ(file.CountResources(kSTR), 2);
  const std::string found = First() ? "b" : "a";
  EXPECT_EQ(Get(kSTR, 1), found);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    if (round == 1) {
      ASSERT_EQ(file.RemoveResource(file.GetResource(kSPR2, 9, nullptr)), res_error::kNone);
      ASSERT_GE(file.FreeBytes(), 10240);
    } else {
      Put(kSTR, static_cast<ResID>(10 + round), {'c'});
    }
    Reopen();
    EXPECT_EQ(BlockIds(kSTR).size(), round == 2 ? 4u : 3u);
    std::vector<std::string> texts = Listed(kSTR);
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts,
              round == 2 ? (std::vector<std::string>{"a", "b", "c", "c"}) : (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(Get(kSTR, 1), found);
  }
  EXPECT_EQ(file.GetResource(kSPR2, 9, nullptr), nullptr);
  // Removing the one a lookup finds uncovers the other.
  ASSERT_EQ(file.RemoveResource(file.GetResource(kSTR, 1, nullptr)), res_error::kNone);
  Reopen();
  EXPECT_EQ(Get(kSTR, 1), First() ? "a" : "b");
}

void Reverse(void* bytes, std::int32_t size) {
  auto* p = static_cast<std::uint8_t*>(bytes);
  std::reverse(p, p + size);
}

// What lives only in memory is written at release, close or suspension; a
// released handle is the caller's; bytes stored in the other byte order are
// swizzled on every load. Only the second version suspends or has variants.
TEST_P(IFFBothTest, ReleaseCloseSuspendAndSwizzle) {
  EXPECT_TRUE(First() || file.ResumeFile() == res_error::kOpenFailed);
  NewFile();
  EXPECT_EQ(file.SetResInfo(Put(kSPR2, 1, {9}), 1, "", 2), First() ? res_error::kVariantUnsupported : res_error::kNone);
  MHandle h = HandleOf(Bytes{5, 6});
  ASSERT_EQ(file.AddResource(h, kSTR, 7, "s", false), res_error::kNone);
  EXPECT_FALSE(file.IsResourceNative(h));
  ASSERT_EQ(file.ReleaseResource(h), res_error::kNone);
  EXPECT_EQ(Miss(file.GetResType(h)), res_error::kNotFound) << "a released handle is the caller's";
  DisposeHandle(h);
  ASSERT_EQ(file.AddResource(HandleOf(Bytes{8, 9}), kSTR, 8, "", true), res_error::kNone);
  if (First()) {
    EXPECT_EQ(file.SuspendFile(), res_error::kOpenFailed);
    EXPECT_EQ(file.ResumeFile(), res_error::kOpenFailed);
    Reopen();
  } else {
    ASSERT_EQ(file.SuspendFile(), res_error::kNone);
    EXPECT_FALSE(file.IsOpen());
    ASSERT_EQ(file.ResumeFile(), res_error::kNone);
    EXPECT_EQ(file.ResumeFile(), res_error::kOpenFailed) << "the name is taken back";
  }
  EXPECT_EQ(Get(kSTR, 7) + Get(kSTR, 8), std::string("\5\6\10\11"));
  for (int round = 0; round < 2; ++round) {  // released bytes are swizzled again on the next load
    MHandle foreign = file.GetResource(kSTR, 7, Reverse);
    EXPECT_EQ(TextOf(foreign), std::string("\6\5"));
    EXPECT_TRUE(file.IsResourceNative(foreign));
    file.ReleaseAndDispose(foreign);
  }
  EXPECT_EQ(TextOf(file.GetResource(kSTR, 8, Reverse)), std::string("\10\11"));
}

TEST_P(IFFBothTest, UniqueIDsNamesAndRenamingOnDisk) {
  NewFile();
  // The rules themselves are the base class's; here, which ids and names count.
  MHandle h = Put(kSPR2, 5, {1}, "wall");
  MHandle other = Put(kSPR2, 200, {1}, "wall0");
  EXPECT_EQ(file.UniqueID(kSPR2), 201);
  CTGString name("wall"), otherType("wall");
  file.UniqueName(kSPR2, name);
  file.UniqueName(kSTR, otherType);
  EXPECT_EQ(name.Str() + "," + otherType.Str(), "wall1,wall") << "names of other types do not count";
  ASSERT_EQ(file.SetResInfo(h, 2, "renamed", 0), res_error::kNone);
  ASSERT_EQ(file.SetResID(other, 4), res_error::kNone);
  ASSERT_EQ(file.SetResInfo(other, 4, "", 0), res_error::kNone);
  AssertCapture reports;
  Reopen();
  EXPECT_EQ(Get(kSPR2, 5), "<absent>");
  EXPECT_EQ(IdOf(file.GetNamedResource(kSPR2, "renamed", nullptr)), 2);
  EXPECT_EQ(NameOf(file.GetResource(kSPR2, 4, nullptr)), "");
  EXPECT_EQ(reports.Count(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Versions, IFFBothTest, ::testing::Values(1, 2),
                         [](const auto& info) { return info.param == 1 ? "First" : "Second"; });

}  // namespace
}  // namespace pixmold
