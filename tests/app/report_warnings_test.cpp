#include "app/report_warnings.h"

#include <gtest/gtest.h>

namespace pixmold {
namespace {

TEST(ReportWarnings, CountsAndKeepsOnlyTheWarningLines) {
  struct Case {
    const char* report;
    int count;
    const char* warningsOnly;
  };
  const Case cases[] = {
      {"", 0, ""},
      {"Generating sprite 100, Chair...\r\nRendering file chair.tga...\r\n", 0, ""},
      {"Run #1\nwarning: line: 12 - unknown tag: sprit\nGenerating sprite 1\nwarning: no palette\n", 2,
       "warning: line: 12 - unknown tag: sprit\nwarning: no palette\n"},
      // A warning about an image keeps the line naming the image.
      {"Rendering file a.tga...\r\nfile: a.tga\r\nwarning: odd size\r\nfile: b.tga\r\nDone\r\n", 1,
       "file: a.tga\r\nwarning: odd size\r\n"},
      // The last line may have no line end; a line merely holding the word is no warning.
      {"the warning: is quoted\nwarning: last", 1, "warning: last"},
      {"fatal error: line: 3 - item tag received before drawgroup tag\n", 0, ""},
  };
  for (const Case& test : cases) {
    EXPECT_EQ(CountWarnings(test.report), test.count) << test.report;
    EXPECT_EQ(WarningLinesOnly(test.report), test.warningsOnly) << test.report;
  }
  EXPECT_TRUE(IsWarningLine("warning: x\r\n"));
  EXPECT_FALSE(IsWarningLine(" warning: x"));
  EXPECT_EQ(WarningCountText(0) + ", " + WarningCountText(1) + ", " + WarningCountText(12),
            "no warnings, 1 warning, 12 warnings");
}

}  // namespace
}  // namespace pixmold
