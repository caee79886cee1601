#include "markup/tag_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "markup/memory_scanner.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

struct Entry {
  std::string name;
  std::string value;
  int line;
  bool operator==(const Entry&) const = default;
};
using Tag = std::vector<Entry>;

void PrintTo(const Entry& e, std::ostream* os) { *os << "(" << e.name << ", " << e.value << ", " << e.line << ")"; }

std::vector<Tag> Parse(std::string_view text) {
  MemoryScanner source(text);
  TagList tags;
  ReadTags(source, tags);
  std::vector<Tag> result;
  for (const auto& table : tags) {
    Tag tag;
    for (int i = 0; i < table->Size(); ++i) {
      const AttribEntry* e = table->EntryAt(i);
      tag.push_back({e->fName, e->fValue, e->fLine});
    }
    result.push_back(tag);
  }
  return result;
}

struct ParseCase {
  const char* what;
  std::string text;
  std::vector<Tag> expected;
};

const ParseCase kParseCases[] = {
    {"empty input", "", {}},
    {"text without a tag", "just words, no tags\n", {}},
    {"empty tag has no entries", "<>", {{}}},
    {"tag name and unquoted value, folded", "<sprite name=Chair>", {{{"sprite", "", 1}, {"name", "chair", 1}}}},
    {"spaces around equals", "<k key = value>", {{{"k", "", 1}, {"key", "value", 1}}}},
    {"equals after a value continues it", "<t a=1 =2>", {{{"t", "", 1}, {"a", "12", 1}}}},
    {"flag then valued attribute", "<t flag other=3>", {{{"t", "", 1}, {"flag", "", 1}, {"other", "3", 1}}}},
    {"quote opens mid-token", "<t name\"x y\">", {{{"t", "", 1}, {"namex y", "", 1}}}},
    {"quoted tag name with a space", "<\"wall style\" id=3>", {{{"wall style", "", 1}, {"id", "3", 1}}}},
    {"quoted value keeps case and spaces", "<s file=\"Walls A.tga\">", {{{"s", "", 1}, {"file", "Walls A.tga", 1}}}},
    {"typographic quotes open and close",
     "<s a=\xD2One Two\xD3 b=\xD3X\xD2 c=\xD2Y\">",
     {{{"s", "", 1}, {"a", "One Two", 1}, {"b", "X", 1}, {"c", "Y", 1}}}},
    {"unterminated quote ends at the close character",
     "<s a=\"Open value> <next>",
     {{{"s", "", 1}, {"a", "Open value", 1}}, {{"next", "", 1}}}},
    {"close character ends a tag inside quotes", "<s a=\"x>y\">", {{{"s", "", 1}, {"a", "x", 1}}}},
    {"tag left open at the end", "<sprite id=5", {{{"sprite", "", 1}, {"id", "5", 1}}}},
    {"zero byte ends the input",
     std::string("<a x=1><b y=\0 2><c>", 19),
     {{{"a", "", 1}, {"x", "1", 1}}, {{"b", "", 1}, {"y", "", 1}}}},
    {"text between tags is skipped", "-- <a> comment? <!-- no --> <b>",
     {{{"a", "", 1}}, {{"!--", "", 1}, {"no", "", 1}, {"--", "", 1}}, {{"b", "", 1}}}},
    {"open character inside a tag is ordinary", "<a <b>", {{{"a", "", 1}, {"<b", "", 1}}}},
    {"equals at the start is dropped", "<=a>", {{{"a", "", 1}}}},
    {"double equals collapses", "<t k==v>", {{{"t", "", 1}, {"k", "v", 1}}}},
    {"value cannot hold equals", "<t k=a=b>", {{{"t", "", 1}, {"k", "ab", 1}}}},
    {"duplicates are kept", "<t k=1 k=2>", {{{"t", "", 1}, {"k", "1", 1}, {"k", "2", 1}}}},
    {"empty quoted name", "<\"\" =5>", {{{"", "5", 1}}}},
    {"quoted value after gap", "<t k= \"A\">", {{{"t", "", 1}, {"k", "A", 1}}}},
    {"high bytes pass unchanged", "<t k=\xC4\xE9>", {{{"t", "", 1}, {"k", "\xC4\xE9", 1}}}},
    {"tabs and line ends separate", "<t\ta=1\nb=2>", {{{"t", "", 1}, {"a", "1", 1}, {"b", "2", 2}}}},
    // Once both kinds of line end were seen the counter is halved, so mixed
    // line ends report fewer lines than there are.
    {"mixed line ends are halved", "<t\na=1\r\nb=2\nc=3>", {{{"t", "", 1}, {"a", "1", 2}, {"b", "2", 2}, {"c", "3", 3}}}},
};

TEST(TagParser, ParsesEachCase) {
  for (const auto& c : kParseCases) {
    EXPECT_EQ(Parse(c.text), c.expected) << c.what;
  }
}

struct LineCase {
  const char* what;
  const char* lineEnd;
};

TEST(TagParser, EntryOnThirdLineReportsLine3ForEveryLineEnd) {
  const LineCase cases[] = {{"CR LF", "\r\n"}, {"LF", "\n"}, {"CR", "\r"}};
  for (const auto& c : cases) {
    std::string text = std::string("<a>") + c.lineEnd + "<b" + c.lineEnd + "x=1 y=2>";
    auto tags = Parse(text);
    ASSERT_EQ(tags.size(), 2u) << c.what;
    EXPECT_EQ(tags[0][0].line, 1) << c.what;
    EXPECT_EQ(tags[1][0].line, 2) << c.what;
    EXPECT_EQ(tags[1][1].line, 3) << c.what;
    EXPECT_EQ(tags[1][2].line, 3) << c.what;
  }
}

TEST(TagParser, LineIsThatOfTheEntrysFirstCharacter) {
  auto tags = Parse("<t\nlong=\n\"multi\nline\"\nnext>");
  ASSERT_EQ(tags.size(), 1u);
  ASSERT_EQ(tags[0].size(), 3u);
  EXPECT_EQ(tags[0][1], (Entry{"long", "multi\nline", 2}));
  EXPECT_EQ(tags[0][2], (Entry{"next", "", 5}));
}

TEST(TagParser, FullTableReportsBadNewAndKeepsReading) {
  testing::AssertCapture capture;
  std::string text = "<t";
  for (int i = 0; i < AttribTable::kMaxEntries; ++i) text += " a";
  text += "><after>";
  MemoryScanner source(text);
  TagList tags;
  ReadTags(source, tags);
  ASSERT_EQ(tags.Count(), 2);
  EXPECT_EQ(tags.Nth(0)->Size(), AttribTable::kMaxEntries);
  EXPECT_TRUE(capture.Saw("bad new"));
  EXPECT_EQ(tags.Nth(1)->NameAt(0), "after");
}

TEST(TagParser, FullTagListReportsAndStops) {
  testing::AssertCapture capture;
  std::string text;
  for (int i = 0; i <= TagList::kMaxTags; ++i) text += "<>";
  MemoryScanner source(text);
  TagList tags;
  ReadTags(source, tags);
  EXPECT_EQ(tags.Count(), TagList::kMaxTags);
  EXPECT_EQ(capture.Count(), 1u);
  EXPECT_TRUE(capture.Saw("too many items in ptrlist"));
}

}  // namespace
}  // namespace pixmold
