// One colour of a palette as the platform's palette entries hold it: red,
// green, blue and a flags byte that says how the display may share the entry.
#pragma once

#include <cstdint>

namespace pixmold {

struct PaletteEntry {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  std::uint8_t flags = 0;

  friend bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};

// Entry flags: a reserved entry may be animated and is never matched by other
// palettes; a no-collapse entry keeps its own slot in the display palette.
inline constexpr std::uint8_t kPaletteReserved = 0x01;
inline constexpr std::uint8_t kPaletteNoCollapse = 0x04;

}  // namespace pixmold
