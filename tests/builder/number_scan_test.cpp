#include "builder/number_scan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace pixmold {
namespace {

struct FloatCase {
  std::string text;
  std::optional<float> expected;
};

TEST(NumberScan, FloatsReadTheirLeadingNumber) {
  constexpr float kInf = std::numeric_limits<float>::infinity();
  const FloatCase cases[] = {
      {"1.5", 1.5f},
      {"-0.25", -0.25f},
      {".5", 0.5f},
      {"3", 3.0f},
      {"2e3", 2000.0f},
      {"1.5xyz", 1.5f},
      {" +4", 4.0f},
      {"x1", std::nullopt},
      {"", std::nullopt},
      {"-", std::nullopt},
      {"0.1", 0.1f},
      {"1e-5000", 0.0f},
      {"1e39", kInf},
      {"-1e400", -kInf},
      {"Inf", kInf},
      {"-infinity", -kInf},
      {std::string(400, '9'), kInf},
      {"0." + std::string(400, '0') + "1", 0.0f},
  };
  for (const auto& c : cases) EXPECT_EQ(ScanFloat(c.text), c.expected) << c.text;
  auto nan = ScanFloat("nan");
  ASSERT_TRUE(nan.has_value());
  EXPECT_TRUE(std::isnan(*nan));
}

}  // namespace
}  // namespace pixmold
