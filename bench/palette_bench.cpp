// True colour to palette on a noisy 1024 x 1024 render, in pixels per
// second: the plain linear search the palette defines, the fast path both
// cold (a new palette for every frame, as every sheet brings its own, so the
// index starts over) and warm (the same palette again), and a whole 24-bit
// TGA render through the reader.
//
// The noisy render is what a sheet looks like: shaded shapes with noise on a
// flat background. Its worst case, 24 uniformly random bits per pixel, touches
// every part of the colour cube and is measured cold as well.
#include <benchmark/benchmark.h>

#include "image_bench_data.h"
#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "imaging/tga_parser.h"

namespace pixmold {
namespace {

constexpr int kSide = 1024;

const std::vector<bench::Pixel>& NoisyRender() {
  static const auto pixels = bench::MakeRender(kSide, kSide, 12, 3);
  return pixels;
}

const std::vector<bench::Pixel>& UniformNoise() {
  static const auto pixels = bench::MakeUniformNoise(kSide, kSide, 5);
  return pixels;
}

const std::array<PaletteEntry, 256>& Colours() {
  static const auto colours = bench::PaletteFor(NoisyRender(), 4);
  return colours;
}

void Finish(benchmark::State& state) {
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kSide * kSide);
}

void BM_PalettePlainSearch(benchmark::State& state) {
  PalWrap palette;
  palette.SetFromColours(Colours(), true);
  unsigned sum = 0;
  for (auto _ : state) {
    for (const auto& p : NoisyRender()) sum += palette.FindNearestBySearch(p.r, p.g, p.b);
  }
  benchmark::DoNotOptimize(sum);
  Finish(state);
}

void BM_PaletteFastCold(benchmark::State& state) {
  PalWrap palette;
  unsigned sum = 0;
  for (auto _ : state) {
    palette.SetFromColours(Colours(), true);  // drops the index and its memo
    for (const auto& p : NoisyRender()) sum += palette.FindNearest(p.r, p.g, p.b);
  }
  benchmark::DoNotOptimize(sum);
  Finish(state);
}

void BM_PaletteFastColdUniformNoise(benchmark::State& state) {
  PalWrap palette;
  unsigned sum = 0;
  for (auto _ : state) {
    palette.SetFromColours(Colours(), true);
    for (const auto& p : UniformNoise()) sum += palette.FindNearest(p.r, p.g, p.b);
  }
  benchmark::DoNotOptimize(sum);
  Finish(state);
}

void BM_PaletteFastWarm(benchmark::State& state) {
  PalWrap palette;
  palette.SetFromColours(Colours(), true);
  unsigned sum = 0;
  for (auto _ : state) {
    for (const auto& p : NoisyRender()) sum += palette.FindNearest(p.r, p.g, p.b);
  }
  benchmark::DoNotOptimize(sum);
  Finish(state);
}

void BM_Tga24NoisyIntoColour(benchmark::State& state) {
  const auto file = bench::EncodeTga(NoisyRender(), kSide, kSide, false, 24);
  PalWrap palette;
  Offscreen colour;
  TGAParser parser;
  for (auto _ : state) {
    palette.SetFromColours(Colours(), true);
    colour.Create(Rect::Make(0, 0, kSide, kSide), &palette);
    parser.OpenBytes(file);
    parser.Render(&colour, nullptr);
  }
  Finish(state);
}

BENCHMARK(BM_PalettePlainSearch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaletteFastCold)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaletteFastColdUniformNoise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaletteFastWarm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tga24NoisyIntoColour)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pixmold
