// Whole-tree builds through `pixmold all`: 100 small generated objects (an
// object file with one definition, markup with two sprites of one sheet and
// a draw group) built from scratch at one and at two jobs, which on a
// two-core machine should come close to half the time, and a re-run with
// nothing to do, which must stay well under a second for the whole tree.
// Wall time, since the work happens in ninja's child processes.
//
// With PIXMOLD_TREE_DIR set, the tree is made in that folder (data/ and
// content/) and kept, so `pixmold all` can be timed on it as a whole process:
//   PIXMOLD_TREE_DIR=/tmp/tree pixmold_bench --benchmark_filter=BM_TreeNoOpRerun
//   rm -rf /tmp/tree/data/.pixmold && pixmold all --data /tmp/tree/data --content /tmp/tree/content -j 2
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "object_files.h"
#include "resfile/iff_res_file2.h"
#include "sheet_files.h"

namespace {

using namespace pixmold;
namespace fs = std::filesystem;

constexpr int kTreeObjects = 100;

struct Scatter {
  bool Drawn(int x, int y) const { return (x | y) != 0 && (x + y) % 3 == 0; }
  std::uint8_t Index(int x, int y) const { return Drawn(x, y) ? static_cast<std::uint8_t>(20 + x % 50) : 0; }
  std::uint8_t Depth(int x, int y) const { return Drawn(x, y) ? static_cast<std::uint8_t>(60 + y % 100) : 255; }
};

void WriteObjectParts(const std::string& base) {
  bench::WriteObjectDefinitionFile(base + ".iff");
  IFFResFile2 sprites;
  sprites.CreateFile(CTGString(base + ".spf"));
}

class Tree {
 public:
  Tree() {
    if (const char* kept = getenv("PIXMOLD_TREE_DIR"); kept != nullptr && *kept != '\0') {
      fRoot = kept;
      fKept = true;
      fs::remove_all(fRoot + "/data");
      fs::remove_all(fRoot + "/content");
    } else {
      std::string pattern = (fs::temp_directory_path() / "pixmold-tree-bench-XXXXXX").string();
      if (mkdtemp(pattern.data()) != nullptr) fRoot = pattern;
    }
    fs::create_directories(fRoot + "/data/Objects");
    for (int index = 0; index < kTreeObjects; ++index) {
      const std::string name = "obj" + std::to_string(1000 + index).substr(1);
      const std::string folder = fRoot + "/content/Sprites/" + name;
      fs::create_directories(folder);
      std::ofstream(folder + "/" + name + ".omk")
          << "<sizes lwidth=16 lheight=24 mwidth=8 mheight=12 swidth=4 sheight=6>\n"
             "<sprite id=100 tgafile=\"sheet.tga\">\n<sprite id=101 tgafile=\"sheet.tga\">\n"
             "<drawgroup id=100 name=\"view\"><item sprite id=100><item sprite id=101>\n";
      bench::WriteSheetFiles(folder + "/sheet", 112, 48, Scatter{});
      WriteObjectParts(fRoot + "/data/Objects/" + name);
    }
  }
  ~Tree() {
    if (fKept) return;
    std::error_code error;
    fs::remove_all(fRoot, error);
  }
  // Forgets every earlier build, so that the next run builds all.
  void Forget() const {
    std::error_code error;
    fs::remove_all(fRoot + "/data/.pixmold", error);
  }
  bool All(int jobs) const {
    const std::string command = std::string(PIXMOLD_CLI_PATH) + " all --data " + fRoot + "/data --content " + fRoot +
                                "/content -j " + std::to_string(jobs) + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
  }

 private:
  std::string fRoot;
  bool fKept = false;
};

void BM_TreeBuildFromScratch(benchmark::State& state) {
  Tree tree;
  const int jobs = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    tree.Forget();
    state.ResumeTiming();
    if (!tree.All(jobs)) state.SkipWithError("pixmold all failed (is ninja installed?)");
  }
  state.SetItemsProcessed(state.iterations() * kTreeObjects);
}
BENCHMARK(BM_TreeBuildFromScratch)->Arg(1)->Arg(2)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_TreeNoOpRerun(benchmark::State& state) {
  Tree tree;
  if (!tree.All(2)) state.SkipWithError("pixmold all failed (is ninja installed?)");
  for (auto _ : state) {
    if (!tree.All(2)) state.SkipWithError("pixmold all failed");
  }
  state.SetItemsProcessed(state.iterations() * kTreeObjects);
}
BENCHMARK(BM_TreeNoOpRerun)->Iterations(10)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
