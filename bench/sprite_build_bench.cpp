// The sprite pass at production size: a whole build (open, markup, every
// sheet rendered, trimmed and compressed, draw groups written, file closed)
// of an object with 16 sheets of 1792 x 1536, each a 32-bit TGA whose alpha
// is the depth beside its 8-bit palette image, one sprite per sheet. Beside
// it, only reading the same input files, which bounds what the build can
// reach. Peak resident memory is reported as a counter (run the build alone,
// --benchmark_filter=BM_SpriteBuild/1, for a figure of the build only).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include <cstdint>
#include <string>
#include <vector>

#include "builder/run_build.h"
#include "imaging/image_file.h"
#include "large_object.h"
#include "resfile/iff_res_file2.h"

namespace {

using namespace pixmold;

using bench::kLargeSheetHeight;
using bench::kLargeSheetPixels;
using bench::kLargeSheetWidth;
using bench::LargeObject;

// The command line keeps freed memory in the heap (cli/main.cpp), and so
// does every benchmark here, so that a build is measured as it runs there.
[[maybe_unused]] const bool kKeepsFreedMemory = [] {
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  return true;
}();

void ReportPeakMemory(benchmark::State& state) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peakRSS_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  state.counters["budget_MiB"] = (8.0 * kLargeSheetWidth * kLargeSheetHeight) / (1024.0 * 1024.0) + 64.0;
}

void BM_SpriteBuild(benchmark::State& state) {
  const LargeObject& object = LargeObject::Get();
  std::ostream nowhere(nullptr);
  for (auto _ : state) {
    state.PauseTiming();
    BuildArgs args;
    args.fObjectFile = object.FreshObject();
    args.fOmkFile = object.Directory() + "object.omk";
    args.fTgaDirectory = object.Directory();
    args.fMakeSprites = 1;
    args.fReportStream = &nowhere;
    args.fThreads = static_cast<int>(state.range(0));
    state.ResumeTiming();
    if (RunBuild(args) != 0) state.SkipWithError("build failed");
    benchmark::DoNotOptimize(args.fWritten.size());
  }
  state.counters["MPixel/s"] =
      benchmark::Counter(static_cast<double>(kLargeSheetPixels) * static_cast<double>(state.iterations()) / 1e6,
                         benchmark::Counter::kIsRate);
  ReportPeakMemory(state);
}
// The argument is the number of threads (the command line's --threads).
BENCHMARK(BM_SpriteBuild)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same build again over the object it made, as an artist's rebuild of
// art that did not change: every list is made and compared, none written.
void BM_SpriteRebuildUnchanged(benchmark::State& state) {
  const LargeObject& object = LargeObject::Get();
  std::ostream nowhere(nullptr);
  BuildArgs first;
  const std::string path = object.FreshObject();
  auto build = [&](BuildArgs& args) {
    args.fObjectFile = path;
    args.fOmkFile = object.Directory() + "object.omk";
    args.fTgaDirectory = object.Directory();
    args.fMakeSprites = 1;
    args.fReportStream = &nowhere;
    args.fThreads = static_cast<int>(state.range(0));
    return RunBuild(args) == 0;
  };
  if (!build(first)) state.SkipWithError("first build failed");
  for (auto _ : state) {
    BuildArgs args;
    if (!build(args)) state.SkipWithError("build failed");
  }
  state.counters["MPixel/s"] =
      benchmark::Counter(static_cast<double>(kLargeSheetPixels) * static_cast<double>(state.iterations()) / 1e6,
                         benchmark::Counter::kIsRate);
  ReportPeakMemory(state);
}
BENCHMARK(BM_SpriteRebuildUnchanged)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SpriteBuildInputsRead(benchmark::State& state) {
  const LargeObject& object = LargeObject::Get();
  for (auto _ : state) {
    std::size_t bytes = 0;
    for (const std::string& path : object.Inputs())
      bytes += ReadImageFile(path).value_or(std::vector<std::uint8_t>{}).size();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["MPixel/s"] =
      benchmark::Counter(static_cast<double>(kLargeSheetPixels) * static_cast<double>(state.iterations()) / 1e6,
                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SpriteBuildInputsRead)->Unit(benchmark::kMillisecond);

}  // namespace
