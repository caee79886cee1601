#include "resfile/iff_res_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "filelib/ctg_file_manager.h"
#include "filelib/far_writer.h"
#include "iff_test_util.h"
#include "resfile/iff_format.h"
#include "support/assert_capture.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

using testing::AppendBlock1;
using testing::AssertCapture;
using testing::BE32At;
using testing::Bytes;
using testing::FileBytes;
using testing::HandleOf;
using testing::Header1;
using testing::Pattern;
using testing::RawBlocks;
using testing::TakeSnapshot;
using testing::TempDir;
using testing::TextOf;
using testing::WriteFileBytes;

constexpr ResType kSPR = MakeResType("SPR#");
constexpr ResType kSTR = MakeResType("STR#");
constexpr ResType kOBJD = MakeResType("OBJD");
constexpr ResType kNAME = MakeResType("NAME");
constexpr ResType kFree = MakeResType("XXXX");

class IFF1Test : public ::testing::Test {
 protected:
  std::string NewFile(std::string_view name = "first.iff") {
    std::string path = dir.File(name);
    IFFResFile file;
    EXPECT_EQ(file.CreateFile(path), res_error::kNone);
    return path;
  }

  static MHandle Put(IFFResFile& file, ResType type, ResID id, const Bytes& bytes, std::string_view name = "") {
    MHandle h = HandleOf(bytes);
    EXPECT_EQ(file.AddResource(h, type, id, CTGString(name), true), res_error::kNone);
    EXPECT_EQ(file.WriteResource(h), res_error::kNone);
    return h;
  }

  static std::string Get(IFFResFile& file, ResType type, ResID id) {
    MHandle h = file.GetResource(type, id, nullptr);
    if (!h) return "<absent>";
    std::string text = TextOf(h);
    file.ReleaseAndDispose(h);
    return text;
  }

  TempDir dir;
};

TEST_F(IFF1Test, CreatedFileHoldsTheHeaderAndAnEmptyNameList) {
  std::string path = NewFile();
  Bytes bytes = FileBytes(path);
  ASSERT_GE(bytes.size(), 64u);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 64), Header1());
  auto blocks = RawBlocks(bytes, 16);
  ASSERT_EQ(blocks.size(), 1u);
  EXPECT_EQ(blocks[0].type, kNAME);
  EXPECT_EQ(blocks[0].flags & (kInternalFlag | kNativeFlag), kInternalFlag | kNativeFlag);
  EXPECT_EQ(blocks[0].offset + blocks[0].size, bytes.size());

  AssertCapture reports;
  IFFResFile file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  EXPECT_EQ(file.CountTypes(), 0) << "internal resources stay out of the normal index";
  EXPECT_EQ(file.CloseFile(), res_error::kNone);
  EXPECT_EQ(reports.Count(), 0u);
  EXPECT_EQ(FileBytes(path), bytes) << "closing an unchanged file writes nothing";
}

TEST_F(IFF1Test, AnyDifferingHeaderByteFailsWithNotIFF) {
  std::string path = NewFile();
  const Bytes good = FileBytes(path);
  for (std::size_t i = 0; i < 64; ++i) {
    Bytes bad = good;
    bad[i] ^= 0x20;
    WriteFileBytes(path, bad);
    IFFResFile file;
    EXPECT_EQ(file.OpenFile(path), res_error::kNotIFF) << "byte " << i;
    EXPECT_FALSE(file.IsOpen());
  }
  WriteFileBytes(path, Bytes(good.begin(), good.begin() + 40));
  IFFResFile file;
  EXPECT_EQ(file.OpenFile(path), res_error::kShortRead);
}

TEST_F(IFF1Test, RoundTripWithNamesAndNewestFirstEnumeration) {
  std::string path = NewFile();
  {
    IFFResFile file;
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    Put(file, kSPR, 200, {1, 2, 3}, "chair");
    Put(file, kSPR, 201, {4}, "");
    Put(file, kSTR, 300, {'a', 'b'}, "labels");
    EXPECT_EQ(file.GetIndType(1), kSTR);
    EXPECT_EQ(file.GetIndType(2), kSPR);
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  }
  IFFResFile file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  EXPECT_EQ(file.CountTypes(), 2);
  EXPECT_EQ(file.GetIndType(1), kSTR) << "the type read last comes first";
  EXPECT_EQ(file.CountResources(kSPR), 2);
  MHandle first = file.GetIndResource(kSPR, 1, nullptr);
  ResID id = 0;
  file.GetResID(first, id);
  EXPECT_EQ(id, 201);
  file.ReleaseAndDispose(first);
  EXPECT_EQ(Get(file, kSPR, 200), std::string("\1\2\3"));
  MHandle named = file.GetNamedResource(kSTR, "labels", nullptr);
  ASSERT_NE(named, nullptr);
  EXPECT_EQ(TextOf(named), "ab");
  CTGString name;
  file.GetResName(named, name);
  EXPECT_EQ(name, "labels");
  file.ReleaseAndDispose(named);
  EXPECT_EQ(file.GetNamedResource(kSPR, "labels", nullptr), nullptr) << "the name belongs to another type";
  EXPECT_EQ(file.GetError(), res_error::kNotThisFile);
  file.CloseFile();

  // The block stores the name's index, one above the largest in use.
  Bytes bytes = FileBytes(path);
  std::vector<std::int32_t> indexes;
  for (const auto& block : RawBlocks(bytes, 16)) {
    if (block.type == kSPR || block.type == kSTR) indexes.push_back(static_cast<std::int32_t>(BE32At(bytes, block.offset + 12)));
  }
  EXPECT_EQ(indexes, (std::vector<std::int32_t>{1, -1, 2}));
}

TEST_F(IFF1Test, VariantsAttributesAndSuspensionAreNotSupported) {
  std::string path = NewFile();
  IFFResFile file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  MHandle h = Put(file, kSPR, 1, {9});
  EXPECT_EQ(file.GetVariantResource(kSPR, 1, 1, nullptr), nullptr);
  EXPECT_EQ(file.GetError(), res_error::kVariantUnsupported);
  EXPECT_EQ(file.GetVariantResource(kSPR, 1, 0, nullptr), h);
  EXPECT_EQ(file.GetResVariant(h), 0);
  EXPECT_EQ(file.SetResInfo(h, 1, "", 2), res_error::kVariantUnsupported);
  std::uint16_t attrs = 7;
  file.GetResAttrs(h, attrs);
  EXPECT_EQ(attrs, 0);
  EXPECT_EQ(file.GetError(), res_error::kAttrsUnsupported);
  EXPECT_EQ(file.UnsupportedOperation(h), res_error::kUnsupported);
  EXPECT_EQ(file.SuspendFile(), res_error::kOpenFailed);
  EXPECT_EQ(file.ResumeFile(), res_error::kOpenFailed);
  EXPECT_TRUE(file.IsResourceNative(h));
  EXPECT_EQ(file.CloseFile(), res_error::kNone);
}

TEST_F(IFF1Test, EveryOperationOnAClosedFileGivesNotOpen) {
  IFFResFile file;
  MHandle h = HandleOf(Bytes{1});
  EXPECT_EQ(file.CountTypes(), 0);
  EXPECT_EQ(file.GetError(), res_error::kNotOpen);
  EXPECT_EQ(file.GetResource(kSPR, 1, nullptr), nullptr);
  EXPECT_EQ(file.GetError(), res_error::kNotOpen);
  EXPECT_EQ(file.AddResource(h, kSPR, 1, "", true), res_error::kNotOpen);
  EXPECT_EQ(file.WriteResource(h), res_error::kNotOpen);
  EXPECT_EQ(file.ReleaseResource(h), res_error::kNotOpen);
  EXPECT_EQ(file.RemoveResource(h), res_error::kNotOpen);
  EXPECT_EQ(file.CloseFile(), res_error::kNotOpen);
  EXPECT_EQ(file.UpdateFile(), res_error::kNotOpen);
  EXPECT_EQ(file.SuspendFile(), res_error::kNotOpen);
  EXPECT_EQ(file.UniqueID(kSPR), 0);
  EXPECT_EQ(file.GetError(), res_error::kNotOpen);
  EXPECT_FALSE(file.IsWritable());
  DisposeHandle(h);
}

TEST_F(IFF1Test, SecondOpenCreateAndDeleteGiveAlreadyOpen) {
  std::string path = NewFile();
  IFFResFile file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  EXPECT_EQ(file.OpenFile(path), res_error::kAlreadyOpen);
  EXPECT_EQ(file.CreateFile(dir.File("other.iff")), res_error::kAlreadyOpen);
  EXPECT_EQ(file.DeleteFile(path), res_error::kAlreadyOpen);
  file.CloseFile();
  EXPECT_EQ(file.CreateFile(path), res_error::kCreateExists);
  EXPECT_EQ(file.DeleteFile(path), res_error::kNone);
  EXPECT_EQ(file.DeleteFile(path), res_error::kDeleteMissing);
  EXPECT_EQ(file.OpenFile(path), res_error::kOpenFailed);
}

// The offset of the block that holds a resource, found by walking the file.
std::int64_t BlockOf(const Bytes& bytes, ResType type, ResID id) {
  for (const auto& block : RawBlocks(bytes, 16)) {
    const auto blockID = static_cast<ResID>((bytes[block.offset + 8] << 8) | bytes[block.offset + 9]);
    if (block.type == type && blockID == id && !(block.flags & kInvalid)) return static_cast<std::int64_t>(block.offset);
  }
  return -1;
}

TEST_F(IFF1Test, RewriteOfTheSameSizeStaysInPlaceAndAnotherSizeFreesTheOldBlock) {
  std::string path = NewFile();
  IFFResFile file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  MHandle h = Put(file, kSPR, 1, Pattern(100, 1));
  Put(file, kSPR, 2, Pattern(10, 2));
  const std::int64_t first = BlockOf(FileBytes(path), kSPR, 1);
  ASSERT_GT(first, 0);

  {
    HandleLock lock(h);
    lock.Data()[0] ^= 0xFF;
  }
  ASSERT_EQ(file.WriteResource(h), res_error::kNone);
  Bytes bytes = FileBytes(path);
  EXPECT_EQ(BlockOf(bytes, kSPR, 1), first);
  EXPECT_EQ(bytes[static_cast<std::size_t>(first) + 16], Pattern(100, 1)[0] ^ 0xFF);
  EXPECT_EQ(file.FreeBytes(), 0);

  ASSERT_EQ(SetHandleSize(h, 150), 0);
  ASSERT_EQ(file.WriteResource(h), res_error::kNone);
  bytes = FileBytes(path);
  EXPECT_GT(BlockOf(bytes, kSPR, 1), first);
  EXPECT_EQ(BE32At(bytes, static_cast<std::size_t>(first)), kFree);
  EXPECT_TRUE(bytes[static_cast<std::size_t>(first) + 11] & kInvalid);
  EXPECT_EQ(file.FreeBytes(), 116);
  EXPECT_EQ(file.CloseFile(), res_error::kNone);
}

struct ReuseCase {
  std::int32_t smaller;  // how much smaller the new resource is than the freed one
  bool reused;
  std::int32_t rest;     // size of the free block left behind it, 0 for none
};

class IFF1ReuseTest : public IFF1Test, public ::testing::WithParamInterface<ReuseCase> {};

TEST_P(IFF1ReuseTest, FreeBlockIsTakenSplitOrPassedOver) {
  const ReuseCase& c = GetParam();
  std::string path = NewFile();
  {
    IFFResFile file;
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    MHandle doomed = Put(file, kSPR, 1, Pattern(100, 1));
    Put(file, kSPR, 2, Pattern(10, 2));
    ASSERT_EQ(file.RemoveResource(doomed), res_error::kNone);
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  }
  const std::int64_t freed = RawBlocks(FileBytes(path), 16)[1].offset;
  {
    IFFResFile file;
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    EXPECT_EQ(file.FreeBytes(), 116);
    Put(file, kOBJD, 3, Pattern(static_cast<std::size_t>(100 - c.smaller), 3));
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  }
  Bytes bytes = FileBytes(path);
  if (c.reused) {
    EXPECT_EQ(BlockOf(bytes, kOBJD, 3), freed);
  } else {
    EXPECT_GT(BlockOf(bytes, kOBJD, 3), freed);
  }
  std::int64_t restSize = 0;
  for (const auto& block : RawBlocks(bytes, 16)) {
    if (block.flags & kInvalid) restSize += block.size;
  }
  EXPECT_EQ(restSize, c.reused ? c.rest : 116);

  IFFResFile file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  const Bytes expected = Pattern(static_cast<std::size_t>(100 - c.smaller), 3);
  EXPECT_EQ(Get(file, kOBJD, 3), std::string(expected.begin(), expected.end()));
  file.CloseFile();
}

INSTANTIATE_TEST_SUITE_P(Sizes, IFF1ReuseTest,
                         ::testing::Values(ReuseCase{0, true, 0}, ReuseCase{1, false, 0}, ReuseCase{15, false, 0},
                                           ReuseCase{16, true, 16}, ReuseCase{17, true, 17},
                                           ReuseCase{60, true, 60}));

TEST_F(IFF1Test, ClosingWithEnoughFreeSpaceCompactsTheFile) {
  std::string path = NewFile();
  std::map<ResID, Bytes> kept;
  {
    IFFResFile file;
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    std::vector<MHandle> doomed;
    // Small gaps, and one block larger than any gap before it.
    for (ResID id = 1; id <= 12; ++id) {
      Bytes bytes = Pattern(id == 6 ? 30000 : 1500 + id * 10, id);
      MHandle h = Put(file, kSPR, id, bytes, id % 2 ? "odd" : "");
      if (id % 3 == 0) {
        doomed.push_back(h);
      } else {
        kept[id] = bytes;
      }
    }
    for (MHandle h : doomed) ASSERT_EQ(file.RemoveResource(h), res_error::kNone);
    ASSERT_GE(file.FreeBytes(), 4 * 1500);
    MHandle filler = file.GetResource(kSPR, 11, nullptr);
    ASSERT_EQ(file.RemoveResource(filler), res_error::kNone);
    kept.erase(11);
    ASSERT_GE(file.FreeBytes(), 10240);
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  }
  Bytes bytes = FileBytes(path);
  std::size_t live = 0;
  for (const auto& block : RawBlocks(bytes, 16)) {
    EXPECT_FALSE(block.flags & kInvalid);
    live += block.size;
  }
  EXPECT_EQ(bytes.size(), 64 + live);

  IFFResFile file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  EXPECT_EQ(file.FreeBytes(), 0);
  EXPECT_EQ(file.CountResources(kSPR), static_cast<std::int32_t>(kept.size()));
  for (const auto& [id, content] : kept) {
    MHandle h = file.GetResource(kSPR, id, nullptr);
    ASSERT_NE(h, nullptr) << id;
    EXPECT_EQ(testing::BytesOf(h), content) << id;
    CTGString name;
    file.GetResName(h, name);
    EXPECT_EQ(name, id % 2 ? "odd" : "") << id;
    file.ReleaseAndDispose(h);
  }
  file.CloseFile();
}

TEST_F(IFF1Test, ReleaseWritesAResourceThatLivesOnlyInMemory) {
  std::string path = NewFile();
  {
    IFFResFile file;
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    MHandle h = HandleOf(Bytes{5, 6});
    ASSERT_EQ(file.AddResource(h, kSTR, 7, "s", false), res_error::kNone);
    EXPECT_FALSE(file.IsResourceNative(h));
    ASSERT_EQ(file.ReleaseResource(h), res_error::kNone);
    EXPECT_EQ(file.GetResType(h), 0u) << "a released handle is the caller's";
    EXPECT_EQ(file.GetError(), res_error::kNotFound);
    DisposeHandle(h);
    MHandle pending = HandleOf(Bytes{8});
    ASSERT_EQ(file.AddResource(pending, kSTR, 8, "", true), res_error::kNone);
    ASSERT_EQ(file.CloseFile(), res_error::kNone) << "closing writes what is pending";
  }
  IFFResFile file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  EXPECT_EQ(Get(file, kSTR, 7), std::string("\5\6"));
  EXPECT_EQ(Get(file, kSTR, 8), std::string("\10"));
  file.CloseFile();
}

void Reverse(void* bytes, std::int32_t size) {
  auto* p = static_cast<std::uint8_t*>(bytes);
  std::reverse(p, p + size);
}

TEST_F(IFF1Test, SwizzlerRunsOnlyForBytesStoredInTheOtherOrder) {
  std::string path = NewFile();
  {
    IFFResFile file;
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    MHandle foreign = HandleOf(Bytes{1, 2, 3});
    ASSERT_EQ(file.AddResource(foreign, kSTR, 1, "", false), res_error::kNone);
    MHandle native = HandleOf(Bytes{1, 2, 3});
    ASSERT_EQ(file.AddResource(native, kSTR, 2, "", true), res_error::kNone);
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  }
  IFFResFile file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  MHandle foreign = file.GetResource(kSTR, 1, Reverse);
  EXPECT_EQ(TextOf(foreign), std::string("\3\2\1"));
  EXPECT_TRUE(file.IsResourceNative(foreign));
  file.ReleaseAndDispose(foreign);
  foreign = file.GetResource(kSTR, 1, Reverse);
  EXPECT_EQ(TextOf(foreign), std::string("\3\2\1")) << "released bytes are swizzled again on the next load";
  file.ReleaseAndDispose(foreign);
  MHandle native = file.GetResource(kSTR, 2, Reverse);
  EXPECT_EQ(TextOf(native), std::string("\1\2\3"));
  file.ReleaseAndDispose(native);
  file.CloseFile();
}

TEST_F(IFF1Test, UniqueIDAndUniqueName) {
  std::string path = NewFile();
  IFFResFile file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  EXPECT_EQ(file.UniqueID(kSPR), 129);
  Put(file, kSPR, 5, {1}, "wall");
  EXPECT_EQ(file.UniqueID(kSPR), 129) << "ids below 128 do not count";
  Put(file, kSPR, 200, {1}, "wall0");
  EXPECT_EQ(file.UniqueID(kSPR), 201);
  Put(file, kSPR, 32767, {1});
  EXPECT_EQ(file.UniqueID(kSPR), 129) << "with the largest id taken, the lowest free one";
  CTGString name("wall");
  file.UniqueName(kSPR, name);
  EXPECT_EQ(name, "wall1");
  name = "wall";
  file.UniqueName(kSTR, name);
  EXPECT_EQ(name, "wall") << "names of other types do not count";
  file.CloseFile();
}

TEST_F(IFF1Test, SetResInfoChangesIdAndNameOnDisk) {
  std::string path = NewFile();
  {
    IFFResFile file;
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    MHandle h = Put(file, kSPR, 1, {1, 2});
    ASSERT_EQ(file.SetResInfo(h, 2, "renamed", 0), res_error::kNone);
    MHandle other = Put(file, kSPR, 3, {3}, "gone");
    ASSERT_EQ(file.SetResID(other, 4), res_error::kNone);
    ASSERT_EQ(file.SetResInfo(other, 4, "", 0), res_error::kNone);
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  }
  AssertCapture reports;
  IFFResFile file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  EXPECT_EQ(Get(file, kSPR, 1), "<absent>");
  MHandle h = file.GetNamedResource(kSPR, "renamed", nullptr);
  ASSERT_NE(h, nullptr);
  ResID id = 0;
  EXPECT_EQ(file.GetResID(h, id), 2);
  file.ReleaseAndDispose(h);
  h = file.GetResource(kSPR, 4, nullptr);
  CTGString name("x");
  file.GetResName(h, name);
  EXPECT_EQ(name, "");
  file.ReleaseAndDispose(h);
  file.CloseFile();
  EXPECT_EQ(reports.Count(), 0u);
}

TEST_F(IFF1Test, OlderNameListIsRead) {
  Bytes bytes = Header1();
  Bytes names;
  for (auto [index, text] : {std::pair{3, std::string("door")}, std::pair{9, std::string("window")}}) {
    for (int shift = 0; shift < 32; shift += 8) names.push_back(static_cast<std::uint8_t>(index >> shift));
    names.push_back(static_cast<std::uint8_t>(text.size()));
    names.insert(names.end(), text.begin(), text.end());
  }
  names.push_back(7);  // a cut-off record at the end is ignored
  AppendBlock1(bytes, kNAME, 0, kInternalFlag | kNativeFlag, -1, names);
  AppendBlock1(bytes, kSPR, 10, kNativeFlag, 9, {1});
  AppendBlock1(bytes, kSPR, 11, kNativeFlag, 3, {2});
  std::string path = dir.File("older.iff");
  WriteFileBytes(path, bytes);

  AssertCapture reports;
  {
    IFFResFile file;
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    EXPECT_EQ(Get(file, kSPR, 10), "\1");
    MHandle h = file.GetNamedResource(kSPR, "door", nullptr);
    ResID id = 0;
    EXPECT_EQ(file.GetResID(h, id), 11);
    file.ReleaseAndDispose(h);
    Put(file, kSPR, 12, {3}, "new");
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  }
  EXPECT_EQ(reports.Count(), 0u);
  // Rewritten as the current form, and the older one is gone.
  bool older = false;
  bool current = false;
  Bytes after = FileBytes(path);
  for (const auto& block : RawBlocks(after, 16)) {
    if (block.type != kNAME || (block.flags & kInvalid)) continue;
    const auto id = (after[block.offset + 8] << 8) | after[block.offset + 9];
    older = older || id == 0;
    current = current || id == 1;
  }
  EXPECT_FALSE(older);
  EXPECT_TRUE(current);
  IFFResFile file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  MHandle h = file.GetNamedResource(kSPR, "window", nullptr);
  ResID id = 0;
  EXPECT_EQ(file.GetResID(h, id), 10);
  file.ReleaseAndDispose(h);
  file.CloseFile();
}

TEST_F(IFF1Test, ForeignOlderNameListReportsTheMissingSwizzler) {
  Bytes bytes = Header1();
  AppendBlock1(bytes, kNAME, 0, kInternalFlag, -1, {1, 0, 0, 0, 1, 'a'});
  std::string path = dir.File("foreign.iff");
  WriteFileBytes(path, bytes);
  AssertCapture reports;
  IFFResFile file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  EXPECT_TRUE(reports.Saw("code to swizzle names not implemented"));
  file.CloseFile();
}

TEST_F(IFF1Test, MissingNameListAndInternalModeMisuseAreReported) {
  Bytes bytes = Header1();
  AppendBlock1(bytes, kSPR, 1, kNativeFlag, 4, {1});
  std::string path = dir.File("nameless.iff");
  WriteFileBytes(path, bytes);
  AssertCapture reports;
  IFFResFile file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  EXPECT_TRUE(reports.Saw("no names cache"));
  MHandle h = file.GetResource(kSPR, 1, nullptr);
  CTGString name;
  file.GetResName(h, name);
  EXPECT_TRUE(reports.Saw("name index not found"));
  file.ReleaseAndDispose(h);
  file.EnterInternalMode();
  file.EnterInternalMode();
  EXPECT_TRUE(reports.Saw("entering internal mode more than once"));
  EXPECT_EQ(file.CountTypes(), 0);
  file.ExitInternalMode();
  file.ExitInternalMode();
  EXPECT_TRUE(reports.Saw("exiting internal mode more than once"));
  EXPECT_EQ(file.CountTypes(), 1);
  file.CloseFile();
}

TEST_F(IFF1Test, ArchiveMemberOpensReadOnlyAndRefusesChanges) {
  std::string path = NewFile();
  {
    IFFResFile file;
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    Put(file, kSPR, 1, {1}, "one");
    file.CloseFile();
  }
  FarWriter writer;
  ASSERT_TRUE(writer.Add("objects/first.iff", FileBytes(path)));
  std::string archive = dir.File("objects.far");
  ASSERT_TRUE(writer.Save(archive));
  CTGFileManager manager;
  ASSERT_TRUE(manager.MapFAR(archive));

  IFFResFile file(manager);
  ASSERT_EQ(file.OpenFile(dir.File("objects/first.iff")), res_error::kNone);
  EXPECT_FALSE(file.IsWritable());
  MHandle h = file.GetNamedResource(kSPR, "one", nullptr);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(file.WriteResource(h), res_error::kNotWritable);
  EXPECT_EQ(file.RemoveResource(h), res_error::kNotWritable);
  EXPECT_EQ(file.SetResInfo(h, 5, "", 0), res_error::kNotWritable);
  MHandle added = HandleOf(Bytes{2});
  EXPECT_EQ(file.AddResource(added, kSPR, 2, "", true), res_error::kNotWritable);
  DisposeHandle(added);
  EXPECT_EQ(file.CloseFile(), res_error::kNone);
}

TEST_F(IFF1Test, NameListWithTheLargestIndexRefusesNewNames) {
  Bytes bytes = Header1();
  AppendBlock1(bytes, kNAME, 0, kInternalFlag | kNativeFlag, -1, {0xFF, 0xFF, 0xFF, 0x7F, 1, 'z'});
  std::string path = dir.File("full.iff");
  WriteFileBytes(path, bytes);
  IFFResFile file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  MHandle h = HandleOf(Bytes{1});
  EXPECT_EQ(file.AddResource(h, kSPR, 1, "named", true), res_error::kNoNameIndex);
  MHandle unnamed = HandleOf(Bytes{2});
  EXPECT_EQ(file.AddResource(unnamed, kSPR, 2, "", true), res_error::kNone);
  EXPECT_EQ(file.SetResInfo(unnamed, 2, "late", 0), res_error::kNoNameIndex);
  EXPECT_EQ(file.CloseFile(), res_error::kNone);
}

}  // namespace
}  // namespace pixmold
