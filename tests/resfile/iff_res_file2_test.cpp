#include "resfile/iff_res_file2.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace pixmold
