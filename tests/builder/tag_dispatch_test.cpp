#include "builder/tag_dispatch.h"

#include <gtest/gtest.h>

#include "markup_fixture.h"

namespace pixmold {
namespace {

using testing::CapturedReport;
using testing::Dispatch;
using testing::FatalOf;

TEST(TagDispatch, EveryTagKindIsFiledInItsListAndCareersAreIgnored) {
  CapturedReport report;
  auto context = Dispatch(
      "text outside tags <career name=x> more <job id=3>"
      "<sizes lwidth=8 lheight=8 mwidth=4 mheight=4 swidth=2 sheight=2>"
      "<sprite id=1 tgafile=a.tga><headline id=2 tgafile=h.tga>"
      "<\"wall style\" id=3 tgafile=w.tga><drawgroup id=4><item sprite id=1>"
      "<bmpfile id=5 filename=a.bmp><slots id=6><slot><attributes id=7><attribute index=0 label=a>"
      "<\"skill table\"><skill index=0 name=b type=a2o><sound id=8 name=c.wav>");
  EXPECT_EQ(report.Text(), "");
  const BuildContext& c = *context;
  EXPECT_EQ((std::vector<int>{c.sprites.Count(), c.headlines.Count(), c.wallStyles.Count(), c.drawGroups.Count(),
                              c.catalogs.Count(), c.bitmaps.Count(), c.treeTables.Count(), c.slots.Count(),
                              c.attrStrings.Count(), c.skillTables.Count(), c.sounds.Count(), c.targets.Count()}),
            (std::vector<int>{2, 1, 1, 1, 0, 1, 0, 1, 1, 1, 1, 0}));
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

TEST(TagDispatch, NestingRulesAndSpecErrorsEndTheDispatch) {
  const std::pair<const char*, const char*> cases[] = {
      {"\n<slot>", "slot tag received before slots tag"},
      {"\n<attribute>", "got an attribute tag before attributes tag"},
      {"\n<skill>", "got a skill tag before \"skill table tag\""},
      {"\n<\"skill table\">\n<\"skill table\">", "found more than one skill table tag"},
      {"\n<interaction>", "interaction tag without ttab tag"},
      {"\n<item sprite id=1>", "item tag received before drawgroup tag"},
      {"<sprite id=1\n reverse=yes>",
       "line: 2 - boolean value for key \"reverse\" in tag \"sprite\" expected to be true or false"},
      {"<\"wall style\" id=1>", "line: 1 - wall style tag requires tgafile attribute"},
      // Every spec with an id reads it, whether or not its pass writes yet.
      {"\n<bmpfile name=thumb>", "line: 2 - id required"},
      {"<slots name=s>", "line: 1 - id required"},
      {"<sound name=creak.wav>", "line: 1 - id required"},
      {"<sound id=1\n language=x>", "line: 2 - integer value expected for key \"language\" in tag \"sound\""},
  };
  for (const auto& [markup, message] : cases) EXPECT_EQ(FatalOf([&] { Dispatch(markup); }), message) << markup;
}

TEST(TagDispatch, UnknownTagsWarnAtTheirLineAndNamesCompareExactly) {
  CapturedReport report;
  // Unquoted names are folded to lower case; quoted ones are kept as written.
  auto context = Dispatch("\n\n\n\n\n\n<sprit id=1>\n<Sprite id=2 tgafile=a.tga>\n<>\n<Wall style>\n<\"Sprite\" id=3>");
  EXPECT_EQ(report.Text(),
            "warning: line: 7 - unknown tag: sprit\n"
            "warning: unknown tag: \n"
            "warning: line: 10 - unknown tag: wall\n"
            "warning: line: 11 - unknown tag: Sprite\n");
  EXPECT_EQ(context->sprites.Count(), 1);
}

// The reader knows no nesting: a tag that lost its ">" runs on to the next
// one, which becomes its attributes. That, and a key no reader looks up,
// are warned about at their lines; what follows a swallowed tag belongs to
// it and is not judged again.
TEST(TagDispatch, SwallowedTagsAndAttributesNoReaderReadsWarnAtTheirLines) {
  CapturedReport report;
  auto context = Dispatch(
      "<sizes lwidth=8 lheight=8 mwidth=4 mheight=4 swidth=2 sheight=2 lborder=1>\n"
      "<sprite id=1 tgafile=a.tga\n colums=2>\n"
      "<drawgroup id=4 name=x\n<item sprite id=1>\n"
      "<item sprite id=1 lumnious=true>\n"
      "<career anything=1><job at=2>\n"
      "<sprit id=9\n<sprite id=2 tgafile=a.tga>\n");
  EXPECT_EQ(report.Text(),
            "warning: line: 1 - the \"sizes\" tag does not read \"lborder\"; ignored\n"
            "warning: line: 3 - the \"sprite\" tag does not read \"colums\"; ignored\n"
            "warning: line: 4 - the \"drawgroup\" tag seems to be missing its \">\": \"<item\" on line 5 was read "
            "as one of its attributes\n"
            "warning: line: 6 - the \"item\" tag does not read \"lumnious\"; ignored\n"
            "warning: line: 8 - unknown tag: sprit\n"
            "warning: line: 8 - the \"sprit\" tag seems to be missing its \">\": \"<sprite\" on line 9 was read as "
            "one of its attributes\n");
  // The warnings change nothing of what is read.
  EXPECT_EQ(context->sprites.Count(), 1);
  EXPECT_EQ(context->drawGroups.Count(), 1);
}

}  // namespace
}  // namespace pixmold
