// Decoding SPR2 frames and lists back to pixels, for previews and to prove
// the encoders. The bytes are untrusted: every field is bounds-checked, the
// claimed size is capped before anything is allocated, every token moves
// forward, and each line must end exactly where its kNL says.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "imaging/decoded_sprite.h"

namespace pixmold {

struct Sprite2FrameHeader {
  int width = 0;
  int height = 0;
  std::uint32_t flags = 0;
  std::int16_t paletteId = 0;
  std::uint16_t clearColour = 0;
  std::int16_t originY = 0;
  std::int16_t originX = 0;
};

struct Sprite2ListView {
  std::int32_t version = 0;
  std::int32_t paletteId = 0;
  std::vector<std::span<const std::uint8_t>> frames;  // each from its offset to the end of the list
};

inline constexpr std::int32_t kSprite2ListVersion = 1000;

SpriteDecodeStatus ReadSprite2Header(std::span<const std::uint8_t> frame, Sprite2FrameHeader& header);

// Clear pixels get the header's clear colour (its low byte), depth 255 and
// alpha 0.
SpriteDecodeStatus DecodeSprite2Frame(std::span<const std::uint8_t> frame, DecodedSprite& out,
                                      Sprite2FrameHeader* header = nullptr, const SpriteDecodeLimits& limits = {});

SpriteDecodeStatus ParseSprite2List(std::span<const std::uint8_t> list, Sprite2ListView& out,
                                    const SpriteDecodeLimits& limits = {});

}  // namespace pixmold
