#include "imaging/sprite_preview.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "image_bytes.h"
#include "imaging/offscreen.h"
#include "imaging/sprite_lists.h"
#include "resfile/handle_owner.h"

namespace pixmold {
namespace {

using testing::Bytes;
using testing::PutU16;
using testing::PutU32;

// One SPR2 frame, made by hand so the preview is checked against the format
// rather than against our own encoder.
Bytes Sprite2Frame(int width, int height, std::uint32_t flags, std::uint8_t clear, const Bytes& tokens) {
  Bytes out;
  PutU16(out, static_cast<std::uint32_t>(width));
  PutU16(out, static_cast<std::uint32_t>(height));
  PutU32(out, flags);
  PutU16(out, 0);
  PutU16(out, clear);
  PutU16(out, 0);
  PutU16(out, 0);
  testing::Append(out, tokens);
  return out;
}

Bytes Sprite2List(std::int32_t paletteId, const std::vector<Bytes>& frames) {
  Bytes out;
  PutU32(out, 1000);
  PutU32(out, static_cast<std::uint32_t>(frames.size()));
  PutU32(out, static_cast<std::uint32_t>(paletteId));
  std::uint32_t offset = 12 + 4 * static_cast<std::uint32_t>(frames.size());
  for (const Bytes& frame : frames) {
    PutU32(out, offset);
    offset += static_cast<std::uint32_t>(frame.size());
  }
  for (const Bytes& frame : frames) testing::Append(out, frame);
  return out;
}

// 2 x 1, colour only: one line holding a run of two pixels, 7 and 9.
Bytes ColourFrame() { return Sprite2Frame(2, 1, 1, 0, {0x06, 0x00, 0x02, 0xC0, 7, 9, 0x00, 0xA0}); }

// 3 x 1 with depth and alpha: one clear pixel, a (depth 40, colour 5) pair,
// then a (depth 50, colour 6, alpha 16) triple and its pad byte.
Bytes DepthAlphaFrame() {
  return Sprite2Frame(3, 1, 7, 0,
                      {0x0E, 0x00, 0x01, 0x60, 0x01, 0x20, 40, 5, 0x01, 0x40, 50, 6, 16, 0xB0, 0x00, 0xA0});
}

TEST(SpritePreview, DecodesAnSprite2ListWithItsChannels) {
  const Bytes list = Sprite2List(77, {ColourFrame(), DepthAlphaFrame()});
  PreviewList preview;
  ASSERT_TRUE(DecodePreviewList(kSprite2Type, list, preview).Ok());
  EXPECT_EQ(preview.version, 1000);
  EXPECT_EQ(preview.paletteId, 77);
  ASSERT_EQ(preview.frames.size(), 2u);
  EXPECT_FALSE(preview.frames[0].hasDepth);
  EXPECT_FALSE(preview.frames[0].hasAlpha);
  EXPECT_TRUE(preview.frames[1].hasDepth);
  EXPECT_TRUE(preview.frames[1].hasAlpha);

  const DecodedSprite& mixed = preview.frames[1].pixels;
  ASSERT_EQ(mixed.width, 3);
  EXPECT_EQ(mixed.kind[0], PixelKind::kClear);
  EXPECT_EQ(mixed.colour[1], 5);
  EXPECT_EQ(mixed.depth[1], 40);
  EXPECT_EQ(mixed.colour[2], 6);
  EXPECT_EQ(mixed.alpha[2], 16);
}

TEST(SpritePreview, RefusesBrokenListsWholly) {
  const Bytes good = Sprite2List(-1, {ColourFrame(), DepthAlphaFrame()});
  struct Case {
    const char* name;
    ResType type;
    Bytes bytes;
  };
  Bytes cut(good.begin(), good.end() - 3);  // the last frame loses its kEOS
  Bytes badVersion = good;
  badVersion[0] = 0xE9;
  const Case cases[] = {
      {"truncated", kSprite2Type, cut},
      {"version", kSprite2Type, badVersion},
      {"empty", kSprite2Type, {}},
      {"not a list type", MakeResType("PALT"), good},
  };
  for (const Case& c : cases) {
    PreviewList preview;
    preview.frames.resize(4);
    const SpriteDecodeStatus status = DecodePreviewList(c.type, c.bytes, preview);
    EXPECT_FALSE(status.Ok()) << c.name;
    EXPECT_TRUE(preview.frames.empty()) << c.name;
  }
}

// A 4 x 2 colour sheet (clear 0) with its depth, as one SPR# list in stored
// order: version 503, the colour frame then the depth frame.
OwnedHandle ColourAndDepthList(Offscreen& colour, Offscreen& depth) {
  EXPECT_TRUE(colour.Create(Rect::Make(0, 0, 4, 2)));
  EXPECT_TRUE(depth.Create(Rect::Make(0, 0, 4, 2)));
  const std::uint8_t colours[2][4] = {{0, 21, 22, 0}, {0, 0, 23, 0}};
  const std::uint8_t depths[2][4] = {{255, 90, 91, 255}, {255, 255, 92, 255}};
  for (int y = 0; y < 2; ++y) {
    std::copy(colours[y], colours[y] + 4, colour.Row(y));
    std::copy(depths[y], depths[y] + 4, depth.Row(y));
  }
  std::vector<Rect> trimmed;
  const std::vector<Rect> cells = {Rect::Make(0, 0, 4, 2)};
  return OwnedHandle(MakeSpriteList(&colour, &depth, cells, trimmed, 0, 12, false));
}

std::vector<std::uint8_t> BytesOf(MHandle h) {
  HandleLock lock(h);
  return {lock.Data(), lock.Data() + lock.Size()};
}

TEST(SpritePreview, AColourAndDepthSprListShowsItsDepthAsAChannel) {
  Offscreen colour, depth;
  OwnedHandle list = ColourAndDepthList(colour, depth);
  ASSERT_TRUE(list);
  PreviewList preview;
  const SpriteDecodeStatus status = DecodePreviewList(kSpriteType, BytesOf(list.Get()), preview);
  ASSERT_TRUE(status.Ok()) << status.error;
  EXPECT_EQ(preview.version, 503);
  EXPECT_EQ(preview.paletteId, 12);
  ASSERT_EQ(preview.frames.size(), 1u);
  const PreviewFrame& frame = preview.frames[0];
  EXPECT_TRUE(frame.hasDepth);
  EXPECT_FALSE(frame.hasAlpha);
  EXPECT_EQ(frame.pixels.colour, (std::vector<std::uint8_t>{0, 21, 22, 0, 0, 0, 23, 0}));
  EXPECT_EQ(frame.pixels.depth, (std::vector<std::uint8_t>{255, 90, 91, 255, 255, 255, 92, 255}));
  EXPECT_FALSE(frame.pixels.Drawn(0, 0));
  EXPECT_TRUE(frame.pixels.Drawn(2, 1));
}

TEST(SpritePreview, ADepthOnlyWallListIsItsOwnDepth) {
  Offscreen colour, depth;
  OwnedHandle list = ColourAndDepthList(colour, depth);
  std::array<Rect, kWallPieceCount> pieces;
  pieces.fill(Rect::Make(1, 0, 3, 2));
  OwnedHandle wall(MakeWallDepthList(depth, pieces));
  PreviewList preview;
  ASSERT_TRUE(DecodePreviewList(kSpriteType, BytesOf(wall.Get()), preview).Ok());
  EXPECT_EQ(preview.version, 505);
  ASSERT_EQ(preview.frames.size(), 46u);
  EXPECT_TRUE(preview.frames[45].hasDepth);
  EXPECT_EQ(preview.frames[45].pixels.depth, (std::vector<std::uint8_t>{90, 91, 255, 92}));
}

TEST(SpritePreview, ColourAndDepthHalvesMustPair) {
  Offscreen colour, depth;
  OwnedHandle list = ColourAndDepthList(colour, depth);
  std::vector<std::uint8_t> bytes = BytesOf(list.Get());
  // Stored big-endian: the frame count is bytes 4..7. One frame cannot be
  // both halves of a colour and depth list.
  bytes[7] = 1;
  PreviewList preview;
  EXPECT_FALSE(DecodePreviewList(kSpriteType, bytes, preview).Ok());
  EXPECT_TRUE(preview.frames.empty());
}

TEST(SpritePreview, ColourImageUsesThePaletteAndLeavesClearPixelsTransparent) {
  PreviewList preview;
  ASSERT_TRUE(DecodePreviewList(kSprite2Type, Sprite2List(-1, {DepthAlphaFrame()}), preview).Ok());
  PaletteResource resource;
  resource.mCount = 256;
  resource.mColours[5] = {10, 20, 30};
  resource.mColours[6] = {200, 100, 50};
  const PreviewImage image = ColourImage(preview.frames[0].pixels, PaletteFromResource(resource));
  EXPECT_EQ(image.channels, 4);
  EXPECT_EQ(image.width, 3);
  EXPECT_EQ(image.height, 1);
  const std::vector<std::uint8_t> expected = {0, 0, 0, 0, 10, 20, 30, 255, 200, 100, 50, 255};
  EXPECT_EQ(image.pixels, expected);

  const PreviewImage grey = ColourImage(preview.frames[0].pixels, GreyRampPalette());
  const std::vector<std::uint8_t> greyExpected = {0, 0, 0, 0, 5, 5, 5, 255, 6, 6, 6, 255};
  EXPECT_EQ(grey.pixels, greyExpected);
}

TEST(SpritePreview, ChannelImages) {
  PreviewList preview;
  ASSERT_TRUE(DecodePreviewList(kSprite2Type, Sprite2List(-1, {DepthAlphaFrame()}), preview).Ok());
  const DecodedSprite& frame = preview.frames[0].pixels;

  const PreviewImage depth = DepthImage(frame);
  EXPECT_EQ(depth.channels, 1);
  EXPECT_EQ(depth.pixels, (std::vector<std::uint8_t>{255, 40, 50}));

  // 16 of 31 is just over half; a pair with no alpha stored is opaque.
  const PreviewImage alpha = AlphaImage(frame);
  EXPECT_EQ(alpha.channels, 1);
  EXPECT_EQ(alpha.pixels, (std::vector<std::uint8_t>{0, 255, 132}));
  EXPECT_EQ(AlphaImage(frame, 8).pixels, (std::vector<std::uint8_t>{0, 255, 16}));
}

TEST(SpritePreview, PaletteFromAShortResourceLeavesTheRestBlack) {
  PaletteResource resource;
  resource.mCount = 2;
  resource.mColours[0] = {1, 2, 3};
  resource.mColours[1] = {4, 5, 6};
  resource.mColours[2] = {7, 8, 9};  // beyond the count: not a colour
  const PreviewPalette palette = PaletteFromResource(resource);
  EXPECT_EQ(palette[1], (std::array<std::uint8_t, 3>{4, 5, 6}));
  EXPECT_EQ(palette[2], (std::array<std::uint8_t, 3>{0, 0, 0}));
  EXPECT_EQ(GreyRampPalette()[200], (std::array<std::uint8_t, 3>{200, 200, 200}));
}

TEST(SpritePreview, FileStems) {
  EXPECT_EQ(PreviewFileStem(kSprite2Type, 100, 3), "SPR2_100_frame003");
  EXPECT_EQ(PreviewFileStem(kSpriteType, -5, 1234), "SPR#_-5_frame1234");
}

}  // namespace
}  // namespace pixmold
