#include "records/draw_group.h"

#include <gtest/gtest.h>

#include "support/assert_capture.h"

namespace pixmold {
namespace {

DrawGroupItem ItemFor(std::int32_t sprite) { return DrawGroupItem{.spriteId = sprite}; }

TEST(DrawGroup, FindImageMatchesDirectionBitAndZoom) {
  DrawGroup group;
  group.AddImage().directionMask = (1u << 2) | (1u << 4);
  group.images[0].zoom = 3;
  group.AddImage().directionMask = 1u << 2;
  group.images[1].zoom = 1;
  EXPECT_EQ(group.FindImage(2, 3), &group.images[0]);
  EXPECT_EQ(group.FindImage(4, 3), &group.images[0]);
  EXPECT_EQ(group.FindImage(2, 1), &group.images[1]);
  for (int direction : {0, -1, 40}) EXPECT_EQ(group.FindImage(direction, 3), nullptr) << direction;
  EXPECT_EQ(group.FindImage(4, 1), nullptr);
}

TEST(DrawGroup, InsertItemPositions) {
  testing::AssertCapture asserts;
  DrawGroupImage image;
  image.InsertItem(ItemFor(1), 0);
  EXPECT_TRUE(asserts.Saw("no such position"));
  EXPECT_EQ(image.ItemCount(), 0);
  image.InsertItem(ItemFor(1), -1);
  image.InsertItem(ItemFor(2), -5);
  image.InsertItem(ItemFor(3), 0);
  image.InsertItem(ItemFor(4), 2);
  asserts.Clear();
  image.InsertItem(ItemFor(5), 4);
  EXPECT_TRUE(asserts.Saw("no such position"));
  std::vector<std::int32_t> sprites;
  for (const auto& item : image.items) sprites.push_back(item.spriteId);
  EXPECT_EQ(sprites, (std::vector<std::int32_t>{3, 1, 4, 2}));
}

TEST(DrawGroup, ItemOutsideRangeReports) {
  testing::AssertCapture asserts;
  DrawGroupImage image;
  image.InsertItem(ItemFor(9), -1);
  ASSERT_NE(image.Item(0), nullptr);
  EXPECT_EQ(image.Item(0)->spriteId, 9);
  EXPECT_EQ(asserts.Count(), 0u);
  EXPECT_EQ(image.Item(1), nullptr);
  EXPECT_EQ(image.Item(-1), nullptr);
  EXPECT_EQ(asserts.Count(), 2u);
  EXPECT_TRUE(asserts.Saw("bad item requested"));
}

TEST(DrawGroup, UsesSpriteComparesSixteenBits) {
  DrawGroup group;
  group.AddImage().InsertItem(ItemFor(0x10005), -1);
  EXPECT_TRUE(group.UsesSprite(5));
  EXPECT_TRUE(group.UsesSprite(0x10005));
  EXPECT_FALSE(group.UsesSprite(6));
  EXPECT_FALSE(DrawGroup().UsesSprite(0));
}

}  // namespace
}  // namespace pixmold
