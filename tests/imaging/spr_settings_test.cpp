#include "imaging/spr_settings.h"

#include <gtest/gtest.h>

namespace pixmold {
namespace {

TEST(SprSettings, DefaultsAndByteOrder) {
  const SprSettings s;
  EXPECT_EQ(s.ToBytes(), (std::array<std::uint8_t, 12>{0x31, 0, 8, 1, 2, 3, 2, 6, 7, 11, 0, 255}));
  const std::array<std::uint8_t, 12> bytes = {0x11, 255, 16, 4, 5, 6, 20, 30, 40, 50, 10, 245};
  EXPECT_EQ(SprSettings::FromBytes(bytes).ToBytes(), bytes);
  EXPECT_EQ(CheckSprSettings(s), 0);
}

struct SettingsCase {
  const char* name;
  std::array<std::uint8_t, 12> bytes;  // flags, clear, threshold, p1 p2 p3, s1 lo hi, s2 lo hi, suppress lo hi
  ResErr expected;
};

TEST(SprSettings, Conflicts) {
  const SettingsCase cases[] = {
      {"build colour list", {0x31, 0, 8, 1, 2, 3, 2, 6, 7, 11, 10, 245}, 0},
      {"clear equals a pattern colour", {0x09, 2, 8, 1, 2, 3, 2, 6, 7, 11, 0, 255}, 1100},
      {"pattern colour but patterns off", {0x01, 2, 8, 1, 2, 3, 2, 6, 7, 11, 0, 255}, 0},
      {"clear inside shading 1", {0x03, 6, 8, 1, 2, 3, 2, 6, 7, 11, 0, 255}, 1100},
      {"clear inside shading 2", {0x05, 7, 8, 1, 2, 3, 2, 6, 7, 11, 0, 255}, 1100},
      {"clear inside a range that is off", {0x01, 7, 8, 1, 2, 3, 2, 6, 7, 11, 0, 255}, 0},
      {"pattern inside shading 1", {0x0A, 0, 8, 1, 2, 3, 2, 6, 7, 11, 0, 255}, 1100},
      {"pattern inside shading 2", {0x0C, 0, 8, 1, 2, 9, 20, 30, 7, 11, 0, 255}, 1100},
      {"patterns just outside the ranges", {0x0E, 0, 8, 1, 12, 13, 2, 6, 7, 11, 0, 255}, 0},
      {"pattern on the top of range 1", {0x0A, 0, 8, 6, 12, 13, 2, 6, 7, 11, 0, 255}, 1100},
      {"ranges overlap", {0x06, 0, 8, 1, 2, 3, 2, 7, 7, 11, 0, 255}, 1100},
      {"ranges touch but do not overlap", {0x06, 0, 8, 1, 2, 3, 2, 6, 7, 11, 0, 255}, 0},
      {"range 2 inside range 1", {0x06, 0, 8, 1, 2, 3, 2, 20, 7, 11, 0, 255}, 1100},
      {"range 1 backwards", {0x02, 0, 8, 1, 2, 3, 6, 2, 7, 11, 0, 255}, 1100},
      {"range 2 backwards", {0x04, 0, 8, 1, 2, 3, 2, 6, 11, 7, 0, 255}, 1100},
      {"backwards range that is off", {0x01, 0, 8, 1, 2, 3, 6, 2, 11, 7, 0, 255}, 0},
      {"suppression backwards", {0x21, 0, 8, 1, 2, 3, 2, 6, 7, 11, 200, 100}, 1100},
      {"suppression off and backwards", {0x01, 0, 8, 1, 2, 3, 2, 6, 7, 11, 200, 100}, 0},
      {"suppression of one index", {0x21, 0, 8, 1, 2, 3, 2, 6, 7, 11, 50, 50}, 0},
  };
  for (const auto& tc : cases) {
    EXPECT_EQ(CheckSprSettings(SprSettings::FromBytes(tc.bytes)), tc.expected) << tc.name;
  }
}

}  // namespace
}  // namespace pixmold
