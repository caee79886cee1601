#include "records/tree_table.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/report.h"
#include "resfile/recon_stream.h"
#include "resfile/string_set.h"
#include "support/assert_capture.h"
#include "support/object_file_fixture.h"
#include "support/record_bytes.h"
#include "support/res_type_names.h"

namespace pixmold {
namespace {

using testing::RecordBytes;
using testing::StoredResource;

// "guard action | N ads: ... | code value flags string extraA extraB": each ad
// as its range, or range/base/modifier when those are set, up to the last
// one set.
std::string Summary(const TreeTableEntry& entry) {
  std::ostringstream out;
  out << entry.guardTreeId << " " << entry.actionTreeId << " | " << entry.ads.size() << " ads:";
  std::size_t used = entry.ads.size();
  while (used > 0 && entry.ads[used - 1] == MotiveAd{}) --used;
  for (std::size_t i = 0; i < used; ++i) {
    const MotiveAd& ad = entry.ads[i];
    out << " " << ad.adRange;
    if (ad.adBase != 0 || ad.adModifier != 0) out << "/" << ad.adBase << "/" << ad.adModifier;
  }
  out << " | " << entry.attenuationCode << " " << entry.attenuationValue << " " << entry.flags << " "
      << entry.stringIndex << " " << entry.extraA << " " << entry.extraB;
  return out.str();
}

TEST(TreeTableRecord, EveryStoredVersionReads) {
  // Count 2, the version, then the entry twice.
  auto twice = [](std::uint16_t version, auto entry) {
    RecordBytes r;
    r.U16(2).U16(version);
    entry(r);
    entry(r);
    return r.bytes;
  };
  const struct {
    const char* name;
    std::vector<std::uint8_t> record;
    const char* second;
  } cases[] = {
      {"v0 ad index pairs; index past the ads ignored",
       twice(0, [](RecordBytes& r) { r.U16(4097).U16(2).U16(1).U16(30).U16(16).U16(99); }),
       "0 4097 | 16 ads: 0 30 | 3 0 0 1 50 4294967295"},
      {"v1 adds the guard tree", twice(1, [](RecordBytes& r) { r.U16(4097).U16(4098).U16(1).U16(0).U16(5); }),
       "4098 4097 | 16 ads: 5 | 3 0 0 1 50 4294967295"},
      {"v2 attenuation value and an ignored word",
       twice(2, [](RecordBytes& r) { r.U16(1).U16(2).U16(2).F32(0.5f).U16(0xFFFF).U16(7).U16(8); }),
       "2 1 | 16 ads: 7 8 | 0 0.5 0 1 50 4294967295"},
      {"v3 twenty values keep the first sixteen",
       twice(3,
             [](RecordBytes& r) {
               r.U16(1).U16(2).U16(20).U16(0x80).F32(0.25f);
               for (int i = 0; i < 20; ++i) r.U16(static_cast<std::uint32_t>(i + 1));
             }),
       "2 1 | 16 ads: 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 | 0 0.25 128 1 50 4294967295"},
      {"v4 stored string index and extraA",
       twice(4, [](RecordBytes& r) { r.U16(1).U16(2).U16(1).U32(3).U32(9).F32(1).U32(77).U16(4); }),
       "2 1 | 16 ads: 4 | 0 1 3 9 77 4294967295"},
      {"v5 adds extraB",
       twice(5, [](RecordBytes& r) { r.U16(1).U16(2).U16(1).U32(3).U32(9).F32(1).U32(77).U32(78).U16(4); }),
       "2 1 | 16 ads: 4 | 0 1 3 9 77 78"},
      {"v6 holds as many ads as stored",
       twice(6,
             [](RecordBytes& r) {
               r.U16(1).U16(2).U32(2).U32(0x80).U32(4).U32(2).F32(0).U32(5).U32(6);
               r.U16(10).U16(11).U16(12).U16(20).U16(21).U16(22);
             }),
       "2 1 | 2 ads: 11/10/12 21/20/22 | 2 0 128 4 5 6"},
  };
  for (const auto& c : cases) {
    TreeTable table(16);
    ASSERT_TRUE(table.ReadBytes(c.record, false)) << c.name;
    ASSERT_EQ(table.Entries().size(), 2u) << c.name;
    EXPECT_EQ(Summary(table.Entries()[1]), c.second) << c.name;
    EXPECT_EQ(table.StoredVersion(), c.record[2]) << c.name;
  }
}

TEST(TreeTableRecord, AttenuationCodes) {
  TreeTableEntry entry;
  entry.attenuationValue = 0.7f;
  const std::vector<std::pair<std::uint32_t, float>> cases = {{0, 0.7f}, {1, 0.0f}, {2, 0.002f}, {3, 0.02f}, {4, 0.1f}};
  for (auto [code, value] : cases) {
    entry.attenuationCode = code;
    EXPECT_EQ(entry.Attenuation(), value) << code;
  }
  testing::AssertCapture asserts;
  entry.attenuationCode = 7;
  EXPECT_EQ(entry.Attenuation(), 0.02f);
  EXPECT_TRUE(asserts.Saw("bad attenuation"));
}

TEST(TreeTableRecord, AddFindRemove) {
  TreeTable table(16);
  ASSERT_TRUE(table.Add(1, 100));
  ASSERT_TRUE(table.Add(2, 200));
  testing::AssertCapture asserts;
  EXPECT_FALSE(table.Add(1, 100));
  EXPECT_TRUE(asserts.Saw("adding existent tree to table"));
  ASSERT_EQ(table.Entries().size(), 2u);
  EXPECT_EQ(table.Entries()[1].stringIndex, 1u);
  EXPECT_EQ(table.Entries()[1].ads.size(), 16u);
  EXPECT_EQ(table.FindByStringIndex(1), table.Find(2, 200));
  EXPECT_TRUE(table.Remove(table.Find(1, 100)));
  EXPECT_EQ(table.Find(1, 100), nullptr);
  EXPECT_FALSE(table.Remove(nullptr));
}

TEST(TreeTableRecord, SaveWritesVersion9AndMenuTextsWithDebugMarks) {
  // Comments already stored: a stale mark on a normal entry, none on a debug one.
  StringSet stored;
  stored.Init(nullptr, 0, kTTAs, false, 0);
  for (const char* text : {"Sit", "Nap"}) stored.SetValue(stored.Count() + 1, text);
  stored.SetComment(1, "!");
  stored.SetComment(2, "old");
  StoredResource strings{kTTAs, 300, "menus", 0, true, *stored.EncodeAllLanguages()};
  testing::MemoryObjectFile object({strings});

  TreeTable table(16);
  for (std::uint16_t tree : {4096, 4097, 4098}) table.Add(0, tree);
  table.Entries()[1].flags = TreeTableEntry::kDebugFlag;
  table.Entries()[2].stringIndex = 5;
  table.Entries()[0].menuText = "Sit Down";
  table.Entries()[1].menuText = "Nap";
  table.Entries()[2].menuText = "Leave";
  ASSERT_EQ(table.Save(object.file, 300, "chair interactions"), 0);

  const StoredResource* record = object.Find(TreeTable::kType, 300);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->name, "chair interactions");
  EXPECT_EQ((std::vector<std::uint8_t>(record->bytes.begin(), record->bytes.begin() + 4)),
            (std::vector<std::uint8_t>{3, 0, 9, 0}));

  StringSet menus;
  menus.Init(&object.file, 300, kTTAs, false, 0);
  ASSERT_EQ(menus.Load(false, false), 0);
  ASSERT_EQ(menus.Count(), 6);
  const std::vector<std::string> values = {"Sit Down", "Nap", "", "", "", "Leave"};
  for (int i = 1; i <= 6; ++i) EXPECT_EQ(menus.Value(i).value_or("-"), values[static_cast<std::size_t>(i - 1)]) << i;
  EXPECT_EQ(menus.Comment(1).value_or("-"), " ");
  EXPECT_EQ(menus.Comment(2).value_or("-"), "!old");

  TreeTable back(16);
  ASSERT_EQ(back.Load(object.file, 300), 0);
  EXPECT_EQ(back.StoredVersion(), 9);
  EXPECT_EQ(back.Entries(), table.Entries());
}

TEST(TreeTableRecord, MissingMenuTextsFallBackToTreeNamesThenIds) {
  RecordBytes record;
  record.U16(2).U16(8);
  for (std::uint16_t tree : {4096, 4097}) {
    record.U16(tree).U16(0).U32(0).U32(0).U32(tree - 4096u).U32(3).F32(0).U32(50).U32(0xFFFFFFFF);
  }
  StringSet empty;
  empty.Init(nullptr, 0, kTTAs, false, 0);
  empty.SetValue(1, "");
  testing::MemoryObjectFile object({{TreeTable::kType, 300, "", 0, true, record.bytes},
                                    {kTTAs, 300, "", 0, true, *empty.EncodeAllLanguages()},
                                    {MakeResType("BHAV"), 4096, "Sit - main", 0, true, {0}}});
  TreeTable table(16);
  ASSERT_EQ(table.Load(object.file, 300), 0);
  ASSERT_EQ(table.Entries().size(), 2u);
  EXPECT_EQ(table.Entries()[0].menuText, "Sit - main");
  EXPECT_EQ(table.Entries()[1].menuText, "?4097");
  EXPECT_NE(table.Load(object.file, 301), 0);
}

// An older record is reported, read with its menu texts, and stored again as
// the current version. A version-7 record takes its texts from the string
// table in entry order, whatever the entries' string indexes; stored again,
// each text goes to its entry's string index, as a current table keeps them.
TEST(TreeTableRecord, OldTablesAreStoredAgainWithTheTextsTheyCameWith) {
  RecordBytes v3;
  v3.U16(1).U16(3).U16(4096).U16(0).U16(1).U16(0).F32(0.5f).U16(40);
  RecordBytes v7;
  v7.U16(2).U16(7);
  for (auto [tree, stringIndex] : {std::pair{4096u, 2u}, std::pair{4097u, 0u}}) {
    v7.U16(tree).U16(0).U32(0).U32(0).U32(stringIndex).U32(3).F32(0).U32(50).U32(0xFFFFFFFF);
  }
  const struct {
    const char* name;
    std::vector<std::uint8_t> record;
    std::vector<std::string> texts;
    const char* firstEntry;  // the first entry stored again
  } cases[] = {
      {"version 3", v3.bytes, {"Sit"}, "0 4096 | 16 ads: 40 | 0 0.5 0 0 50 4294967295"},
      {"version 7", v7.bytes, {"Sit", "Nap"}, "0 4096 | 0 ads: | 3 0 0 2 50 4294967295"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    StringSet menus;
    menus.Init(nullptr, 0, kTTAs, false, 0);
    for (const std::string& text : c.texts) menus.SetValue(menus.Count() + 1, text);
    testing::MemoryObjectFile object(
        {{TreeTable::kType, 300, "old", 0, true, c.record}, {kTTAs, 300, "", 0, true, *menus.EncodeAllLanguages()}});
    std::ostringstream report;
    ScopedReportTarget scope(ReportTarget{&report, nullptr, nullptr, nullptr});
    for (const bool storedAgain : {false, true}) {
      TreeTable table(16);
      ASSERT_EQ(table.Load(object.file, 300), 0);
      std::vector<std::string> texts;
      for (const TreeTableEntry& entry : table.Entries()) texts.push_back(entry.menuText);
      EXPECT_EQ(texts, c.texts) << (storedAgain ? "stored again" : "as found");
      if (!storedAgain) continue;
      EXPECT_EQ(table.StoredVersion(), 9);
      EXPECT_EQ(Summary(table.Entries()[0]), c.firstEntry);
    }
    EXPECT_EQ(report.str(), "warning: old tree table found\n");
    EXPECT_EQ(object.Find(TreeTable::kType, 300)->name, "old");
  }
}

TEST(TreeTableRecord, SaveRefusesWhatItCannotStore) {
  testing::MemoryObjectFile object;
  TreeTable table(16);
  testing::AssertCapture asserts;
  EXPECT_EQ(table.Save(object.file, 0, ""), -1);
  EXPECT_TRUE(asserts.Saw("no more defaults for tree tables"));
  EXPECT_EQ(table.SaveAgain(""), -1);
  EXPECT_TRUE(asserts.Saw("NULL file, not previously loaded."));
}

}  // namespace
}  // namespace pixmold
