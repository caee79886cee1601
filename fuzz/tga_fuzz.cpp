// Feeds arbitrary bytes to the TGA reader and renders whatever it accepts.
// The last byte chooses the destinations (colour, depth, both or neither),
// whether the palette reserves the system colours, and whether the pixels
// are decoded as they are, before any palette, so one target covers every
// render path. Pixels decoded as they are must come out the same when the
// file is read row by row through the file library, as the palette check
// reads a sheet. The description of a bad sheet is made from the same bytes,
// read as a file of a memory file system.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/xassert.h"
#include "filelib/ctg_file_manager.h"
#include "filelib/memory_file_system.h"
#include "imaging/image_problems.h"
#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "imaging/tga_parser.h"
#include "mute_asserts.h"

namespace {

// Enough for any image a 64 KiB input can describe with run-length data.
constexpr int kMaxFuzzPixels = 1 << 23;

pixmold::PalWrap& FuzzPalette(bool systemColours) {
  static pixmold::PalWrap palettes[2];
  pixmold::PalWrap& palette = palettes[systemColours ? 1 : 0];
  if (palette.GetColourTable().empty()) {
    std::array<pixmold::PaletteEntry, 256> colours{};
    for (int i = 0; i < 256; ++i) {
      colours[i] = {static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(i * 91),
                    static_cast<std::uint8_t>(i * 13), 0};
    }
    palette.SetFromColours(colours, systemColours);
  }
  return palette;
}

pixmold::MemoryFileSystem& Files() {
  static pixmold::MemoryFileSystem files;
  static bool installed = false;
  if (!installed) {
    pixmold::CTGFileManager::Get().SetFileSystem(files);
    installed = true;
  }
  return files;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pixmold::MuteAssertReports();
  const std::span<const std::uint8_t> bytes(data, size);
  const std::uint8_t options = size > 0 ? data[size - 1] : 0;

  Files().AddFile("/in/sheet.tga", bytes);
  pixmold::TgaSheetProblem("/in/sheet.tga");

  pixmold::TGAParser parser;
  if (parser.OpenBytes(bytes) != 0) return 0;
  int width = 0, height = 0;
  parser.GetSize(width, height);
  if (static_cast<std::int64_t>(width) * height > kMaxFuzzPixels) return 0;

  if (options & 8) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    bool whole = false;
    try {
      whole = parser.RenderTrueColour(pixels) == 0;
    } catch (const pixmold::TgaReadError&) {
    }
    parser.Close();
    pixmold::TGAParser rows;
    if (whole && rows.Open("/in/sheet.tga") == 0) {
      std::size_t at = 0;
      rows.VisitTrueColourRows([&](int, std::span<const std::uint32_t> row) {
        for (const std::uint32_t value : row) {
          if (at >= pixels.size() || pixels[at++] != value) __builtin_trap();
        }
      });
      if (at != pixels.size()) __builtin_trap();
      rows.Close();
    }
    return 0;
  }
  pixmold::PalWrap& palette = FuzzPalette(options & 4);
  pixmold::Offscreen colour, depth;
  const bool sized = width > 0 && height > 0 && width <= 0x7FFF && height <= 0x7FFF;
  if (sized && (options & 1)) colour.Create(pixmold::Rect::Make(0, 0, width, height), &palette);
  if (sized && (options & 2)) depth.Create(pixmold::Rect::Make(0, 0, width, height), &palette);
  try {
    parser.Render(colour.Exists() ? &colour : nullptr, depth.Exists() ? &depth : nullptr);
  } catch (const pixmold::TgaReadError&) {
  }
  parser.Close();
  return 0;
}
