// Feeds arbitrary bytes to the BMP reader, reads the pixels of whatever it
// opens, and runs the palette probe, the quiet colour-table reader, the
// palette file reader and the descriptions of a bad palette image over the
// same bytes. The bytes reach the readers as a file of a memory file system,
// as a build reads them: headers first, the rest only when the pixels are
// read.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "base/byte_cursor.h"
#include "base/xassert.h"
#include "filelib/ctg_file_manager.h"
#include "filelib/memory_file_system.h"
#include "imaging/bmp_colour_table.h"
#include "imaging/bmp_format.h"
#include "imaging/bmp_parser.h"
#include "imaging/image_problems.h"
#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "mute_asserts.h"

namespace {

constexpr int kMaxFuzzPixels = 1 << 23;
constexpr const char* kPath = "/in/image.bmp";

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

  pixmold::ByteCursor reader(bytes, pixmold::ByteOrder::kLittle);
  std::uint32_t colourCount = 0;
  pixmold::ProbeBmpPalette(reader, colourCount);
  pixmold::ReadBmpColourTable(bytes);

  Files().AddFile(kPath, bytes);
  std::array<pixmold::PaletteEntry, pixmold::PalWrap::kMaxColours> colours{};
  pixmold::PalWrap::ReadPaletteFile(kPath, colours);
  pixmold::BmpImageProblem(kPath, "palette image");
  pixmold::PaletteFileProblem(kPath, "palette image");

  pixmold::BMPParser parser;
  if (parser.Open(kPath) != 0) return 0;
  int width = 0, height = 0;
  parser.GetSize(width, height);
  if (width <= 0 || height <= 0 || static_cast<std::int64_t>(width) * height > kMaxFuzzPixels) return 0;
  static pixmold::PalWrap palette;
  pixmold::Offscreen offscreen;
  if (!offscreen.Create(pixmold::Rect::Make(0, 0, width, height), &palette)) return 0;
  parser.ReadPixels(offscreen);
  return 0;
}
