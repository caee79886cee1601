#include "imaging/nearest_colour_index.h"

#include <gtest/gtest.h>

#include <array>
#include <random>

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
  for (Shape shape : {Shape::kUniform, Shape::kClustered, Shape::kDuplicates, Shape::kGreys}) {
    for (int palettes = 0; palettes < 6; ++palettes) {
      const auto colours = MakeColours(shape, rng);
      for (bool system : {false, true}) {
        PalWrap palette;
        palette.SetFromColours(colours, system);
        const auto table = palette.GetColourTable();
        // Random colours, each asked twice so the memo answers the second time.
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

TEST(NearestColourIndex, CellSearchAloneMatchesAcrossAWholeCellPlane) {
  std::mt19937 rng(7);
  const auto colours = MakeColours(Shape::kClustered, rng);
  NearestColourIndex index(colours, 0, 255);
  for (int r = 0; r < 256; r += 3) {
    for (int g = 0; g < 256; g += 5) {
      const auto rr = static_cast<std::uint8_t>(r), gg = static_cast<std::uint8_t>(g);
      ASSERT_EQ(index.FindInCell(rr, gg, 17), NearestColourIndex::Search(colours, 0, 255, rr, gg, 17));
    }
  }
}

TEST(NearestColourIndex, KeepsEntriesThatTieAtTheCellsBound) {
  // Entry 1 (black) is at most 343 from any colour of the cell [0, 7]^3;
  // entry 0 is never nearer than 343, reached only at (7, 7, 7), where the
  // two tie and the lower index must win.
  std::array<PaletteEntry, 256> colours{};
  colours.fill({255, 255, 255, 0});
  colours[0] = {10, 16, 8, 0};
  colours[1] = {0, 0, 0, 0};
  NearestColourIndex index(colours, 0, 255);
  EXPECT_EQ(NearestColourIndex::Search(colours, 0, 255, 7, 7, 7), 0);
  EXPECT_EQ(index.FindInCell(7, 7, 7), 0);
  EXPECT_EQ(index.FindInCell(6, 7, 7), 1);
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
