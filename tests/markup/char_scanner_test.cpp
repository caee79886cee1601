#include "markup/char_scanner.h"

#include <gtest/gtest.h>

#include <string>

#include "markup/memory_scanner.h"

namespace pixmold {
namespace {

TEST(CharScanner, CountsLinesForEveryKindOfLineEnd) {
  constexpr std::uint32_t kCR = CharScanner::kSawCarriageReturn, kLF = CharScanner::kSawLineFeed;
  const struct {
    const char* what;
    std::string text;
    int line;
    std::uint32_t flags;
  } cases[] = {
      {"nothing read", "", 1, 0},
      {"LF", "a\nb\nc", 3, kLF},
      {"CR", "a\rb\rc", 3, kCR},
      {"CR LF: counter 5 halved up", "a\r\nb\r\nc", 3, kCR | kLF},
      {"CR LF at the very end", "a\r\n", 2, kCR | kLF},
      {"one CR after LF lines halves the count", "a\nb\nc\r", 2, kCR | kLF},
  };
  for (const auto& c : cases) {
    MemoryScanner scanner(c.text);
    while (scanner.ReadChar() != 0) {
    }
    EXPECT_EQ(scanner.ReadChar(), 0) << c.what;
    EXPECT_EQ(scanner.LineNumber(), c.line) << c.what;
    EXPECT_EQ(scanner.LineEndFlags(), c.flags) << c.what;
  }
}

}  // namespace
}  // namespace pixmold
