// The colour table of an 8-bit palette image, read quietly: what a palette
// is mapped onto when one is given (`pixmold palette --from`), and what a
// sheet's palette image already holds. Unlike the build's reader, which
// reports through the assertion routine as its Part says, this one returns
// what is wrong for the caller to put in words of its own.
//
// The table follows the info header at the size that header states, so
// images saved with the 108- and 124-byte headers of later versions (image
// editors' default) read as well as the plain 40-byte kind.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "imaging/palette_entry.h"

namespace pixmold {

enum class ColourTableProblem { kNone, kNotBmp, kNotIndexed, kTooManyColours, kCutShort };

struct BmpColourTable {
  ColourTableProblem problem = ColourTableProblem::kNone;
  std::uint16_t bitCount = 0;
  std::uint32_t count = 0;                  // entries the file holds
  std::array<PaletteEntry, 256> colours{};  // red, green, blue, 0; past count 0
};

BmpColourTable ReadBmpColourTable(std::span<const std::uint8_t> fileBytes);

// "not a BMP file", "palette image must be 8-bit indexed (it is 24-bit)" and
// so on; empty without a problem.
std::string ColourTableProblemText(const BmpColourTable& table);

}  // namespace pixmold
