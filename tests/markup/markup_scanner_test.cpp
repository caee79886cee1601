#include "markup/markup_scanner.h"

#include <gtest/gtest.h>

#include <string>

#include "markup/memory_scanner.h"

namespace pixmold {
namespace {

TEST(MarkupScanner, DeliversOnlyTagText) {
  const struct {
    const char* text;
    const char* delivered;  // tags separated by "|"
  } cases[] = {
      {"no tags at all", ""},  {"<>", "|"},    {"a<b>c<d e>f", "b|d e|"}, {"<open", "open|"},
      {"<a\"b>c\">", "a\"b|"}, {"<<>>", "<|"}, {"x>y<z>", "z|"},          {"<no>[yes]", "no|"},
  };
  for (const auto& c : cases) {
    MemoryScanner source{std::string_view(c.text)};
    MarkupScanner scanner(source);
    std::string out;
    while (scanner.SkipToNextTag()) {
      for (std::uint8_t ch = scanner.ReadChar(); ch != 0; ch = scanner.ReadChar()) out.push_back(static_cast<char>(ch));
      out += '|';
    }
    EXPECT_EQ(out, c.delivered) << c.text;
  }
}

TEST(MarkupScanner, ReadingOutsideATagFindsTheNextOne) {
  MemoryScanner source(std::string_view("skip [ab] more <c> [d]"));
  MarkupScanner scanner(source, '[', ']');
  std::string out;
  for (int i = 0; i < 5; ++i) {
    const std::uint8_t ch = scanner.ReadChar();
    out.push_back(ch ? static_cast<char>(ch) : '|');
  }
  EXPECT_EQ(out, "ab|d|");
  EXPECT_FALSE(scanner.AtEnd());
  EXPECT_EQ(scanner.ReadChar(), 0);
  EXPECT_TRUE(scanner.AtEnd());
  EXPECT_FALSE(scanner.SkipToNextTag());
}

}  // namespace
}  // namespace pixmold
