#include "imaging/nearest_colour_index.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <tuple>

#include "imaging/pal_wrap.h"

namespace pixmold {
namespace {

// The fast path must give the plain search's answer for every palette shape
// the build meets: spread palettes, clustered ones (where far cells keep many
// candidates) and palettes full of duplicates (ties).
enum class Shape { kUniform, kClustered, kDuplicates };

std::array<PaletteEntry, 256> MakeColours(Shape shape, std::mt19937& rng) {
  auto byte = [&] { return static_cast<int>(rng() % 256); };
  auto near = [&](int centre) { return static_cast<std::uint8_t>(std::clamp(centre + byte() % 25 - 12, 0, 255)); };
  std::array<PaletteEntry, 256> colours{};
  const int cr = byte(), cg = byte(), cb = byte();
  for (auto& c : colours) {
    const auto v = static_cast<std::uint8_t>(byte());
    switch (shape) {
      case Shape::kUniform: c = {v, std::uint8_t(byte()), std::uint8_t(byte()), 0}; break;
      case Shape::kClustered: c = {near(cr), near(cg), near(cb), 0}; break;
      case Shape::kDuplicates:
        c = {std::uint8_t(v & 0xE0), std::uint8_t((v & 0xE0) ^ 0x40), std::uint8_t(byte() & 0xC0), 0};
        break;
    }
  }
  return colours;
}

TEST(NearestColourIndex, MatchesThePlainSearchOnRandomPalettesAndColours) {
  std::mt19937 rng(20240611);
  // One palette object for all: every palette after the first reuses the
  // index of the one before, which must forget all it answered.
  PalWrap palette;
  for (Shape shape : {Shape::kUniform, Shape::kClustered, Shape::kDuplicates}) {
    for (int palettes = 0; palettes < 6; ++palettes) {
      const auto colours = MakeColours(shape, rng);
      for (bool system : {false, true}) {
        palette.SetFromColours(colours, system);
        // Random colours, each asked twice: built, then answered.
        for (int i = 0; i < 4000; ++i) {
          const auto r = static_cast<std::uint8_t>(rng()), g = static_cast<std::uint8_t>(rng()),
                     b = static_cast<std::uint8_t>(rng());
          const std::uint8_t expected = palette.FindNearestBySearch(r, g, b);
          ASSERT_EQ(palette.FindNearest(r, g, b), expected) << int(r) << "," << int(g) << "," << int(b);
          ASSERT_EQ(palette.FindNearest(r, g, b), expected);
        }
      }
    }
  }
}

TEST(NearestColourIndex, KeepsEntriesThatTieAtTheCellsBound) {
  // Entries 0 and 1 (every other entry is white), the grey asked for, the entry found.
  const std::tuple<PaletteEntry, PaletteEntry, std::uint8_t, std::uint8_t> cases[] = {
      // Black is at most 343 from any colour of the cells [0, 7]^3 and
      // [4, 7]^3; (10, 16, 8) is never nearer than 343 to either, reached
      // only at (7, 7, 7), where the two tie and the lower index wins.
      {{10, 16, 8, 0}, {0, 0, 0, 0}, 7, 0},
      {{10, 16, 8, 0}, {0, 0, 0, 0}, 6, 1},
      // Inside one cell of 8 levels, the cell [0, 3]^3: black is at most 63
      // from it and (6, 6, 6) at least 63, reached at (3, 3, 3).
      {{6, 6, 6, 0}, {0, 0, 0, 0}, 3, 0},
      {{6, 6, 6, 0}, {0, 0, 0, 0}, 2, 1},
      // The same ties with black first: it keeps them.
      {{0, 0, 0, 0}, {10, 16, 8, 0}, 7, 0},
      {{0, 0, 0, 0}, {6, 6, 6, 0}, 3, 0},
  };
  for (const auto& [first, second, level, expected] : cases) {
    std::array<PaletteEntry, 256> colours{};
    colours.fill({255, 255, 255, 0});
    colours[0] = first;
    colours[1] = second;
    NearestColourIndex index(colours, 0, 255);
    EXPECT_EQ(NearestColourIndex::Search(colours, 0, 255, level, level, level), expected);
    EXPECT_EQ(index.Find(level, level, level), expected) << int(level);
  }
  // A short table is searched only as far as it goes.
  const std::array<PaletteEntry, 2> pair = {{{0, 0, 0, 0}, {255, 255, 255, 0}}};
  EXPECT_EQ(NearestColourIndex(pair, 0, 1).Find(200, 200, 200), 1);
  EXPECT_EQ(NearestColourIndex::Search(pair, 0, 255, 100, 100, 100), 0);
}

}  // namespace
}  // namespace pixmold
