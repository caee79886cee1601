#include "records/obj_definition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "base/byte_cursor.h"
#include "support/assert_capture.h"
#include "support/handle_bytes.h"

namespace pixmold {
namespace {

TEST(ObjDefinition, NamedFieldsSitAtTheirByteOffsetsAndOthersAreOutOfRange) {
  std::vector<std::uint8_t> bytes(ObjDefinition::kSize, 0);
  ObjDefinition def(bytes);
  def.SetWord(ObjDefinition::kVersionWord, 138);
  def.SetGuid(0x12345678);
  def.SetTemplateGuid(0xCAFEBABE);
  def.SetSignedWord(ObjDefinition::kFirstDrawGroupIdWord, -2);
  def.SetWord(ObjDefinition::kCatalogStringsIdWord, 2001);
  def.SetSignedWord(ObjDefinition::kWallStyleIdWord, 300);
  const std::pair<int, int> at[] = {{0, 138},   {28, 0x78},        {29, 0x56},       {30, 0x34},
                                    {31, 0x12}, {140, 0xBE},       {143, 0xCA},      {6, 0xFE},
                                    {7, 0xFF},  {82, 2001 & 0xFF}, {162, 300 & 0xFF}};
  for (const auto& [offset, value] : at) EXPECT_EQ(bytes[offset], value) << offset;
  EXPECT_EQ(def.Guid(), 0x12345678u);
  EXPECT_EQ(def.FirstDrawGroupId(), -2);
  EXPECT_EQ(def.WallStyleId(), 300);
  testing::AssertCapture asserts;
  EXPECT_EQ(def.Word(108), 0);
  EXPECT_EQ(def.Word(-1), 0);
  def.SetWord(108, 1);
  EXPECT_TRUE(asserts.Saw("definition word out of range"));
}

TEST(ObjDefinition, MasterRuleAndPartBytes) {
  std::vector<std::uint8_t> bytes(ObjDefinition::kSize, 0);
  ObjDefinition def(bytes);
  EXPECT_TRUE(def.IsMaster());
  def.SetSignedWord(ObjDefinition::kMultiTileGroupWord, 4);
  def.SetSignedWord(ObjDefinition::kMultiTilePartWord, 2);
  EXPECT_FALSE(def.IsMaster());
  def.SetSignedWord(ObjDefinition::kMultiTilePartWord, -1);
  EXPECT_TRUE(def.IsMaster());
  EXPECT_FALSE(def.IsSingleTile());
  def.SetPartBytes(0x12, 0x34);
  EXPECT_EQ(def.Word(ObjDefinition::kMultiTilePartWord), 0x1234);
  EXPECT_EQ(def.PartBytes(), std::make_pair(std::uint8_t{0x12}, std::uint8_t{0x34}));
}

TEST(ObjDefinition, ClearEntryPointsTouchesOnlyTheThirtyWords) {
  std::vector<std::uint8_t> bytes(ObjDefinition::kSize, 0xAB);
  ObjDefinition def(bytes);
  def.ClearEntryPoints();
  const auto& entries = ObjDefinition::kEntryPointWords;
  for (int w = 0; w < ObjDefinition::kWordCount; ++w) {
    EXPECT_EQ(def.Word(w), std::find(std::begin(entries), std::end(entries), w) != std::end(entries) ? 0 : 0xABAB) << w;
  }
}

// A definition handle of the given version and size whose bytes after the
// version word count up from 1.
OwnedHandle MakeDefinition(std::uint16_t version, std::uint32_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::uint32_t i = 2; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i + 1);
  StoreU16(bytes, 0, version, ByteOrder::kLittle);
  return testing::HandleOf(bytes);
}

struct NormaliseCase {
  std::uint16_t version;
  std::uint32_t size;
  bool converted;
  std::uint16_t resultVersion;
  std::size_t keptBytes;  // bytes after the version word that keep their value
  const char* report;     // the one assertion reported, or ""
};

TEST(ObjDefinitionNormalise, VersionsAndSizes) {
  const NormaliseCase cases[] = {{137, 160, true, 138, 160, ""},
                                 {136, 216, true, 138, 216, ""},
                                 {137, 100, true, 138, 100, ""},
                                 {136, 101, true, 138, 100, ""},
                                 {138, 216, false, 138, 216, ""},
                                 {139, 216, false, 139, 216, "bad version"},
                                 {137, 216, true, 138, 216, "correctly sized def found."},
                                 {137, 230, true, 138, 216, "truncating defn."},
                                 {138, 230, false, 138, 216, "truncating defn."},
                                 {138, 200, false, 138, 200, "filling in defn with zeroes."}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.version) + "/" + std::to_string(c.size));
    testing::AssertCapture asserts;
    OwnedHandle handle = MakeDefinition(c.version, c.size);
    EXPECT_EQ(ObjDefinition::Normalise(handle.Get()), c.converted);
    std::vector<std::uint8_t> bytes = testing::Contents(handle);
    ASSERT_EQ(bytes.size(), ObjDefinition::kSize);
    EXPECT_EQ(ObjDefinition(bytes).Version(), c.resultVersion);
    for (std::size_t i = 2; i < bytes.size(); ++i) {
      ASSERT_EQ(bytes[i], i < c.keptBytes ? static_cast<std::uint8_t>(i + 1) : 0) << "byte " << i;
    }
    EXPECT_EQ(asserts.Count(), *c.report ? 1u : 0u);
    EXPECT_TRUE(!*c.report || asserts.Saw(c.report));
  }
}

TEST(ObjDefinitionNormalise, EmptyHandleBecomesAZeroRecord) {
  testing::AssertCapture asserts;
  OwnedHandle handle = OwnedHandle::New(0);
  EXPECT_FALSE(ObjDefinition::Normalise(handle.Get()));
  EXPECT_EQ(testing::Contents(handle), std::vector<std::uint8_t>(ObjDefinition::kSize, 0));
  EXPECT_TRUE(asserts.Saw("bad version"));
  EXPECT_TRUE(asserts.Saw("filling in defn with zeroes."));
}

}  // namespace
}  // namespace pixmold
