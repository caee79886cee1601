// A whole sprite sheet to a stored list, the way the sprite pass makes an
// SPR# list: load the BMP palette image and the 32-bit TGA render, trim the
// cells and compress colour and depth into one list in stored byte order.
// The sheet is generated once per run: 8 columns by 4 rows of 128 x 128
// cells, each a shaded ellipse on a clear background with smooth depth.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "imaging/offscreen.h"
#include "imaging/spr_compressor.h"
#include "imaging/sprite_lists.h"
#include "imaging/sprite_sheet.h"
#include "resfile/mem_handle.h"

namespace {

constexpr int kCell = 128;
constexpr int kColumns = 8;
constexpr int kRows = 4;
constexpr int kWidth = kCell * kColumns;
constexpr int kHeight = kCell * kRows;
constexpr std::uint8_t kClear = 255;

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// Inside the cell's ellipse: the shade (0..1) and depth of the pixel.
bool Blob(int x, int y, double& shade, int& depth) {
  const double dx = ((x % kCell) + 0.5 - kCell / 2.0) / (kCell * 0.35);
  const double dy = ((y % kCell) + 0.5 - kCell / 2.0) / (kCell * 0.42);
  const double r = dx * dx + dy * dy;
  if (r >= 1.0) return false;
  shade = 1.0 - r;
  depth = static_cast<int>(40 + 150 * r);
  return true;
}

std::vector<std::uint8_t> MakeBmp() {
  std::vector<std::uint8_t> out;
  const std::uint32_t pixelOffset = 14 + 40 + 256 * 4;
  const std::uint32_t pixelBytes = static_cast<std::uint32_t>(kWidth) * kHeight;
  out.push_back('B');
  out.push_back('M');
  Put32(out, pixelOffset + pixelBytes);
  Put32(out, 0);
  Put32(out, pixelOffset);
  for (std::uint32_t v : {40u, static_cast<std::uint32_t>(kWidth), static_cast<std::uint32_t>(kHeight)}) Put32(out, v);
  Put16(out, 1);
  Put16(out, 8);
  for (std::uint32_t v : {0u, pixelBytes, 2835u, 2835u, 0u, 0u}) Put32(out, v);
  // A warm ramp in 10..245 (stored blue, green, red, 0); the ends are grey.
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<std::uint8_t>(i);
    out.insert(out.end(), {static_cast<std::uint8_t>(v / 3), static_cast<std::uint8_t>(v / 2), v, 0});
  }
  for (int y = kHeight - 1; y >= 0; --y) {
    for (int x = 0; x < kWidth; ++x) {
      double shade = 0;
      int depth = 0;
      out.push_back(Blob(x, y, shade, depth) ? static_cast<std::uint8_t>(10 + shade * 235) : kClear);
    }
  }
  return out;
}

std::vector<std::uint8_t> MakeTga() {
  std::vector<std::uint8_t> out = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  Put16(out, kWidth);
  Put16(out, kHeight);
  out.push_back(32);
  out.push_back(0x28);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      double shade = 0;
      int depth = 255;
      const bool inside = Blob(x, y, shade, depth);
      const auto grey = static_cast<std::uint8_t>(inside ? shade * 255 : 0);
      out.insert(out.end(), {grey, grey, grey, static_cast<std::uint8_t>(inside ? depth : 255)});
    }
  }
  return out;
}

class SheetFixture {
 public:
  SheetFixture() {
    const auto base = std::filesystem::temp_directory_path() / ("pixmold_sheet_bench_" + std::to_string(getpid()));
    fBmp = base.string() + ".bmp";
    fTga = base.string() + ".tga";
    Write(fBmp, MakeBmp());
    Write(fTga, MakeTga());
    for (int row = 0; row < kRows; ++row)
      for (int column = 0; column < kColumns; ++column)
        fCells.push_back(pixmold::Rect::Make(column * kCell, row * kCell, (column + 1) * kCell, (row + 1) * kCell));
  }
  ~SheetFixture() {
    std::filesystem::remove(fBmp);
    std::filesystem::remove(fTga);
  }

  std::string fBmp, fTga;
  std::vector<pixmold::Rect> fCells;

 private:
  static void Write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
};

SheetFixture& Fixture() {
  static SheetFixture fixture;
  return fixture;
}

void BM_SheetToStoredList(benchmark::State& state) {
  const SheetFixture& sheet = Fixture();
  std::int64_t listBytes = 0;
  for (auto _ : state) {
    pixmold::Offscreen colour, depth;
    pixmold::MakeOffscreens(sheet.fBmp, sheet.fTga, colour, depth);
    std::vector<pixmold::Rect> trimmed;
    pixmold::MHandle list =
        pixmold::MakeSpriteList(&colour, &depth, sheet.fCells, trimmed, pixmold::spr_side::kAll, 100, true);
    listBytes = pixmold::GetHandleSize(list);
    pixmold::DisposeHandle(list);
  }
  state.counters["list_bytes"] = static_cast<double>(listBytes);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(sheet.fCells.size()));
  state.SetBytesProcessed(state.iterations() * std::int64_t{kWidth} * kHeight * 5);
}
BENCHMARK(BM_SheetToStoredList)->Unit(benchmark::kMillisecond);

// The compression alone, on offscreens loaded once.
void BM_CompressSheet(benchmark::State& state) {
  const SheetFixture& sheet = Fixture();
  pixmold::Offscreen colour, depth;
  pixmold::MakeOffscreens(sheet.fBmp, sheet.fTga, colour, depth);
  for (auto _ : state) {
    std::vector<pixmold::Rect> trimmed;
    pixmold::MHandle list =
        pixmold::MakeSpriteList(&colour, &depth, sheet.fCells, trimmed, pixmold::spr_side::kAll, 100, true);
    pixmold::DisposeHandle(list);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(sheet.fCells.size()));
}
BENCHMARK(BM_CompressSheet)->Unit(benchmark::kMillisecond);

}  // namespace
