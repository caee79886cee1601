// Pictures of stored sprite lists, for people checking what a build wrote.
//
// A list's frames are decoded with the same decoders that prove the
// encoders, then turned into plain 8-bit images: the colour of each frame
// through a palette (the list's PALT, or a grey ramp when it has none) with
// clear pixels transparent, and its depth and alpha channels as greyscale.
// Writing the images to files is the caller's business; nothing here knows
// an image file format.
//
// SPR2 frames carry their channels themselves. An SPR# list of version 503
// stores the depth frames after the colour frames, so its second half is
// the depth channel of its first half and it shows as half as many frames.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "imaging/decoded_sprite.h"
#include "imaging/palette_resource.h"
#include "resfile/res_types.h"

namespace pixmold {

struct PreviewFrame {
  DecodedSprite pixels;
  bool hasDepth = false;
  bool hasAlpha = false;
};

struct PreviewList {
  std::int32_t version = 0;
  std::int32_t paletteId = -1;  // the PALT the list names; -1 for none
  std::vector<PreviewFrame> frames;
};

inline constexpr ResType kSprite2Type = MakeResType("SPR2");
inline constexpr ResType kSpriteType = MakeResType("SPR#");

// Decodes every frame of an SPR2 or SPR# list (in either stored byte order).
// Fails with the reason and where decoding stopped, never partly.
SpriteDecodeStatus DecodePreviewList(ResType type, std::span<const std::uint8_t> list, PreviewList& out,
                                     const SpriteDecodeLimits& limits = {});

// Red, green, blue for each of the 256 indices.
using PreviewPalette = std::array<std::array<std::uint8_t, 3>, 256>;

// Index i shows as grey (i, i, i).
PreviewPalette GreyRampPalette();
// The resource's colours; indices it does not cover show black.
PreviewPalette PaletteFromResource(const PaletteResource& resource);

// One image of 1 (grey) or 4 (red, green, blue, alpha) bytes per pixel,
// rows top to bottom.
struct PreviewImage {
  int width = 0;
  int height = 0;
  int channels = 0;
  std::vector<std::uint8_t> pixels;
};

// Drawn pixels in their palette colour and opaque; clear pixels transparent
// black.
PreviewImage ColourImage(const DecodedSprite& frame, const PreviewPalette& palette);
// The stored depth; 255 (far) where no depth was stored.
PreviewImage DepthImage(const DecodedSprite& frame);
// Opacity: the stored alpha of a blended pixel scaled from alphaBits bits to
// 0..255, 255 for other drawn pixels, 0 for clear ones.
PreviewImage AlphaImage(const DecodedSprite& frame, int alphaBits = 5);

// "SPR2_100_frame003" and the like: the list's type, its id and the frame.
std::string PreviewFileStem(ResType type, ResID id, std::size_t frame);

}  // namespace pixmold
