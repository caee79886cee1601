// Drawing one draw group view the way a preview does: six items, each a
// 384 x 384 SPR2 frame with depth and an alpha rim (an object's parts
// overlap on screen), in a resource file kept in memory. "Cold" includes
// loading the draw group and decoding its lists, as the first view of a
// preview pays; "Warm" is every further view of the same group. Items are
// pixels of the frames drawn.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <ostream>
#include <vector>

#include "base/report.h"
#include "filelib/ctg_file_manager.h"
#include "filelib/memory_file_system.h"
#include "imaging/draw_group_compositor.h"
#include "imaging/sprite2_compressor.h"
#include "records/draw_group.h"
#include "resfile/handle_owner.h"
#include "resfile/iff_res_file2.h"

namespace pixmold {
namespace {

constexpr int kSize = 384;
constexpr int kItems = 6;

void AddBytes(iResFile& file, ResType type, ResID id, const std::vector<std::uint8_t>& bytes) {
  MHandle handle = NewHandle(static_cast<std::uint32_t>(bytes.size()));
  {
    HandleLock lock(handle);
    std::copy(bytes.begin(), bytes.end(), lock.Data());
  }
  file.AddResource(handle, type, id, CTGString(""), true);
}

std::vector<std::uint8_t> RenderedList(int seed) {
  std::vector<std::uint8_t> colour(kSize * kSize), depth(kSize * kSize), alpha(kSize * kSize);
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const double dx = (x + 0.5 - kSize / 2.0) / (kSize * 0.4), dy = (y + 0.5 - kSize / 2.0) / (kSize * 0.45);
      const double r = dx * dx + dy * dy;
      const auto at = static_cast<std::size_t>(y * kSize + x);
      colour[at] = static_cast<std::uint8_t>(16 + static_cast<int>((1.0 - r) * 30) + seed);
      depth[at] = r < 1.0 ? static_cast<std::uint8_t>(40 + r * 150 + seed * 5) : 255;
      alpha[at] = r < 1.0 ? (r > 0.9 ? 128 : 255) : 0;
    }
  }
  const PixelView c{colour.data(), kSize, kSize, kSize}, z{depth.data(), kSize, kSize, kSize},
      a{alpha.data(), kSize, kSize, kSize};
  const Rect rect = Rect::Make(0, 0, kSize, kSize);
  // The clear rows under the ellipse are reported once per frame; not here.
  std::ostream sink(nullptr);
  ScopedReportTarget quiet(ReportTarget{&sink, nullptr, nullptr, nullptr});
  Sprite2Compressor compressor;
  OwnedHandle frame = compressor.EncodeZPA(c, z, a, rect, rect, 5);
  HandleLock lock(frame.Get());
  std::vector<std::uint8_t> list = {0xE8, 3, 0, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 16, 0, 0, 0};
  list.insert(list.end(), lock.Data(), lock.Data() + lock.Size());
  return list;
}

struct Object {
  Object() : manager(files), file(manager) {
    file.CreateFile("/bench.iff");
    file.OpenFile("/bench.iff");
    DrawGroup group;
    DrawGroupImage& image = group.AddImage();
    image.directionMask = 1;
    image.zoom = 3;
    for (int i = 0; i < kItems; ++i) {
      AddBytes(file, MakeResType("SPR2"), static_cast<ResID>(200 + i), RenderedList(i));
      DrawGroupItem item;
      item.spriteId = 200 + i;
      item.offsetX = -kSize / 2 + (i % 3) * 40;
      item.offsetY = kSize / 2 + (i / 3) * 30;
      item.flags = i % 2 != 0 ? DrawGroupItem::kFlagMirrored : 0;
      image.items.push_back(item);
    }
    group.Save(file, 100);
  }
  MemoryFileSystem files;
  CTGFileManager manager;
  IFFResFile2 file;
};

Object& TheObject() {
  static Object object;
  return object;
}

void BM_ComposeViewCold(benchmark::State& state) {
  Object& object = TheObject();
  for (auto _ : state) {
    DrawGroupCompositor compositor(object.file);
    compositor.Load(100);
    ComposedView view;
    compositor.Compose(0, 3, view);
    benchmark::DoNotOptimize(view.colour.pixels.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kItems * kSize * kSize);
}
BENCHMARK(BM_ComposeViewCold);

void BM_ComposeViewWarm(benchmark::State& state) {
  Object& object = TheObject();
  DrawGroupCompositor compositor(object.file);
  compositor.Load(100);
  for (auto _ : state) {
    ComposedView view;
    compositor.Compose(0, 3, view);
    benchmark::DoNotOptimize(view.colour.pixels.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kItems * kSize * kSize);
}
BENCHMARK(BM_ComposeViewWarm);

}  // namespace
}  // namespace pixmold
