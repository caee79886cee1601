#include "builder/dgrp_spec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <tuple>

#include "markup_fixture.h"

namespace pixmold {
namespace {

using testing::CapturedReport;
using testing::FatalOf;

std::unique_ptr<BuildContext> Dispatch(std::string_view markup) {
  return testing::Dispatch(std::string(testing::kSizes) + "\n" + std::string(markup));
}

// Sprite tags with ids from 1, each with the attributes given.
std::string Sprites(std::initializer_list<std::string_view> attributes) {
  std::string markup;
  int id = 0;
  for (std::string_view a : attributes) {
    markup += "<sprite id=" + std::to_string(++id) + " tgafile=a.tga " + std::string(a) + ">";
  }
  return markup;
}

constexpr std::string_view kBiLateral = "symmetry=bi-lateral pairing=1";
constexpr std::string_view kRadial = "symmetry=radial pairing=1";
constexpr const char* kUseFirst = "<drawgroup id=1><item sprite id=1>";

const DrawGroupItem& ItemIn(const DGRPSpec& group, int direction, int zoom, std::size_t index = 0) {
  return group.Group().FindImage(direction, static_cast<std::uint32_t>(zoom))->items.at(index);
}

// The eight directions of one zoom, each "-" or its items as sprite/frame
// with "m" for mirrored and "l" for luminous.
std::string Views(const DGRPSpec& group, int zoom) {
  std::ostringstream out;
  for (int d = 0; d < 8; ++d) {
    const DrawGroupImage* image = group.Group().FindImage(d, static_cast<std::uint32_t>(zoom));
    out << (d ? " " : "") << (image == nullptr ? "-" : "");
    for (std::size_t i = 0; image != nullptr && i < image->items.size(); ++i) {
      const DrawGroupItem& item = image->items[i];
      out << (i ? "," : "") << item.spriteId << '/' << item.frameIndex
          << ((item.flags & DrawGroupItem::kFlagMirrored) ? "m" : "")
          << ((item.flags & DrawGroupItem::kFlagLuminous) ? "l" : "");
    }
  }
  return out.str();
}

TEST(DGRPSpec, EveryItemIsPlacedInTwelveViews) {
  auto context = Dispatch(
      "<sprite id=10 tgafile=a.tga>\n<drawgroup id=100 name=\"Chair\">\n"
      "<item sprite id=10 alt=1.5 x=3 y=-0.75 luminous=true>\n");
  ASSERT_EQ(context->drawGroups.Count(), 1);
  const DGRPSpec& group = *context->drawGroups.First();
  EXPECT_EQ(std::tuple(group.Id(), std::string(group.Name()), group.Group().images.size()),
            std::tuple(100, std::string("Chair"), std::size_t{12}));
  EXPECT_EQ(Views(group, 3), "10/0l - 10/1l - 10/2l - 10/3l -");
  EXPECT_EQ(Views(group, 2), "10/4l - 10/5l - 10/6l - 10/7l -");
  EXPECT_EQ(Views(group, 1), "10/8l - 10/9l - 10/10l - 10/11l -");
  const DrawGroupItem& item = ItemIn(group, 0, 3);
  EXPECT_EQ(item.altitude, 1.5f * (1.0f / 3.0f) * static_cast<float>(2.0 * std::sqrt(6.0)));
  EXPECT_EQ(item.objectX, 16.0f);
  EXPECT_EQ(item.objectY, -0.75f * (1.0f / 3.0f * 16.0f));
}

struct ViewCase {
  std::string markup;  // sprites and one draw group
  int zoom;
  const char* views;
};

TEST(DGRPSpec, ViewsFollowSymmetryOffsetsOrderingAndPairs) {
  const std::string three = Sprites({"", "", ""}) + "<drawgroup id=1 ordering=";
  const std::string items = ">\n<item sprite id=1><item sprite id=2><item sprite id=3>";
  const std::string radial = Sprites({kRadial, kRadial, kRadial, kRadial}) + "<drawgroup id=1><item sprite id=2>";
  const std::string pair = Sprites({"symmetry=bi-lateral pairing=2", "symmetry=bi-lateral pairing=2"});
  const ViewCase cases[] = {
      {Sprites({"frames=2"}) + kUseFirst, 3, "1/0 1/12 1/1 1/13 1/2 1/14 1/3 1/15"},
      {Sprites({""}) + "<drawgroup id=1><item sprite id=1 \"direction offset\"=2>", 3, "1/1 - 1/2 - 1/3 - 1/0 -"},
      {Sprites({""}) + "<drawgroup id=1><item sprite id=1 \"direction offset\"=-2>", 3, "1/3 - 1/0 - 1/1 - 1/2 -"},
      {Sprites({"symmetry=bi-lateral"}) + kUseFirst, 3, "1/0 - 1/1 - 1/1m - 1/0m -"},
      {three + "obscured" + items, 3, "1/0,2/0,3/0 - 3/1,2/1,1/1 - 3/2,2/2,1/2 - 1/3,2/3,3/3 -"},
      {three + "obscured" + items, 1, "1/8,2/8,3/8 - 3/9,2/9,1/9 - 3/10,2/10,1/10 - 1/11,2/11,3/11 -"},
      {three + "fixed" + items, 3, "1/0,2/0,3/0 - 1/1,2/1,3/1 - 1/2,2/2,3/2 - 1/3,2/3,3/3 -"},
      {radial, 3, "2/0 - 3/0 - 4/0 - 1/0 -"},
      {radial, 1, "2/2 - 3/2 - 4/2 - 1/2 -"},
      // With a direction offset of 2, views 2 and 4 see directions 4 and 6, both mirrored.
      {pair + "<drawgroup id=1><item sprite id=1 \"direction offset\"=2>", 3, "1/1 - 2/1m - 2/0m - 1/0 -"},
      {pair + "<drawgroup id=1><item sprite id=2>", 3, "2/0 - 2/1 - 1/1m - 1/0m -"},
  };
  for (const auto& c : cases) {
    auto context = Dispatch(c.markup);
    EXPECT_EQ(Views(*context->drawGroups.First(), c.zoom), c.views) << c.markup;
  }
}

TEST(DGRPSpec, PairGroupsUseEveryMember) {
  auto radial = Dispatch(Sprites({kRadial, kRadial, kRadial, kRadial}) + kUseFirst);
  EXPECT_EQ(radial->drawGroups.First()->SpriteUses().size(), 4u);
  auto pair = Dispatch(Sprites({kBiLateral, kBiLateral}) + "<drawgroup id=1><item sprite id=1 \"direction offset\"=2>");
  const auto& uses = pair->drawGroups.First()->SpriteUses();
  ASSERT_EQ(uses.size(), 2u);
  EXPECT_EQ(uses[1].directionOffset, 2);
  EXPECT_EQ(uses[1].sprite->Id(), 2);
  auto unused = Dispatch(Sprites({"pairing=1", "pairing=1", ""}) + "<drawgroup id=1><item sprite id=3>");
  EXPECT_EQ(unused->drawGroups.First()->SpriteUses().size(), 1u);
}

TEST(DGRPSpec, ItemsThatAddNothingWarn) {
  CapturedReport report;
  auto context = Dispatch(
      "<sprite id=10 tgafile=a.tga>\n<drawgroup id=100>\n<item sprite id=10 x=1>\n<item sprite id=10 x=2>\n"
      "<item slot id=1>\n<item object id=2>\n");
  const DGRPSpec& group = *context->drawGroups.First();
  EXPECT_EQ(group.Group().FindImage(0, 3)->items.size(), 1u);
  EXPECT_EQ(ItemIn(group, 0, 3).objectX, 2.0f * (1.0f / 3.0f * 16.0f));
  std::string expected;
  for (int i = 0; i < 12; ++i) expected += "warning: line: 5 - overwriting a draw group item\n";
  EXPECT_EQ(report.Text(), expected +
                               "warning: line: 6 - draw group item tag specifying depracated \"slot\" type\n"
                               "warning: line: 7 - draw group item tag specifying depracated \"object\" type\n");
}

struct StopCase {
  std::string markup;
  const char* message;
};

TEST(DGRPSpec, ReadingStops) {
  const StopCase cases[] = {
      {"<drawgroup id=1>\n<item thing id=1>", "line: 3 - unknown item type"},
      {"<drawgroup id=1>\n<item>", "line: 3 - unknown item type"},
      {"<drawgroup id=1>\n<item sprite>", "line: 3 - id required"},
      {"<drawgroup id=1>\n<item sprite id=5>", "line: 3 - sprite not found for some dgrp item"},
      {"<drawgroup id=1\n ordering=random>", "line: 3 - unknown ordering"},
      {"<drawgroup name=x>", "line: 2 - id required"},
      {"<sprite id=1 tgafile=a.tga>\n<drawgroup id=1>\n<item sprite id=1 \"direction offset\"=1>",
       "logic error. bad direction."},
      {Sprites({"symmetry=radial pairing=4"}), "could not find more than one sprite for a pair group"},
      {Sprites({"symmetry=radial pairing=256", "pairing=256"}), "code error, too many pair groups"},
      {Sprites({"symmetry=radial pairing=-1", "pairing=-1"}), "code error, too many pair groups"},
      {Sprites({kBiLateral, kBiLateral}) + "<drawgroup id=1><item sprite id=1><item sprite id=2>",
       "draw group uses two sprites from same pair group"},
      {Sprites({"pairing=1", "pairing=1"}) + kUseFirst, "illegal symmetry on a paired sprite"},
      {Sprites({kBiLateral, kBiLateral, kBiLateral}) + kUseFirst,
       "two sprites expected for bi-laterally symmetric pair group"},
      {Sprites({kRadial, kRadial}) + kUseFirst, "four sprites expected for radially symmetric pair group"},
      {Sprites({kBiLateral, kRadial}) + kUseFirst, "different symmetries for paired sprites"},
      {Sprites({kBiLateral, "symmetry=bi-lateral frames=2 pairing=1"}) + kUseFirst,
       "pairing found for diagonal sprites"},
  };
  for (const auto& c : cases) EXPECT_EQ(FatalOf([&] { Dispatch(c.markup); }), c.message) << c.markup;
}

TEST(DGRPSpec, SetOffsetsCopiesEachViewsScreenOffset) {
  auto context = Dispatch(
      "<sprite id=10 tgafile=a.tga symmetry=bi-lateral><sprite id=11 tgafile=a.tga>\n"
      "<drawgroup id=100><item sprite id=10><item sprite id=11>\n<drawgroup id=101><item sprite id=11>\n");
  SpriteSpec& sprite = *context->sprites.First();
  const std::vector<Rect> cells = testing::CellsOf(sprite);
  std::vector<Rect> trimmed = cells;
  for (auto& r : trimmed) r.Inset(4, 8);
  sprite.SetTrimmedRects(cells, trimmed);
  for (DGRPSpec* group : context->drawGroups) group->SetOffsets(sprite);

  const DGRPSpec& group = *context->drawGroups.First();
  for (int zoom = 1; zoom <= 3; ++zoom) {
    for (int d = 0; d < 8; d += 2) {
      const DrawGroupItem& item = ItemIn(group, d, zoom, 0);
      EXPECT_EQ((ScreenPoint{item.offsetX, item.offsetY}), sprite.ScreenOffset(d, zoom, 0));
      EXPECT_EQ(ItemIn(group, d, zoom, 1).offsetX, 0);
    }
  }
  EXPECT_EQ((ScreenPoint{ItemIn(group, 0, 3).offsetX, ItemIn(group, 0, 3).offsetY}), (ScreenPoint{-64 + 4, 32 - 8}));
}

TEST(DGRPSpec, ReportNumbersRunsOfConsecutiveIds) {
  CapturedReport report;
  auto context = Dispatch(
      "<sprite id=1 name=\"Seat\" tgafile=a.tga><sprite id=2 name=\"Back\" tgafile=a.tga>\n"
      "<drawgroup id=100 name=\"A\"><item sprite id=1><item sprite id=2>\n"
      "<drawgroup id=101 name=\"B\"><item sprite id=2>\n<drawgroup id=102 name=\"Empty\">\n"
      "<drawgroup id=103 name=\"C\"><item sprite id=1>\n<drawgroup id=200 name=\"D\"><item sprite id=1>\n");
  std::ostringstream out;
  DGRPSpec::Report(out, context->drawGroups);
  EXPECT_EQ(out.str(),
            "DGroupNum\tName\tDescription\n0\tA\t(Seat) + (Back)\n1\tB\t(Back)\n3\tC\t(Seat)\n0\tD\t(Seat)\n");
  EXPECT_EQ(report.Text(), "");
}

}  // namespace
}  // namespace pixmold
