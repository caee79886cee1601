#include "filelib/rsrc_manager.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "filelib/ctg_file_manager.h"
#include "filelib/far_writer.h"
#include "support/assert_capture.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

constexpr RsrcType kSPR = 0x53505223;  // 'SPR#'
constexpr RsrcType kBMP = 0x424D505F;  // 'BMP_'
constexpr RsrcType kTGA = 0x5447415F;  // 'TGA_'
constexpr RsrcType kPIC = 0x50494320;  // 'PIC '

std::string Text(RsrcPkt& pkt) {
  std::vector<std::uint8_t> bytes;
  EXPECT_TRUE(pkt.ReadAll(bytes));
  return std::string(bytes.begin(), bytes.end());
}

TEST(RsrcDescriptor, FileNamesBothWays) {
  EXPECT_EQ(RsrcFileName(kSPR, 130, "chair"), "#130#chair.SPR");
  EXPECT_EQ(RsrcFileName(kBMP, RsrcDescriptor::kNoID, "thumb"), "thumb.BMP");
  EXPECT_EQ(RsrcFileName(kSPR, -5, "x"), "#-5#x.SPR");
  EXPECT_EQ(RsrcExtension(RsrcDescriptor::kAnyType), ".*");
  struct Case {
    const char* fileName;
    std::int32_t id;
    const char* name;
  };
  const Case cases[] = {
      {"#130#chair.SPR", 130, "chair"}, {"chair.SPR", RsrcDescriptor::kNoID, "chair"},
      {"#-7#neg.BMP", -7, "neg"},       {"#123456789#big.SPR", 123456789, "big"},
      {"#12x#odd.SPR", 12, "odd"},      {"#5#a.b.SPR", 5, "a.b"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RsrcIDFromFileName(c.fileName), c.id) << c.fileName;
    EXPECT_EQ(RsrcNameFromFileName(c.fileName), c.name) << c.fileName;
  }
  EXPECT_EQ(RsrcTypeFromFileName("#1#x.SPR"), 0x53505200u);
  EXPECT_EQ(RsrcTypeFromFileName("x.ab"), 0x61620000u);
  testing::AssertCapture capture;
  EXPECT_EQ(RsrcIDFromFileName("#1234567890#x.SPR"), RsrcDescriptor::kNoID);
  EXPECT_TRUE(capture.Saw("(j < 10)"));
  EXPECT_FALSE(RsrcTypeFromFileName("README"));
  EXPECT_FALSE(RsrcTypeFromFileName("abc"));
  EXPECT_TRUE(capture.Saw("(len > 3)"));
}

TEST(RsrcSite, SplitsOnSemicolonsAndIsValidOnlyWhenEveryDirectoryExists) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"a;b/", {"a/", "b/"}}, {";a", {"", "a/"}}, {"a;;b\\", {"a/", "", "b\\"}}, {"a;", {"a/"}}};
  for (const auto& [path, dirs] : cases) EXPECT_EQ(RsrcSite(path).Directories(), dirs) << path;
  testing::TempDir dir;
  dir.Write("a/x.SPR", "1");
  CTGFileManager files;
  EXPECT_TRUE(RsrcSite(dir.File("a")).IsValid(files));
  EXPECT_FALSE(RsrcSite(dir.File("a") + ";" + dir.File("missing")).IsValid(files));
  EXPECT_FALSE(RsrcSite("").IsValid(files));
  testing::AssertCapture capture;
  RsrcSite tooLong(std::string(300, 'd'));
  EXPECT_TRUE(capture.Saw("localIndex < kMaxSiteNameLength"));
  EXPECT_FALSE(tooLong.IsValid(files));
}

class RsrcManagerTest : public ::testing::Test {
 protected:
  testing::TempDir dir;
  CTGFileManager files;
  RsrcManager manager{files};

  std::string Dir(const char* name) const { return dir.File(name) + "/"; }
};

TEST_F(RsrcManagerTest, FindsByIdByNameAndByBoth) {
  dir.Write("a/#130#chair.SPR", "sprite");
  dir.Write("a/lamp.SPR", "lamp");
  RsrcSite site(dir.File("a"));
  RsrcPkt byId;
  ASSERT_EQ(manager.FindByID(&byId, site, kSPR, 130), RsrcManager::kFound);
  EXPECT_EQ(byId.mName, "chair");
  EXPECT_EQ(byId.mType, kSPR);
  EXPECT_EQ(byId.mSize, 6u);
  EXPECT_EQ(Text(byId), "sprite");
  RsrcPkt byName;
  ASSERT_EQ(manager.FindByName(&byName, site, kSPR, "chair"), RsrcManager::kFound);
  EXPECT_EQ(byName.mID, 130);
  RsrcPkt both;
  EXPECT_EQ(manager.LookInDirectory(&both, kSPR, Dir("a"), "chair", 130), RsrcManager::kFound);
  RsrcPkt noId;
  ASSERT_EQ(manager.FindByName(&noId, site, kSPR, "lamp"), RsrcManager::kFound);
  EXPECT_EQ(noId.mID, RsrcDescriptor::kNoID);
  EXPECT_EQ(Text(noId), "lamp");
  RsrcPkt missing;
  EXPECT_EQ(manager.FindByID(&missing, site, kSPR, 131), RsrcManager::kNotFound);
  EXPECT_EQ(manager.FindByID(&missing, site, kBMP, 130), RsrcManager::kNotFound);
  EXPECT_EQ(manager.FindByName(&missing, site, kSPR, "sofa"), RsrcManager::kNotFound);
  EXPECT_TRUE(missing.Empty());
}

TEST_F(RsrcManagerTest, EarlierDirectoryWins) {
  dir.Write("a/#5#x.BMP", "from a");
  dir.Write("b/#5#x.BMP", "from b");
  dir.Write("b/#6#y.BMP", "only b");
  RsrcSite site(dir.File("a") + ";" + dir.File("b"));
  RsrcPkt pkt;
  ASSERT_EQ(manager.FindByID(&pkt, site, kBMP, 5), RsrcManager::kFound);
  EXPECT_EQ(Text(pkt), "from a");
  RsrcPkt second;
  ASSERT_EQ(manager.FindByID(&second, site, kBMP, 6), RsrcManager::kFound);
  EXPECT_EQ(Text(second), "only b");
  auto listed = manager.List(site);
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].fileName, "#5#x.BMP");
  EXPECT_EQ(listed[1].fileName, "#6#y.BMP");
}

TEST_F(RsrcManagerTest, SearchIgnoresCaseTakesTheFirstNameAndAnyType) {
  dir.Write("a/#7#Zeta.spr", "z");
  dir.Write("a/#7#alpha.spr", "a");
  dir.Write("a/#9#pic.TGA", "t");
  RsrcPkt pkt;
  ASSERT_EQ(manager.LookInDirectory(&pkt, kSPR, Dir("a"), std::nullopt, 7), RsrcManager::kFound);
  EXPECT_EQ(pkt.mName, "alpha");
  RsrcPkt named;
  ASSERT_EQ(manager.LookInDirectory(&named, kSPR, Dir("a"), "ZETA", RsrcDescriptor::kNoID), RsrcManager::kFound);
  EXPECT_EQ(named.mID, 7);
  RsrcPkt any;
  ASSERT_EQ(manager.LookInDirectory(&any, RsrcDescriptor::kAnyType, Dir("a"), std::nullopt, 9), RsrcManager::kFound);
  EXPECT_EQ(any.mType, 0x54474100u) << "the type comes from the file";
}

TEST_F(RsrcManagerTest, MajorTypesTryTheirMinorTypesInOrder) {
  dir.Write("a/#1#one.TGA", "tga");
  dir.Write("a/#2#two.BMP", "bmp2");
  dir.Write("a/#2#two.TGA", "tga2");
  manager.AddMajorType(kPIC);
  manager.AddMinorType(kPIC, kBMP);
  manager.AddMinorType(kPIC, kTGA);
  RsrcSite site(dir.File("a"));
  RsrcPkt one;
  ASSERT_EQ(manager.FindByID(&one, site, kPIC, 1), RsrcManager::kFound);
  EXPECT_EQ(one.mType, kTGA);
  RsrcPkt two;
  ASSERT_EQ(manager.FindByID(&two, site, kPIC, 2), RsrcManager::kFound);
  EXPECT_EQ(two.mType, kBMP);
  EXPECT_EQ(Text(two), "bmp2");

  testing::AssertCapture capture;
  manager.AddMinorType(kBMP, kPIC);
  EXPECT_TRUE(capture.Saw("this->IsMajorType(inMinorType) == 0"));
  EXPECT_TRUE(manager.MinorTypes(kSPR).empty());
  EXPECT_TRUE(capture.Saw("majorIter != mMajorTypes.end()"));
}

TEST_F(RsrcManagerTest, MisuseIsReportedAsAnError) {
  dir.Write("a/#1#x.SPR", "x");
  testing::AssertCapture capture;
  RsrcPkt pkt;
  EXPECT_EQ(manager.LookInDirectory(&pkt, kSPR, dir.File("a"), std::nullopt, 1), RsrcManager::kError);
  EXPECT_TRUE(capture.Saw("inDir[strlen(inDir)-1] == '\\\\'"));
  EXPECT_EQ(manager.LookInDirectory(&pkt, kSPR, Dir("a"), std::nullopt, RsrcDescriptor::kNoID), RsrcManager::kError);
  EXPECT_TRUE(capture.Saw("inID != RsrcDescriptor::kNoID"));
  EXPECT_EQ(manager.LookInDirectory(nullptr, kSPR, Dir("a"), std::nullopt, 1), RsrcManager::kError);
  ASSERT_EQ(manager.LookInDirectory(&pkt, kSPR, Dir("a"), std::nullopt, 1), RsrcManager::kFound);
  EXPECT_EQ(manager.LookInDirectory(&pkt, kSPR, Dir("a"), std::nullopt, 1), RsrcManager::kError);
  EXPECT_TRUE(capture.Saw("(mStream == 0) && (mFile == 0)"));
}

TEST_F(RsrcManagerTest, FindsArchiveMembers) {
  FarWriter far;
  ASSERT_TRUE(far.Add("sprites/#40#rug.SPR", "packed"));
  ASSERT_TRUE(far.Save(dir.File("art.far")));
  ASSERT_TRUE(files.MapFAR(dir.File("art.far")));
  RsrcSite site(dir.File("sprites"));
  EXPECT_TRUE(site.IsValid(files));
  RsrcPkt pkt;
  ASSERT_EQ(manager.FindByID(&pkt, site, kSPR, 40), RsrcManager::kFound);
  EXPECT_EQ(pkt.Kind(), RsrcPkt::kCTGFile);
  EXPECT_EQ(pkt.mName, "rug");
  EXPECT_EQ(Text(pkt), "packed");
}

TEST(RsrcPkt, StreamKindsAreExclusive) {
  RsrcPkt pkt;
  ASSERT_TRUE(pkt.SetStream(std::make_unique<std::istringstream>("12345")));
  EXPECT_EQ(pkt.mSize, 5u);
  EXPECT_EQ(Text(pkt), "12345");
  EXPECT_NE(pkt.GetStream(), nullptr);
  testing::AssertCapture capture;
  EXPECT_EQ(pkt.GetFile(), nullptr);
  EXPECT_TRUE(capture.Saw("mStreamType == kCTGFile"));
  pkt.Clear();
  EXPECT_TRUE(pkt.Empty());
  EXPECT_EQ(pkt.GetStream(), nullptr);
  EXPECT_TRUE(capture.Saw("mStream != 0"));
}

TEST(RsrcCollection, IteratorStaysInsideTheList) {
  testing::TempDir dir;
  dir.Write("d/#1#a.SPR", "a");
  dir.Write("d/#2#b.SPR", "b");
  dir.Write("d/notes", "not a resource");
  CTGFileManager files;
  RsrcCollection collection(dir.File("d") + "/", files);
  ASSERT_EQ(collection.size(), 2u);
  auto it = collection.begin();
  EXPECT_EQ((*it).name, "a");
  it += 1;
  EXPECT_EQ((*it).id, 2);
  it += 1;
  EXPECT_TRUE(it.AtEnd());
  testing::AssertCapture capture;
  it += 1;
  EXPECT_TRUE(capture.Saw("mIndex+i < mCollection->size()"));
  it -= 5;
  EXPECT_TRUE(capture.Saw("mIndex-i >= 0"));
  it -= 2;
  EXPECT_EQ((*it).name, "a");
}

}  // namespace
}  // namespace pixmold
