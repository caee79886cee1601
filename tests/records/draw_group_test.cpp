#include "records/draw_group.h"

#include <gtest/gtest.h>

#include "support/assert_capture.h"

namespace pixmold {
namespace {

DrawGroupItem ItemFor(std::int32_t sprite) {
  DrawGroupItem item;
  item.spriteId = sprite;
  return item;
}

TEST(DrawGroup, FindImageMatchesDirectionBitAndZoom) {
  DrawGroup group;
  auto& a = group.AddImage();
  a.directionMask = (1u << 2) | (1u << 4);
  a.zoom = 3;
  auto& b = group.AddImage();
  b.directionMask = 1u << 2;
  b.zoom = 1;
  EXPECT_EQ(group.FindImage(2, 3), &group.images[0]);
  EXPECT_EQ(group.FindImage(4, 3), &group.images[0]);
  EXPECT_EQ(group.FindImage(2, 1), &group.images[1]);
  EXPECT_EQ(group.FindImage(0, 3), nullptr);
  EXPECT_EQ(group.FindImage(4, 1), nullptr);
  EXPECT_EQ(group.FindImage(-1, 3), nullptr);
  EXPECT_EQ(group.FindImage(40, 3), nullptr);
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
  ASSERT_EQ(image.ItemCount(), 4);
  EXPECT_EQ(image.items[0].spriteId, 3);
  EXPECT_EQ(image.items[1].spriteId, 1);
  EXPECT_EQ(image.items[2].spriteId, 4);
  EXPECT_EQ(image.items[3].spriteId, 2);
  asserts.Clear();
  image.InsertItem(ItemFor(5), 4);
  EXPECT_TRUE(asserts.Saw("no such position"));
  EXPECT_EQ(image.ItemCount(), 4);
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
  auto& image = group.AddImage();
  image.InsertItem(ItemFor(0x10005), -1);
  EXPECT_TRUE(group.UsesSprite(5));
  EXPECT_TRUE(group.UsesSprite(0x10005));
  EXPECT_FALSE(group.UsesSprite(6));
  EXPECT_FALSE(DrawGroup().UsesSprite(0));
}

}  // namespace
}  // namespace pixmold
