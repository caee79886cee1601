#include "filelib/rsrc_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
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

// "name id type text" of what was found (a zero byte of the type shown as
// "."), or "" when nothing was.
std::string Found(int result, RsrcPkt& pkt) {
  if (result != RsrcManager::kFound) return result == RsrcManager::kNotFound && pkt.Empty() ? "" : "error";
  std::string type;
  for (int shift = 24; shift >= 0; shift -= 8) type += static_cast<char>(pkt.mType >> shift);
  std::replace(type.begin(), type.end(), '\0', '.');
  return pkt.mName + " " + std::to_string(pkt.mID) + " " + type + " " + Text(pkt);
}

// Lookups by id, by name or (with both) in the first directory only, over
// loose files of two directories and an archive's members.
TEST_F(RsrcManagerTest, FindsTheFirstMatchInSiteOrder) {
  const std::pair<const char*, const char*> loose[] = {
      {"a/#130#chair.SPR", "sprite"}, {"a/lamp.SPR", "lamp"},   {"a/#5#x.BMP", "from a"}, {"b/#5#x.BMP", "from b"},
      {"b/#6#y.BMP", "only b"},       {"a/#7#Zeta.spr", "z"},   {"a/#7#alpha.spr", "a"},  {"a/#9#pic.TGA", "t"},
      {"a/#1#one.TGA", "tga"},        {"a/#2#two.BMP", "bmp2"}, {"a/#2#two.TGA", "tga2"}};
  for (const auto& [path, text] : loose) dir.Write(path, text);
  FarWriter far;
  ASSERT_TRUE(far.Add("sprites/#40#rug.SPR", "packed"));
  ASSERT_TRUE(far.Save(dir.File("art.far")));
  ASSERT_TRUE(files.MapFAR(dir.File("art.far")));
  manager.AddMajorType(kPIC);
  manager.AddMinorType(kPIC, kBMP);
  manager.AddMinorType(kPIC, kTGA);
  const RsrcSite site(dir.File("a") + ";" + dir.File("b") + ";" + dir.File("sprites"));
  EXPECT_TRUE(site.IsValid(files));
  const struct {
    const char* what;
    RsrcType type;
    std::optional<std::string_view> name;
    std::int32_t id;
    const char* found;
  } cases[] = {
      {"by id", kSPR, std::nullopt, 130, "chair 130 SPR# sprite"},
      {"by name", kSPR, "chair", RsrcDescriptor::kNoID, "chair 130 SPR# sprite"},
      {"by both", kSPR, "chair", 130, "chair 130 SPR# sprite"},
      {"a name without an id", kSPR, "lamp", RsrcDescriptor::kNoID, "lamp -2147483648 SPR# lamp"},
      {"no such id", kSPR, std::nullopt, 131, ""},
      {"no such type", kBMP, std::nullopt, 130, ""},
      {"no such name", kSPR, "sofa", RsrcDescriptor::kNoID, ""},
      {"the earlier directory wins", kBMP, std::nullopt, 5, "x 5 BMP_ from a"},
      {"a later directory", kBMP, std::nullopt, 6, "y 6 BMP_ only b"},
      {"the first name for an id", kSPR, std::nullopt, 7, "alpha 7 SPR# a"},
      {"names ignore case", kSPR, "ZETA", RsrcDescriptor::kNoID, "Zeta 7 SPR# z"},
      {"any type takes the file's", RsrcDescriptor::kAnyType, std::nullopt, 9, "pic 9 TGA. t"},
      {"a major type tries its minor types", kPIC, std::nullopt, 1, "one 1 TGA_ tga"},
      {"the minor types in order", kPIC, std::nullopt, 2, "two 2 BMP_ bmp2"},
      {"an archive member", kSPR, std::nullopt, 40, "rug 40 SPR# packed"},
  };
  for (const auto& c : cases) {
    RsrcPkt pkt;
    const int result = !c.name                         ? manager.FindByID(&pkt, site, c.type, c.id)
                       : c.id == RsrcDescriptor::kNoID ? manager.FindByName(&pkt, site, c.type, *c.name)
                                                       : manager.LookInDirectory(&pkt, c.type, Dir("a"), c.name, c.id);
    EXPECT_EQ(Found(result, pkt), c.found) << c.what;
  }
  // A listing takes each file name once, from the first directory holding it.
  const auto listed = manager.List(site);
  EXPECT_EQ(listed.size(), 11u);
  EXPECT_EQ(std::count_if(listed.begin(), listed.end(), [](const RsrcEntry& e) { return e.fileName == "#5#x.BMP"; }),
            1);

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
