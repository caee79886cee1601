// Sequential and standard files over in-memory components, so the rules of
// naming, opening, creating and routing are checked apart from any
// container format.
#include "resfile/seq_res_file.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>

#include "resfile/handle_owner.h"
#include "resfile/std_res_file.h"
#include "support/assert_capture.h"
#include "support/memory_res_file.h"
#include "support/res_type_names.h"

namespace pixmold {
namespace {

using namespace testing;
using Codes = std::vector<ResErr>;

// Makes memory components; with a countdown set, the component made when
// it reaches 0 refuses to be deleted (-39).
template <typename Base>
class MemoryComponents : public Base {
 public:
  explicit MemoryComponents(MemoryDisk& disk) : fDisk(disk) {}
  int failDeleteCountdown = 0;

 protected:
  std::unique_ptr<iResFile> MakeComponent(int kind) override {
    if (kind < 1 || kind > 3) return nullptr;
    auto file = std::make_unique<MemoryResFile>(fDisk);
    if (failDeleteCountdown > 0 && --failDeleteCountdown == 0) file->FailNext(MemoryResFile::Op::kDelete, -39);
    return file;
  }

 private:
  MemoryDisk& fDisk;
};

class SeqTest : public ::testing::Test {
 protected:
  SeqTest() {
    seq.AddComponent(SeqResFile::kIFF2Kind, ".iff");
    seq.AddComponent(SeqResFile::kIFF2Kind, ".spf");
  }
  MemoryDisk disk;
  MemoryComponents<SeqResFile> seq{disk};
};

TEST(SeqResFileNames, TheNamesExtensionIsReplacedByTheComponents) {
  struct Case {
    const char* name;
    const char* extension;
    const char* component;
  };
  const Case cases[] = {
      {"chair", ".spf", "chair.spf"},
      {"objects/chair.iff", ".spf", "objects/chair.spf"},
      {"chair.IFF", ".spf", "chair.spf"},
      {"obj.dat", ".iff", "obj.iff"},
      {"obj.dat", ".dir", "obj.dir"},
      {"lamp.v2", ".iff", "lamp.iff"},
      {"lamp.tar.gz", ".iff", "lamp.tar.iff"},
      {"art.v2/lamp", ".iff", "art.v2/lamp.iff"},
      {"art.v2\\lamp", ".spf", "art.v2\\lamp.spf"},
      {"objects/.hidden", ".iff", "objects/.hidden.iff"},
      {"chair.", ".iff", "chair.iff"},
  };
  for (const Case& c : cases) EXPECT_EQ(SeqResFile::ComponentName(c.name, c.extension), c.component) << c.name;
}

TEST_F(SeqTest, OpensWhicheverComponentsExistOrGivesTheLastError) {
  EXPECT_EQ(seq.OpenFile("chair"), -50);
  EXPECT_EQ(MemoryComponents<SeqResFile>(disk).OpenFile("chair"), -250) << "no components at all";
  disk.files["chair.iff"];
  ASSERT_EQ(seq.OpenFile("chair"), 0);
  EXPECT_EQ((std::tuple{seq.CountFiles(), seq.ComponentExtension(0), seq.OpenFile("chair"), seq.CloseFile(),
                        seq.CountFiles()}),
            std::tuple(1, ".iff", -47, 0, 0));
}

TEST_F(SeqTest, CreatesEveryComponentAndReportsAPartialGroup) {
  ASSERT_EQ(seq.CreateFile("desk"), 0);
  EXPECT_EQ(disk.files.count("desk.iff") + disk.files.count("desk.spf"), 2u);
  EXPECT_EQ(seq.CreateFile("desk"), -43);

  disk.files.erase("desk.spf");
  testing::AssertCapture capture;
  EXPECT_EQ(seq.CreateFile("desk"), 0);
  EXPECT_TRUE(capture.Saw("oh no. created a file where some components already exist."));
}

TEST_F(SeqTest, DeletesTheGroup) {
  ASSERT_EQ(seq.CreateFile("desk"), 0);
  ASSERT_EQ(seq.DeleteFile("desk"), 0);
  EXPECT_TRUE(disk.files.empty());
  disk.files["lamp.iff"];
  EXPECT_EQ((Codes{seq.DeleteFile("desk"), seq.DeleteFile("lamp")}), (Codes{-40, 0}));

  ASSERT_EQ(seq.CreateFile("sofa"), 0);
  seq.failDeleteCountdown = 2;
  testing::AssertCapture capture;
  EXPECT_EQ(seq.DeleteFile("sofa"), -39);
  EXPECT_TRUE(capture.Saw("oh no. pratially deleted a file group."));
  EXPECT_TRUE(!disk.files.count("sofa.iff") && disk.files.count("sofa.spf"));
}

TEST_F(SeqTest, ComponentListRules) {
  testing::AssertCapture capture;
  seq.AddComponent(7, ".x");
  EXPECT_TRUE(capture.Saw("bad file type"));
  for (int i = 0; i < 6; ++i) seq.AddComponent(SeqResFile::kIFFKind, ".c" + std::to_string(i));
  EXPECT_FALSE(capture.Saw("not enough space for types"));
  seq.AddComponent(SeqResFile::kIFFKind, ".extra");
  EXPECT_TRUE(capture.Saw("not enough space for types"));
}

class StdTest : public ::testing::Test {
 protected:
  StdTest() {
    std_.AddComponent(SeqResFile::kIFF2Kind, ".iff");
    std_.AddComponent(SeqResFile::kIFF2Kind, ".spf");
  }
  MHandle Add(ResType type, ResID id) {
    MHandle h = NewHandle(4);
    EXPECT_EQ(std_.AddResource(h, type, id, "", true), 0);
    EXPECT_EQ(std_.WriteResource(h), 0);
    return h;
  }
  MemoryDisk disk;
  MemoryComponents<StdResFile> std_{disk};
};

TEST_F(StdTest, GraphicsGoToSpfAndDataToIffUnlessOnlyIffExists) {
  ASSERT_EQ(std_.CreateFile("chair"), 0);
  ASSERT_EQ(std_.OpenFile("chair"), 0);
  for (ResType type : StdResFile::kGraphicsTypes) EXPECT_TRUE(!std_.Allows(0, type) && std_.Allows(1, type));
  EXPECT_EQ(std_.OwnerOf(Add(kSPR2, 128)), std_.GetFile(1));
  EXPECT_EQ(std_.OwnerOf(Add(kSTR, 128)), std_.GetFile(0));
  ASSERT_EQ(std_.CloseFile(), 0);
  EXPECT_TRUE(disk.Find("chair.spf", kSPR2, 128) && !disk.Find("chair.iff", kSPR2, 128) &&
              disk.Find("chair.iff", kSTR, 128));
  disk.files.erase("chair.spf");
  ASSERT_EQ(std_.OpenFile("chair"), 0);
  EXPECT_EQ(std_.CountFiles(), 1);
  EXPECT_EQ(std_.OwnerOf(Add(kSPR2, 129)), std_.GetFile(0));
}

}  // namespace
}  // namespace pixmold
