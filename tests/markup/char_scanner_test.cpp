#include "markup/char_scanner.h"

#include <gtest/gtest.h>

#include <string>

#include "markup/memory_scanner.h"

namespace pixmold {
namespace {

TEST(CharScanner, CountsLinesForEveryKindOfLineEnd) {
  struct Case {
    const char* what;
    std::string text;
    int line;
    std::uint32_t flags;
  };
  const Case cases[] = {
      {"nothing read", "", 1, 0},
      {"one line", "abc", 1, 0},
      {"LF", "a\nb\nc", 3, CharScanner::kSawLineFeed},
      {"CR", "a\rb\rc", 3, CharScanner::kSawCarriageReturn},
      {"CR LF: counter 5 halved up", "a\r\nb\r\nc", 3, CharScanner::kSawCarriageReturn | CharScanner::kSawLineFeed},
      {"CR LF at the very end", "a\r\n", 2, CharScanner::kSawCarriageReturn | CharScanner::kSawLineFeed},
      {"one CR after LF lines halves the count", "a\nb\nc\r", 2, CharScanner::kSawCarriageReturn | CharScanner::kSawLineFeed},
  };
  for (const auto& c : cases) {
    MemoryScanner scanner(c.text);
    while (scanner.ReadChar() != 0) {
    }
    EXPECT_EQ(scanner.LineNumber(), c.line) << c.what;
    EXPECT_EQ(scanner.LineEndFlags(), c.flags) << c.what;
  }
}

TEST(CharScanner, HalvingStartsOnceBothKindsWereSeenAndRoundsUp) {
  MemoryScanner scanner(std::string_view("\r\n\r\n\r"));
  scanner.ReadChar();
  EXPECT_EQ(scanner.LineCounter(), 2);
  EXPECT_EQ(scanner.LineNumber(), 2);  // only a carriage return so far
  for (int counter = 3; counter <= 6; ++counter) {
    scanner.ReadChar();
    EXPECT_EQ(scanner.LineCounter(), counter);
    EXPECT_EQ(scanner.LineNumber(), (counter + 1) / 2);
  }
}

TEST(MemoryScanner, ZeroByteEndsTheInput) {
  const std::uint8_t bytes[] = {'a', 0, 'b'};
  MemoryScanner scanner{std::span<const std::uint8_t>(bytes)};
  EXPECT_EQ(scanner.ReadChar(), 'a');
  EXPECT_EQ(scanner.ReadChar(), 0);
}

TEST(MemoryScanner, KeepsGivingZeroAtTheEnd) {
  MemoryScanner scanner(std::string_view("\xFF"));
  EXPECT_EQ(scanner.ReadChar(), 0xFF);
  EXPECT_EQ(scanner.ReadChar(), 0);
  EXPECT_EQ(scanner.ReadChar(), 0);
}

}  // namespace
}  // namespace pixmold
