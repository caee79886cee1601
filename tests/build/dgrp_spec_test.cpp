#include "build/dgrp_spec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "markup_fixture.h"
#include "support/memory_res_file.h"

namespace pixmold {
namespace {

using testing::CapturedReport;
using testing::Dispatch;
using testing::FatalOf;

constexpr const char* kSizes = "<sizes lwidth=128 lheight=256 mwidth=64 mheight=128 swidth=32 sheight=64>\n";

std::string WithSizes(std::string_view markup) { return std::string(kSizes) + std::string(markup); }

const DGRPSpec& OnlyGroup(const BuildContext& context) {
  EXPECT_EQ(context.drawGroups.Count(), 1);
  return *context.drawGroups.First();
}

std::vector<std::int32_t> SpritesIn(const DGRPSpec& group, int direction, int zoom) {
  std::vector<std::int32_t> ids;
  const DrawGroupImage* image = group.Group().FindImage(direction, static_cast<std::uint32_t>(zoom));
  if (image == nullptr) return ids;
  for (const auto& item : image->items) ids.push_back(item.spriteId);
  return ids;
}

const DrawGroupItem& ItemIn(const DGRPSpec& group, int direction, int zoom, std::size_t index = 0) {
  return group.Group().FindImage(direction, static_cast<std::uint32_t>(zoom))->items.at(index);
}

TEST(DGRPSpec, EveryItemIsPlacedInTwelveViews) {
  auto context = Dispatch(WithSizes(
      "<sprite id=10 tgafile=a.tga>\n"
      "<drawgroup id=100 name=\"Chair\">\n"
      "<item sprite id=10 alt=1.5 x=3 y=-0.75 luminous=true>\n"));
  const DGRPSpec& group = OnlyGroup(*context);
  EXPECT_EQ(group.Id(), 100);
  EXPECT_EQ(group.Name(), "Chair");
  EXPECT_EQ(group.Group().images.size(), 12u);
  for (int zoom = 1; zoom <= 3; ++zoom) {
    for (int d = 0; d < 8; d += 2) {
      const DrawGroupItem& item = ItemIn(group, d, zoom);
      EXPECT_EQ(item.spriteId, 10);
      EXPECT_EQ(item.frameIndex, d / 2 + (3 - zoom) * 4);
      EXPECT_EQ(item.flags, DrawGroupItem::kFlagLuminous);
    }
    EXPECT_EQ(group.Group().FindImage(1, static_cast<std::uint32_t>(zoom)), nullptr);
  }
  const DrawGroupItem& item = ItemIn(group, 0, 3);
  const float third = 1.0f / 3.0f;
  const auto twoRootSix = static_cast<float>(2.0 * std::sqrt(6.0));
  EXPECT_EQ(item.altitude, 1.5f * third * twoRootSix);
  EXPECT_EQ(item.objectX, 16.0f);
  EXPECT_EQ(item.objectY, -0.75f * (third * 16.0f));
}

TEST(DGRPSpec, DiagonalSpritesFillOddViews) {
  auto context = Dispatch(WithSizes(
      "<sprite id=10 tgafile=a.tga frames=2>\n"
      "<drawgroup id=100>\n<item sprite id=10>\n"));
  const DGRPSpec& group = OnlyGroup(*context);
  EXPECT_EQ(group.Group().images.size(), 24u);
  EXPECT_EQ(ItemIn(group, 3, 3).frameIndex, 1 + 12);
}

TEST(DGRPSpec, DirectionOffsetsWrap) {
  auto context = Dispatch(WithSizes(
      "<sprite id=10 tgafile=a.tga>\n"
      "<drawgroup id=100>\n<item sprite id=10 \"direction offset\"=2>\n"
      "<drawgroup id=101>\n<item sprite id=10 \"direction offset\"=-2>\n"));
  const DGRPSpec& plus = *context->drawGroups.Nth(0);
  const DGRPSpec& minus = *context->drawGroups.Nth(1);
  EXPECT_EQ(ItemIn(plus, 0, 3).frameIndex, 1);
  EXPECT_EQ(ItemIn(plus, 2, 3).frameIndex, 2);
  EXPECT_EQ(ItemIn(plus, 6, 3).frameIndex, 0);
  EXPECT_EQ(ItemIn(minus, 0, 3).frameIndex, 3);
  EXPECT_EQ(ItemIn(minus, 2, 3).frameIndex, 0);
}

TEST(DGRPSpec, MirroredFramesOfBiLateralSprites) {
  auto context = Dispatch(WithSizes(
      "<sprite id=10 tgafile=a.tga symmetry=bi-lateral>\n"
      "<drawgroup id=100>\n<item sprite id=10>\n"));
  const DGRPSpec& group = OnlyGroup(*context);
  EXPECT_EQ(ItemIn(group, 0, 3).flags, 0u);
  EXPECT_EQ(ItemIn(group, 2, 3).flags, 0u);
  EXPECT_EQ(ItemIn(group, 4, 3).flags, DrawGroupItem::kFlagMirrored);
  EXPECT_EQ(ItemIn(group, 6, 3).flags, DrawGroupItem::kFlagMirrored);
  EXPECT_EQ(ItemIn(group, 6, 3).frameIndex, 0);
}

TEST(DGRPSpec, SecondItemOfOneSpriteOverwritesWithAWarningPerView) {
  CapturedReport report;
  auto context = Dispatch(WithSizes(
      "<sprite id=10 tgafile=a.tga>\n"
      "<drawgroup id=100>\n<item sprite id=10 x=1>\n<item sprite id=10 x=2>\n"));
  const DGRPSpec& group = OnlyGroup(*context);
  EXPECT_EQ(SpritesIn(group, 0, 3).size(), 1u);
  EXPECT_EQ(ItemIn(group, 0, 3).objectX, 2.0f * (1.0f / 3.0f * 16.0f));
  std::string expected;
  for (int i = 0; i < 12; ++i) expected += "warning: line: 5 - overwriting a draw group item\n";
  EXPECT_EQ(report.Text(), expected);
}

TEST(DGRPSpec, ObscuredOrderingPutsLaterItemsBehindInDirectionsTwoAndFour) {
  auto context = Dispatch(WithSizes(
      "<sprite id=1 tgafile=a.tga><sprite id=2 tgafile=a.tga><sprite id=3 tgafile=a.tga>\n"
      "<drawgroup id=100 ordering=obscured>\n<item sprite id=1><item sprite id=2><item sprite id=3>\n"
      "<drawgroup id=101 ordering=fixed>\n<item sprite id=1><item sprite id=2><item sprite id=3>\n"));
  const DGRPSpec& obscured = *context->drawGroups.Nth(0);
  const DGRPSpec& fixed = *context->drawGroups.Nth(1);
  EXPECT_EQ(obscured.GetOrdering(), DGRPSpec::Ordering::kObscured);
  for (int zoom = 1; zoom <= 3; ++zoom) {
    EXPECT_EQ(SpritesIn(obscured, 0, zoom), (std::vector<std::int32_t>{1, 2, 3}));
    EXPECT_EQ(SpritesIn(obscured, 2, zoom), (std::vector<std::int32_t>{3, 2, 1}));
    EXPECT_EQ(SpritesIn(obscured, 4, zoom), (std::vector<std::int32_t>{3, 2, 1}));
    EXPECT_EQ(SpritesIn(obscured, 6, zoom), (std::vector<std::int32_t>{1, 2, 3}));
    EXPECT_EQ(SpritesIn(fixed, 2, zoom), (std::vector<std::int32_t>{1, 2, 3}));
  }
}

TEST(DGRPSpec, DeprecatedItemTypesWarnAndAddNothing) {
  CapturedReport report;
  auto context = Dispatch(WithSizes(
      "<drawgroup id=100>\n<item slot id=1>\n<item object id=2>\n"));
  EXPECT_TRUE(OnlyGroup(*context).Group().images.empty());
  EXPECT_EQ(report.Text(),
            "warning: line: 3 - draw group item tag specifying depracated \"slot\" type\n"
            "warning: line: 4 - draw group item tag specifying depracated \"object\" type\n");
}

struct StopCase {
  const char* markup;
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
      {"<item sprite id=5>", "item tag received before drawgroup tag"},
      {"<sprite id=1 tgafile=a.tga>\n<drawgroup id=1>\n<item sprite id=1 \"direction offset\"=1>",
       "logic error. bad direction."},
  };
  for (const auto& c : cases) EXPECT_EQ(FatalOf([&] { Dispatch(WithSizes(c.markup)); }), c.message) << c.markup;
}

TEST(DGRPSpec, RadialPairGroupShowsTheMemberOfEachDirection) {
  auto context = Dispatch(WithSizes(
      "<sprite id=20 tgafile=a.tga symmetry=radial pairing=1>\n"
      "<sprite id=21 tgafile=a.tga symmetry=radial pairing=1>\n"
      "<sprite id=22 tgafile=a.tga symmetry=radial pairing=1>\n"
      "<sprite id=23 tgafile=a.tga symmetry=radial pairing=1>\n"
      "<drawgroup id=100>\n<item sprite id=21>\n"));
  const DGRPSpec& group = OnlyGroup(*context);
  for (int zoom = 1; zoom <= 3; ++zoom) {
    EXPECT_EQ(SpritesIn(group, 0, zoom), std::vector<std::int32_t>{21});
    EXPECT_EQ(SpritesIn(group, 2, zoom), std::vector<std::int32_t>{22});
    EXPECT_EQ(SpritesIn(group, 4, zoom), std::vector<std::int32_t>{23});
    EXPECT_EQ(SpritesIn(group, 6, zoom), std::vector<std::int32_t>{20});
  }
  EXPECT_EQ(group.SpriteUses().size(), 4u);
}

TEST(DGRPSpec, BiLateralPairGroupSwapsMirroredViews) {
  auto context = Dispatch(WithSizes(
      "<sprite id=30 tgafile=a.tga symmetry=bi-lateral pairing=2>\n"
      "<sprite id=31 tgafile=a.tga symmetry=bi-lateral pairing=2>\n"
      "<drawgroup id=100>\n<item sprite id=30 \"direction offset\"=2>\n"
      "<drawgroup id=101>\n<item sprite id=31>\n"));
  const DGRPSpec& first = *context->drawGroups.Nth(0);
  const DGRPSpec& second = *context->drawGroups.Nth(1);
  // direction offset 2: views 2 and 4 see directions 4 and 6, both mirrored.
  EXPECT_EQ(SpritesIn(first, 0, 3), std::vector<std::int32_t>{30});
  EXPECT_EQ(SpritesIn(first, 2, 3), std::vector<std::int32_t>{31});
  EXPECT_EQ(SpritesIn(first, 4, 3), std::vector<std::int32_t>{31});
  EXPECT_EQ(SpritesIn(first, 6, 3), std::vector<std::int32_t>{30});
  EXPECT_EQ(SpritesIn(second, 4, 3), std::vector<std::int32_t>{30});
  EXPECT_EQ(SpritesIn(second, 6, 3), std::vector<std::int32_t>{30});
  EXPECT_EQ(SpritesIn(second, 2, 3), std::vector<std::int32_t>{31});
  ASSERT_EQ(first.SpriteUses().size(), 2u);
  EXPECT_EQ(first.SpriteUses()[1].directionOffset, 2);
  EXPECT_EQ(first.SpriteUses()[1].sprite->Id(), 31);
}

TEST(DGRPSpec, PairGroupStops) {
  const StopCase cases[] = {
      {"<sprite id=1 tgafile=a.tga symmetry=radial pairing=4>", "could not find more than one sprite for a pair group"},
      {"<sprite id=1 tgafile=a.tga symmetry=radial pairing=256><sprite id=2 tgafile=a.tga pairing=256>",
       "code error, too many pair groups"},
      {"<sprite id=1 tgafile=a.tga symmetry=radial pairing=-1><sprite id=2 tgafile=a.tga pairing=-1>",
       "code error, too many pair groups"},
      {"<sprite id=1 tgafile=a.tga symmetry=bi-lateral pairing=1><sprite id=2 tgafile=a.tga symmetry=bi-lateral "
       "pairing=1>\n<drawgroup id=1><item sprite id=1><item sprite id=2>",
       "draw group uses two sprites from same pair group"},
      {"<sprite id=1 tgafile=a.tga pairing=1><sprite id=2 tgafile=a.tga pairing=1>\n<drawgroup id=1><item sprite "
       "id=1>",
       "illegal symmetry on a paired sprite"},
      {"<sprite id=1 tgafile=a.tga symmetry=bi-lateral pairing=1><sprite id=2 tgafile=a.tga symmetry=bi-lateral "
       "pairing=1><sprite id=3 tgafile=a.tga symmetry=bi-lateral pairing=1>\n<drawgroup id=1><item sprite id=1>",
       "two sprites expected for bi-laterally symmetric pair group"},
      {"<sprite id=1 tgafile=a.tga symmetry=radial pairing=1><sprite id=2 tgafile=a.tga symmetry=radial "
       "pairing=1>\n<drawgroup id=1><item sprite id=1>",
       "four sprites expected for radially symmetric pair group"},
      {"<sprite id=1 tgafile=a.tga symmetry=bi-lateral pairing=1><sprite id=2 tgafile=a.tga symmetry=radial "
       "pairing=1>\n<drawgroup id=1><item sprite id=1>",
       "different symmetries for paired sprites"},
      {"<sprite id=1 tgafile=a.tga symmetry=bi-lateral pairing=1><sprite id=2 tgafile=a.tga symmetry=bi-lateral "
       "frames=2 pairing=1>\n<drawgroup id=1><item sprite id=1>",
       "pairing found for diagonal sprites"},
  };
  for (const auto& c : cases) EXPECT_EQ(FatalOf([&] { Dispatch(WithSizes(c.markup)); }), c.message) << c.markup;
}

TEST(DGRPSpec, UnusedPairGroupsLeaveDrawGroupsAlone) {
  auto context = Dispatch(WithSizes(
      "<sprite id=1 tgafile=a.tga pairing=1><sprite id=2 tgafile=a.tga pairing=1><sprite id=3 tgafile=a.tga>\n"
      "<drawgroup id=1><item sprite id=3>"));
  EXPECT_EQ(OnlyGroup(*context).SpriteUses().size(), 1u);
}

TEST(DGRPSpec, SetOffsetsCopiesEachViewsScreenOffset) {
  auto context = Dispatch(WithSizes(
      "<sprite id=10 tgafile=a.tga symmetry=bi-lateral><sprite id=11 tgafile=a.tga>\n"
      "<drawgroup id=100><item sprite id=10><item sprite id=11>\n"
      "<drawgroup id=101><item sprite id=11>\n"));
  SpriteSpec& sprite = *context->sprites.First();
  std::vector<Rect> cells;
  for (std::int32_t i = 0; i < sprite.SpriteCount(); ++i) {
    Rect cell;
    CellOrigin origin;
    CellRecord record;
    sprite.CellRect(i, cell, origin, record);
    cells.push_back(cell);
  }
  std::vector<Rect> trimmed = cells;
  for (auto& r : trimmed) r.Inset(4, 8);
  sprite.SetTrimmedRects(cells, trimmed);
  for (DGRPSpec* group : context->drawGroups) group->SetOffsets(sprite);

  const DGRPSpec& group = *context->drawGroups.First();
  for (int zoom = 1; zoom <= 3; ++zoom) {
    for (int d = 0; d < 8; d += 2) {
      const ScreenPoint expected = sprite.ScreenOffset(d, zoom, 0);
      EXPECT_EQ(ItemIn(group, d, zoom, 0).offsetX, expected.x);
      EXPECT_EQ(ItemIn(group, d, zoom, 0).offsetY, expected.y);
      EXPECT_EQ(ItemIn(group, d, zoom, 1).offsetX, 0);
    }
  }
  EXPECT_EQ(ItemIn(group, 0, 3).offsetX, -64 + 4);
  EXPECT_EQ(ItemIn(group, 0, 3).offsetY, 32 - 8);
}

TEST(DGRPSpec, ReportNumbersRunsOfConsecutiveIds) {
  CapturedReport report;
  auto context = Dispatch(WithSizes(
      "<sprite id=1 name=\"Seat\" tgafile=a.tga><sprite id=2 name=\"Back\" tgafile=a.tga>\n"
      "<drawgroup id=100 name=\"A\"><item sprite id=1><item sprite id=2>\n"
      "<drawgroup id=101 name=\"B\"><item sprite id=2>\n"
      "<drawgroup id=102 name=\"Empty\">\n"
      "<drawgroup id=103 name=\"C\"><item sprite id=1>\n"
      "<drawgroup id=200 name=\"D\"><item sprite id=1>\n"));
  std::ostringstream out;
  DGRPSpec::Report(out, context->drawGroups);
  EXPECT_EQ(out.str(),
            "DGroupNum\tName\tDescription\n"
            "0\tA\t(Seat) + (Back)\n"
            "1\tB\t(Back)\n"
            "3\tC\t(Seat)\n"
            "0\tD\t(Seat)\n");
  EXPECT_EQ(report.Text(), "");
}

TEST(DGRPSpec, SaveNamesTheDrawGroupAfterTheTag) {
  auto context = Dispatch(WithSizes("<sprite id=1 tgafile=a.tga>\n<drawgroup id=100 name=\"Chair\"><item sprite id=1>"));
  testing::MemoryDisk disk;
  disk.files["chair.spf"];
  testing::MemoryResFile file(disk);
  ASSERT_EQ(file.OpenFile("chair.spf"), 0);
  ASSERT_EQ(context->drawGroups.First()->Save(file), 0);
  DrawGroup loaded;
  ASSERT_EQ(loaded.Load(file, 100), 0);
  EXPECT_EQ(loaded.name, "Chair");
  EXPECT_EQ(loaded.images.size(), 12u);
}

}  // namespace
}  // namespace pixmold
