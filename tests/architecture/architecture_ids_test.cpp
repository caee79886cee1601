#include "architecture/architecture_ids.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "support/assert_capture.h"

namespace pixmold {
namespace {

struct IdCase {
  const char* what;
  std::function<ResID()> id;
  ResID expected;
  const char* report;  // the range check's message, or "" when in range
};

TEST(ArchitectureIds, EachSchemeGivesItsIdsAndChecksItsRange) {
  const IdCase cases[] = {
      {"wall 1", [] { return WallId(1, 1, false); }, 129, ""},
      {"wall 1 large", [] { return WallId(1, 3, false); }, 131, ""},
      {"wall 1 variant", [] { return WallId(1, 1, true); }, 137, ""},
      {"wall 1 variant large", [] { return WallId(1, 3, true); }, 139, ""},
      {"wall 3 medium", [] { return WallId(3, 2, false); }, 162, ""},
      {"wall zoom 4", [] { return WallId(1, 4, false); }, 132, "zoom out of range (1,2 or 3, please)"},
      {"style 3 variant small", [] { return WallStyleId(3, 1, true); }, 7, ""},
      {"style 3 variant medium", [] { return WallStyleId(3, 2, true); }, 519, ""},
      {"style 3 variant large", [] { return WallStyleId(3, 3, true); }, 1031, ""},
      {"style 255", [] { return WallStyleId(255, 3, false); }, 1534, ""},
      {"style 256", [] { return WallStyleId(256, 1, false); }, 512,
       "(style >= 0 && style < kMaxStyles) Style out of range"},
      {"style -1", [] { return WallStyleId(-1, 1, false); }, -2, "Style out of range"},
      {"style 22", [] { return WallStyleId(22, 1, false); }, 44,
       "(style!=kCustomWindowStyle) can't get id for custom style!"},
      {"style zoom 0", [] { return WallStyleId(1, 0, false); }, -510, "(zoom >= 1 && zoom <= 3) bad zoom"},
      {"tag normal", [] { return WallStyleTagId(300, 0, 1); }, 300, ""},
      {"tag cutaway large", [] { return WallStyleTagId(300, 1, 3); }, 305, ""},
      {"tag cutaway 2", [] { return WallStyleTagId(300, 2, 1); }, 306, "cutaway out of range (0 or 1, please)"},
      {"pattern 0", [] { return WallPatternId(0, 1); }, 1536, ""},
      {"pattern 0 medium", [] { return WallPatternId(0, 2); }, 1792, ""},
      {"pattern 0 large", [] { return WallPatternId(0, 3); }, 2048, ""},
      {"pattern 252 large", [] { return WallPatternId(252, 3); }, 2300, ""},
      {"pattern 256", [] { return WallPatternId(256, 1); }, 1792,
       "(pattern >= 0 && pattern < kMaxPatterns) Pattern out of range"},
      {"floor 5", [] { return FloorId(5, 1); }, 5, ""},
      {"floor 5 medium", [] { return FloorId(5, 2); }, 261, ""},
      {"floor 255 large", [] { return FloorId(255, 3); }, 767, ""},
      {"shadow 3", [] { return ShadowId(3, 1); }, 771, ""},
      {"shadow 3 large", [] { return ShadowId(3, 3); }, 835, ""},
      {"shadow 32", [] { return ShadowId(32, 1); }, 800, "(inShadowID >= 0 && inShadowID < 32) shadow id out of range"},
      {"pool 2", [] { return PoolId(2, 1); }, 1026, ""},
      {"pool 2 large", [] { return PoolId(2, 3); }, 1058, ""},
      {"pool 16", [] { return PoolId(16, 1); }, 1040, "pool tile id out-of-range"},
      {"pool scale 4", [] { return PoolId(0, 4); }, 1072, "(inScale >= 1 && inScale <= 3) scale out-of-range"},
      {"overlap 17", [] { return PoolOverlapId(17, 1); }, 1073, ""},
      {"overlap 17 medium", [] { return PoolOverlapId(17, 2); }, 1077, ""},
      {"overlap 19 large", [] { return PoolOverlapId(19, 3); }, 1083, ""},
      {"overlap 15", [] { return PoolOverlapId(15, 1); }, 1071, "pool tile overlap piece id out-of-range"},
      {"water 0", [] { return WaterId(0); }, 2048, ""},
      {"water 15", [] { return WaterId(15); }, 2063, ""},
      {"water 16", [] { return WaterId(16); }, 2064, "(inWaterID >= 0 && inWaterID < 16) water tile id out-of-range"},
      {"floor palette", [] { return FloorPaletteId(5, false, false); }, 5, ""},
      {"shadow palette", [] { return FloorPaletteId(3, true, false); }, 1, ""},
      {"pool palette", [] { return FloorPaletteId(2, false, true); }, 1026, ""},
      {"overlap palette", [] { return FloorPaletteId(17, false, true); }, 1073, ""},
  };
  for (const IdCase& c : cases) {
    testing::AssertCapture asserts;
    EXPECT_EQ(c.id(), c.expected) << c.what;
    const std::string report = c.report;
    if (report.empty()) {
      EXPECT_EQ(asserts.Count(), 0u) << c.what;
    } else {
      EXPECT_TRUE(asserts.Saw(report)) << c.what << ": " << (asserts.Count() ? asserts.Reports()[0] : "no report");
    }
  }
}

}  // namespace
}  // namespace pixmold
