#include "markup/scan_integer.h"

#include <gtest/gtest.h>

namespace pixmold {
namespace {

TEST(ScanInteger, FollowsPercentD) {
  const struct {
    const char* text;
    bool read;
    std::int32_t value;
  } cases[] = {
      {"0", true, 0},
      {"12abc", true, 12},
      {"-5", true, -5},
      {"+5", true, 5},
      {" \t\n\v\f\r9", true, 9},
      {"007", true, 7},
      {"2147483647", true, 2147483647},
      {"-2147483648", true, -2147483647 - 1},
      {"4294967295", true, -1},  // low 32 bits
      {"4294967296", true, 0},
      {"", false, 0},
      {"abc", false, 0},
      {"-", false, 0},
      {"+-1", false, 0},
      {"- 1", false, 0},
      {"x1", false, 0},
  };
  for (const auto& c : cases) {
    std::int32_t out = 1234;
    EXPECT_EQ(ScanInteger(c.text, out), c.read) << c.text;
    EXPECT_EQ(out, c.read ? c.value : 1234) << c.text;
  }
}

}  // namespace
}  // namespace pixmold
