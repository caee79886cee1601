// The two things the palette maker asks of libimagequant: choose at most n
// colours for a weighted set of colours, and map an image onto a given set
// of colours, dithered to a given strength. Nothing here knows sheets or
// palette entries; the library's objects never leave this file.
//
// Mapping always goes through a palette of fixed colours, never through the
// result that chose them: libimagequant refines a result's palette for each
// image it maps, and sheets that share a palette must all see the same one.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pixmold {

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct WeightedColour {
  Rgb colour;
  std::uint32_t weight = 0;
};

// At most maxColours (2..256) colours for the weighted set, or fewer when
// the set holds fewer. Empty set, empty result. Throws std::runtime_error
// when the library fails (it only does when memory runs out).
std::vector<Rgb> ChooseColours(std::span<const WeightedColour> colours, int maxColours);

// For each pixel (0x..RRGGBB, top row first) the index into palette of the
// colour it maps to; dither 0..1. Pixels whose mask byte is 0 are mapped as
// if they were palette[0], so they add no dithering error of their own.
// palette holds 1..256 distinct colours. Throws as ChooseColours.
std::vector<std::uint8_t> MapOntoColours(std::span<const std::uint32_t> pixels, std::span<const std::uint8_t> mask,
                                         int width, int height, std::span<const Rgb> palette, float dither);

}  // namespace pixmold
