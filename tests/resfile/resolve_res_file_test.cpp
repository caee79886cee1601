#include "resfile/resolve_res_file.h"

#include <gtest/gtest.h>

#include <tuple>

#include "filelib/ctg_file_manager.h"
#include "iff_test_util.h"
#include "support/assert_capture.h"
#include "support/res_type_names.h"

namespace pixmold {
namespace {

using testing::Miss;
using testing::TextOf;

class ResolveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.Write("obj.dir/#130#chair.SPR", "sprite");
    dir.Write("obj.dir/#131#chair0.spr", "sprite2");
    dir.Write("obj.dir/#200#thumb.BMP", "bmp");
    dir.Write("obj.dir/named.BMP", "no id");
    dir.Write("obj.dir/#40000#far.BMP", "out of range");
    dir.Write("obj.dir/#7#odd.XYZ", "unknown type");
  }
  std::string Site() const { return dir.File("obj.dir"); }

  testing::TempDir dir;
  CTGFileManager files;
  RsrcManager manager{files};
  ResolveResFile file{manager};
};

TEST_F(ResolveTest, ReadsAndListsLooseResources) {
  ASSERT_EQ(file.OpenFile(Site()), 0);
  MHandle h = file.GetResource(kSPR, 130, nullptr);
  EXPECT_EQ(TextOf(h), "sprite");
  EXPECT_EQ(file.GetResource(kSPR, 130, nullptr), h);
  CTGString name;
  file.GetResName(h, name);
  EXPECT_EQ(name, "chair");
  // A file name keeps three characters of the type: SPR2 finds the same file.
  EXPECT_EQ(TextOf(file.GetResource(kSPR2, 131, nullptr)), "sprite2");
  EXPECT_EQ(TextOf(file.GetNamedResource(kBMP, "thumb", nullptr)), "bmp");
  EXPECT_EQ(Miss(file, file.GetResource(kSPR, 999, nullptr)), -98);
  EXPECT_EQ(Miss(file, file.GetNamedResource(kSPR, "nothing", nullptr)), -99);
  // Only files with an id in range are listed.
  std::vector<std::string> types;
  for (int i = 1; i <= file.CountTypes(); ++i) types.push_back(ResTypeName(file.GetIndType(i)));
  EXPECT_EQ(types, (std::vector<std::string>{"SPR#", "BMP_", "XYZ_"}));
  EXPECT_EQ(
      (std::tuple{file.CountResources(kSPR), file.CountResources(kBMP), TextOf(file.GetIndResource(kSPR, 2, nullptr)),
                  file.GetIndResource(kSPR, 3, nullptr), file.UniqueID(kSPR)}),
      std::tuple(2, 1, "sprite2", nullptr, 132));
  name = "chair";
  file.UniqueName(kSPR, name);
  EXPECT_EQ(name, "chair1");
}

TEST_F(ResolveTest, SitePathsAreNormalised) {
  EXPECT_EQ(ResolveResFile::NormalisePath(".\\./a\\b.dir"), "a/b.dir");
  std::filesystem::path cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  EXPECT_EQ(file.OpenFile(".\\obj.dir"), 0);
  EXPECT_NE(file.GetResource(kBMP, 200, nullptr), nullptr);
  file.CloseFile();
  std::filesystem::current_path(cwd);
}

TEST_F(ResolveTest, OpeningSuspendingAndWritingRules) {
  EXPECT_EQ(file.OpenFile(dir.File("missing.dir")), -47);
  ASSERT_EQ(file.OpenFile(Site()), 0);
  testing::AssertCapture capture;
  EXPECT_EQ(file.OpenFile(Site()), -47);
  EXPECT_TRUE(capture.Saw("double opening"));
  EXPECT_FALSE(file.IsWritable());
  OwnedHandle h(NewHandle(1));
  EXPECT_EQ(file.AddResource(h.Get(), kSPR, 1, "", true), -45);
  MHandle found = file.GetResource(kSPR, 130, nullptr);
  EXPECT_EQ(
      std::vector<ResErr>({file.WriteResource(found), file.RemoveResource(found), file.SetResInfo(found, 5, "x", 0)}),
      std::vector<ResErr>(3, -45));
  ASSERT_EQ(file.SuspendFile(), 0);
  EXPECT_FALSE(file.IsOpen());
  ASSERT_EQ(file.ResumeFile(), 0);
  EXPECT_NE(file.GetResource(kSPR, 130, nullptr), nullptr);
  std::filesystem::rename(Site(), dir.File("gone.dir"));
  EXPECT_EQ(Miss(file, file.CountTypes()), -1);
  EXPECT_TRUE(capture.Saw("get types failed"));
  std::filesystem::rename(dir.File("gone.dir"), Site());
  EXPECT_EQ(file.CountTypes(), 3);
  EXPECT_EQ(file.CloseFile(), 0);
  EXPECT_EQ(file.ResumeFile(), -50);
  EXPECT_EQ(Miss(file, file.GetResource(kSPR, 130, nullptr)), -49);
  EXPECT_TRUE(capture.Saw("no resolve site to thunk to"));
}

TEST_F(ResolveTest, ReleasedHandlesBelongToTheCaller) {
  ASSERT_EQ(file.OpenFile(Site()), 0);
  MHandle h = file.GetResource(kBMP, 200, nullptr);
  ASSERT_EQ(file.ReleaseResource(h), 0);
  OwnedHandle owned(h);
  EXPECT_EQ(Miss(file, file.GetResType(h)), -98);
  EXPECT_EQ(file.ReleaseResource(h), -99);
  testing::AssertCapture capture;
  CTGString name;
  file.GetResName(h, name);
  EXPECT_TRUE(capture.Saw("non-member handle"));
  MHandle again = file.GetResource(kBMP, 200, nullptr);
  EXPECT_NE(again, nullptr);
}

TEST_F(ResolveTest, CreateAndDeleteTheDirectory) {
  std::string fresh = dir.File("new.dir");
  EXPECT_EQ((std::vector<int>{file.CreateFile(fresh), std::filesystem::is_directory(fresh), file.CreateFile(fresh),
                              file.DeleteFile(fresh), std::filesystem::exists(fresh), file.DeleteFile(fresh),
                              file.DeleteFile(Site()), std::filesystem::exists(Site())}),
            (std::vector<int>{0, true, -43, 0, false, -40, -39, true}));
}

TEST_F(ResolveTest, NegativeIdIsReportedOutOfRange) {
  dir.Write("obj.dir/#-3#neg.STR", "n");
  ASSERT_EQ(file.OpenFile(Site()), 0);
  MHandle h = file.GetResource(kSTR, -3, nullptr);
  ASSERT_NE(h, nullptr);
  testing::AssertCapture capture;
  ResID id = 0;
  file.GetResID(h, id);
  EXPECT_TRUE(capture.Saw("id out of range"));
  EXPECT_EQ(file.CountResources(kSTR), 0);
}

}  // namespace
}  // namespace pixmold
