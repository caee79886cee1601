// Decoding SPR# frames and lists back to pixels, in either storage order,
// for previews and to prove the compressor. The bytes are untrusted: every
// read is bounds-checked, the claimed size is capped before anything is
// allocated, every token moves forward, and each line must end exactly
// where its header says.
//
// Only the header fields are byte-swapped in a big-endian list; tokens are
// bytes in both orders. Shading and pattern tokens store offsets into, or
// stand for, colours named by the compressor's settings, so decoding them
// needs the settings the frame was made with.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "base/byte_cursor.h"
#include "imaging/decoded_sprite.h"
#include "imaging/spr_settings.h"

namespace pixmold {

struct SprFrameInfo {
  int width = 0;
  int height = 0;
  std::uint8_t features = 0;
};

struct SprListView {
  std::int32_t version = 0;
  std::int32_t paletteId = -1;                        // lists before version 502 have none
  std::vector<std::span<const std::uint8_t>> frames;  // each from its offset to the end of the list
};

// The order of a list whose version is one the compressor writes, or none.
std::optional<ByteOrder> GuessSprListOrder(std::span<const std::uint8_t> list);

SpriteDecodeStatus ParseSprList(std::span<const std::uint8_t> list, ByteOrder order, SprListView& out,
                                const SpriteDecodeLimits& limits = {});

// Clear pixels are 0 with kind kClear; drawn pixels have kind kColour.
SpriteDecodeStatus DecodeSprFrame(std::span<const std::uint8_t> frame, ByteOrder order, DecodedSprite& out,
                                  const SprSettings& settings = {}, SprFrameInfo* info = nullptr,
                                  const SpriteDecodeLimits& limits = {});

}  // namespace pixmold
