// A whole build of a generated object: an object file with one definition
// and a markup file with `n` small sprites, one row each of one shared sheet,
// and `n` draw groups of four items each, built end to end (open, markup
// pass, sprites, draw groups written, file closed) as the dialog's build
// button runs it. And the markup pass alone, tags to specs.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "builder/build_context.h"
#include "builder/run_build.h"
#include "builder/tag_dispatch.h"
#include "markup/memory_scanner.h"
#include "markup/tag_parser.h"
#include "object_files.h"
#include "resfile/iff_res_file2.h"
#include "sheet_files.h"

namespace {

using namespace pixmold;

std::string Markup(int n) {
  std::string text = "<sizes lwidth=16 lheight=24 mwidth=8 mheight=12 swidth=4 sheight=6>\n";
  for (int i = 0; i < n; ++i) {
    text += "<sprite id=" + std::to_string(1000 + i) + " name=\"part " + std::to_string(i) +
            "\" tgafile=\"sheet.tga\" symmetry=bi-lateral>\n";
  }
  for (int i = 0; i < n; ++i) {
    text += "<drawgroup id=" + std::to_string(100 + i) + " name=\"view " + std::to_string(i) + "\">\n";
    for (int k = 0; k < 4; ++k) {
      text += "<item sprite id=" + std::to_string(1000 + (i + k) % n) + " x=0.5 y=-0.5 alt=" + std::to_string(k) +
              " \"direction offset\"=" + std::to_string(2 * k) + ">\n";
    }
  }
  return text;
}

// Every third pixel drawn, on a diagonal.
struct Scatter {
  bool Drawn(int x, int y) const { return (x | y) != 0 && (x + y) % 3 == 0; }
  std::uint8_t Index(int x, int y) const { return Drawn(x, y) ? static_cast<std::uint8_t>(20 + x % 50) : 0; }
  std::uint8_t Depth(int x, int y) const { return Drawn(x, y) ? static_cast<std::uint8_t>(60 + y % 100) : 255; }
};

class Workspace {
 public:
  explicit Workspace(int n) {
    std::string pattern = (std::filesystem::temp_directory_path() / "pixmold-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) fDirectory = pattern;
    fObject = fDirectory + "/object.iff";
    fOmk = fDirectory + "/object.omk";
    std::ofstream(fOmk) << Markup(n);
    bench::WriteSheetFiles(fDirectory + "/sheet", 112, 24 * n, Scatter{});
    bench::WriteObjectDefinitionFile(fObject);
  }
  ~Workspace() {
    std::error_code ec;
    std::filesystem::remove_all(fDirectory, ec);
  }
  const std::string& Object() const { return fObject; }
  const std::string& Omk() const { return fOmk; }
  const std::string& Directory() const { return fDirectory; }

 private:
  std::string fDirectory;
  std::string fObject;
  std::string fOmk;
};

void BM_WholeBuild(benchmark::State& state) {
  Workspace workspace(static_cast<int>(state.range(0)));
  std::ostream nowhere(nullptr);
  for (auto _ : state) {
    BuildArgs args;
    args.fObjectFile = workspace.Object();
    args.fOmkFile = workspace.Omk();
    args.fTgaDirectory = workspace.Directory() + "/";
    args.fMakeSprites = 1;
    args.fReportStream = &nowhere;
    if (RunBuild(args) != 0) state.SkipWithError("build failed");
    benchmark::DoNotOptimize(args.fWritten.size());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WholeBuild)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_MarkupPass(benchmark::State& state) {
  const std::string text = Markup(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    TagList tags;
    MemoryScanner source(text);
    ReadTags(source, tags);
    BuildContext context(nullptr);
    DispatchTags(context, tags);
    benchmark::DoNotOptimize(context.drawGroups.Count());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_MarkupPass)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace
