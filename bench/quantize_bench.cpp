// Palettes for the large generated benchmark object, as a renderer leaves
// it (the demo generator's --truecolour: smoothly shaded sheets, no palette
// images), made two ways side by side:
//
//   BM_PixmoldPalette      what `pixmold palette --omk` does: read every sheet,
//                          one palette per group of sheets that share a
//                          palette id, map, write the palette images
//   BM_ImageMagickPalette  ImageMagick's `convert SHEETS +append -alpha off
//                          +dither -colors 256 OUT.bmp` on the same groups,
//                          the sheets of a group side by side on one image
//
// Each reports, per sheet, the PSNR in dB of its drawn pixels against the
// render (counter "dB_SHEET"), and the time for the whole set. ImageMagick
// is a development tool here, not a dependency: without `convert` on the
// path its benchmark is skipped. Its output is asked for as BMP3 (the plain
// 40-byte header our reader takes); the quantization is the same. The
// generator writes its truecolour TGAs top row first, which is the only
// order this ImageMagick reads right side up.
//
//   build/bench/bench/pixmold_bench --benchmark_filter='Palette/real_time' --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/palette_groups.h"
#include "filelib/ctg_file_manager.h"
#include "imaging/bmp_parser.h"
#include "imaging/offscreen.h"
#include "imaging/tga_parser.h"
#include "imaging/true_colour_sheet.h"
#include "quantize/palette_job.h"

namespace {

using namespace pixmold;

// Large cells (a 256-pixel tile row holds four 256 x 384 cells and the
// smaller zooms) and four extra sheets of two frames: about a megapixel a
// sheet.
constexpr const char* kGeneratorOptions =
    "--truecolour --lwidth 256 --lheight 384 --slopwidth 16 --extra-sheets 4 --extra-frames 2";

struct Render {
  std::string path;
  int width = 0;
  int height = 0;
  bool hasDepth = false;
  std::vector<std::uint32_t> argb;
};

// The object's sheets, made once per process, with their groups.
class BenchObject {
 public:
  BenchObject() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pixmold-quantize-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return;
    fDirectory = pattern + "/";
    const std::string command = std::string("/usr/bin/python3 ") + PIXMOLD_DEMO_GENERATOR + " " + fDirectory + " " +
                                kGeneratorOptions + " >/dev/null";
    if (std::system(command.c_str()) != 0) return;
    if (const auto groups = PaletteGroupsOf(fDirectory + "tableset.omk", fDirectory)) fGroups = *groups;
    for (const SheetGroup& group : fGroups) {
      for (const std::string& sheet : group.sheets) fRenders[sheet] = Read(sheet);
    }
  }
  ~BenchObject() {
    std::error_code ec;
    if (!fDirectory.empty()) std::filesystem::remove_all(fDirectory, ec);
  }
  static BenchObject& Get() {
    static BenchObject object;
    return object;
  }

  bool Ready() const { return !fGroups.empty(); }
  const std::string& Directory() const { return fDirectory; }
  const std::vector<SheetGroup>& Groups() const { return fGroups; }
  const Render& RenderOf(const std::string& sheet) const { return fRenders.at(sheet); }
  std::int64_t Pixels() const {
    std::int64_t total = 0;
    for (const auto& [path, render] : fRenders) total += std::int64_t{render.width} * render.height;
    return total;
  }

 private:
  static Render Read(const std::string& path) {
    Render render;
    render.path = path;
    TGAParser tga;
    if (tga.Open(path) != 0) return render;
    tga.GetSize(render.width, render.height);
    render.hasDepth = !tga.Is24Bit();
    render.argb.resize(std::size_t(render.width) * std::size_t(render.height));
    if (tga.RenderTrueColour(render.argb) != 0) render.argb.clear();
    return render;
  }

  std::string fDirectory;
  std::vector<SheetGroup> fGroups;
  std::map<std::string, Render> fRenders;
};

// The PSNR of a render's drawn pixels against the colours (0x00RRGGBB)
// shown for them.
double Psnr(const Render& render, const std::function<std::uint32_t(int x, int y)>& shown) {
  double squared = 0;
  std::int64_t drawn = 0;
  for (int y = 0; y < render.height; ++y) {
    for (int x = 0; x < render.width; ++x) {
      const std::uint32_t source = render.argb[std::size_t(y) * std::size_t(render.width) + std::size_t(x)];
      if (!DrawnInSheet(source, render.argb[0], render.hasDepth)) continue;
      const std::uint32_t got = shown(x, y);
      for (int shift : {0, 8, 16}) {
        const double d = double(source >> shift & 0xFF) - double(got >> shift & 0xFF);
        squared += d * d;
      }
      ++drawn;
    }
  }
  if (drawn == 0 || squared == 0) return 99;
  return 10 * std::log10(255.0 * 255.0 * 3.0 * double(drawn) / squared);
}

std::string CounterName(const std::string& sheet) {
  std::string name = std::filesystem::path(sheet).stem().string();
  if (name.starts_with("tableset_")) name = name.substr(9);
  return "dB_" + name;
}

void BM_PixmoldPalette(benchmark::State& state) {
  const BenchObject& object = BenchObject::Get();
  if (!object.Ready()) {
    state.SkipWithError("the generator could not make the object (needs /usr/bin/python3 with numpy and PIL)");
    return;
  }
  std::vector<PaletteRun> runs;
  for (auto _ : state) {
    runs.clear();
    for (const SheetGroup& group : object.Groups()) runs.push_back(MakePalettes(group.sheets, {}));
    if (!WritePaletteImages(runs, CTGFileManager::Get().Files()).ok) state.SkipWithError("cannot write");
  }
  for (const PaletteRun& run : runs) {
    for (const SheetResult& sheet : run.sheets) {
      const Render& render = object.RenderOf(sheet.sheet);
      state.counters[CounterName(sheet.sheet)] = Psnr(render, [&](int x, int y) {
        const PaletteEntry& e = run.palette[sheet.indices[std::size_t(y) * std::size_t(render.width) + std::size_t(x)]];
        return std::uint32_t{e.red} << 16 | std::uint32_t{e.green} << 8 | e.blue;
      });
    }
  }
  state.counters["MPixel/s"] =
      benchmark::Counter(double(object.Pixels()) * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PixmoldPalette)->Unit(benchmark::kMillisecond)->UseRealTime();

// The time is the convert processes' (wall clock, as a user waits for them).
void BM_ImageMagickPalette(benchmark::State& state) {
  const BenchObject& object = BenchObject::Get();
  if (!object.Ready()) {
    state.SkipWithError("the generator could not make the object (needs /usr/bin/python3 with numpy and PIL)");
    return;
  }
  if (std::system("convert -version >/dev/null 2>&1") != 0) {
    state.SkipWithError("no ImageMagick convert on the path (a development tool: apt-get install imagemagick)");
    return;
  }
  std::vector<std::string> outputs;
  for (auto _ : state) {
    outputs.clear();
    for (const SheetGroup& group : object.Groups()) {
      std::string command = "convert";
      for (const std::string& sheet : group.sheets) command += " '" + sheet + "'";
      const std::string out = object.Directory() + "magick" + std::to_string(outputs.size()) + ".bmp";
      command += " -background black +append -alpha off +dither -colors 256 'BMP3:" + out + "'";
      if (std::system(command.c_str()) != 0) state.SkipWithError("convert failed");
      outputs.push_back(out);
    }
  }
  for (std::size_t g = 0; g < outputs.size() && g < object.Groups().size(); ++g) {
    BMPParser bmp;
    if (bmp.Open(outputs[g]) != 0) {
      state.SkipWithError("cannot read convert's output");
      return;
    }
    int width = 0, height = 0;
    bmp.GetSize(width, height);
    Offscreen pixels;
    pixels.Create(Rect::Make(0, 0, width, height));
    bmp.ReadPixels(pixels);
    int left = 0;
    for (const std::string& sheet : object.Groups()[g].sheets) {
      const Render& render = object.RenderOf(sheet);
      state.counters[CounterName(sheet)] = Psnr(render, [&](int x, int y) {
        const PaletteEntry& e = bmp.GetColours()[pixels.PixelAt(left + x, y)];
        return std::uint32_t{e.red} << 16 | std::uint32_t{e.green} << 8 | e.blue;
      });
      left += render.width;
    }
  }
  state.counters["MPixel/s"] =
      benchmark::Counter(double(object.Pixels()) * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ImageMagickPalette)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
