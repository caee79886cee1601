#include "markup/attrib_table.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "markup/memory_scanner.h"
#include "markup/tag_parser.h"

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

TEST(AttribTable, WalksEntriesAndStopsPastTheEnd) {
  auto table = TagOf("<sprite name=chair id=3>");
  std::string walked;
  for (table->Rewind(); !table->Done(); table->Next())
    walked += std::string(table->Name()) + "=" + std::string(table->Value()) + ";";
  EXPECT_EQ(walked, "sprite=;name=chair;id=3;");
  for (int i = 0; i < 5; ++i) table->Next();
  EXPECT_EQ(table->Cursor(), 4);  // never beyond size + 1
}

TEST(AttribTable, FindGivesTheFirstExactMatchAndLeavesTheCursorThere) {
  auto table = TagOf("<t k=1 flag k=2 \"K\"=3>");
  EXPECT_EQ(table->FindValue("k"), "1");
  EXPECT_EQ(table->Cursor(), 1);
  table->ClearCurrent();
  EXPECT_EQ(table->FindValue("k"), "2");
  EXPECT_EQ(table->FindValue("K"), "3");
  EXPECT_EQ(table->Cursor(), 4);
  EXPECT_EQ(table->FindValue("flag"), "");
  EXPECT_FALSE(table->FindValue("missing"));
  EXPECT_TRUE(table->Done());
  EXPECT_EQ(table->NameAt(0), "t");
  EXPECT_FALSE(table->NameAt(5));
}

TEST(AttribTable, GetIntegerReadsTheFirstValueLikePercentD) {
  const struct {
    const char* tag;
    bool read;
    std::int32_t value;
  } cases[] = {{"<t n=abc>", false, 0}, {"<t n=12abc>", true, 12}, {"<t n=\" \t-7x\">", true, -7},
               {"<t n>", false, 0},     {"<t m=4>", false, 0},     {"<t n=1 n=2>", true, 1}};
  for (const auto& c : cases) {
    std::int32_t out = 99;
    EXPECT_EQ(TagOf(c.tag)->GetInteger("n", out), c.read) << c.tag;
    EXPECT_EQ(out, c.read ? c.value : 99) << c.tag;
  }
}

TEST(AttribTable, DumpQuotesValuesHoldingWhitespace) {
  const struct {
    const char* tag;
    bool lines;
    const char* dump;
  } cases[] = {
      {"<sprite name=chair>", false, "sprite\nname=chair\n"},
      {"<t file=\"Walls A.tga\">", false, "t\nfile=\"Walls A.tga\"\n"},
      {"<t a=\"x\ty\" b=\"x\ny\" c=\"x\ry\">", false, "t\na=\"x\ty\"\nb=\"x\ny\"\nc=\"x\ry\"\n"},
      {"<\"\"=5>", false, "=5\n"},
      {"<t \"\" \"\">", false, "t\n"},
      {"<>", false, ""},
      {"<t\na=1\n\nflag \"\">", true, "1: t\n2: a=1\n4: flag\n"},
  };
  for (const auto& c : cases) {
    std::ostringstream out;
    TagOf(c.tag)->Dump(out, c.lines);
    EXPECT_EQ(out.str(), c.dump) << c.tag;
  }
}

}  // namespace
}  // namespace pixmold
