#include "imaging/sprite_preview.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "image_bytes.h"
#include "imaging/offscreen.h"
#include "imaging/sprite_lists.h"
#include "sprite_test_images.h"

namespace pixmold {
namespace {

using testing::Bytes;
using Pixels = std::vector<std::uint8_t>;

// An SPR2 frame made by hand (width, height and flags; palette, clear and
// origin 0), so the preview is checked against the format rather than
// against our own encoder.
Bytes HandFrame(std::uint32_t width, std::uint32_t height, std::uint32_t flags, const Bytes& tokens) {
  Bytes frame;
  testing::Put(frame, {{width, 2}, {height, 2}, {flags, 4}, {0, 8}});
  testing::Append(frame, tokens);
  return frame;
}

// 2 x 1, colour only: a run of two pixels, 7 and 9.
const Bytes kColourFrame = HandFrame(2, 1, 1, {0x06, 0, 0x02, 0xC0, 7, 9, 0x00, 0xA0});
// 3 x 1 with depth and alpha: one clear pixel, a (depth 40, colour 5) pair,
// then a (depth 50, colour 6, alpha 16) triple and its pad byte.
const Bytes kDepthAlphaFrame =
    HandFrame(3, 1, 7, {0x0E, 0x00, 0x01, 0x60, 0x01, 0x20, 40, 5, 0x01, 0x40, 50, 6, 16, 0xB0, 0x00, 0xA0});

TEST(SpritePreview, ShowsAnSprite2ListsChannels) {
  PreviewList preview;
  ASSERT_TRUE(
      DecodePreviewList(kSprite2Type, testing::Sprite2List({kColourFrame, kDepthAlphaFrame}, 77), preview).Ok());
  EXPECT_EQ(preview.version * 1000 + preview.paletteId, 1000077);
  ASSERT_EQ(preview.frames.size(), 2u);
  EXPECT_FALSE(preview.frames[0].hasDepth || preview.frames[0].hasAlpha);
  EXPECT_TRUE(preview.frames[1].hasDepth && preview.frames[1].hasAlpha);
  const DecodedSprite& frame = preview.frames[1].pixels;

  PaletteResource resource;
  resource.mCount = 6;
  resource.mColours[5] = {10, 20, 30};
  resource.mColours[6] = {200, 100, 50};  // beyond the count: not a colour
  EXPECT_EQ(ColourImage(frame, PaletteFromResource(resource)).pixels,
            (Pixels{0, 0, 0, 0, 10, 20, 30, 255, 0, 0, 0, 255}));
  const PreviewImage grey = ColourImage(frame, GreyRampPalette());
  EXPECT_EQ(grey.channels * 100 + grey.width * 10 + grey.height, 431);
  EXPECT_EQ(grey.pixels, (Pixels{0, 0, 0, 0, 5, 5, 5, 255, 6, 6, 6, 255}));
  EXPECT_EQ(DepthImage(frame).pixels, (Pixels{255, 40, 50}));
  // 16 of 31 is just over half; a pair with no alpha stored is opaque.
  EXPECT_EQ(AlphaImage(frame).pixels, (Pixels{0, 255, 132}));
  EXPECT_EQ(AlphaImage(frame, 8).pixels, (Pixels{0, 255, 16}));
}

TEST(SpritePreview, RefusesBrokenListsWholly) {
  const Bytes good = testing::Sprite2List({kColourFrame, kDepthAlphaFrame}, -1);
  // The last frame loses its kEOS; a list of another type.
  const std::pair<ResType, Bytes> cases[] = {{kSprite2Type, Bytes(good.begin(), good.end() - 3)},
                                             {MakeResType("PALT"), good}};
  for (const auto& [type, bytes] : cases) {
    PreviewList preview;
    preview.frames.resize(4);
    EXPECT_FALSE(DecodePreviewList(type, bytes, preview).Ok()) << bytes.size();
    EXPECT_TRUE(preview.frames.empty());
  }
}

TEST(SpritePreview, AnSprListShowsItsDepthFramesAsAChannel) {
  // A 4 x 2 colour sheet (clear 0) with its depth, as one stored list:
  // version 503, the colour frame then the depth frame.
  Offscreen colour, depth;
  ASSERT_TRUE(colour.Create(Rect::Make(0, 0, 4, 2)));
  ASSERT_TRUE(depth.Create(Rect::Make(0, 0, 4, 2)));
  const Pixels colours = {0, 21, 22, 0, 0, 0, 23, 0}, depths = {255, 90, 91, 255, 255, 255, 92, 255};
  for (int i = 0; i < 8; ++i) {
    colour.Row(i / 4)[i % 4] = colours[i];
    depth.Row(i / 4)[i % 4] = depths[i];
  }
  std::vector<Rect> trimmed;
  const std::vector<Rect> cells = {Rect::Make(0, 0, 4, 2)};
  Bytes list = testing::Contents(OwnedHandle(MakeSpriteList(&colour, &depth, cells, trimmed, 0, 12, false)));
  PreviewList preview;
  ASSERT_TRUE(DecodePreviewList(kSpriteType, list, preview).Ok());
  EXPECT_EQ(preview.version * 1000 + preview.paletteId, 503012);
  ASSERT_EQ(preview.frames.size(), 1u);
  EXPECT_TRUE(preview.frames[0].hasDepth && !preview.frames[0].hasAlpha);
  EXPECT_EQ(preview.frames[0].pixels.colour, colours);
  EXPECT_EQ(preview.frames[0].pixels.depth, depths);
  EXPECT_TRUE(!preview.frames[0].pixels.Drawn(0, 0) && preview.frames[0].pixels.Drawn(2, 1));

  // Stored big-endian, the frame count is bytes 4..7: one frame cannot be
  // both halves of a colour and depth list.
  list[7] = 1;
  EXPECT_FALSE(DecodePreviewList(kSpriteType, list, preview).Ok());
  EXPECT_TRUE(preview.frames.empty());
}

}  // namespace
}  // namespace pixmold
