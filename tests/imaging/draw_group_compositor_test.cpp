#include "imaging/draw_group_compositor.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "image_bytes.h"
#include "imaging/contact_sheet.h"
#include "imaging/spr_list.h"
#include "imaging/sprite2_compressor.h"
#include "support/handle_bytes.h"
#include "support/object_file_fixture.h"

namespace pixmold {
namespace {

using testing::Bytes;
constexpr std::uint8_t kNone = 255;

// A picture of width x height: colour indices and, per pixel, its depth
// (255 leaves it clear) and, when given, its alpha.
struct Picture {
  int width = 1;
  int height = 1;
  Bytes colour;
  Bytes depth;
  Bytes alpha;
};

Bytes Sprite2Frame(const Picture& picture) {
  const PixelView colour{picture.colour.data(), picture.width, picture.width, picture.height};
  const PixelView depth{picture.depth.data(), picture.width, picture.width, picture.height};
  const Rect rect = Rect::Make(0, 0, picture.width, picture.height);
  Sprite2Compressor compressor;
  OwnedHandle frame;
  if (picture.alpha.empty()) {
    frame = compressor.EncodeZP(colour, depth, rect, rect);
  } else {
    const PixelView alpha{picture.alpha.data(), picture.width, picture.width, picture.height};
    frame = compressor.EncodeZPA(colour, depth, alpha, rect, rect, 5);
  }
  return testing::Contents(frame);
}

// An SPR# list of one 1 x 1 frame of colour 21, stored big-endian as the
// build stores them.
Bytes SprListOfOnePixel(std::int32_t paletteId) {
  Bytes list =
      testing::SpriteList(kSprColourVersion, {testing::SprFrame(1, 1, 0, {4, 6, 3, 1, 21, 0, 5, 0})}, paletteId);
  EXPECT_TRUE(SwapSprListByteOrder(list, ByteOrder::kLittle));
  return list;
}

// Palette 7: index i is (i, 2i, 3i) modulo 256.
Bytes Palette7() {
  Bytes palt;
  testing::Put(palt, {{1, 4}, {256, 4}, {0, 4}, {0, 4}});
  for (int i = 0; i < 256; ++i) testing::Append(palt, {std::uint8_t(i), std::uint8_t(2 * i), std::uint8_t(3 * i)});
  return palt;
}

DrawGroupItem Item(std::int32_t sprite, std::int32_t frame, std::int32_t x, std::int32_t y, bool mirrored = false) {
  return {.spriteId = sprite,
          .frameIndex = frame,
          .offsetX = x,
          .offsetY = y,
          .flags = mirrored ? DrawGroupItem::kFlagMirrored : 0u};
}

// An object file holding the lists, palette 7 and DGRP 100 whose direction
// 0, zoom 3 view holds the items.
struct Scene {
  explicit Scene(std::vector<testing::StoredResource> resources, const std::vector<DrawGroupItem>& items)
      : object(WithPalette(std::move(resources))) {
    DrawGroup group;
    DrawGroupImage& image = group.AddImage();
    image.directionMask = 1;
    image.zoom = 3;
    image.items = items;
    EXPECT_EQ(group.Save(object.file, 100), 0);
  }
  static std::vector<testing::StoredResource> WithPalette(std::vector<testing::StoredResource> resources) {
    resources.push_back({MakeResType("PALT"), 7, "", 0, true, Palette7()});
    return resources;
  }
  ComposedView View(std::string* error = nullptr) {
    DrawGroupCompositor compositor(object.file);
    EXPECT_EQ(compositor.Load(100), "");
    ComposedView view;
    const std::string problem = compositor.Compose(0, 3, view);
    if (error)
      *error = problem;
    else
      EXPECT_EQ(problem, "");
    return view;
  }
  testing::MemoryObjectFile object;
};

testing::StoredResource Spr2(ResID id, const std::vector<Picture>& frames, std::int32_t paletteId = 7) {
  std::vector<Bytes> encoded;
  for (const Picture& picture : frames) encoded.push_back(Sprite2Frame(picture));
  return {MakeResType("SPR2"), id, "", 0, true, testing::Sprite2List(encoded, paletteId)};
}

std::array<int, 4> Rgba(const ComposedView& view, int x, int y) {
  const std::size_t at =
      4 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(view.colour.width) + static_cast<std::size_t>(x));
  const auto& p = view.colour.pixels;
  return {p[at], p[at + 1], p[at + 2], p[at + 3]};
}
int Depth(const ComposedView& view, int x, int y) {
  return view.depth
      .pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(view.depth.width) + static_cast<std::size_t>(x)];
}
std::array<int, 4> Colour7(int index) { return {index, (2 * index) % 256, (3 * index) % 256, 255}; }

// A 2 x 2 frame: colours 10 11 / 12 13, depth 40.
const Picture kSquare{2, 2, {10, 11, 12, 13}, {40, 40, 40, 40}, {}};

TEST(DrawGroupCompositor, PlacesFramesLeftAtOffsetXAndBottomAtOffsetYMirroredWhenFlagged) {
  struct Case {
    std::int32_t x, y;
    bool mirrored;
    int width, height, referenceX, referenceY;
    int topLeftX, topLeftY;  // where the frame's top-left pixel (colour 10) lands
  };
  const Case cases[] = {
      {3, 5, false, 5, 5, 0, 0, 3, 3},    // right of and below the reference point
      {-4, -1, false, 5, 4, 4, 3, 0, 0},  // left of and above it
      {-4, 1, true, 5, 2, 4, 1, 1, 0},    // mirrored: colour 10 lands in the right column
      {0, 2, true, 2, 2, 0, 0, 1, 0},
  };
  for (const Case& c : cases) {
    Scene scene({Spr2(1, {kSquare})}, {Item(1, 0, c.x, c.y, c.mirrored)});
    const ComposedView view = scene.View();
    SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y) + (c.mirrored ? " mirrored" : ""));
    EXPECT_EQ(std::vector<int>({view.colour.width, view.colour.height, view.referenceX, view.referenceY}),
              std::vector<int>({c.width, c.height, c.referenceX, c.referenceY}));
    const int step = c.mirrored ? -1 : 1;
    EXPECT_EQ(Rgba(view, c.topLeftX, c.topLeftY), Colour7(10));
    EXPECT_EQ(Rgba(view, c.topLeftX + step, c.topLeftY), Colour7(11));
    EXPECT_EQ(Rgba(view, c.topLeftX + step, c.topLeftY + 1), Colour7(13));
    EXPECT_EQ(Depth(view, c.topLeftX, c.topLeftY + 1), 40);
    EXPECT_EQ(view.itemsDrawn, 1);
  }
}

// Two 1 x 1 frames in one place: the nearer depth wins, a tie goes to the
// later item, a frame without depth paints over, and stored alpha blends.
TEST(DrawGroupCompositor, NearerDepthWinsTiesGoToTheLaterItemDepthlessFramesPaintOverAndAlphaBlends) {
  const int half = (16 * 255 + 15) / 31;  // alpha 128 is stored as 16 of 31
  const struct {
    const char* name;
    Picture first;
    std::optional<Picture> second;  // none: an SPR# frame of colour 21 without depth
    std::array<int, 4> colour;
    int depth;
  } cases[] = {
      {"first nearer", {1, 1, {20}, {30}, {}}, Picture{1, 1, {21}, {90}, {}}, Colour7(20), 30},
      {"second nearer", {1, 1, {20}, {90}, {}}, Picture{1, 1, {21}, {30}, {}}, Colour7(21), 30},
      {"equal", {1, 1, {20}, {50}, {}}, Picture{1, 1, {21}, {50}, {}}, Colour7(21), 50},
      {"second has no depth", {1, 1, {20}, {10}, {}}, std::nullopt, Colour7(21), 10},
      {"index 200 half over index 0",
       {1, 1, {0}, {90}, {}},
       Picture{1, 1, {200}, {10}, {128}},
       {200 * half / 255, 144 * half / 255, 88 * half / 255, 255},
       10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Scene scene({Spr2(1, {c.first}),
                 c.second ? Spr2(2, {*c.second})
                          : testing::StoredResource{MakeResType("SPR#"), 2, "", 0, false, SprListOfOnePixel(7)}},
                {Item(1, 0, 0, 1), Item(2, 0, 0, 1)});
    const ComposedView view = scene.View();
    EXPECT_EQ(Rgba(view, 0, 0), c.colour);
    EXPECT_EQ(Depth(view, 0, 0), c.depth);
  }
}

TEST(DrawGroupCompositor, ItemsThatCannotBeDrawnAreSkippedWithANoteAndTheRestDrawn) {
  Bytes broken = testing::Sprite2List({Sprite2Frame(kSquare)}, 7);
  broken.erase(broken.end() - 2, broken.end());
  Scene scene({Spr2(1, {kSquare}), Spr2(2, {kSquare}, -1), {MakeResType("SPR2"), 3, "", 0, true, broken}},
              {Item(1, 0, 0, 2), Item(1, 4, 0, 2), Item(9, 0, 0, 2), Item(3, 0, 0, 2), Item(2, 0, 2, 2)});
  const ComposedView view = scene.View();
  EXPECT_EQ(view.itemsDrawn, 2);
  ASSERT_EQ(view.notes.size(), 4u);
  EXPECT_EQ(view.notes[0], "item 1: SPR2 1 has no frame 4 (it holds 1)");
  EXPECT_EQ(view.notes[1], "item 2: no SPR2 or SPR# 9");
  EXPECT_NE(view.notes[2].find("item 3: SPR2 3 cannot be decoded"), std::string::npos) << view.notes[2];
  EXPECT_EQ(view.notes[3], "SPR2 2 shown in grey: no PALT -1");
  EXPECT_EQ(Rgba(view, 0, 0), Colour7(10));
  EXPECT_EQ(Rgba(view, 2, 0), (std::array<int, 4>{10, 10, 10, 255}));  // the grey ramp
}

TEST(DrawGroupCompositor, RefusesViewsItCannotShow) {
  Scene scene({Spr2(1, {kSquare})}, {Item(1, 0, 0, 2), Item(1, 0, 30000, 2)});
  std::string error;
  scene.View(&error);
  EXPECT_NE(error.find("would span 30002 x 2 pixels"), std::string::npos) << error;

  DrawGroupCompositor compositor(scene.object.file);
  ComposedView view;
  EXPECT_EQ(compositor.Compose(0, 3, view), "no draw group loaded");
  EXPECT_NE(compositor.Load(101).find("no DGRP 101"), std::string::npos);
  ASSERT_EQ(compositor.Load(100), "");
  EXPECT_TRUE(compositor.HasView(0, 3));
  EXPECT_FALSE(compositor.HasView(2, 3));
  EXPECT_EQ(compositor.Compose(2, 3, view), "the draw group has no view for direction 2 at zoom 3");
  EXPECT_EQ(compositor.Compose(8, 3, view), "direction 8 is not 0..7");
  EXPECT_EQ(compositor.Compose(0, 0, view), "zoom 0 is not 1..3");
}

// Lists stay decoded from one draw group to the next, and dropping those the
// loaded one does not show makes the next group that shows them read them
// again: with the lists gone from the file, only what was kept still draws.
TEST(DrawGroupCompositor, KeepsTheListsOfTheLoadedDrawGroupAndForgetsTheRest) {
  Scene scene({Spr2(1, {kSquare}), Spr2(2, {kSquare})}, {Item(1, 0, 0, 2)});
  for (auto [id, sprites] : {std::pair<ResID, std::vector<int>>{101, {1, 2}}, {102, {2}}}) {
    DrawGroup group;
    DrawGroupImage& image = group.AddImage();
    image.directionMask = 1;
    image.zoom = 3;
    for (int sprite : sprites) image.items.push_back(Item(sprite, 0, 0, 2));
    ASSERT_EQ(group.Save(scene.object.file, id), 0);
  }
  DrawGroupCompositor compositor(scene.object.file);
  const auto drawn = [&](ResID id) {
    EXPECT_EQ(compositor.Load(id), "");
    compositor.ForgetListsNotShown();
    ComposedView view;
    EXPECT_EQ(compositor.Compose(0, 3, view), "");
    return view.itemsDrawn;
  };
  EXPECT_EQ(drawn(101), 2);
  for (ResID sprite : {1, 2}) {
    MHandle h = scene.object.file.GetResource(MakeResType("SPR2"), sprite, nullptr);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(scene.object.file.RemoveResource(h), 0);
  }
  EXPECT_EQ(drawn(100), 1);  // list 1 kept, list 2 dropped
  EXPECT_EQ(drawn(102), 0);
  EXPECT_EQ(drawn(100), 0);
}

// Over its cell a view shows where it is opaque, blends where it is partly
// covered and leaves the cell's grey where it is clear, whatever colour the
// clear pixel holds.
TEST(ContactSheet, BlendsEachViewOverItsCell) {
  ComposedView view;
  view.colour = PreviewImage{3, 1, 4, Bytes{200, 100, 50, 255, 200, 100, 50, 0, 200, 100, 50, 102}};
  view.depth = PreviewImage{3, 1, 1, Bytes{9, 255, 30}};
  const std::vector<ContactSheetCell> cells = {{0, 0, &view}};
  const PreviewImage sheet = MakeContactSheet(cells, ContactSheetChannel::kColour);
  const int left = kContactSheetGap + kContactSheetPadding, top = kContactSheetGap + kContactSheetPadding;
  const auto pixel = [&](int x) {
    const std::size_t at = 4u * (static_cast<std::size_t>(top) * sheet.width + left + x);
    return std::vector<int>(sheet.pixels.begin() + at, sheet.pixels.begin() + at + 4);
  };
  EXPECT_EQ(pixel(0), (std::vector<int>{200, 100, 50, 255}));
  EXPECT_EQ(pixel(1), (std::vector<int>{128, 128, 128, 255}));
  EXPECT_EQ(pixel(2), (std::vector<int>{(200 * 102 + 128 * 153) / 255, (100 * 102 + 128 * 153) / 255,
                                        (50 * 102 + 128 * 153) / 255, 255}));
  EXPECT_EQ(pixel(3), (std::vector<int>{128, 128, 128, 255}));  // the padding right of the view
  const PreviewImage depth = MakeContactSheet(cells, ContactSheetChannel::kDepth);
  const std::size_t row = static_cast<std::size_t>(top) * depth.width + left;
  EXPECT_EQ(std::vector<int>(depth.pixels.begin() + row - 1, depth.pixels.begin() + row + 4),
            (std::vector<int>{255, 9, 255, 30, 255}));
}

TEST(ContactSheet, LinesUpReferencePointsAlongARow) {
  // Two views of one row, reaching different ways from their reference point;
  // a third in the next row.
  ComposedView tall, wide, below;
  for (auto [view, width, height, refX, refY] :
       {std::tuple{&tall, 1, 5, 0, 4}, std::tuple{&wide, 6, 1, 2, 0}, std::tuple{&below, 2, 2, 1, 1}}) {
    view->colour = PreviewImage{width, height, 4, Bytes(4u * width * height, 0)};
    view->depth = PreviewImage{width, height, 1, Bytes(1u * width * height, 255)};
    view->referenceX = refX;
    view->referenceY = refY;
    // An opaque white reference pixel.
    const std::size_t at = 4u * (refY * width + refX);
    for (int c = 0; c < 4; ++c) view->colour.pixels[at + c] = 255;
    view->depth.pixels[at / 4] = 7;
  }
  const std::vector<ContactSheetCell> cells = {{0, 0, &tall}, {0, 1, &wide}, {1, 0, &below}};
  const PreviewImage sheet = MakeContactSheet(cells, ContactSheetChannel::kColour);
  // Row 0 cells: left 2 + right 4 by up 4 + down 1, plus padding; row 1: 2 x 2.
  const int gap = kContactSheetGap, pad = kContactSheetPadding;
  const int cell0Width = 6 + 2 * pad, cell0Height = 5 + 2 * pad, cell1Height = 2 + 2 * pad;
  EXPECT_EQ(sheet.width, gap + 2 * (cell0Width + gap));
  EXPECT_EQ(sheet.height, gap + cell0Height + gap + cell1Height + gap);
  auto white = [&](int x, int y) {
    const std::size_t at = 4u * (static_cast<std::size_t>(y) * sheet.width + x);
    return sheet.pixels[at] == 255 && sheet.pixels[at + 1] == 255 && sheet.pixels[at + 3] == 255;
  };
  const int refX = gap + pad + 2, refY = gap + pad + 4;
  EXPECT_TRUE(white(refX, refY));
  EXPECT_TRUE(white(refX + cell0Width + gap, refY));
  EXPECT_TRUE(white(gap + pad + 1, refY + 1 + pad + gap + pad + 1));
  EXPECT_EQ(std::count_if(sheet.pixels.begin(), sheet.pixels.end(), [](std::uint8_t b) { return b == 255; }),
            3 * 4 + (sheet.width * sheet.height - 3));  // three white pixels; every alpha byte opaque

  // The layout names where each view's reference point went.
  const ContactSheetLayout layout = LayOutContactSheet(cells);
  EXPECT_EQ(layout.width, sheet.width);
  EXPECT_EQ(layout.height, sheet.height);
  ASSERT_EQ(layout.places.size(), 3u);
  EXPECT_EQ(layout.places[1].referenceX, refX + cell0Width + gap);
  EXPECT_EQ(layout.places[1].referenceY, refY);
  EXPECT_EQ(layout.places[1].left, gap + cell0Width + gap);
  EXPECT_EQ(layout.places[2].top, gap + cell0Height + gap);
  EXPECT_EQ(layout.places[2].height, cell1Height);
  EXPECT_EQ(layout.places[2].referenceX, gap + pad + 1);

  const PreviewImage depth = MakeContactSheet(cells, ContactSheetChannel::kDepth);
  ASSERT_EQ(depth.channels, 1);
  EXPECT_EQ(depth.pixels[static_cast<std::size_t>(refY) * depth.width + refX], 7);
  EXPECT_EQ(depth.pixels[0], 0);  // a gap
}

// Rows are the zooms present, large first; columns the directions present.
TEST(ContactSheet, ArrangesViewsByZoomAndDirectionWithoutEmptyRowsOrColumns) {
  ComposedView view;
  const std::vector<ContactSheetView> views = {{0, 3, &view}, {4, 3, &view}, {6, 3, &view},
                                               {0, 1, &view}, {4, 1, &view}, {6, 1, &view}};
  std::vector<std::pair<int, int>> placed;
  for (const ContactSheetCell& cell : ArrangeByDirectionAndZoom(views)) placed.emplace_back(cell.row, cell.column);
  EXPECT_EQ(placed, (std::vector<std::pair<int, int>>{{0, 0}, {0, 1}, {0, 2}, {1, 0}, {1, 1}, {1, 2}}));
}

}  // namespace
}  // namespace pixmold
