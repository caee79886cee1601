// The sprite pass at production size: a whole build (open, markup, every
// sheet rendered, trimmed and compressed, draw groups written, file closed)
// of an object with 16 sheets of 1792 x 1536, each a 32-bit TGA whose alpha
// is the depth beside its 8-bit palette image, one sprite per sheet. Beside
// it, only reading the same input files, which bounds what the build can
// reach. Peak resident memory is reported as a counter (run the build alone,
// --benchmark_filter=BM_SpriteBuild, for a figure of the build only).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "builder/run_build.h"
#include "imaging/image_file.h"
#include "resfile/iff_res_file2.h"
#include "sheet_files.h"

namespace {

using namespace pixmold;

constexpr int kSheets = 16;
constexpr int kWidth = 1792;
constexpr int kHeight = 1536;
// Four columns of 256 + 128 + 64 pixels fill a row; two frames of 768 rows
// fill the sheet.
constexpr const char* kSizes = "<sizes lwidth=256 lheight=768 mwidth=128 mheight=384 swidth=64 sheight=192 border=1>\n";

// Inside each large cell a shaded ellipse, as a render of a piece of
// furniture looks; the sheet is written row by row so generating it costs
// little memory.
struct Shape {
  bool Drawn(int x, int y) const {
    const int cellX = x < 1024 ? x % 256 : (x < 1536 ? (x - 1024) % 128 * 2 : (x - 1536) % 64 * 4);
    const int cellY = y % 768 * (x < 1024 ? 1 : (x < 1536 ? 2 : 4)) % 768;
    const int dx = cellX - 128, dy = cellY - 420;
    return dx * dx * 9 + dy * dy < 110 * 110 * 9;
  }
  std::uint8_t Index(int x, int y) const { return Drawn(x, y) ? static_cast<std::uint8_t>(16 + (x * 3 + y) % 200) : 0; }
  std::uint8_t Depth(int x, int y) const { return Drawn(x, y) ? static_cast<std::uint8_t>(40 + (x + y) % 180) : 255; }
};

// The object and its sheets, made once per process.
class LargeObject {
 public:
  LargeObject() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pixmold-sprite-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) fDirectory = pattern + "/";
    std::string markup = kSizes;
    for (int i = 0; i < kSheets; ++i) {
      const std::string base = "sheet" + std::to_string(i);
      bench::WriteSheetFiles(fDirectory + base, kWidth, kHeight, Shape{});
      fInputs.push_back(fDirectory + base + ".tga");
      fInputs.push_back(fDirectory + base + ".bmp");
      markup += "<sprite id=" + std::to_string(1000 + i) + " name=\"part " + std::to_string(i) + "\" tgafile=\"" +
                base + ".tga\" frames=2 paletteid=" + std::to_string(i) + ">\n";
      markup += "<drawgroup id=" + std::to_string(100 + i) + "><item sprite id=" + std::to_string(1000 + i) + ">\n";
    }
    std::ofstream(fDirectory + "object.omk") << markup;
  }
  ~LargeObject() {
    std::error_code ec;
    std::filesystem::remove_all(fDirectory, ec);
  }

  // A fresh object file holding one definition.
  std::string FreshObject() const {
    const std::string path = fDirectory + "object.iff";
    std::filesystem::remove(path);
    IFFResFile2 file;
    file.CreateFile(CTGString(path));
    file.OpenFile(CTGString(path));
    MHandle definition = NewHandle(216);
    std::uint8_t* bytes = HLock(definition);
    std::fill(bytes, bytes + 216, 0);
    bytes[0] = 138;
    HUnlock(definition);
    file.AddResource(definition, MakeResType("OBJD"), 128, CTGString("object"), true);
    file.CloseFile();
    return path;
  }

  const std::string& Directory() const { return fDirectory; }
  const std::vector<std::string>& Inputs() const { return fInputs; }
  static LargeObject& Get() {
    static LargeObject object;
    return object;
  }

 private:
  std::string fDirectory;
  std::vector<std::string> fInputs;
};

constexpr std::int64_t kSheetPixels = std::int64_t{kSheets} * kWidth * kHeight;

void ReportPeakMemory(benchmark::State& state) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peakRSS_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  state.counters["budget_MiB"] = (8.0 * kWidth * kHeight) / (1024.0 * 1024.0) + 64.0;
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
    state.ResumeTiming();
    if (RunBuild(args) != 0) state.SkipWithError("build failed");
    benchmark::DoNotOptimize(args.fWritten.size());
  }
  state.counters["MPixel/s"] = benchmark::Counter(
      static_cast<double>(kSheetPixels) * static_cast<double>(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
  ReportPeakMemory(state);
}
BENCHMARK(BM_SpriteBuild)->Unit(benchmark::kMillisecond);

void BM_SpriteBuildInputsRead(benchmark::State& state) {
  const LargeObject& object = LargeObject::Get();
  for (auto _ : state) {
    std::size_t bytes = 0;
    for (const std::string& path : object.Inputs())
      bytes += ReadImageFile(path).value_or(std::vector<std::uint8_t>{}).size();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["MPixel/s"] = benchmark::Counter(
      static_cast<double>(kSheetPixels) * static_cast<double>(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SpriteBuildInputsRead)->Unit(benchmark::kMillisecond);

}  // namespace
