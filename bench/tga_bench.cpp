// TGA reading speed in bytes of file data per second: a 1024 x 1024 32-bit
// render decoded into the depth offscreen only (how the build reads a sheet
// whose colours come from its BMP), uncompressed and run-length, from
// memory and through the file layer; and with the colour mapped to the
// palette as well.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "image_bench_data.h"
#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "imaging/tga_parser.h"

namespace pixmold {
namespace {

constexpr int kSide = 1024;

const std::vector<bench::Pixel>& Render() {
  static const auto pixels = bench::MakeRender(kSide, kSide, 4, 1);
  return pixels;
}

void RenderFromMemory(benchmark::State& state, bool rle, bool withColour) {
  const auto file = bench::EncodeTga(Render(), kSide, kSide, rle, 32);
  PalWrap palette;
  palette.SetFromColours(bench::PaletteFor(Render(), 2), true);
  Offscreen colour, depth;
  colour.Create(Rect::Make(0, 0, kSide, kSide), &palette);
  depth.Create(Rect::Make(0, 0, kSide, kSide), &palette);
  TGAParser parser;
  for (auto _ : state) {
    parser.OpenBytes(file);
    parser.Render(withColour ? &colour : nullptr, &depth);
    benchmark::DoNotOptimize(depth.Row(kSide - 1)[kSide - 1]);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(file.size()));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kSide * kSide);
  state.counters["file_bytes"] = static_cast<double>(file.size());
}

void BM_Tga32RawDepthOnly(benchmark::State& state) { RenderFromMemory(state, false, false); }
void BM_Tga32RleDepthOnly(benchmark::State& state) { RenderFromMemory(state, true, false); }
void BM_Tga32RawColourAndDepth(benchmark::State& state) { RenderFromMemory(state, false, true); }
void BM_Tga32RleColourAndDepth(benchmark::State& state) { RenderFromMemory(state, true, true); }

void BM_Tga32RawDepthOnlyFromFile(benchmark::State& state) {
  const auto file = bench::EncodeTga(Render(), kSide, kSide, false, 32);
  const auto path = std::filesystem::temp_directory_path() / "pixmold_tga_bench.tga";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
  PalWrap palette;
  Offscreen depth;
  depth.Create(Rect::Make(0, 0, kSide, kSide), &palette);
  TGAParser parser;
  for (auto _ : state) {
    parser.Open(path.string());
    parser.Render(nullptr, &depth);
    parser.Close();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(file.size()));
  std::filesystem::remove(path);
}

BENCHMARK(BM_Tga32RawDepthOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tga32RleDepthOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tga32RawDepthOnlyFromFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tga32RawColourAndDepth)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tga32RleColourAndDepth)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pixmold
