#include "markup/attrib_table.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "markup/memory_scanner.h"
#include "markup/tag_parser.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

// The first tag of the text.
std::unique_ptr<AttribTable> TagOf(std::string_view text) {
  MemoryScanner source(text);
  MarkupScanner scanner(source);
  auto table = std::make_unique<AttribTable>();
  if (scanner.SkipToNextTag()) ParseTag(scanner, *table);
  return table;
}

TEST(AttribTable, AddEntryAppendsAndMakesItCurrent) {
  AttribTable table;
  EXPECT_TRUE(table.Done());
  AttribEntry* first = table.AddEntry();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->fLine, -1);
  EXPECT_EQ(table.Size(), 1);
  EXPECT_EQ(table.Current(), first);
  AttribEntry* second = table.AddEntry();
  EXPECT_EQ(table.Size(), 2);
  EXPECT_EQ(table.Cursor(), 1);
  EXPECT_EQ(table.Current(), second);
  EXPECT_EQ(table.EntryAt(0), first);
}

TEST(AttribTable, WalksEntriesAndStopsPastTheEnd) {
  auto table = TagOf("<sprite name=chair id=3>");
  std::string walked;
  for (table->Rewind(); !table->Done(); table->Next()) {
    walked += std::string(table->Name()) + "=" + std::string(table->Value()) + ";";
  }
  EXPECT_EQ(walked, "sprite=;name=chair;id=3;");
  EXPECT_EQ(table->Cursor(), 3);
  for (int i = 0; i < 5; ++i) table->Next();
  EXPECT_EQ(table->Cursor(), 4);  // never beyond size + 1
  EXPECT_TRUE(table->Done());
}

TEST(AttribTable, NameAndValueAfterDoneReportAssertions) {
  testing::AssertCapture capture;
  AttribTable table;
  EXPECT_EQ(table.Name(), "");
  EXPECT_TRUE(capture.Saw("getting name after table is done"));
  EXPECT_EQ(table.Value(), "");
  EXPECT_TRUE(capture.Saw("getting value after table is done"));
  table.ClearCurrent();
  EXPECT_TRUE(capture.Saw("clearing entry after table is done"));
  EXPECT_EQ(capture.Count(), 3u);
}

TEST(AttribTable, ClearCurrentEmptiesTheEntry) {
  auto table = TagOf("<t k=v>");
  ASSERT_TRUE(table->FindEntry("k"));
  table->ClearCurrent();
  EXPECT_EQ(table->EntryAt(1)->fName, "");
  EXPECT_EQ(table->EntryAt(1)->fValue, "");
  EXPECT_EQ(table->Size(), 2);
}

TEST(AttribTable, FindReturnsTheFirstMatchAndLeavesTheCursorThere) {
  auto table = TagOf("<t k=1 flag k=2 \"K\"=3>");
  auto value = table->FindValue("k");
  ASSERT_TRUE(value);
  EXPECT_EQ(*value, "1");
  EXPECT_EQ(table->Cursor(), 1);
  EXPECT_EQ(table->FindValue("K"), "3");  // exact, case-sensitive
  EXPECT_EQ(table->Cursor(), 4);
  EXPECT_EQ(table->FindValue("flag"), "");
  EXPECT_FALSE(table->FindValue("missing"));
  EXPECT_TRUE(table->Done());
  EXPECT_EQ(table->FindEntry("k"), table->EntryAt(1));
  EXPECT_EQ(table->FindEntry("nope"), nullptr);
}

TEST(AttribTable, NameAtMovesTheCursorEntryAtDoesNot) {
  auto table = TagOf("<sprite id=1>");
  EXPECT_EQ(table->NameAt(0), "sprite");
  EXPECT_EQ(table->NameAt(1), "id");
  EXPECT_EQ(table->Cursor(), 1);
  EXPECT_EQ(table->Value(), "1");
  EXPECT_FALSE(table->NameAt(2));
  EXPECT_FALSE(table->NameAt(-1));
  table->Rewind();
  EXPECT_EQ(table->EntryAt(1)->fName, "id");
  EXPECT_EQ(table->EntryAt(2), nullptr);
  EXPECT_EQ(table->EntryAt(-1), nullptr);
  EXPECT_EQ(table->Cursor(), 0);
}

TEST(AttribTable, EmptyTagHasNoName) {
  auto table = TagOf("<>");
  EXPECT_EQ(table->Size(), 0);
  EXPECT_FALSE(table->NameAt(0));
}

TEST(AttribTable, GetIntegerReadsLikePercentD) {
  const struct {
    const char* tag;
    bool read;
    std::int32_t value;
  } cases[] = {
      {"<t n=abc>", false, 0},       {"<t n=12abc>", true, 12},     {"<t n=-5>", true, -5},
      {"<t n=\"  42\">", true, 42},  {"<t n=\" \t-7x\">", true, -7}, {"<t n=+8>", true, 8},
      {"<t n>", false, 0},           {"<t m=4>", false, 0},          {"<t n=->", false, 0},
      {"<t n=\"- 3\">", false, 0},   {"<t n=1 n=2>", true, 1},
  };
  for (const auto& c : cases) {
    auto table = TagOf(c.tag);
    std::int32_t out = 99;
    EXPECT_EQ(table->GetInteger("n", out), c.read) << c.tag;
    EXPECT_EQ(out, c.read ? c.value : 99) << c.tag;
  }
}

TEST(AttribTable, FullTableReportsBadNew) {
  testing::AssertCapture capture;
  AttribTable table;
  for (int i = 0; i < AttribTable::kMaxEntries; ++i) ASSERT_NE(table.AddEntry(), nullptr);
  EXPECT_EQ(capture.Count(), 0u);
  EXPECT_EQ(table.AddEntry(), nullptr);
  EXPECT_TRUE(capture.Saw("bad new"));
  EXPECT_EQ(table.Size(), AttribTable::kMaxEntries);
}

TEST(AttribTable, DumpQuotesValuesHoldingWhitespace) {
  const struct {
    const char* tag;
    const char* dump;
  } cases[] = {
      {"<sprite name=chair>", "sprite\nname=chair\n"},
      {"<t file=\"Walls A.tga\">", "t\nfile=\"Walls A.tga\"\n"},
      {"<t a=\"x\ty\" b=\"x\ny\" c=\"x\ry\">", "t\na=\"x\ty\"\nb=\"x\ny\"\nc=\"x\ry\"\n"},
      {"<t flag>", "t\nflag\n"},
      {"<\"\"=5>", "=5\n"},
      {"<t \"\" \"\">", "t\n"},
      {"<>", ""},
  };
  for (const auto& c : cases) {
    std::ostringstream out;
    TagOf(c.tag)->Dump(out);
    EXPECT_EQ(out.str(), c.dump) << c.tag;
  }
}

TEST(AttribTable, DumpWithLinesPrefixesEachEntry) {
  std::ostringstream out;
  TagOf("<t\na=1\n\nflag \"\">")->Dump(out, true);
  EXPECT_EQ(out.str(), "1: t\n2: a=1\n4: flag\n");
}

}  // namespace
}  // namespace pixmold
