#include "records/obj_fn_table.h"

#include <gtest/gtest.h>

#include "records/obj_definition.h"
#include "support/assert_capture.h"
#include "support/object_file_fixture.h"

namespace pixmold {
namespace {

TEST(ObjFnTable, EntriesGrowOnDemand) {
  ObjFnTable table;
  for (int i = 0; i < 30; ++i) table.Entry(i)->firstId = static_cast<std::uint16_t>(i + 1);
  EXPECT_EQ(table.Size(), 30);
  EXPECT_EQ(table.FirstId(40), 0);
  EXPECT_EQ(table.SecondId(40), 0);
  EXPECT_EQ(table.FirstId(-1), 0);
  EXPECT_EQ(table.Size(), 30);
  ASSERT_NE(table.Entry(40), nullptr);
  EXPECT_EQ(table.Size(), 41);
  EXPECT_EQ(table.Entry(-1), nullptr);
  testing::AssertCapture asserts;
  EXPECT_EQ(table.Entry(ObjFnTable::kMaxEntries), nullptr);
  EXPECT_TRUE(asserts.Saw("bad size"));
}

TEST(ObjFnTable, FilledFromTheEntryPointWords) {
  std::vector<std::uint8_t> bytes(ObjDefinition::kSize, 0);
  ObjDefinition def(bytes);
  for (int w = 0; w < ObjDefinition::kWordCount; ++w) def.SetWord(w, static_cast<std::uint16_t>(1000 + w));
  ObjFnTable table;
  table.FillFromDefinition(def);
  ASSERT_EQ(table.Size(), 30);
  EXPECT_EQ(
      (std::vector<int>{table.FirstId(0), table.FirstId(1), table.FirstId(15), table.FirstId(29), table.SecondId(29)}),
      (std::vector<int>{1043, 1005, 1017, 1080, 0}));
}

TEST(ObjFnTable, StoredLayoutByteForByte) {
  testing::MemoryObjectFile object;
  testing::MemoryResFile& file = object.file;
  ObjFnTable table;
  table.Entry(0)->firstId = 0x1234;
  table.Entry(0)->secondId = 0x0001;
  table.Entry(2)->firstId = 0xBEEF;
  ASSERT_EQ(table.Write(file, 128), 0);
  const testing::StoredResource* stored = object.Find(ObjFnTable::kType, 128);
  ASSERT_NE(stored, nullptr);
  const std::vector<std::uint8_t> expected = {0, 0, 0, 0, 0,    0,    0, 0, 0x66, 0x4A, 0x42, 0x4F, 3,    0,
                                              0, 0, 1, 0, 0x34, 0x12, 0, 0, 0,    0,    0,    0,    0xEF, 0xBE};
  EXPECT_EQ(stored->bytes, expected);

  ObjFnTable back;
  ASSERT_EQ(back.Read(file, 128), 0);
  EXPECT_EQ((std::vector<int>{back.Size(), back.FirstId(0), back.SecondId(0), back.FirstId(2)}),
            (std::vector<int>{3, 0x1234, 1, 0xBEEF}));
  EXPECT_NE(back.Read(file, 129), 0);
}

}  // namespace
}  // namespace pixmold
