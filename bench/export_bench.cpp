// pixmold export at production size: the large generated benchmark object
// (16 sheets of 1792 x 1536, built once by `pixmold build` in a process of
// its own) exported into a fresh folder per iteration: every list surveyed,
// the markup proposed and replayed, every sheet painted and written as its
// TGA and palette image. The figure is the sheet area written per second;
// peak resident memory is a counter beside its budget, 8 bytes per pixel of
// the largest sheet plus 64 MiB. Run alone
// (--benchmark_filter=BM_ExportLargeObject) for a memory figure of the
// export only.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "builder/export/export_object.h"
#include "filelib/file_system.h"
#include "large_object.h"
#include "resfile/obj_res_file.h"

namespace {

using namespace pixmold;

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// The built object; the build runs in a child process, so its memory does
// not count as the export's.
const std::string& BuiltLargeObject() {
  static const std::string object = [] {
    const bench::LargeObject& large = bench::LargeObject::Get();
    const std::string path = large.FreshObject();
    const std::string command = Quoted(PIXMOLD_CLI_PATH) + " build " + Quoted(path) + " --quiet >/dev/null";
    return std::system(command.c_str()) == 0 ? path.substr(0, path.size() - 4) : std::string();
  }();
  return object;
}

void BM_ExportLargeObject(benchmark::State& state) {
  const std::string& object = BuiltLargeObject();
  if (object.empty()) {
    state.SkipWithError("the large object did not build");
    return;
  }
  const std::string directory = bench::LargeObject::Get().Directory() + "export/";
  std::int64_t pixels = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    ObjResFile file;
    file.OpenFile(CTGString(object));
    ExportRequest request;
    request.directory = directory;
    request.baseName = "object";
    request.source = object;
    state.ResumeTiming();
    const ExportResult result = ExportObjectArt(file, PosixFileSystem(), request);
    state.PauseTiming();
    file.CloseFile();
    if (!result.Exact()) state.SkipWithError("the export was not exact");
    pixels += result.sheetPixels;
    state.ResumeTiming();
  }
  state.counters["MPixel/s"] = benchmark::Counter(static_cast<double>(pixels) / 1e6, benchmark::Counter::kIsRate);
  state.counters["sheets_MPixel"] = static_cast<double>(pixels) / 1e6 / static_cast<double>(state.iterations());
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peakRSS_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  state.counters["budget_MiB"] = (8.0 * bench::kLargeSheetWidth * bench::kLargeSheetHeight) / (1024.0 * 1024.0) + 64.0;
}
BENCHMARK(BM_ExportLargeObject)->Unit(benchmark::kMillisecond);

}  // namespace
