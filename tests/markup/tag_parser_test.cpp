#include "markup/tag_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "markup/memory_scanner.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

// Each entry as name=value@line; each tag ends with "|".
std::string Parse(std::string_view text, TagList& tags) {
  MemoryScanner source(text);
  ReadTags(source, tags);
  std::string out;
  for (const auto& table : tags) {
    for (int i = 0; i < table->Size(); ++i) {
      const AttribEntry* e = table->EntryAt(i);
      out += e->fName + "=" + e->fValue + "@" + std::to_string(e->fLine) + ";";
    }
    out += "|";
  }
  return out;
}

TEST(TagParser, ParsesEachCase) {
  const struct {
    const char* what;
    const char* text;
    const char* parsed;
  } cases[] = {
      {"empty tag has no entries", "<>", "|"},
      {"unquoted text is folded", "<sprite name=Chair>", "sprite=@1;name=chair@1;|"},
      {"spaces around equals", "<k key = value>", "k=@1;key=value@1;|"},
      {"equals after a value continues it", "<t a=1 =2>", "t=@1;a=12@1;|"},
      {"value cannot hold equals", "<t k=a=b>", "t=@1;k=ab@1;|"},
      {"double equals collapses", "<t k==v>", "t=@1;k=v@1;|"},
      {"equals at the start is dropped", "<=a>", "a=@1;|"},
      {"flag then valued attribute", "<t flag other=3>", "t=@1;flag=@1;other=3@1;|"},
      {"quote opens mid-token", "<t name\"x y\">", "t=@1;namex y=@1;|"},
      {"quoted tag name keeps its space", "<\"wall style\" id=3>", "wall style=@1;id=3@1;|"},
      {"quoted value keeps case and spaces", "<s file=\"Walls A.tga\">", "s=@1;file=Walls A.tga@1;|"},
      {"quoted value after a gap", "<t k= \"A\">", "t=@1;k=A@1;|"},
      {"empty quoted name", "<\"\" =5>", "=5@1;|"},
      {"typographic quotes open and close", "<s a=\xD2One Two\xD3 b=\xD3X\xD2 c=\xD2Y\">",
       "s=@1;a=One Two@1;b=X@1;c=Y@1;|"},
      {"close character ends an open quote", "<s a=\"Open value> <next>", "s=@1;a=Open value@1;|next=@1;|"},
      {"text between tags is skipped", "-- <a> comment? <!-- no --> <b>", "a=@1;|!--=@1;no=@1;--=@1;|b=@1;|"},
      {"open character inside a tag is ordinary", "<a <b>", "a=@1;<b=@1;|"},
      {"high bytes pass unchanged", "<t k=\xC4\xE9>", "t=@1;k=\xC4\xE9@1;|"},
      {"tabs and line ends separate", "<t\ta=1\nb=2>", "t=@1;a=1@1;b=2@2;|"},
      {"an entry's line is its first character's", "<t\nlong=\n\"multi\nline\"\nnext>",
       "t=@1;long=multi\nline@2;next=@5;|"},
      // Once both kinds of line end were seen the counter is halved, so mixed
      // line ends report fewer lines than there are.
      {"mixed line ends are halved", "<t\na=1\r\nb=2\nc=3>", "t=@1;a=1@2;b=2@2;c=3@3;|"},
  };
  for (const auto& c : cases) {
    TagList tags;
    EXPECT_EQ(Parse(c.text, tags), c.parsed) << c.what;
  }
}

TEST(TagParser, FullTableReportsBadNewAndKeepsReading) {
  testing::AssertCapture capture;
  std::string text = "<t";
  for (int i = 0; i < AttribTable::kMaxEntries; ++i) text += " a";
  TagList tags;
  Parse(text + "><after>", tags);
  ASSERT_EQ(tags.Count(), 2);
  EXPECT_EQ(tags.Nth(0)->Size(), AttribTable::kMaxEntries);
  EXPECT_TRUE(capture.Saw("bad new"));
  EXPECT_EQ(tags.Nth(1)->NameAt(0), "after");
}

TEST(TagParser, FullTagListReportsAndStops) {
  testing::AssertCapture capture;
  std::string text;
  for (int i = 0; i <= TagList::kMaxTags; ++i) text += "<>";
  TagList tags;
  Parse(text, tags);
  EXPECT_EQ(tags.Count(), TagList::kMaxTags);
  EXPECT_EQ(capture.Count(), 1u);
  EXPECT_TRUE(capture.Saw("too many items in ptrlist"));
}

}  // namespace
}  // namespace pixmold
