#include "builder/render_spec.h"

#include <gtest/gtest.h>

#include "markup_fixture.h"

namespace pixmold {
namespace {

using testing::FatalOf;
using testing::ReadSizes;
using PerSize = RenderSpec::PerSize;

TEST(RenderSpec, DefaultOriginsComeFromTileHeightSlopAndBorder) {
  RenderSpec sizes =
      ReadSizes("<sizes lwidth=128 lheight=256 mwidth=64 mheight=128 swidth=32 sheight=64 border=2 slopwidth=9>");
  EXPECT_EQ(sizes.width, (PerSize{128, 64, 32}));
  EXPECT_EQ(sizes.height, (PerSize{256, 128, 64}));
  EXPECT_EQ(sizes.slopWidth, (PerSize{9, 4, 2}));
  EXPECT_EQ(sizes.border, (PerSize{2, 2, 2}));
  EXPECT_EQ(sizes.xOrigin, (PerSize{64, 32, 16}));
  EXPECT_EQ(sizes.yOrigin, (PerSize{256 - 32 - 9 - 2, 128 - 16 - 4 - 2, 64 - 8 - 2 - 2}));
}

TEST(RenderSpec, ExplicitOriginsAndUniformSlop) {
  RenderSpec sizes = ReadSizes(
      "<sizes lwidth=10 lheight=40 mwidth=10 mheight=40 swidth=10 sheight=40 \"uniform slopwidth\"=3 lxorigin=1 "
      "syorigin=-4>");
  EXPECT_EQ(sizes.slopWidth, (PerSize{3, 3, 3}));
  EXPECT_EQ(sizes.xOrigin, (PerSize{1, 5, 5}));
  EXPECT_EQ(sizes.yOrigin, (PerSize{40 - 32 - 3, 40 - 16 - 3, -4}));
}

TEST(RenderSpec, MissingAndConflictingAttributes) {
  const std::pair<const char*, const char*> cases[] = {
      {"<sizes\n lwidth=1 lheight=1 mwidth=1 mheight=1 swidth=1>", "line: 1 - sheight required in sizes attribute"},
      {"<sizes lheight=1>", "line: 1 - lwidth required in sizes attribute"},
      {"<sizes lwidth=1>", "line: 1 - lheight required in sizes attribute"},
      {"<sizes slopwidth=1 \"uniform slopwidth\"=2 lwidth=1>",
       "line: 1 - slopwidth and uniform slopwidth not allowed together"},
  };
  for (const auto& [markup, message] : cases) EXPECT_EQ(FatalOf([&] { ReadSizes(markup); }), message) << markup;
}

}  // namespace
}  // namespace pixmold
