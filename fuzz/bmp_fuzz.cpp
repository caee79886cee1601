// Feeds arbitrary bytes to the BMP reader, reads the pixels of whatever it
// opens, and runs the palette probe and the quiet colour-table reader over
// the same bytes.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "base/byte_cursor.h"
#include "base/xassert.h"
#include "imaging/bmp_colour_table.h"
#include "imaging/bmp_format.h"
#include "imaging/bmp_parser.h"
#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "mute_asserts.h"

namespace {

constexpr int kMaxFuzzPixels = 1 << 23;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pixmold::MuteAssertReports();
  const std::span<const std::uint8_t> bytes(data, size);

  pixmold::ByteCursor reader(bytes, pixmold::ByteOrder::kLittle);
  std::uint32_t colourCount = 0;
  pixmold::ProbeBmpPalette(reader, colourCount);
  pixmold::ReadBmpColourTable(bytes);

  pixmold::BMPParser parser;
  if (parser.OpenBytes(bytes) != 0) return 0;
  int width = 0, height = 0;
  parser.GetSize(width, height);
  if (width <= 0 || height <= 0 || static_cast<std::int64_t>(width) * height > kMaxFuzzPixels) return 0;
  static pixmold::PalWrap palette;
  pixmold::Offscreen offscreen;
  if (!offscreen.Create(pixmold::Rect::Make(0, 0, width, height), &palette)) return 0;
  parser.ReadPixels(offscreen);
  return 0;
}
