// The stored palette resource (PALT), little-endian: a 32-bit version (1), a
// 32-bit colour count (1..256), two 32-bit zeros, then one (red, green, blue)
// triple per colour. The build always writes 256 colours, 784 bytes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "resfile/mem_handle.h"
#include "resfile/res_types.h"

namespace pixmold {

class PalWrap;
class iResFile;

inline constexpr ResType kPaletteResourceType = MakeResType("PALT");

struct PaletteResource {
  std::uint32_t mVersion = 1;
  std::uint32_t mCount = 0;
  // The first min(mCount, 256) triples are the file's.
  std::array<std::array<std::uint8_t, 3>, 256> mColours{};
};

inline constexpr std::uint32_t kPaletteResourceVersion = 1;
inline constexpr std::size_t kPaletteResourceHeaderSize = 16;
inline constexpr std::size_t kPaletteResourceSize = kPaletteResourceHeaderSize + 256 * 3;

// The 784-byte resource of a palette's 256 colours (black where the palette
// has no colour).
std::vector<std::uint8_t> EncodePaletteResource(const PalWrap& palette);

// Reads the header and as many triples as the count asks for (at most 256);
// nothing when the bytes run out. Version and count are checked by whoever
// uses the resource (PalWrap::SetFromResource).
std::optional<PaletteResource> DecodePaletteResource(std::span<const std::uint8_t> bytes);

// A new handle holding EncodePaletteResource(palette), ready for
// AddResource; null when memory runs out.
MHandle NewPaletteResourceHandle(const PalWrap& palette);

// Sets palette from the PALT resource id of file. False when the file has no
// such resource (its error says why), when the bytes are short, or when
// SetFromResource refuses them.
bool LoadPaletteResource(iResFile& file, ResID id, PalWrap& palette);

}  // namespace pixmold
