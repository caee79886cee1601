// Draws every view of a draw group made of arbitrary bytes, over sprite
// lists and a palette made of arbitrary bytes, in a small resource file kept
// in memory. The first two input bytes (little-endian) say how many of the
// following bytes form the DGRP; the rest is stored as SPR2 1, SPR# 2 and
// PALT 1, so items that name sprite 1 or 2 reach the decoders.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "base/xassert.h"
#include "filelib/ctg_file_manager.h"
#include "filelib/memory_file_system.h"
#include "imaging/draw_group_compositor.h"
#include "resfile/handle_owner.h"
#include "resfile/iff_res_file2.h"

namespace {

using namespace pixmold;

void Add(iResFile& file, ResType type, ResID id, std::span<const std::uint8_t> bytes) {
  MHandle handle = NewHandle(static_cast<std::uint32_t>(bytes.size()));
  if (handle == nullptr) return;
  {
    HandleLock lock(handle);
    for (std::size_t i = 0; i < bytes.size(); ++i) lock.Data()[i] = bytes[i];
  }
  if (file.AddResource(handle, type, id, CTGString(""), true) != 0) DisposeHandle(handle);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const AssertSink quiet = SetAssertSink([](const std::string&) {});
  (void)quiet;
  if (size < 2) return 0;
  const std::span input(data, size);
  const std::size_t split = std::min<std::size_t>(input[0] | (std::size_t{input[1]} << 8), size - 2);
  const auto dgrp = input.subspan(2, split);
  const auto lists = input.subspan(2 + split);

  MemoryFileSystem files;
  CTGFileManager manager(files);
  IFFResFile2 file(manager);
  if (file.CreateFile("/fuzz.iff") != 0 || file.OpenFile("/fuzz.iff") != 0) std::abort();
  Add(file, MakeResType("DGRP"), 1, dgrp);
  Add(file, MakeResType("SPR2"), 1, lists);
  Add(file, MakeResType("SPR#"), 2, lists);
  Add(file, MakeResType("PALT"), 1, lists);

  SpriteDecodeLimits limits;
  limits.maxWidth = 1024;
  limits.maxHeight = 1024;
  limits.maxPixels = 1 << 18;
  DrawGroupCompositor compositor(file, limits);
  if (compositor.Load(1).empty()) {
    for (int zoom = 1; zoom <= 3; ++zoom) {
      for (int direction = 0; direction < 8; ++direction) {
        ComposedView view;
        if (!compositor.Compose(direction, zoom, view).empty()) continue;
        const auto pixels = static_cast<std::size_t>(view.colour.width) * static_cast<std::size_t>(view.colour.height);
        if (view.colour.pixels.size() != 4 * pixels || view.depth.pixels.size() != pixels) std::abort();
        if (view.referenceX < 0 || view.referenceX >= view.colour.width || view.referenceY < 0 ||
            view.referenceY >= view.colour.height) {
          std::abort();
        }
      }
    }
  }
  file.CloseFile();
  return 0;
}
