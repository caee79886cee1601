// The depfile must name every path so that ninja and make read back the
// same bytes; each case is checked against the rule both tools follow.
#include "app/depfile.h"

#include <gtest/gtest.h>

namespace pixmold {
namespace {

TEST(Depfile, EscapesWhatNinjaAndMakeWouldSplitOrExpand) {
  struct Case {
    const char* path;
    std::optional<std::string> escaped;
  } cases[] = {
      {"/data/Objects/chair.iff", "/data/Objects/chair.iff"},
      {"/content/Sprites/big table/a.tga", "/content/Sprites/big\\ table/a.tga"},
      {"/content/$HOME/a.tga", "/content/$$HOME/a.tga"},
      {"/content/a b$c d/e", "/content/a\\ b$$c\\ d/e"},
      {"/content/#1.tga", "/content/\\#1.tga"},
      {"/content/line\nbreak", std::nullopt},
      {"/content/carriage\rreturn", std::nullopt},
  };
  for (const Case& test : cases) EXPECT_EQ(EscapeDepfilePath(test.path), test.escaped) << test.path;
}

TEST(Depfile, OneRuleWithEachPrerequisiteOnItsOwnLine) {
  EXPECT_EQ(FormatDepfile("/c/obj.stamp", {"/d/chair.iff", "/s/a b.tga"}),
            "/c/obj.stamp: \\\n  /d/chair.iff \\\n  /s/a\\ b.tga\n");
  EXPECT_EQ(FormatDepfile("/c/obj.stamp", {}), "/c/obj.stamp:\n");
  std::string bad;
  EXPECT_EQ(FormatDepfile("/c/obj.stamp", {"/d/ok", "/d/bad\nname"}, &bad), std::nullopt);
  EXPECT_EQ(bad, "/d/bad\nname");
}

}  // namespace
}  // namespace pixmold
