// What both container versions share: the header check, the error codes,
// the round trip through a reopening, compaction and archive members. Each
// test runs on a first-version and a second-version file.
#include "resfile/iff_container.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <sstream>

#include "base/report.h"
#include "filelib/ctg_file_manager.h"
#include "filelib/far_writer.h"
#include "iff_test_util.h"
#include "resfile/iff_format.h"
#include "resfile/iff_res_file.h"
#include "resfile/iff_res_file2.h"

namespace pixmold {
namespace {

using namespace testing;

constexpr ResType kSPR2 = MakeResType("SPR2");
constexpr ResType kSTR = MakeResType("STR#");

std::unique_ptr<IFFContainer> MakeContainer(int version, CTGFileManager* manager = nullptr) {
  if (version == 1) return manager ? std::make_unique<IFFResFile>(*manager) : std::make_unique<IFFResFile>();
  return manager ? std::make_unique<IFFResFile2>(*manager) : std::make_unique<IFFResFile2>();
}

class IFFBothTest : public ::testing::TestWithParam<int> {
 protected:
  bool First() const { return GetParam() == 1; }
  std::size_t BlockHeader() const { return First() ? 16 : 76; }
  std::string NewFile() {
    EXPECT_EQ(MakeContainer(GetParam())->CreateFile(path), res_error::kNone);
    EXPECT_EQ(file->OpenFile(path), res_error::kNone);
    return path;
  }
  void Reopen() {
    ASSERT_EQ(file->CloseFile(), res_error::kNone);
    ASSERT_EQ(file->OpenFile(path), res_error::kNone);
  }
  MHandle Put(ResType type, ResID id, const Bytes& bytes, std::string_view name = "") {
    MHandle h = HandleOf(bytes);
    EXPECT_EQ(file->AddResource(h, type, id, CTGString(name), true), res_error::kNone);
    EXPECT_EQ(file->WriteResource(h), res_error::kNone);
    return h;
  }
  std::string Get(ResType type, ResID id) {
    MHandle h = file->GetResource(type, id, nullptr);
    std::string text = h ? TextOf(h) : "<absent>";
    if (h) file->ReleaseAndDispose(h);
    return text;
  }
  // The contents of a type's resources in enumeration order.
  std::vector<std::string> Listed(ResType type) {
    std::vector<std::string> texts;
    for (std::int32_t i = 1; i <= file->CountResources(type); ++i) {
      MHandle h = file->GetIndResource(type, i, nullptr);
      texts.push_back(h ? TextOf(h) : "<absent>");
      if (h) file->ReleaseAndDispose(h);
    }
    return texts;
  }
  // The ids of a type's live blocks in file order.
  std::vector<int> BlockIds(ResType type) {
    const Bytes bytes = FileBytes(path);
    std::vector<int> ids;
    for (const auto& block : RawBlocks(bytes, BlockHeader())) {
      if (block.type == type && !(block.flags & kInvalid))
        ids.push_back(static_cast<ResID>((bytes[block.offset + 8] << 8) | bytes[block.offset + 9]));
    }
    return ids;
  }

  TempDir dir;
  std::string path = dir.File("object.iff");
  std::unique_ptr<IFFContainer> file = MakeContainer(GetParam());
};

TEST_P(IFFBothTest, CreatedFileHeaderAndEveryChangeOfItsText) {
  NewFile();
  const Bytes bytes = FileBytes(path);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 64), First() ? Header1() : Header2('5', 0));
  EXPECT_EQ(bytes.size() == 64, !First()) << "only the first version starts with a name list";
  EXPECT_EQ(file->CountTypes(), 0) << "internal resources stay out of the normal index";
  EXPECT_EQ(file->CloseFile(), res_error::kNone);
  EXPECT_EQ(FileBytes(path), bytes) << "closing an unchanged file writes nothing";
  // The second version's last four bytes are the map offset.
  for (std::size_t i = 0; i < (First() ? 64u : 60u); ++i) {
    Bytes bad = bytes;
    bad[i] ^= 0x20;
    WriteFileBytes(path, bad);
    EXPECT_EQ(file->OpenFile(path), res_error::kNotIFF) << "byte " << i;
    EXPECT_FALSE(file->IsOpen());
  }
  for (const Bytes& other : {First() ? Header2('5', 0) : Header1(), Header2('7', 0)}) {
    WriteFileBytes(path, other);
    EXPECT_EQ(file->OpenFile(path), res_error::kNotIFF);
  }
  WriteFileBytes(path, Bytes(bytes.begin(), bytes.begin() + 40));
  EXPECT_EQ(file->OpenFile(path), res_error::kShortRead);
}

TEST_P(IFFBothTest, ResourcesSurviveReopeningAndMissesHaveTheirCodes) {
  NewFile();
  Put(kSPR2, 200, {1, 2, 3}, "sprite");
  Put(kSPR2, 201, {}, "");
  Put(kSTR, 128, {'h', 'i'}, "strings");
  Put(kSTR, 1, {1});
  Reopen();
  // The first version lists what it read last first; the second keeps the
  // order of first appearance.
  EXPECT_EQ(file->CountTypes(), 2);
  EXPECT_EQ(file->GetIndType(1), First() ? kSTR : kSPR2);
  EXPECT_EQ(file->GetIndType(3), 0u);
  EXPECT_EQ(file->GetError(), res_error::kTypeIndexRange);
  EXPECT_EQ(file->CountResources(kSPR2), 2);
  ResID id = 0;
  EXPECT_EQ(file->GetResID(file->GetIndResource(kSTR, 1, nullptr), id), First() ? 1 : 128);
  EXPECT_EQ(file->GetIndResource(kSTR, 3, nullptr), nullptr);
  EXPECT_EQ(file->GetError(), res_error::kNotFound);
  EXPECT_EQ(Get(kSPR2, 200), std::string("\1\2\3"));
  EXPECT_EQ(Get(kSPR2, 201), "");
  EXPECT_EQ(Get(kSTR, 2), "<absent>");
  EXPECT_EQ(file->GetError(), res_error::kNotFound);
  MHandle named = file->GetNamedResource(kSTR, "strings", nullptr);
  EXPECT_EQ(TextOf(named), "hi");
  CTGString name;
  file->GetResName(named, name);
  EXPECT_EQ(name, "strings");
  EXPECT_EQ(file->GetNamedResource(kSPR2, "strings", nullptr), nullptr) << "the name belongs to another type";
  EXPECT_EQ(file->GetError(), res_error::kNotThisFile);
  const Bytes bytes = FileBytes(path);
  EXPECT_EQ(file->CloseFile(), res_error::kNone);
  EXPECT_EQ(FileBytes(path), bytes) << "closing an unchanged file writes nothing";
}

// Opening, creating and deleting give the flat file's codes, checked there;
// here, that the container passes them on.
TEST_P(IFFBothTest, ErrorCodesOfTheContainer) {
  MHandle loose = HandleOf(Bytes{1});
  EXPECT_EQ(file->GetResource(kSTR, 1, nullptr), nullptr);
  EXPECT_EQ(file->GetError(), res_error::kNotOpen);
  EXPECT_EQ(file->AddResource(loose, kSTR, 1, "", true), res_error::kNotOpen);
  EXPECT_EQ(file->UpdateFile(), res_error::kNotOpen);
  EXPECT_EQ(file->CloseFile(), res_error::kNotOpen);
  EXPECT_EQ(file->OpenFile(path), res_error::kOpenFailed);
  NewFile();
  EXPECT_EQ(file->OpenFile(path), res_error::kAlreadyOpen);
  MHandle h = Put(kSTR, 1, {1});
  EXPECT_EQ(file->WriteResource(loose), res_error::kNotThisFile);
  DisposeHandle(loose);
  file->ReleaseAndDispose(h);
  EXPECT_EQ(file->CloseFile(), res_error::kNone);
  EXPECT_EQ(file->CreateFile(path), res_error::kCreateExists);
}

TEST_P(IFFBothTest, ArchiveMemberOpensReadOnlyAndRefusesChanges) {
  NewFile();
  Put(kSTR, 1, {1}, "one");
  file->CloseFile();
  // A member that climbs out of the archive's directory, and a last entry
  // cut short: the members before the damage are still there.
  FarWriter writer;
  ASSERT_TRUE(writer.Add("objects/first.iff", FileBytes(path)));
  ASSERT_TRUE(writer.Add("up/escape.iff", FileBytes(path)));
  ASSERT_TRUE(writer.Add("objects/third.iff", FileBytes(path)));
  Bytes archive = writer.Build();
  const std::string climbing = "up/escape.iff";
  auto name = std::search(archive.begin(), archive.end(), climbing.begin(), climbing.end());
  ASSERT_NE(name, archive.end());
  std::copy_n("..", 2, name);
  archive.resize(archive.size() - 3);
  WriteFileBytes(dir.File("objects.far"), archive);
  CTGFileManager manager;
  {
    std::ostringstream report;
    ScopedReportTarget target(ReportTarget{&report, nullptr, nullptr, nullptr});
    EXPECT_FALSE(manager.MapFAR(dir.File("objects.far")));
    EXPECT_NE(report.str().find("\"../escape.iff\" skipped"), std::string::npos) << report.str();
    EXPECT_NE(report.str().find("cut short in the name of entry 2"), std::string::npos) << report.str();
  }
  EXPECT_FALSE(manager.Exists((dir.Path().parent_path() / "escape.iff").string()));
  EXPECT_FALSE(manager.IsArchiveMember(dir.File("objects/third.iff")));
  auto member = MakeContainer(GetParam(), &manager);
  ASSERT_EQ(member->OpenFile(dir.File("objects/first.iff")), res_error::kNone);
  EXPECT_FALSE(member->IsWritable());
  MHandle h = member->GetNamedResource(kSTR, "one", nullptr);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(member->WriteResource(h), res_error::kNotWritable);
  EXPECT_EQ(member->RemoveResource(h), res_error::kNotWritable);
  EXPECT_EQ(member->SetResInfo(h, 5, "", 0), res_error::kNotWritable);
  OwnedHandle added(HandleOf(Bytes{2}));
  EXPECT_EQ(member->AddResource(added.Get(), kSTR, 2, "", true), res_error::kNotWritable);
  EXPECT_EQ(member->CloseFile(), res_error::kNone);
}

TEST_P(IFFBothTest, ClosingWithEnoughFreeSpaceCompactsTheFile) {
  NewFile();
  std::map<ResID, Bytes> kept;
  // Small gaps, and one block larger than any gap before it.
  for (ResID id = 1; id <= 24; ++id) {
    Bytes bytes = Pattern(id == 6 || id == 7 ? 30000 : 700 + id * 10, id);
    Put(kSPR2, id, bytes, id % 2 ? "odd" : "");
    if (id % 3 && id != 11) kept[id] = bytes;
  }
  if (!First()) Reopen();  // a map, which the compaction must not leave behind
  for (ResID id = 1; id <= 24; ++id) {
    if (kept.count(id)) continue;
    ASSERT_EQ(file->RemoveResource(file->GetResource(kSPR2, id, nullptr)), res_error::kNone);
  }
  ASSERT_GE(file->FreeBytes(), 10240);
  Reopen();
  Bytes bytes = FileBytes(path);
  std::size_t live = 0;
  for (const auto& block : RawBlocks(bytes, BlockHeader())) {
    EXPECT_FALSE(block.flags & kInvalid) << block.offset;
    EXPECT_TRUE(block.type != kResMapType || block.offset == BE32At(bytes, 60)) << "old map at " << block.offset;
    live += block.size;
  }
  EXPECT_EQ(bytes.size(), 64 + live);
  EXPECT_EQ(file->FreeBytes(), 0);
  EXPECT_EQ(file->CountResources(kSPR2), static_cast<std::int32_t>(kept.size()));
  for (const auto& [id, content] : kept) {
    MHandle h = file->GetResource(kSPR2, id, nullptr);
    EXPECT_EQ(BytesOf(h), content) << id;
    CTGString name;
    file->GetResName(h, name);
    EXPECT_EQ(name, id % 2 ? "odd" : "") << id;
  }
  if (First()) return;
  static_cast<IFFResFile2&>(*file).SetNoCompaction(true);
  ASSERT_EQ(file->RemoveResource(file->GetResource(kSPR2, 7, nullptr)), res_error::kNone);
  Reopen();
  EXPECT_GE(FileBytes(path).size(), bytes.size()) << "compaction turned off";
}

// Resources added only in memory are written at close in the order of the
// index: the first version's newest first, so a walk (which lists the last
// block it meets first) turns its list around; the second writes from the
// last entry back, and its map keeps the order of the index.
TEST_P(IFFBothTest, EnumerationOrderAfterARoundTrip) {
  NewFile();
  for (char c = '1'; c <= '5'; ++c) {
    ASSERT_EQ(file->AddResource(HandleOf(Bytes{static_cast<std::uint8_t>(c)}), kSTR, c - '0', "", true),
              res_error::kNone);
  }
  const std::vector<std::string> added =
      First() ? std::vector<std::string>{"5", "4", "3", "2", "1"} : std::vector<std::string>{"1", "2", "3", "4", "5"};
  const std::vector<std::string> reversed(added.rbegin(), added.rend());
  std::vector<std::string> before;  // without releasing, which would write them
  for (std::int32_t i = 1; i <= 5; ++i) before.push_back(TextOf(file->GetIndResource(kSTR, i, nullptr)));
  EXPECT_EQ(before, added);
  Reopen();
  EXPECT_EQ(BlockIds(kSTR), (std::vector<int>{5, 4, 3, 2, 1}));
  EXPECT_EQ(Listed(kSTR), First() ? reversed : added);
  if (First()) return;
  ASSERT_EQ(file->CloseFile(), res_error::kNone);
  ASSERT_EQ(static_cast<IFFResFile2&>(*file).ClearMap(path), res_error::kNone);
  ASSERT_EQ(file->OpenFile(path), res_error::kNone);
  EXPECT_EQ(Listed(kSTR), reversed) << "a walk lists in file order";
}

// Giving a resource the id of another leaves two resources of one type and
// id; both stay through later changes, a compaction and reopenings. A lookup
// finds the one enumeration shows first: the first version's newest.
TEST_P(IFFBothTest, ResourcesSharingAnIdAllSurvive) {
  NewFile();
  Put(kSTR, 1, {'a'});
  MHandle moved = Put(kSTR, 2, {'b'});
  Put(kSPR2, 9, Pattern(12000, 9));
  ASSERT_EQ(file->SetResInfo(moved, 1, "", 0), res_error::kNone);
  EXPECT_EQ(file->CountResources(kSTR), 2);
  const std::string found = First() ? "b" : "a";
  EXPECT_EQ(Get(kSTR, 1), found);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    if (round == 1) {
      ASSERT_EQ(file->RemoveResource(file->GetResource(kSPR2, 9, nullptr)), res_error::kNone);
      ASSERT_GE(file->FreeBytes(), 10240);
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
  EXPECT_EQ(file->GetResource(kSPR2, 9, nullptr), nullptr);
  // Removing the one a lookup finds uncovers the other.
  ASSERT_EQ(file->RemoveResource(file->GetResource(kSTR, 1, nullptr)), res_error::kNone);
  Reopen();
  EXPECT_EQ(Get(kSTR, 1), First() ? "a" : "b");
}

// A block that a gap cannot take without being copied over itself keeps its
// place in the order all the same.
TEST_P(IFFBothTest, CompactionKeepsTheBlocksInTheirOrder) {
  NewFile();
  const std::size_t sizes[] = {100, 11000, 20000, 100, 15000, 50};
  for (ResID id = 1; id <= 6; ++id) Put(kSPR2, id, Pattern(sizes[id - 1], id), id % 2 ? "odd" : "");
  Reopen();
  ASSERT_EQ(file->RemoveResource(file->GetResource(kSPR2, 2, nullptr)), res_error::kNone);
  const std::size_t before = FileBytes(path).size();
  Reopen();
  EXPECT_EQ(BlockIds(kSPR2), (std::vector<int>{1, 3, 4, 5, 6}));
  EXPECT_LT(FileBytes(path).size(), before - 11000);
  EXPECT_EQ(FreeBlockCount(FileBytes(path), BlockHeader()), 0u);
  for (ResID id : {1, 3, 4, 5, 6}) {
    MHandle h = file->GetResource(kSPR2, id, nullptr);
    EXPECT_EQ(BytesOf(h), Pattern(sizes[id - 1], id)) << id;
    CTGString name;
    file->GetResName(h, name);
    EXPECT_EQ(name, id % 2 ? "odd" : "") << id;
  }
  ResID id = 0;
  EXPECT_EQ(file->GetResID(file->GetIndResource(kSPR2, First() ? 5 : 1, nullptr), id), 1)
      << "index-based lookups find the same resource after the reopening";
}

INSTANTIATE_TEST_SUITE_P(Versions, IFFBothTest, ::testing::Values(1, 2),
                         [](const auto& info) { return info.param == 1 ? "First" : "Second"; });

}  // namespace
}  // namespace pixmold
