// Reading a stored draw group back as item tags: the views a drawgroup tag
// makes (one image per direction and zoom, the items in tag order, newest
// first in directions 2 and 4 of an obscured group, diagonal sprites' items
// also in the odd directions), and the shapes no tags make.
#include "builder/export/draw_group_reading.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace pixmold {
namespace {

struct Placed {
  std::int32_t sprite = 0;
  float altitude = 0.0f;
};

// Every direction (the odd ones when asked) at every zoom; the items of a
// view are given by direction.
DrawGroup Views(const std::function<std::vector<Placed>(int direction)>& items, bool diagonals) {
  DrawGroup group;
  for (std::uint32_t zoom = 1; zoom <= 3; ++zoom) {
    for (int d = 0; d < 8; ++d) {
      if (d % 2 != 0 && !diagonals) continue;
      DrawGroupImage& image = group.AddImage();
      image.directionMask = 1u << d;
      image.zoom = zoom;
      for (const Placed& placed : items(d)) {
        image.items.push_back(DrawGroupItem{.spriteId = placed.sprite, .frameIndex = d, .altitude = placed.altitude});
      }
    }
  }
  return group;
}

const std::vector<Placed> kTwo = {{100, 1.0f}, {200, 2.0f}};
const std::vector<Placed> kTwoReversed = {{200, 2.0f}, {100, 1.0f}};

TEST(DrawGroupReading, ReadsEachItemAcrossItsViews) {
  const DrawGroup fixed = Views([](int) { return kTwo; }, false);
  const DrawGroupReading reading = ReadDrawGroupItems(fixed, false);
  ASSERT_EQ(reading.problem, "");
  ASSERT_EQ(reading.items.size(), 2u);
  EXPECT_EQ(reading.items[1].base.altitude, 2.0f);
  EXPECT_EQ(reading.items[1].views[ViewSlot(4, 3)].frameIndex, 4);
  EXPECT_EQ(reading.items[1].views[ViewSlot(6, 1)].shownId, 200);
  EXPECT_FALSE(reading.items[0].diagonal);
}

TEST(DrawGroupReading, AnObscuredGroupHasItsMiddleViewsReversed) {
  const DrawGroup obscured = Views([](int d) { return d == 2 || d == 4 ? kTwoReversed : kTwo; }, false);
  EXPECT_NE(ReadDrawGroupItems(obscured, false).problem, "");
  const DrawGroupReading reading = ReadDrawGroupItems(obscured, true);
  ASSERT_EQ(reading.problem, "");
  EXPECT_EQ(reading.items[0].views[ViewSlot(2, 2)].shownId, 100);
  EXPECT_EQ(reading.items[1].views[ViewSlot(4, 2)].shownId, 200);
}

TEST(DrawGroupReading, DiagonalViewsHoldTheDiagonalSpritesInTagOrder) {
  const DrawGroup group = Views([](int d) { return d % 2 != 0 ? std::vector<Placed>{{200, 2.0f}} : kTwo; }, true);
  const DrawGroupReading reading = ReadDrawGroupItems(group, false);
  ASSERT_EQ(reading.problem, "");
  EXPECT_FALSE(reading.items[0].diagonal);
  EXPECT_TRUE(reading.items[1].diagonal);
  EXPECT_EQ(reading.items[1].diagonalViews[ViewSlot(5, 3)].frameIndex, 5);
}

TEST(DrawGroupReading, NamesViewsNoDrawgroupTagMakes) {
  struct Case {
    const char* what;
    std::function<void(DrawGroup&)> change;
    const char* problem;
  };
  const Case cases[] = {
      {"two directions in one image", [](DrawGroup& g) { g.images[0].directionMask = 3; }, "serves directions"},
      {"a fourth zoom", [](DrawGroup& g) { g.images[0].zoom = 4; }, "an image at zoom 4"},
      {"a missing view", [](DrawGroup& g) { g.images.erase(g.images.begin() + 1); }, "no image for direction 2"},
      {"one diagonal view",
       [](DrawGroup& g) {
         DrawGroupImage& odd = g.AddImage();
         odd.directionMask = 2;
         odd.zoom = 1;
       },
       "diagonal images for some"},
      {"a view short of an item", [](DrawGroup& g) { g.images[5].items.pop_back(); }, "different numbers of items"},
      {"an item moved in one view", [](DrawGroup& g) { g.images[7].items[0].objectX = 1.0f; }, "differs between views"},
  };
  for (const Case& c : cases) {
    DrawGroup group = Views([](int) { return kTwo; }, false);
    c.change(group);
    const std::string problem = ReadDrawGroupItems(group, false).problem;
    EXPECT_NE(problem.find(c.problem), std::string::npos) << c.what << ": " << problem;
  }
}

}  // namespace
}  // namespace pixmold
