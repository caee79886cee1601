// A whole build of a generated object: an object file with one definition
// and a markup file with `n` sprites and `n` draw groups of four items each,
// built end to end (open, markup pass, draw groups written, file closed) as
// the dialog's build button runs it. And the markup pass alone, tags to specs.
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
#include "resfile/iff_res_file2.h"

namespace {

using namespace pixmold;

std::string Markup(int n) {
  std::string text = "<sizes lwidth=128 lheight=256 mwidth=64 mheight=128 swidth=32 sheight=64>\n";
  for (int i = 0; i < n; ++i) {
    text += "<sprite id=" + std::to_string(1000 + i) + " name=\"part " + std::to_string(i) +
            "\" tgafile=\"sheet" + std::to_string(i) + ".tga\" symmetry=bi-lateral>\n";
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

class Workspace {
 public:
  explicit Workspace(int n) {
    std::string pattern = (std::filesystem::temp_directory_path() / "pixmold-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) fDirectory = pattern;
    fObject = fDirectory + "/object.iff";
    fOmk = fDirectory + "/object.omk";
    std::ofstream(fOmk) << Markup(n);
    IFFResFile2 file;
    file.CreateFile(CTGString(fObject));
    file.OpenFile(CTGString(fObject));
    MHandle definition = NewHandle(216);
    std::uint8_t* bytes = HLock(definition);
    for (int i = 0; i < 216; ++i) bytes[i] = 0;
    bytes[0] = 138;
    HUnlock(definition);
    file.AddResource(definition, MakeResType("OBJD"), 128, CTGString("object"), true);
    file.CloseFile();
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
