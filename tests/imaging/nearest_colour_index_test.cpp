#include "imaging/nearest_colour_index.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <span>
#include <vector>

#include "imaging/pal_wrap.h"

namespace pixmold {
namespace {

// The fast path must give the plain search's answer for every palette shape
// the build meets: spread palettes, clustered ones (where far cells keep many
// candidates), palettes full of duplicates (ties), and short resources.
enum class Shape { kUniform, kClustered, kDuplicates, kGreys };

std::array<PaletteEntry, 256> MakeColours(Shape shape, std::mt19937& rng) {
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> small(-12, 12);
  std::array<PaletteEntry, 256> colours{};
  const int cr = byte(rng), cg = byte(rng), cb = byte(rng);
  for (auto& c : colours) {
    switch (shape) {
      case Shape::kUniform:
        c = {static_cast<std::uint8_t>(byte(rng)), static_cast<std::uint8_t>(byte(rng)),
             static_cast<std::uint8_t>(byte(rng)), 0};
        break;
      case Shape::kClustered:
        c = {static_cast<std::uint8_t>(std::clamp(cr + small(rng), 0, 255)),
             static_cast<std::uint8_t>(std::clamp(cg + small(rng), 0, 255)),
             static_cast<std::uint8_t>(std::clamp(cb + small(rng), 0, 255)), 0};
        break;
      case Shape::kDuplicates: {
        const std::uint8_t v = static_cast<std::uint8_t>(byte(rng) & 0xE0);
        c = {v, static_cast<std::uint8_t>(v ^ 0x40), static_cast<std::uint8_t>(byte(rng) & 0xC0), 0};
        break;
      }
      case Shape::kGreys: {
        const std::uint8_t v = static_cast<std::uint8_t>(byte(rng));
        c = {v, v, v, 0};
        break;
      }
    }
  }
  return colours;
}

TEST(NearestColourIndex, MatchesThePlainSearchOnRandomPalettesAndColours) {
  std::mt19937 rng(20240611);
  std::uniform_int_distribution<int> byte(0, 255);
  // One palette object for all: every palette after the first reuses the
  // index of the one before, which must forget all it answered.
  PalWrap palette;
  for (Shape shape : {Shape::kUniform, Shape::kClustered, Shape::kDuplicates, Shape::kGreys}) {
    for (int palettes = 0; palettes < 6; ++palettes) {
      const auto colours = MakeColours(shape, rng);
      for (bool system : {false, true}) {
        palette.SetFromColours(colours, system);
        const auto table = palette.GetColourTable();
        // Random colours, each asked twice: built, then answered.
        for (int i = 0; i < 4000; ++i) {
          const auto r = static_cast<std::uint8_t>(byte(rng)), g = static_cast<std::uint8_t>(byte(rng)),
                     b = static_cast<std::uint8_t>(byte(rng));
          const std::uint8_t expected = palette.FindNearestBySearch(r, g, b);
          ASSERT_EQ(palette.FindNearest(r, g, b), expected) << int(r) << "," << int(g) << "," << int(b);
          ASSERT_EQ(palette.FindNearest(r, g, b), expected);
        }
        // Every palette colour itself, and its neighbours one step away.
        for (const PaletteEntry& e : table) {
          for (int d : {-1, 0, 1}) {
            const auto r = static_cast<std::uint8_t>(std::clamp(e.red + d, 0, 255));
            const auto g = static_cast<std::uint8_t>(std::clamp(e.green - d, 0, 255));
            ASSERT_EQ(palette.FindNearest(r, g, e.blue), palette.FindNearestBySearch(r, g, e.blue));
          }
        }
      }
    }
  }
}

TEST(NearestColourIndex, MatchesAcrossAWholeCellPlane) {
  std::mt19937 rng(7);
  const auto colours = MakeColours(Shape::kClustered, rng);
  NearestColourIndex index(colours, 0, 255);
  for (int r = 0; r < 256; r += 3) {
    for (int g = 0; g < 256; g += 5) {
      const auto rr = static_cast<std::uint8_t>(r), gg = static_cast<std::uint8_t>(g);
      ASSERT_EQ(index.Find(rr, gg, 17), NearestColourIndex::Search(colours, 0, 255, rr, gg, 17));
    }
  }
}

TEST(NearestColourIndex, MatchesEveryColourOfTheCubesCornerCells) {
  // Cells against the cube's faces have no colours beyond them; every colour
  // of the 16-level cube at each corner, for spread and clustered palettes.
  std::mt19937 rng(99);
  for (Shape shape : {Shape::kUniform, Shape::kClustered, Shape::kGreys}) {
    const auto colours = MakeColours(shape, rng);
    NearestColourIndex index(colours, 10, 245);
    for (int corner = 0; corner < 8; ++corner) {
      for (int i = 0; i < 16 * 16 * 16; ++i) {
        auto level = [&](int axis, int offset) {
          return static_cast<std::uint8_t>((corner >> axis & 1) ? 255 - offset : offset);
        };
        const std::uint8_t r = level(2, i >> 8), g = level(1, (i >> 4) & 15), b = level(0, i & 15);
        ASSERT_EQ(index.Find(r, g, b), NearestColourIndex::Search(colours, 10, 245, r, g, b))
            << int(r) << "," << int(g) << "," << int(b);
      }
    }
  }
}

TEST(NearestColourIndex, KeepsEntriesThatTieAtTheCellsBound) {
  struct Case {
    PaletteEntry first, second;  // entries 0 and 1; every other entry is white
    std::uint8_t level;          // the grey asked for
    std::uint8_t expected;
  };
  const Case cases[] = {
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
  for (const Case& c : cases) {
    std::array<PaletteEntry, 256> colours{};
    colours.fill({255, 255, 255, 0});
    colours[0] = c.first;
    colours[1] = c.second;
    NearestColourIndex index(colours, 0, 255);
    EXPECT_EQ(NearestColourIndex::Search(colours, 0, 255, c.level, c.level, c.level), c.expected);
    EXPECT_EQ(index.Find(c.level, c.level, c.level), c.expected) << int(c.level);
  }
}

TEST(NearestColourIndex, ResetForgetsTheLastColoursAndRange) {
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> byte(0, 255);
  const auto reds = MakeColours(Shape::kClustered, rng);
  const auto greys = MakeColours(Shape::kGreys, rng);
  const std::array<PaletteEntry, 2> pair = {{{40, 40, 40, 0}, {250, 10, 10, 0}}};
  std::vector<std::array<std::uint8_t, 3>> asked;
  for (int i = 0; i < 3000; ++i) {
    asked.push_back({static_cast<std::uint8_t>(byte(rng)), static_cast<std::uint8_t>(byte(rng)),
                     static_cast<std::uint8_t>(byte(rng))});
  }
  NearestColourIndex index(reds, 0, 255);
  auto check = [&](std::span<const PaletteEntry> colours, int first, int last) {
    for (const auto& [r, g, b] : asked) {
      ASSERT_EQ(index.Find(r, g, b), NearestColourIndex::Search(colours, first, last, r, g, b))
          << int(r) << "," << int(g) << "," << int(b);
    }
  };
  check(reds, 0, 255);
  index.Reset(greys, 10, 245);
  check(greys, 10, 245);
  index.Reset(pair, 0, 1);
  check(pair, 0, 1);
  index.Reset(reds, 0, 255);
  check(reds, 0, 255);
}

TEST(NearestColourIndex, ShortTablesSearchOnlyWhatExists) {
  const std::array<PaletteEntry, 2> colours = {{{0, 0, 0, 0}, {255, 255, 255, 0}}};
  NearestColourIndex index(colours, 0, 1);
  EXPECT_EQ(index.Find(100, 100, 100), 0);
  EXPECT_EQ(index.Find(200, 200, 200), 1);
  EXPECT_EQ(NearestColourIndex::Search(colours, 0, 255, 200, 200, 200), 1);
}

}  // namespace
}  // namespace pixmold
