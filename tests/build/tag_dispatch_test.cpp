#include "build/tag_dispatch.h"

#include <gtest/gtest.h>

#include "markup_fixture.h"

namespace pixmold {
namespace {

using testing::CapturedReport;
using testing::Dispatch;
using testing::FatalOf;

int TotalSpecs(const BuildContext& c) {
  return c.sprites.Count() + c.drawGroups.Count() + c.sounds.Count() + c.slots.Count() + c.headlines.Count() +
         c.attrStrings.Count() + c.skillTables.Count() + c.targets.Count() + c.catalogs.Count() +
         c.treeTables.Count() + c.bitmaps.Count() + c.wallStyles.Count();
}

TEST(TagDispatch, CareerAndJobAreIgnoredSilently) {
  CapturedReport report;
  auto context = Dispatch("text outside tags <career name=x> more <job id=3>");
  EXPECT_EQ(TotalSpecs(*context), 0);
  EXPECT_EQ(report.Text(), "");
}

TEST(TagDispatch, EveryTagKindIsFiledInItsList) {
  CapturedReport report;
  auto context = Dispatch(
      "<sizes lwidth=8 lheight=8 mwidth=4 mheight=4 swidth=2 sheight=2>"
      "<sprite id=1 tgafile=a.tga><headline id=2 tgafile=h.tga>"
      "<\"wall style\" id=3 tgafile=w.tga><drawgroup id=4><item sprite id=1>"
      "<catalog><bmpfile><ttab><interaction><slots><slot><attributes><attribute>"
      "<\"skill table\"><skill><sound>");
  EXPECT_EQ(report.Text(), "");
  EXPECT_EQ(context->sprites.Count(), 2);
  EXPECT_EQ(context->headlines.Count(), 1);
  EXPECT_EQ(context->wallStyles.Count(), 1);
  EXPECT_EQ(context->drawGroups.Count(), 1);
  EXPECT_EQ(context->catalogs.Count(), 1);
  EXPECT_EQ(context->bitmaps.Count(), 1);
  EXPECT_EQ(context->treeTables.Count(), 1);
  EXPECT_EQ(context->slots.Count(), 1);
  EXPECT_EQ(context->attrStrings.Count(), 1);
  EXPECT_EQ(context->skillTables.Count(), 1);
  EXPECT_EQ(context->sounds.Count(), 1);
  EXPECT_EQ(context->defaultSizes.width[0], 8);
}

TEST(TagDispatch, NewestFirstListsHoldTheLastTagFirst) {
  auto context = Dispatch(
      "<\"wall style\" id=1 tgafile=a.tga><\"wall style\" id=2 tgafile=b.tga>"
      "<headline id=5 frames=2 tgafile=h.tga><headline id=6 tgafile=h.tga>");
  EXPECT_EQ(context->wallStyles.Nth(0)->Id(), 2);
  EXPECT_EQ(context->wallStyles.Nth(1)->Id(), 1);
  EXPECT_EQ(context->headlines.Nth(0)->Id(), 6);
  EXPECT_EQ(context->headlines.Nth(0)->Position(), 2);
  EXPECT_EQ(context->headlines.Nth(1)->Position(), 0);
  // A headline adds a sprite spec too, with the headline sizes.
  ASSERT_EQ(context->sprites.Count(), 2);
  EXPECT_EQ(context->sprites.Nth(0)->Id(), 5);
  EXPECT_EQ(context->sprites.Nth(0)->Sizes().height[0], 96);
  EXPECT_EQ(context->sprites.Nth(1)->Position(), 2);
}

struct NestingCase {
  const char* markup;
  const char* message;
};

TEST(TagDispatch, NestingRulesAreFatalWithoutALine) {
  const NestingCase cases[] = {
      {"\n<slot>", "slot tag received before slots tag"},
      {"\n<attribute>", "got an attribute tag before attributes tag"},
      {"\n<skill>", "got a skill tag before \"skill table tag\""},
      {"\n<\"skill table\">\n<\"skill table\">", "found more than one skill table tag"},
      {"\n<interaction>", "interaction tag without ttab tag"},
      {"\n<item sprite id=1>", "item tag received before drawgroup tag"},
  };
  for (const auto& c : cases) EXPECT_EQ(FatalOf([&] { Dispatch(c.markup); }), c.message) << c.markup;
}

TEST(TagDispatch, UnknownTagsWarnAtTheirLineAndTheBuildGoesOn) {
  CapturedReport report;
  auto context = Dispatch("\n\n\n\n\n\n<sprit id=1>\n<sprite id=2 tgafile=a.tga>\n<>\n<Wall style>");
  EXPECT_EQ(report.Text(),
            "warning: line: 7 - unknown tag: sprit\n"
            "warning: unknown tag: \n"
            "warning: line: 10 - unknown tag: wall\n");
  EXPECT_EQ(context->sprites.Count(), 1);
}

TEST(TagDispatch, TagNamesCompareExactly) {
  CapturedReport report;
  auto context = Dispatch("<Sprite id=1 tgafile=a.tga><\"Sprite\" id=2>");
  EXPECT_EQ(context->sprites.Count(), 1);
  EXPECT_EQ(report.Text(), "warning: line: 1 - unknown tag: Sprite\n");
}

TEST(TagDispatch, SpecErrorsEndTheDispatch) {
  EXPECT_EQ(FatalOf([] { Dispatch("<sprite id=1\n reverse=yes>"); }),
            "line: 2 - boolean value for key \"reverse\" in tag \"sprite\" expected to be true or false");
  EXPECT_EQ(FatalOf([] { Dispatch("<\"wall style\" id=1>"); }), "line: 1 - wall style tag requires tgafile attribute");
}

TEST(TagDispatch, ItemsAttachToTheLatestDrawGroup) {
  auto context = Dispatch(
      "<sizes lwidth=8 lheight=8 mwidth=4 mheight=4 swidth=2 sheight=2>"
      "<sprite id=1 tgafile=a.tga><sprite id=2 tgafile=a.tga>"
      "<drawgroup id=10><item sprite id=1><drawgroup id=11><item sprite id=2>");
  EXPECT_TRUE(context->drawGroups.Nth(0)->Group().UsesSprite(1));
  EXPECT_FALSE(context->drawGroups.Nth(0)->Group().UsesSprite(2));
  EXPECT_TRUE(context->drawGroups.Nth(1)->Group().UsesSprite(2));
  EXPECT_FALSE(context->drawGroups.Nth(1)->Group().UsesSprite(1));
}

}  // namespace
}  // namespace pixmold
