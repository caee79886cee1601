// Sprite compression on rendered content: a 512 x 512 frame with an
// elliptical object in the middle and clear margins around it, the shape a
// rendered sheet cell has. Items are pixels of the frame.
#include <benchmark/benchmark.h>

#include <ostream>
#include <random>

#include "base/report.h"
#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "imaging/pixel_view.h"
#include "imaging/spr_compressor.h"
#include "imaging/spr_decoder.h"
#include "imaging/sprite2_compressor.h"
#include "imaging/sprite2_decoder.h"
#include "imaging/sprite2_prepare.h"

namespace pixmold {
namespace {

constexpr int kSize = 512;
constexpr std::uint8_t kClear = 200;

struct RenderedFrame {
  Offscreen colour, depth, alpha;

  RenderedFrame() {
    const Rect bounds = Rect::Make(0, 0, kSize, kSize);
    colour.Create(bounds);
    depth.Create(bounds);
    alpha.Create(bounds);
    std::mt19937 rng(42);
    for (int y = 0; y < kSize; ++y) {
      for (int x = 0; x < kSize; ++x) {
        const double dx = (x + 0.5 - kSize / 2.0) / (kSize * 0.3), dy = (y + 0.5 - kSize / 2.0) / (kSize * 0.35);
        const double r = dx * dx + dy * dy;
        const bool inside = r < 1.0;
        // Shaded bands with dither, as a renderer's 8-bit output looks.
        colour.Row(y)[x] =
            inside ? static_cast<std::uint8_t>(16 + static_cast<int>((1.0 - r) * 12) * 8 + rng() % 3) : kClear;
        depth.Row(y)[x] = inside ? static_cast<std::uint8_t>(40 + r * 150) : 255;
        alpha.Row(y)[x] = inside ? (r > 0.92 ? static_cast<std::uint8_t>(64 + rng() % 192) : 255) : 0;
      }
    }
  }
  Rect Bounds() const { return Rect::Make(0, 0, kSize, kSize); }
};

const RenderedFrame& Frame() {
  static const RenderedFrame frame;
  return frame;
}

// An untrimmed frame ends in clear rows, which the SPR2 encoders report
// once per frame; the report goes nowhere here.
struct DiscardReports {
  std::ostream sink{nullptr};
  ScopedReportTarget scope{ReportTarget{&sink, nullptr, nullptr, nullptr}};
};

void CountPixels(benchmark::State& state) {
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kSize * kSize);
}

void BM_Sprite2EncodeZP(benchmark::State& state) {
  const RenderedFrame& f = Frame();
  DiscardReports quiet;
  Sprite2Compressor c;
  for (auto _ : state) {
    OwnedHandle frame = c.EncodeZP(ViewOf(f.colour), ViewOf(f.depth), f.Bounds(), f.Bounds());
    benchmark::DoNotOptimize(frame.Get());
  }
  CountPixels(state);
}
BENCHMARK(BM_Sprite2EncodeZP);

void BM_Sprite2EncodeZPA(benchmark::State& state) {
  const RenderedFrame& f = Frame();
  DiscardReports quiet;
  Sprite2Compressor c;
  for (auto _ : state) {
    OwnedHandle frame = c.EncodeZPA(ViewOf(f.colour), ViewOf(f.depth), ViewOf(f.alpha), f.Bounds(), f.Bounds(), 5);
    benchmark::DoNotOptimize(frame.Get());
  }
  CountPixels(state);
}
BENCHMARK(BM_Sprite2EncodeZPA);

void BM_Sprite2CleanUpDepth(benchmark::State& state) {
  const RenderedFrame& f = Frame();
  Offscreen depth;
  depth.Create(f.Bounds());
  for (auto _ : state) {
    state.PauseTiming();
    for (int y = 0; y < kSize; ++y) std::copy(f.depth.Row(y), f.depth.Row(y) + kSize, depth.Row(y));
    state.ResumeTiming();
    benchmark::DoNotOptimize(CleanUpDepth(ViewOf(f.colour), MutableViewOf(depth)));
  }
  CountPixels(state);
}
BENCHMARK(BM_Sprite2CleanUpDepth);

// The settings of the build's colour lists: clear colour, repeats and
// suppression over the whole palette.
void BM_SprCompressFrame(benchmark::State& state) {
  const RenderedFrame& f = Frame();
  Compressor c;
  SprSettings s;
  s.clearColour = kClear;
  c.SetSettings(s);
  for (auto _ : state) {
    OwnedHandle frame;
    benchmark::DoNotOptimize(c.CompressFrame(ViewOf(f.colour), f.Bounds(), frame, nullptr));
  }
  CountPixels(state);
}
BENCHMARK(BM_SprCompressFrame);

// The same with the system colours reserved: suppression maps every index
// of each frame once through the palette.
void BM_SprCompressFrameSuppressed(benchmark::State& state) {
  const RenderedFrame& f = Frame();
  PalWrap palette;
  std::array<PaletteEntry, 256> colours{};
  for (int i = 0; i < 256; ++i) {
    colours[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(255 - i),
                  0};
  }
  palette.SetFromColours(colours, true);
  Compressor c;
  SprSettings s;
  s.clearColour = kClear;
  s.suppressLow = 10;
  s.suppressHigh = 245;
  c.SetSettings(s);
  for (auto _ : state) {
    OwnedHandle frame;
    benchmark::DoNotOptimize(c.CompressFrame(ViewOf(f.colour), f.Bounds(), frame, &palette));
  }
  CountPixels(state);
}
BENCHMARK(BM_SprCompressFrameSuppressed);

void BM_Sprite2Decode(benchmark::State& state) {
  const RenderedFrame& f = Frame();
  DiscardReports quiet;
  Sprite2Compressor c;
  OwnedHandle frame = c.EncodeZP(ViewOf(f.colour), ViewOf(f.depth), f.Bounds(), f.Bounds());
  HandleLock lock(frame.Get());
  DecodedSprite out;
  for (auto _ : state) benchmark::DoNotOptimize(DecodeSprite2Frame(lock.Bytes(), out).Ok());
  CountPixels(state);
}
BENCHMARK(BM_Sprite2Decode);

void BM_SprDecode(benchmark::State& state) {
  const RenderedFrame& f = Frame();
  Compressor c;
  SprSettings s;
  s.clearColour = kClear;
  c.SetSettings(s);
  OwnedHandle frame;
  c.CompressFrame(ViewOf(f.colour), f.Bounds(), frame, nullptr);
  HandleLock lock(frame.Get());
  DecodedSprite out;
  for (auto _ : state) benchmark::DoNotOptimize(DecodeSprFrame(lock.Bytes(), ByteOrder::kLittle, out).Ok());
  CountPixels(state);
}
BENCHMARK(BM_SprDecode);

}  // namespace
}  // namespace pixmold
