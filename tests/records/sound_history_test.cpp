#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records/family_history.h"
#include "records/sound_info.h"
#include "support/handle_bytes.h"
#include "support/object_file_fixture.h"
#include "support/record_bytes.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

using testing::RecordBytes;

TEST(SoundInfo, StoresTheNameWithItsTerminatorAndNothingElse) {
  testing::MemoryObjectFile object;
  SoundInfo sound{.id = 130, .fileName = "chime"};
  ASSERT_TRUE(sound.Save(object.file));
  const testing::StoredResource* stored = object.Find(SoundInfo::kType, 130);
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->bytes, (std::vector<std::uint8_t>{'c', 'h', 'i', 'm', 'e', 0}));
  EXPECT_EQ(stored->name, "");

  SoundInfo back;
  ASSERT_TRUE(back.Load(object.file, 130));
  EXPECT_EQ(std::to_string(back.id) + " " + back.fileName, "130 chime");
  EXPECT_FALSE(back.Load(object.file, 131));
  EXPECT_EQ(SoundInfo::NameFromBytes(std::vector<std::uint8_t>{'a', 'b'}), "ab");
}

FamilyHistory ReadHistory(const std::vector<std::uint8_t>& bytes, std::uint32_t* version = nullptr) {
  FamilyHistory history;
  EXPECT_TRUE(history.FromHandle(testing::HandleOf(bytes).Get(), version));
  return history;
}

// One stored row: money columns (9-10, 18-23) in the version's width,
// columns 24-25 always 32 bits, the rest 16.
RecordBytes Row(std::uint32_t version, std::int32_t base) {
  RecordBytes r;
  for (int column = 1; column <= FamilyHistory::kColumnCount; ++column) {
    const bool money = (column >= 9 && column <= 10) || (column >= 18 && column <= 23);
    const bool wide = column == 24 || column == 25 || (money && version >= 1);
    r.Put(static_cast<std::uint32_t>(base - column), wide ? 4 : 2);
  }
  return r;
}

TEST(FamilyHistory, BothVersionsReadAndVersion1RoundTrips) {
  for (std::uint32_t version : {0u, 1u}) {
    RecordBytes record;
    record.Header(version, "FAMh").U8(0).U32(2);
    for (std::int32_t base : {0, 100000}) {
      RecordBytes row = Row(version, base);
      record.bytes.insert(record.bytes.end(), row.bytes.begin(), row.bytes.end());
    }
    std::uint32_t stored = 9;
    FamilyHistory history = ReadHistory(record.bytes, &stored);
    EXPECT_EQ(stored, version);
    ASSERT_EQ(history.rows.size(), 2u);
    // 16-bit columns keep their sign; in version 0 so does money.
    EXPECT_EQ(history.rows[0][0], -1);
    EXPECT_EQ(history.rows[0][8], -9);
    EXPECT_EQ(history.rows[1][23], 100000 - 24);
    EXPECT_EQ(history.rows[1][8], version == 0 ? static_cast<std::int16_t>(100000 - 9) : 100000 - 9);

    testing::MemoryObjectFile object;
    ASSERT_EQ(history.Save(object.file, 1), 0);
    FamilyHistory back = ReadHistory(object.Find(FamilyHistory::kType, 1)->bytes);
    EXPECT_EQ(back.rows, history.rows);
  }
}

TEST(FamilyHistory, ExportsTabTerminatedColumns) {
  FamilyHistory history;
  const std::string header =
      "Lot#\t#Members\t#Adult Males\t#Adult Females\t#Kid Males\t#Kid Females\t#Workers\t#Objects\t"
      "Objects Value\tArchitecture Value\tHouse Square Feet\tHouse Size\tFurnishings Rating\tSize Rating\t"
      "Yard Rating\tUpkeep Rating\tLayout Rating\t$Income\t$Bills\t$Food\t$Maintenance\t$Objects\t$Misc\t"
      "$Arch\t$Funds\tRomances Out\tRomances In\tFriends Out\tFriends In\t#Friends\t\n";
  EXPECT_EQ(history.ExportText(), header);

  FamilyHistory::Row row{};
  row[0] = 7;
  row[29] = -3;
  history.rows.push_back(row);
  std::string expected = header + "7\t";
  for (int i = 1; i < 29; ++i) expected += "0\t";
  expected += "-3\t\n";
  EXPECT_EQ(history.ExportText(), expected);

  testing::TempDir dir;
  const std::string path = dir.File("lot.history.txt");
  dir.Write("lot.history.txt", "an older and longer export that must not survive");
  ASSERT_TRUE(history.Export(path));
  const std::vector<unsigned char> written = testing::ReadAll(path);
  EXPECT_EQ(std::string(written.begin(), written.end()), expected);
  EXPECT_FALSE(history.Export(dir.File("missing/lot.txt")));
}

}  // namespace
}  // namespace pixmold
