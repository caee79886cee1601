// Previews of every draw group of the large generated benchmark object (16
// draw groups of 24 views each, built once by `pixmold build` in a process of
// its own). "Whole" is `pixmold preview OBJECT DGRP --all` as a user runs
// it, start-up included, at one thread and at two; the goal is under a
// second. "ContactSheets" is the drawing of each draw group's contact sheet
// alone, from views composed beforehand: the part of a preview that is
// neither decoding nor PNG encoding.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <list>
#include <string>
#include <vector>

#include "imaging/contact_sheet.h"
#include "imaging/draw_group_compositor.h"
#include "large_object.h"
#include "resfile/obj_res_file.h"

namespace {

using namespace pixmold;

std::string QuotedArgument(const std::string& text) { return "'" + text + "'"; }

// The built object's base name; empty when the build failed. The build runs
// in a child process, so none of its memory is counted here.
const std::string& PreviewedObject() {
  static const std::string object = [] {
    const std::string path = bench::LargeObject::Get().FreshObject();
    const std::string command =
        QuotedArgument(PIXMOLD_CLI_PATH) + " build " + QuotedArgument(path) + " --quiet >/dev/null";
    return std::system(command.c_str()) == 0 ? path.substr(0, path.size() - 4) : std::string();
  }();
  return object;
}

void BM_PreviewWholeLargeObject(benchmark::State& state) {
  const std::string& object = PreviewedObject();
  if (object.empty()) {
    state.SkipWithError("the large object did not build");
    return;
  }
  const std::string directory = bench::LargeObject::Get().Directory() + "previews/";
  const std::string command = QuotedArgument(PIXMOLD_CLI_PATH) + " preview " + QuotedArgument(object) +
                              " DGRP --all -q --threads " + std::to_string(state.range(0)) + " -o " +
                              QuotedArgument(directory);
  // Previews are made again after each build into the same folder, so the
  // files are there already; making 400 files anew just after removing
  // them measured the file system's inode search, not the preview.
  std::filesystem::remove_all(directory);
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("pixmold preview failed");
  }
  state.counters["draw_groups"] = bench::kLargeSheets;
}
BENCHMARK(BM_PreviewWholeLargeObject)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_PreviewContactSheets(benchmark::State& state) {
  const std::string& object = PreviewedObject();
  if (object.empty()) {
    state.SkipWithError("the large object did not build");
    return;
  }
  ObjResFile file;
  file.OpenFile(CTGString(object));
  // Every view of every draw group, composed once.
  std::list<ComposedView> views;
  std::vector<std::vector<ContactSheetCell>> sheets;
  DrawGroupCompositor compositor(file);
  for (int group = 0; group < bench::kLargeSheets; ++group) {
    if (!compositor.Load(static_cast<ResID>(100 + group)).empty()) {
      state.SkipWithError("a draw group of the large object is missing");
      return;
    }
    compositor.ForgetListsNotShown();
    std::vector<ContactSheetView> placed;
    for (int zoom = 3; zoom >= 1; --zoom) {
      for (int direction = 0; direction < 8; ++direction) {
        if (!compositor.HasView(direction, zoom)) continue;
        compositor.Compose(direction, zoom, views.emplace_back());
        placed.push_back({direction, zoom, &views.back()});
      }
    }
    sheets.push_back(ArrangeByDirectionAndZoom(placed));
  }
  file.CloseFile();
  std::int64_t pixels = 0;
  for (auto _ : state) {
    for (const std::vector<ContactSheetCell>& cells : sheets) {
      const PreviewImage sheet = MakeContactSheet(cells, ContactSheetChannel::kColour);
      pixels += static_cast<std::int64_t>(sheet.width) * sheet.height;
      benchmark::DoNotOptimize(sheet.pixels.data());
    }
  }
  state.counters["MPixel/s"] = benchmark::Counter(static_cast<double>(pixels) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PreviewContactSheets)->Unit(benchmark::kMillisecond);

}  // namespace
