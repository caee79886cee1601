// The architecture generators on full-size sheets, as an artist's batch of
// walls runs them: a wall sheet with depth cut into its fifteen images and
// stored as three lists, and the three thick-wall zooms of 46 pieces each.
// The sheets are made in memory once; each run writes into a fresh
// container file in the temporary directory.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "architecture/walls.h"
#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "resfile/iff_res_file2.h"

namespace {

constexpr std::uint8_t kClear = 255;

// Bricks with a clear band on top of each 384-row band.
std::uint8_t Colour(int x, int y) {
  if (y % 384 < 40) return kClear;
  return static_cast<std::uint8_t>(20 + ((x / 8 + (y / 4) % 2) * 13 + y) % 100);
}

struct Sheets {
  Sheets() {
    Fill(colour, [](int x, int y) { return Colour(x, y); });
    Fill(depth, [](int x, int y) { return Colour(x, y) == kClear ? kClear : static_cast<std::uint8_t>(40 + y % 200); });
  }
  template <typename Rule>
  static void Fill(pixmold::Offscreen& offscreen, Rule rule) {
    offscreen.Create(pixmold::Rect::Make(0, 0, kWidth, kHeight));
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) offscreen.Row(y)[x] = rule(x, y);
  }
  static constexpr int kWidth = 1144;
  static constexpr int kHeight = 1572;
  pixmold::Offscreen colour, depth;
};

Sheets& TheSheets() {
  static Sheets sheets;
  return sheets;
}

template <typename Generate>
void IntoFreshFile(benchmark::State& state, Generate generate) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("pixmold_arch_bench_" + std::to_string(getpid()) + ".iff")).string();
  for (auto _ : state) {
    std::filesystem::remove(path);
    pixmold::IFFResFile2 file;
    if (file.CreateFile(path) || file.OpenFile(path)) std::abort();
    generate(file);
    file.CloseFile();
  }
  std::filesystem::remove(path);
  state.SetItemsProcessed(state.iterations());
}

void BM_WallsWithDepth(benchmark::State& state) {
  Sheets& sheets = TheSheets();
  IntoFreshFile(state,
                [&](pixmold::iResFile& file) { pixmold::MakeWalls(sheets.colour, &sheets.depth, 1, false, file); });
}
BENCHMARK(BM_WallsWithDepth)->Unit(benchmark::kMillisecond);

void BM_TileWallsAllZooms(benchmark::State& state) {
  Sheets& sheets = TheSheets();
  IntoFreshFile(state, [&](pixmold::iResFile& file) {
    for (int zoom = 1; zoom <= 3; ++zoom) pixmold::MakeTileWalls(sheets.colour, sheets.depth, zoom, file);
  });
}
BENCHMARK(BM_TileWallsAllZooms)->Unit(benchmark::kMillisecond);

}  // namespace
