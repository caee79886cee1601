#include "resfile/iff_res_file2.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "filelib/ctg_file_manager.h"
#include "filelib/far_writer.h"
#include "filelib/io_faults.h"
#include "iff_test_util.h"
#include "resfile/iff_format.h"
#include "support/assert_capture.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

using testing::AssertCapture;
using testing::BE32At;
using testing::Bytes;
using testing::BytesOf;
using testing::FileBytes;
using testing::HandleOf;
using testing::Pattern;
using testing::TakeSnapshot;
using testing::TempDir;
using testing::TextOf;

constexpr ResType kSPR2 = MakeResType("SPR2");
constexpr ResType kSTR = MakeResType("STR#");
constexpr ResType kDGRP = MakeResType("DGRP");

class IFF2Test : public ::testing::Test {
 protected:
  std::string NewFile(std::string_view name = "object.iff") {
    std::string path = dir.File(name);
    IFFResFile2 file;
    EXPECT_EQ(file.CreateFile(path), res_error::kNone);
    return path;
  }

  // Adds and writes a resource; the file keeps the handle.
  static void Put(IFFResFile2& file, ResType type, ResID id, const Bytes& bytes, std::string_view name = "",
                  std::uint8_t variant = 0) {
    MHandle h = HandleOf(bytes);
    ASSERT_EQ(file.AddVariantResource(h, type, id, CTGString(name), variant, true), res_error::kNone);
    ASSERT_EQ(file.WriteResource(h), res_error::kNone);
  }

  static std::string Get(IFFResFile2& file, ResType type, ResID id, std::uint8_t variant = 0) {
    MHandle h = file.GetVariantResource(type, id, variant, nullptr);
    if (!h) return "<absent>";
    std::string text = TextOf(h);
    file.ReleaseAndDispose(h);
    return text;
  }

  TempDir dir;
};

TEST_F(IFF2Test, CreatedFileIsAHeaderWithNoMap) {
  std::string path = NewFile();
  Bytes bytes = FileBytes(path);
  ASSERT_EQ(bytes.size(), 64u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 34), "IFF FILE 2.5:TYPE FOLLOWED BY SIZE");
  EXPECT_EQ(bytes[34], 0);
  EXPECT_EQ(std::string(bytes.begin() + 35, bytes.begin() + 60), " ORRIN VELDKAMP & KORVA 1");
  EXPECT_EQ(BE32At(bytes, 60), 0u);

  IFFResFile2 file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  EXPECT_EQ(file.CountTypes(), 0);
  EXPECT_FALSE(file.OpenedByMap());
  EXPECT_EQ(file.CloseFile(), res_error::kNone);
  EXPECT_EQ(FileBytes(path).size(), 64u) << "closing an unchanged file writes nothing";
}

TEST_F(IFF2Test, ResourcesSurviveCloseAndReopenThroughTheMap) {
  std::string path = NewFile();
  {
    IFFResFile2 file;
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    Put(file, kSPR2, 200, Bytes{1, 2, 3}, "sprite");
    Put(file, kSTR, 128, Bytes{'h', 'i'}, "strings");
    Put(file, kSPR2, 201, Bytes{}, "");
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  }
  Bytes bytes = FileBytes(path);
  const std::uint32_t mapOffset = BE32At(bytes, 60);
  ASSERT_NE(mapOffset, 0u);
  EXPECT_EQ(BE32At(bytes, mapOffset), kResMapType);

  IFFResFile2 file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  EXPECT_TRUE(file.OpenedByMap());
  EXPECT_EQ(file.CountTypes(), 2);
  EXPECT_EQ(file.GetIndType(1), kSPR2);
  EXPECT_EQ(file.GetIndType(2), kSTR);
  EXPECT_EQ(file.GetIndType(3), 0u);
  EXPECT_EQ(file.GetError(), res_error::kTypeIndexRange);
  EXPECT_EQ(file.CountResources(kSPR2), 2);
  EXPECT_EQ(Get(file, kSPR2, 200), std::string("\1\2\3"));
  EXPECT_EQ(Get(file, kSPR2, 201), "");
  EXPECT_EQ(Get(file, kSTR, 128), "hi");
  MHandle named = file.GetNamedResource(kSTR, "strings", nullptr);
  ASSERT_NE(named, nullptr);
  CTGString name;
  file.GetResName(named, name);
  EXPECT_EQ(name, "strings");
  file.ReleaseAndDispose(named);
  EXPECT_EQ(file.GetNamedResource(kSTR, "nothing", nullptr), nullptr);
  EXPECT_EQ(file.GetError(), res_error::kNotThisFile);
  EXPECT_EQ(file.CloseFile(), res_error::kNone);
  EXPECT_EQ(FileBytes(path), bytes) << "closing an unchanged file writes nothing";
}

TEST_F(IFF2Test, WalkAndMapGiveTheSameIndex) {
  std::string path = NewFile();
  {
    IFFResFile2 file;
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    for (ResID id = 1; id <= 20; ++id) Put(file, id % 3 ? kSPR2 : kDGRP, id, Pattern(id * 7u, id), "n");
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  }
  IFFResFile2 byMap;
  ASSERT_EQ(byMap.OpenFile(path), res_error::kNone);
  ASSERT_TRUE(byMap.OpenedByMap());
  auto fromMap = TakeSnapshot(byMap);
  byMap.CloseFile();

  IFFResFile2 clearer;
  ASSERT_EQ(clearer.ClearMap(path), res_error::kNone);
  IFFResFile2 byWalk;
  ASSERT_EQ(byWalk.OpenFile(path), res_error::kNone);
  EXPECT_FALSE(byWalk.OpenedByMap());
  EXPECT_EQ(TakeSnapshot(byWalk), fromMap);
  EXPECT_EQ(fromMap.size(), 20u);
}

TEST_F(IFF2Test, Version20FileIsWalkedAndGetsAMapAtClose) {
  Bytes bytes = testing::Header2('0', 0xDEADBEEF);
  testing::AppendBlock2(bytes, kSTR, 1, kNativeFlag, "old", {7, 8});
  std::string path = dir.File("old.iff");
  testing::WriteFileBytes(path, bytes);
  {
    IFFResFile2 file;
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    EXPECT_FALSE(file.OpenedByMap()) << "a 2.0 header's last bytes are not a map offset";
    EXPECT_EQ(Get(file, kSTR, 1), std::string("\7\10"));
    Put(file, kSTR, 2, {9});
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  }
  Bytes after = FileBytes(path);
  EXPECT_EQ(after[9], '2');
  EXPECT_EQ(after[11], '5');
  const std::uint32_t map = BE32At(after, 60);
  ASSERT_GT(map, 64u);
  EXPECT_EQ(BE32At(after, map), kResMapType);
  IFFResFile2 file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  EXPECT_TRUE(file.OpenedByMap());
  EXPECT_EQ(Get(file, kSTR, 1), std::string("\7\10"));
  EXPECT_EQ(Get(file, kSTR, 2), std::string("\11"));
}

TEST_F(IFF2Test, UnknownVersionsAndOtherHeadersFailWithNotIFF) {
  std::string path = dir.File("bad.iff");
  std::vector<Bytes> headers = {testing::Header2('7', 0), testing::Header1(), testing::Header2('5', 0)};
  headers[2][15] = 'x';
  Bytes majorThree = testing::Header2('5', 0);
  majorThree[9] = '3';
  headers.push_back(majorThree);
  for (const Bytes& header : headers) {
    testing::WriteFileBytes(path, header);
    IFFResFile2 file;
    EXPECT_EQ(file.OpenFile(path), res_error::kNotIFF);
    EXPECT_FALSE(file.IsOpen());
  }
  testing::WriteFileBytes(path, Bytes(10, 'I'));
  IFFResFile2 file;
  EXPECT_EQ(file.OpenFile(path), res_error::kShortRead);
}

TEST_F(IFF2Test, MapOffsetToAFreeBlockOrAnotherTypeIsIgnored) {
  Bytes base = testing::Header2('5', 0);
  testing::AppendBlock2(base, kSTR, 1, kNativeFlag, "", {1});
  testing::AppendBlock2(base, kFreeBlockType, 0, kInvalid, "", {0, 0, 0});
  const std::uint32_t strBlock = 64;
  const std::uint32_t freeBlock = 64 + 77;
  for (std::uint32_t target : {strBlock, freeBlock, 5u, 100000u, 0x80000000u}) {
    Bytes bytes = base;
    testing::PutBE32At(bytes, 60, target);
    std::string path = dir.File("pointed.iff");
    testing::WriteFileBytes(path, bytes);
    AssertCapture reports;
    IFFResFile2 file;
    ASSERT_EQ(file.OpenFile(path), res_error::kNone) << target;
    EXPECT_TRUE(reports.Saw("corrupt map found.")) << target;
    EXPECT_FALSE(file.OpenedByMap());
    EXPECT_EQ(Get(file, kSTR, 1), "\1");
    Put(file, kSTR, 2, {2});
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
    // A block the bad offset pointed to is not mistaken for the old map.
    IFFResFile2 reopened;
    ASSERT_EQ(reopened.OpenFile(path), res_error::kNone);
    EXPECT_TRUE(reopened.OpenedByMap());
    EXPECT_EQ(Get(reopened, kSTR, 1), "\1") << target;
    EXPECT_EQ(Get(reopened, kSTR, 2), "\2") << target;
  }
}

TEST_F(IFF2Test, VariantsShareTypeAndId) {
  std::string path = NewFile();
  {
    IFFResFile2 file;
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    Put(file, kSPR2, 5, {0}, "plain", 0);
    Put(file, kSPR2, 5, {1}, "first", 1);
    EXPECT_EQ(file.CountResources(kSPR2), 2) << "variants count too";
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  }
  IFFResFile2 file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  EXPECT_EQ(Get(file, kSPR2, 5), std::string("\0", 1));
  EXPECT_EQ(Get(file, kSPR2, 5, 1), "\1");
  EXPECT_EQ(Get(file, kSPR2, 5, 2), std::string("\0", 1)) << "a missing variant falls back to variant 0";
  MHandle h = file.GetVariantResource(kSPR2, 5, 1, nullptr);
  EXPECT_EQ(file.GetResVariant(h), 1);
  EXPECT_EQ(file.GetNamedResource(kSPR2, "first", nullptr), nullptr) << "names find variant 0 only";
  ASSERT_EQ(file.SetResInfo(h, 6, "moved", 3), res_error::kNone);
  EXPECT_EQ(file.GetResVariant(h), 3);
  EXPECT_EQ(file.GetVariantResource(kSPR2, 6, 3, nullptr), h);
  file.ReleaseAndDispose(h);
  ASSERT_EQ(file.CloseFile(), res_error::kNone);
  IFFResFile2 reopened;
  ASSERT_EQ(reopened.ClearMap(path), res_error::kNone);
  ASSERT_EQ(reopened.OpenFile(path), res_error::kNone);
  ASSERT_FALSE(reopened.OpenedByMap());
  EXPECT_EQ(Get(reopened, kSPR2, 6, 3), "\1") << "the new id and variant are in the block header";
  MHandle moved = reopened.GetVariantResource(kSPR2, 6, 3, nullptr);
  CTGString name;
  reopened.GetResName(moved, name);
  EXPECT_EQ(name, "moved");
  reopened.ReleaseAndDispose(moved);
}

TEST_F(IFF2Test, LongNamesAreCutTo63Characters) {
  std::string path = NewFile();
  const std::string longName(64, 'n');
  {
    AssertCapture reports;
    IFFResFile2 file;
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    Put(file, kSTR, 1, {1}, longName);
    EXPECT_TRUE(reports.Saw("name too long"));
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  }
  IFFResFile2 file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  MHandle h = file.GetResource(kSTR, 1, nullptr);
  CTGString name;
  file.GetResName(h, name);
  EXPECT_EQ(name.Str(), longName.substr(0, 63));
  file.ReleaseAndDispose(h);
  CTGString unique(longName.substr(0, 63));
  file.UniqueName(kSTR, unique);
  EXPECT_EQ(unique.Str(), longName.substr(0, 62) + "0") << "the number fits in the 63 characters";
  CTGString free("free");
  file.UniqueName(kSTR, free);
  EXPECT_EQ(free, "free");
}

TEST_F(IFF2Test, EnumerationFollowsFirstAppearance) {
  std::string path = NewFile();
  IFFResFile2 file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  Put(file, kSTR, 3, {3});
  Put(file, kSPR2, 1, {1});
  Put(file, kSTR, 1, {1});
  EXPECT_EQ(file.GetIndType(1), kSTR);
  EXPECT_EQ(file.GetIndType(2), kSPR2);
  MHandle h = file.GetIndResource(kSTR, 2, nullptr);
  ResID id = 0;
  EXPECT_EQ(file.GetResID(h, id), 1);
  EXPECT_EQ(file.GetIndResource(kSTR, 3, nullptr), nullptr);
  EXPECT_EQ(file.GetError(), res_error::kNotFound);
  EXPECT_EQ(file.UniqueID(kSTR), 129);
  EXPECT_EQ(file.UniqueID(kDGRP), 129);
}

TEST_F(IFF2Test, SuspendAndResumeReopenTheSameFile) {
  std::string path = NewFile();
  IFFResFile2 file;
  EXPECT_EQ(file.ResumeFile(), res_error::kOpenFailed);
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  Put(file, kSTR, 1, {1});
  ASSERT_EQ(file.SuspendFile(), res_error::kNone);
  EXPECT_FALSE(file.IsOpen());
  ASSERT_EQ(file.ResumeFile(), res_error::kNone);
  EXPECT_EQ(Get(file, kSTR, 1), "\1");
  EXPECT_EQ(file.ResumeFile(), res_error::kOpenFailed) << "the name is taken back";
}

TEST_F(IFF2Test, ReplacementKeepsTheOldBlockUntilTheNewOneIsWritten) {
  std::string path = NewFile();
  IFFResFile2 file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  Put(file, kSTR, 1, Pattern(40, 1));
  MHandle replacement = HandleOf(Pattern(60, 2));
  ASSERT_EQ(file.AddResource(replacement, kSTR, 1, "", true), res_error::kNone);
  // Until it is written, the file still holds the old resource.
  {
    IFFResFile2 reader;
    ASSERT_EQ(reader.OpenFile(path), res_error::kNone);
    EXPECT_EQ(BytesOf(reader.GetResource(kSTR, 1, nullptr)), Pattern(40, 1));
  }
  ASSERT_EQ(file.WriteResource(replacement), res_error::kNone);
  EXPECT_EQ(file.FreeBytes(), 40 + 76);
  IFFResFile2 reader;
  ASSERT_EQ(reader.OpenFile(path), res_error::kNone);
  EXPECT_EQ(BytesOf(reader.GetResource(kSTR, 1, nullptr)), Pattern(60, 2));
  EXPECT_EQ(reader.CountResources(kSTR), 1);
}

TEST_F(IFF2Test, CompactionLeavesNoFreeBlockAndNoOldMap) {
  std::string path = NewFile();
  std::map<ResID, Bytes> kept;
  {
    IFFResFile2 file;
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    for (ResID id = 1; id <= 30; ++id) {
      kept[id] = Pattern(id == 10 ? 40000 : 700, id);
      Put(file, kSPR2, id, kept[id], "s");
    }
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  }
  {
    IFFResFile2 file;
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    for (ResID id = 2; id <= 30; id += 2) {
      if (id == 10) continue;
      MHandle h = file.GetResource(kSPR2, id, nullptr);
      ASSERT_EQ(file.RemoveResource(h), res_error::kNone);
      kept.erase(id);
    }
    ASSERT_GE(file.FreeBytes(), 10240);
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  }
  Bytes bytes = FileBytes(path);
  const std::uint32_t map = BE32At(bytes, 60);
  std::size_t live = 0;
  for (const auto& block : testing::RawBlocks(bytes, 76)) {
    EXPECT_FALSE(block.flags & kInvalid) << block.offset;
    EXPECT_TRUE(block.type != kResMapType || block.offset == map) << "old map at " << block.offset;
    live += block.size;
  }
  EXPECT_EQ(bytes.size(), 64 + live);
  IFFResFile2 file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  ASSERT_TRUE(file.OpenedByMap());
  EXPECT_EQ(file.CountResources(kSPR2), static_cast<std::int32_t>(kept.size()));
  for (const auto& [id, content] : kept) EXPECT_EQ(Get(file, kSPR2, id), std::string(content.begin(), content.end())) << id;
}

TEST_F(IFF2Test, NoCompactionFlagKeepsFreeBlocks) {
  std::string path = NewFile();
  IFFResFile2 file;
  file.SetNoCompaction(true);
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  MHandle big = HandleOf(Pattern(20000, 1));
  ASSERT_EQ(file.AddResource(big, kSTR, 1, "", true), res_error::kNone);
  ASSERT_EQ(file.WriteResource(big), res_error::kNone);
  ASSERT_EQ(file.RemoveResource(big), res_error::kNone);
  ASSERT_EQ(file.CloseFile(), res_error::kNone);
  EXPECT_GT(FileBytes(path).size(), 20000u);
}

TEST_F(IFF2Test, ResourceOfTheMapTypeIsReportedAndDropped) {
  std::string path = NewFile();
  AssertCapture reports;
  IFFResFile2 file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  Put(file, kResMapType, 3, {1});
  Put(file, kSTR, 1, {1});
  ASSERT_EQ(file.CloseFile(), res_error::kNone);
  EXPECT_TRUE(reports.Saw("howd that happen?"));
  IFFResFile2 reopened;
  ASSERT_EQ(reopened.OpenFile(path), res_error::kNone);
  EXPECT_EQ(reopened.CountTypes(), 1);
}

TEST_F(IFF2Test, EveryErrorCodeOfTheLayer) {
  std::string path = NewFile();
  IFFResFile2 file;
  // -42, -43: creating where it cannot be, or over an existing file.
  EXPECT_EQ(file.CreateFile(dir.File("missing/dir/x.iff")), res_error::kCannotCreate);
  EXPECT_EQ(file.CreateFile(path), res_error::kCreateExists);
  // -40, -39: deleting what is not there, or what cannot go.
  EXPECT_EQ(file.DeleteFile(dir.File("none.iff")), res_error::kDeleteMissing);
  {
    FarWriter writer;
    ASSERT_TRUE(writer.Add("packed/member.iff", FileBytes(path)));
    ASSERT_TRUE(writer.Save(dir.File("packed.far")));
    CTGFileManager manager;
    ASSERT_TRUE(manager.MapFAR(dir.File("packed.far")));
    IFFResFile2 inArchive(manager);
    EXPECT_EQ(inArchive.DeleteFile(dir.File("packed/member.iff")), res_error::kCannotDelete);
  }
  // -50: a file that cannot be opened; resuming with nothing remembered.
  EXPECT_EQ(file.OpenFile(dir.File("none.iff")), res_error::kOpenFailed);
  // -49: no file open.
  EXPECT_EQ(file.UpdateFile(), res_error::kNotOpen);
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  // -47: a second open.
  EXPECT_EQ(file.OpenFile(path), res_error::kAlreadyOpen);
  Put(file, kSTR, 1, {1, 2, 3});
  MHandle h = file.GetResource(kSTR, 1, nullptr);
  // -98, -99, -100.
  EXPECT_EQ(file.GetResource(kSTR, 2, nullptr), nullptr);
  EXPECT_EQ(file.GetError(), res_error::kNotFound);
  MHandle stranger = HandleOf(Bytes{1});
  EXPECT_EQ(file.WriteResource(stranger), res_error::kNotThisFile);
  EXPECT_EQ(file.GetResType(stranger), 0u);
  EXPECT_EQ(file.GetError(), res_error::kNotFound);
  EXPECT_EQ(file.GetResVariant(stranger), 0);
  EXPECT_EQ(file.GetError(), res_error::kNotFound);
  EXPECT_TRUE(file.IsResourceNative(stranger));
  EXPECT_EQ(file.GetError(), res_error::kNotThisFile);
  DisposeHandle(stranger);
  EXPECT_EQ(file.GetIndType(0), 0u);
  EXPECT_EQ(file.GetError(), res_error::kTypeIndexRange);
  // -94, -95: what no IFF file offers.
  EXPECT_EQ(file.UnsupportedOperation(h), res_error::kUnsupported);
  std::uint16_t attrs = 1;
  file.GetResAttrs(h, attrs);
  EXPECT_EQ(file.GetError(), res_error::kAttrsUnsupported);
  // -200: the heap refuses the bytes of a resource being loaded.
  file.ReleaseAndDispose(h);
  FailHandleAllocationAfter(1);
  {
    AssertCapture reports;
    EXPECT_EQ(file.GetResource(kSTR, 1, nullptr), nullptr);
  }
  FailHandleAllocationAfter(0);
  EXPECT_EQ(file.GetError(), res_error::kOutOfMemory);
  EXPECT_EQ(file.CloseFile(), res_error::kNone);
}

TEST_F(IFF2Test, FailedWritesGiveTheFlatFileCodes) {
  std::string path = NewFile();
  CTGFileManager manager;
  IoFaults faults(manager);
  IFFResFile2 file(manager);
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  AssertCapture reports;
  MHandle h = HandleOf(Bytes{1, 2});
  ASSERT_EQ(file.AddResource(h, kSTR, 1, "", true), res_error::kNone);
  faults.FailNth(IoOp::kWrite, 1);
  EXPECT_EQ(file.WriteResource(h), res_error::kShortWrite);
  faults.FailNth(IoOp::kSeek, 1);
  EXPECT_EQ(file.WriteResource(h), res_error::kShortRead);
  EXPECT_TRUE(reports.Saw("could not make new header"));
  faults.FailNth(IoOp::kFlush, 1);
  EXPECT_EQ(file.UpdateFile(), res_error::kOpenFailed);
  EXPECT_TRUE(reports.Saw("could not flush file"));
  EXPECT_EQ(file.CloseFile(), res_error::kNone);
  IFFResFile2 reader;
  ASSERT_EQ(reader.OpenFile(path), res_error::kNone);
  EXPECT_EQ(Get(reader, kSTR, 1), std::string("\1\2"));
}

}  // namespace
}  // namespace pixmold
