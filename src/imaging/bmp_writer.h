// Writes 8-bit palette images the way every reader of them agrees on: the
// plain 40-byte info header (later header versions trip older readers),
// all 256 colour entries (so an entry an index names always exists), and
// uncompressed rows stored bottom row first, each padded to 4 bytes.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "imaging/palette_entry.h"

namespace pixmold {

// The largest side a palette image may have: that of the largest TGA.
inline constexpr int kMaxBmpSide = 65535;

// The whole file. indices holds width x height palette indices, top row
// first; colours' flags bytes are written as 0. Both sides lie in
// 1..kMaxBmpSide (an assertion otherwise, and no bytes).
std::vector<std::uint8_t> EncodeBmp8(int width, int height, std::span<const std::uint8_t> indices,
                                     const std::array<PaletteEntry, 256>& colours);

}  // namespace pixmold
