#include "markup/scan_integer.h"

#include <gtest/gtest.h>

#include <utility>

namespace pixmold {
namespace {

// Out-of-range numbers keep their low 32 bits; a failed read leaves the output alone.
TEST(ScanInteger, FollowsPercentD) {
  const std::pair<const char*, std::int32_t> numbers[] = {
      {"0", 0},
      {"12abc", 12},
      {"-5", -5},
      {"+5", 5},
      {"\t\v\f 9", 9},
      {"007", 7},
      {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"4294967295", -1},
      {"4294967296", 0},
  };
  for (const auto& [text, value] : numbers) {
    std::int32_t out = 1234;
    EXPECT_TRUE(ScanInteger(text, out)) << text;
    EXPECT_EQ(out, value) << text;
  }
  for (const char* text : {"", "abc", "-", "+-1", "- 1", "x1"}) {
    std::int32_t out = 1234;
    EXPECT_FALSE(ScanInteger(text, out)) << text;
    EXPECT_EQ(out, 1234) << text;
  }
}

}  // namespace
}  // namespace pixmold
