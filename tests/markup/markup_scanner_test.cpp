#include "markup/markup_scanner.h"

#include <gtest/gtest.h>

#include <string>

#include "markup/memory_scanner.h"

namespace pixmold {
namespace {

// Everything the scanner delivers for the text: tags separated by "|".
std::string Deliver(std::string_view text) {
  MemoryScanner source(text);
  MarkupScanner scanner(source);
  std::string out;
  while (scanner.SkipToNextTag()) {
    for (std::uint8_t c = scanner.ReadChar(); c != 0; c = scanner.ReadChar()) out.push_back(static_cast<char>(c));
    out += '|';
  }
  return out;
}

TEST(MarkupScanner, DeliversOnlyTagText) {
  const struct {
    const char* text;
    const char* delivered;
  } cases[] = {
      {"", ""},
      {"no tags at all", ""},
      {"<>", "|"},
      {"a<b>c<d e>f", "b|d e|"},
      {"<open", "open|"},
      {"<a\"b>c\">", "a\"b|"},
      {"<<>>", "<|"},
      {"x>y<z>", "z|"},
  };
  for (const auto& c : cases) EXPECT_EQ(Deliver(c.text), c.delivered) << c.text;
}

TEST(MarkupScanner, ReadingOutsideATagFindsTheNextOne) {
  MemoryScanner source(std::string_view("skip <ab> more <c>"));
  MarkupScanner scanner(source);
  EXPECT_EQ(scanner.ReadChar(), 'a');
  EXPECT_TRUE(scanner.InTag());
  EXPECT_EQ(scanner.ReadChar(), 'b');
  EXPECT_EQ(scanner.ReadChar(), 0);
  EXPECT_FALSE(scanner.InTag());
  EXPECT_EQ(scanner.ReadChar(), 'c');
  EXPECT_EQ(scanner.ReadChar(), 0);
  EXPECT_FALSE(scanner.AtEnd());
  EXPECT_EQ(scanner.ReadChar(), 0);
  EXPECT_TRUE(scanner.AtEnd());
  EXPECT_FALSE(scanner.SkipToNextTag());
}

TEST(MarkupScanner, ReportsTheSourcesLine) {
  MemoryScanner source(std::string_view("\r\n\r\n<a\r\nb>"));
  MarkupScanner scanner(source);
  ASSERT_TRUE(scanner.SkipToNextTag());
  EXPECT_EQ(scanner.LineNumber(), 3);
  EXPECT_EQ(scanner.ReadChar(), 'a');
  EXPECT_EQ(scanner.ReadChar(), '\r');
  EXPECT_EQ(scanner.ReadChar(), '\n');
  EXPECT_EQ(scanner.ReadChar(), 'b');
  EXPECT_EQ(scanner.LineNumber(), 4);
  // Its own counter saw only the line end inside the tag, and is not what it reports.
  EXPECT_EQ(scanner.LineCounter(), 3);
}

TEST(MarkupScanner, UsesTheGivenOpenAndCloseCharacters) {
  MemoryScanner source(std::string_view("<no>[yes]"));
  MarkupScanner scanner(source, '[', ']');
  ASSERT_TRUE(scanner.SkipToNextTag());
  EXPECT_EQ(scanner.ReadChar(), 'y');
}

}  // namespace
}  // namespace pixmold
