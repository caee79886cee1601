#include "markup/tag_list.h"

#include <gtest/gtest.h>

#include <sstream>

#include "markup/memory_scanner.h"
#include "markup/tag_parser.h"

namespace pixmold {
namespace {

TEST(TagList, DumpsEachTagBetweenBrackets) {
  MemoryScanner source(std::string_view("<sprite name=Chair>\n<>\n<\"wall style\" file=\"A b.tga\">"));
  TagList tags;
  ReadTags(source, tags);
  ASSERT_EQ(tags.Count(), 3);
  std::ostringstream out;
  tags.Dump(out);
  EXPECT_EQ(out.str(), "<\nsprite\nname=chair\n>\n<\n>\n<\nwall style\nfile=\"A b.tga\"\n>\n");
  std::ostringstream withLines;
  tags.Dump(withLines, true);
  EXPECT_EQ(withLines.str(), "<\n1: sprite\n1: name=chair\n>\n<\n>\n<\n3: wall style\n3: file=\"A b.tga\"\n>\n");
}

TEST(TagList, KeepsFileOrderAndOwnsItsTables) {
  TagList tags;
  EXPECT_TRUE(tags.Empty());
  EXPECT_FALSE(tags.Append(nullptr));
  auto first = std::make_unique<AttribTable>();
  AttribTable* firstRaw = first.get();
  EXPECT_TRUE(tags.Append(std::move(first)));
  EXPECT_TRUE(tags.Append(std::make_unique<AttribTable>()));
  EXPECT_EQ(tags.Count(), 2);
  EXPECT_EQ(tags.Nth(0), firstRaw);
  EXPECT_EQ(tags.Nth(2), nullptr);
  EXPECT_EQ(tags.Nth(-1), nullptr);
}

}  // namespace
}  // namespace pixmold
