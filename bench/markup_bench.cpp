// Reading markup the way a build does: one byte per call through the file
// layer. The file is a large generated .omk of sprite, draw group and item
// tags, written once per run.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "markup/markup_file.h"
#include "markup/memory_scanner.h"
#include "markup/tag_parser.h"
#include "resfile/flat_file.h"

namespace {

std::string MakeMarkup(int objects) {
  std::string text;
  for (int i = 0; i < objects; ++i) {
    std::string n = std::to_string(i);
    text += "<sprite id=" + n + " name=\"Part " + n + "\" tgafile=\"part_" + n +
            ".tga\" symmetry=bi-lateral columns=4 frames=1>\r\n";
    text += "<drawgroup id=" + n + " name=\"Group " + n + "\" ordering=obscured>\r\n";
    text += "<item sprite id=" + n + " alt=0.5 x=1 y=-1 \"direction offset\"=2>\r\n";
    text += "Notes between tags are skipped by the scanner.\r\n";
  }
  return text;
}

class MarkupFixture {
 public:
  MarkupFixture() {
    fPath = (std::filesystem::temp_directory_path() / ("pixmold_markup_bench_" + std::to_string(getpid()) + ".omk"))
                .string();
    fText = MakeMarkup(2000);
    std::ofstream(fPath, std::ios::binary) << fText;
  }
  ~MarkupFixture() { std::filesystem::remove(fPath); }
  const std::string& Path() const { return fPath; }
  const std::string& Text() const { return fText; }

 private:
  std::string fPath;
  std::string fText;
};

MarkupFixture& Fixture() {
  static MarkupFixture fixture;
  return fixture;
}

void BM_ReadMarkupFile(benchmark::State& state) {
  pixmold::FlatFile file;
  if (file.Open(Fixture().Path()) != pixmold::res_error::kNone) {
    state.SkipWithError("cannot open the generated markup file");
    return;
  }
  for (auto _ : state) {
    pixmold::TagList tags;
    pixmold::ReadMarkupFile(file, tags);
    benchmark::DoNotOptimize(tags.Count());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(Fixture().Text().size()));
}
BENCHMARK(BM_ReadMarkupFile)->Unit(benchmark::kMillisecond);

// The same text from memory: what the parser costs without the file layer.
void BM_ParseMarkupInMemory(benchmark::State& state) {
  for (auto _ : state) {
    pixmold::MemoryScanner source(Fixture().Text());
    pixmold::TagList tags;
    pixmold::ReadTags(source, tags);
    benchmark::DoNotOptimize(tags.Count());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(Fixture().Text().size()));
}
BENCHMARK(BM_ParseMarkupInMemory)->Unit(benchmark::kMillisecond);

}  // namespace
