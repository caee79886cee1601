// The plan: objects found as the dialog finds them, and every path written
// so that ninja and the shell read back exactly the bytes of the path.
#include "app/ninja_plan.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace pixmold {
namespace {

TEST(NinjaPlan, FindsObjectsWithTheirMarkupIgnoringCase) {
  testing::TempDir root;
  const std::string data = root.File("data");
  const std::string content = root.File("content");
  root.Write("data/Objects/seating/Chair.spf", "");
  root.Write("data/Objects/seating/Chair.iff", "");
  root.Write("data/Objects/lamp.spf", "");
  root.Write("content/Sprites/chairs/chair.omk", "");
  root.Write("content/Sprites/chairs/a.tga", "");

  const TreeObjects tree = FindTreeObjects(data, content);
  ASSERT_EQ(tree.objects.size(), 1u);
  EXPECT_EQ(tree.objects[0].objectFile, data + "/Objects/seating/Chair");
  EXPECT_EQ(tree.objects[0].key, "seating/Chair");
  EXPECT_EQ(tree.objects[0].omkFile, content + "/Sprites/chairs/chair.omk");
  EXPECT_EQ(tree.objects[0].imageDirectory, content + "/Sprites/chairs/");
  EXPECT_EQ(tree.withoutMarkup, std::vector<std::string>{data + "/Objects/lamp"});
  EXPECT_EQ(tree.directories, (std::vector<std::string>{data + "/Objects", data + "/Objects/seating",
                                                        content + "/Sprites", content + "/Sprites/chairs"}));
}

TEST(NinjaPlan, ShellQuotesOnlyWhatNeedsIt) {
  struct Case {
    const char* word;
    const char* quoted;
  } cases[] = {
      {"/data/Objects/chair", "/data/Objects/chair"},
      {"--draw-groups=100,101", "--draw-groups=100,101"},
      {"big table", "'big table'"},
      {"$HOME", "'$HOME'"},
      {"it's", "'it'\\''s'"},
      {"", "''"},
  };
  for (const Case& test : cases) EXPECT_EQ(ShellQuote(test.word), test.quoted) << test.word;
}

PlanSettings Settings() {
  return PlanSettings{"/bin/pixmold", "/d", "/c", "/cache/build.ninja", {"--draw-groups", "100"}};
}

TEST(NinjaPlan, EscapesPathsForNinjaAndValuesForTheShell) {
  TreeObjects tree;
  tree.objects.push_back({"/d/Objects/a b$:c", "a b$:c", "/c/Sprites/x/a b$:c.omk", "/c/Sprites/x/"});
  tree.directories = {"/d/Objects", "/c/Sprites/with space"};
  const std::optional<std::string> plan = FormatNinjaPlan(tree, Settings());
  ASSERT_TRUE(plan);
  const std::string expected[] = {
      "build /cache/build.ninja: plan | $\n    /d/Objects $\n    /c/Sprites/with$ space\n",
      "  args = --data /d --content /c -o /cache/build.ninja --draw-groups 100\n",
      "build /cache/objects/a$ b$$$:c.stamp: build_object\n",
      "  key = a b$$:c\n",
      "  args = '/d/Objects/a b$$:c' --omk '/c/Sprites/x/a b$$:c.omk' --images /c/Sprites/x/ "
      "--depfile '/cache/objects/a b$$:c.stamp.d' --stamp '/cache/objects/a b$$:c.stamp' "
      "--report '/cache/objects/a b$$:c.report.txt' --quiet --threads 1 --draw-groups 100\n",
      "  depfile = $out.d\n  deps = gcc\n  restat = 1\n",
      "  generator = 1\n",
  };
  for (const std::string& line : expected) EXPECT_NE(plan->find(line), std::string::npos) << line << "in\n" << *plan;
}

TEST(NinjaPlan, RefusesALineBreakItCannotWrite) {
  TreeObjects tree;
  tree.objects.push_back({"/d/Objects/a\nb", "a\nb", "/c/Sprites/a\nb.omk", "/c/Sprites/"});
  std::string error;
  EXPECT_EQ(FormatNinjaPlan(tree, Settings(), &error), std::nullopt);
  EXPECT_NE(error.find("line break"), std::string::npos) << error;

  PlanSettings options = Settings();
  options.buildOptions = {"--omk\nx"};
  EXPECT_EQ(FormatNinjaPlan(TreeObjects{}, options), std::nullopt);
}

}  // namespace
}  // namespace pixmold
