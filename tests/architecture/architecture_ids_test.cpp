#include "architecture/architecture_ids.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/assert_capture.h"

namespace pixmold {
namespace {

TEST(ArchitectureIds, EachSchemeGivesItsIdsAndReportsNumbersOutOfRange) {
  struct Case {
    std::function<ResID()> id;
    ResID expected;
    const char* report;  // the range check's text, "" when in range
  };
  const Case cases[] = {
      {[] { return WallId(1, 1, false); }, 129, ""},
      {[] { return WallId(1, 3, true); }, 139, ""},
      {[] { return WallId(3, 2, false); }, 162, ""},
      {[] { return WallId(1, 4, false); }, 132, "(zoom >= 1 && zoom <= 3) zoom out of range (1,2 or 3, please)"},
      {[] { return WallStyleId(3, 1, true); }, 7, ""},
      {[] { return WallStyleId(3, 3, true); }, 1031, ""},
      {[] { return WallStyleId(256, 1, false); }, 512, "(style >= 0 && style < kMaxStyles) Style out of range"},
      {[] { return WallStyleId(22, 1, false); }, 44, "(style!=kCustomWindowStyle) can't get id for custom style!"},
      {[] { return WallStyleId(1, 0, false); }, -510, "(zoom >= 1 && zoom <= 3) bad zoom"},
      {[] { return WallStyleTagId(300, 1, 3); }, 305, ""},
      {[] { return WallStyleTagId(300, 2, 1); }, 306, "(cutaway >= 0 && cutaway <= 1) cutaway out of range"},
      {[] { return WallPatternId(0, 2); }, 1792, ""},
      {[] { return WallPatternId(256, 1); }, 1792, "(pattern >= 0 && pattern < kMaxPatterns) Pattern out of range"},
      {[] { return FloorId(5, 2); }, 261, ""},
      {[] { return ShadowId(3, 3); }, 835, ""},
      {[] { return ShadowId(32, 1); }, 800, "(inShadowID >= 0 && inShadowID < 32) shadow id out of range"},
      {[] { return PoolId(2, 3); }, 1058, ""},
      {[] { return PoolId(16, 1); }, 1040, "(inPoolID >= 0 && inPoolID < 16) pool tile id out-of-range"},
      {[] { return PoolId(0, 4); }, 1072, "(inScale >= 1 && inScale <= 3) scale out-of-range"},
      {[] { return PoolOverlapId(17, 2); }, 1077, ""},
      {[] { return PoolOverlapId(16, 1); }, 1072, ""},
      {[] { return PoolOverlapId(19, 3); }, 1083, ""},
      {[] { return PoolOverlapId(20, 1); }, 1076, "pool tile overlap piece id out-of-range"},
      {[] { return FloorPaletteId(16, false, true); }, 1072, ""},
      {[] { return PoolOverlapId(15, 1); }, 1071, "pool tile overlap piece id out-of-range"},
      {[] { return WaterId(15); }, 2063, ""},
      {[] { return WaterId(16); }, 2064, "(inWaterID >= 0 && inWaterID < 16) water tile id out-of-range"},
      {[] { return FloorPaletteId(3, true, false); }, 1, ""},
      {[] { return FloorPaletteId(17, false, true); }, 1073, ""},
  };
  for (const Case& c : cases) {
    testing::AssertCapture asserts;
    EXPECT_EQ(c.id(), c.expected) << c.report;
    EXPECT_EQ(asserts.Count(), *c.report ? 1u : 0u) << c.expected;
    EXPECT_TRUE(!*c.report || asserts.Saw(c.report)) << c.report;
  }
}

}  // namespace
}  // namespace pixmold
