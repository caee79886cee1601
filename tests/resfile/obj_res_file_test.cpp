// The object file on disk: real containers for ".iff" and ".spf", a real
// directory for ".dir".
#include "resfile/obj_res_file.h"

#include <gtest/gtest.h>

#include "iff_test_util.h"
#include "resfile/iff_res_file2.h"
#include "support/assert_capture.h"
#include "support/res_type_names.h"

namespace pixmold {
namespace {

using namespace testing;

// What one container file holds, opened on its own.
bool ContainerHolds(const std::string& path, ResType type, ResID id) {
  IFFResFile2 file;
  if (file.OpenFile(CTGString(path)) != 0) return false;
  MHandle h = file.GetResource(type, id, nullptr);
  bool found = h != nullptr;
  if (h) file.ReleaseAndDispose(h);
  file.CloseFile();
  return found;
}

class ObjTest : public ::testing::Test {
 protected:
  std::string Base() const { return dir.File("chair"); }
  void Add(ObjResFile& obj, ResType type, ResID id, std::string_view text, const char* name = "") {
    MHandle h = HandleOf(text);
    ASSERT_EQ(obj.AddResource(h, type, id, name, true), 0);
    ASSERT_EQ(obj.WriteResource(h), 0);
    obj.ReleaseAndDispose(h);
  }

  testing::TempDir dir;
};

TEST_F(ObjTest, CreatesThreeComponentsAndRoutesByType) {
  ObjResFile obj;
  ASSERT_EQ(obj.CreateFile(Base()), 0);
  EXPECT_TRUE(std::filesystem::is_regular_file(Base() + ".iff") && std::filesystem::is_regular_file(Base() + ".spf") &&
              std::filesystem::is_directory(Base() + ".dir"));
  ASSERT_EQ(obj.OpenFile(Base()), 0);
  EXPECT_EQ(obj.CountFiles(), 3);
  Add(obj, kSPR2, 128, "sprite");
  Add(obj, kSTR, 128, "strings");
  ASSERT_EQ(obj.CloseFile(), 0);
  EXPECT_EQ((std::vector<bool>{ContainerHolds(Base() + ".spf", kSPR2, 128), ContainerHolds(Base() + ".iff", kSPR2, 128),
                               ContainerHolds(Base() + ".iff", kSTR, 128), ContainerHolds(Base() + ".spf", kSTR, 128)}),
            (std::vector<bool>{true, false, true, false}));
}

TEST_F(ObjTest, LooseResourcesAreReadFromTheDirectory) {
  ObjResFile created;
  ASSERT_EQ(created.CreateFile(Base()), 0);
  {
    IFFResFile2 spf;
    ASSERT_EQ(spf.OpenFile(CTGString(Base() + ".spf")), 0);
    MHandle h = HandleOf("packed bitmap");
    ASSERT_EQ(spf.AddResource(h, kBMP, 300, "thumb", true), 0);
    ASSERT_EQ(spf.WriteResource(h), 0);
    spf.ReleaseAndDispose(h);
    ASSERT_EQ(spf.CloseFile(), 0);
  }
  dir.Write("chair.dir/#300#thumb.BMP", "loose bitmap");
  dir.Write("chair.dir/#301#popup.BMP", "loose popup");
  ObjResFile obj;
  ASSERT_EQ(obj.OpenFile(Base()), 0);
  // A container's resource comes before a loose one of the same type and id.
  EXPECT_EQ(TextOf(obj.GetResource(kBMP, 300, nullptr)), "packed bitmap");
  MHandle loose = obj.GetResource(kBMP, 301, nullptr);
  CTGString name;
  obj.GetResName(loose, name);
  EXPECT_EQ(TextOf(loose) + "," + name.Str(), "loose popup,popup");
  obj.ReleaseAndDispose(loose);
  EXPECT_EQ(obj.CountResources(kBMP), 3);
  // Replacing a resource held only loose is refused.
  OwnedHandle h(HandleOf("new"));
  EXPECT_EQ(obj.AddResource(h.Get(), kBMP, 301, "", true), -45);
}

TEST_F(ObjTest, StringsAndAnimationTablesComeFromTheObject) {
  ObjResFile obj;
  ASSERT_EQ(obj.CreateFile(Base()), 0);
  ASSERT_EQ(obj.OpenFile(Base()), 0);
  StringSet set;
  set.Init(&obj, 130, kSTR, false, 0);
  set.SetValue(1, "Walk");
  set.SetValue(2, "SIT");
  ASSERT_EQ(set.Save(), 0);
  const AnimTable* table = obj.GetAnimTable(130);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->Value(2), "sit");
  EXPECT_EQ(obj.GetAnimTable(130), table) << "cached per id";
  EXPECT_EQ(obj.GetAnimTable(131), nullptr);
}

TEST_F(ObjTest, OverrideLists) {
  ObjResFile obj;
  const std::int16_t values[] = {3, -1, 7};
  obj.SetOverride(10, std::span<const std::int16_t>(values));
  EXPECT_EQ(obj.GetOverride(10) ? *obj.GetOverride(10) : std::vector<std::int16_t>{},
            (std::vector<std::int16_t>{3, -1, 7}));
  obj.SetOverride(10, std::nullopt);
  EXPECT_EQ(obj.GetOverride(10), nullptr);
  testing::AssertCapture capture;
  obj.SetOverride(10, std::nullopt);
  EXPECT_TRUE(capture.Saw("override not found"));
}

}  // namespace
}  // namespace pixmold

namespace pixmold {
namespace {

// A part that is there but does not open is named, the others read, and the
// object takes no change: a resource of that part's types would land in
// another part, and one of them replaced there would shadow nothing.
TEST_F(ObjTest, APartThatDoesNotOpenIsNamedAndTheObjectTakesNoChange) {
  {
    ObjResFile obj;
    ASSERT_EQ(obj.CreateFile(Base()), 0);
    ASSERT_EQ(obj.OpenFile(Base()), 0);
    Add(obj, kSTR, 1, "text");
    Add(obj, kSPR2, 1, "sprite");
    ASSERT_EQ(obj.CloseFile(), 0);
  }
  std::filesystem::resize_file(Base() + ".spf", 10);
  const auto iffBefore = ReadAll(Base() + ".iff");
  ObjResFile obj;
  ASSERT_EQ(obj.OpenFile(Base()), 0);
  const std::vector<FileProblem> problems = obj.Problems();
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].Text(), Base() + ".spf: not a resource file: 10 bytes, less than the 64-byte file header");
  MHandle text = obj.GetResource(kSTR, 1, nullptr);
  ASSERT_NE(text, nullptr) << "the part that opens is read";
  EXPECT_EQ(obj.RemoveResource(text), res_error::kDamaged);
  OwnedHandle added(HandleOf(std::string_view("new")));
  EXPECT_EQ(obj.AddResource(added.Get(), kSTR, 2, "", true), res_error::kDamaged);
  EXPECT_EQ(obj.CloseFile(), 0);
  EXPECT_EQ(ReadAll(Base() + ".iff"), iffBefore);
}

}  // namespace
}  // namespace pixmold
