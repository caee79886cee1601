#include "imaging/bmp_colour_table.h"

#include <gtest/gtest.h>

#include "image_bytes.h"

namespace pixmold {
namespace {

using testing::Bytes;

// Headers with the given info header size: BmpHeaders writes the 40 bytes
// every version starts with, later versions add theirs before the table.
Bytes Headers(std::uint32_t infoSize, testing::BmpSpec spec) {
  spec.infoSize = infoSize;
  Bytes file = testing::BmpHeaders(spec, 0);
  file.insert(file.begin() + 54, infoSize - 40, 0);
  return file;
}

TEST(BmpColourTable, TakesTheTableAfterTheStatedHeaderOrSaysWhatIsWrong) {
  const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes cut = Headers(40, {});
  cut.pop_back();
  Bytes core = Headers(40, {});
  core[14] = 12;  // the old 12-byte header has no bit count where ours reads one
  const struct {
    const char* name;
    Bytes file;
    std::uint32_t count;
    std::string problem;
  } cases[] = {
      {"plain", Headers(40, {}), 256, ""},
      {"version 4, 16 colours", Headers(108, {.clrUsed = 16, .paletteEntries = 16}), 16, ""},
      {"version 5", Headers(124, {}), 256, ""},
      {"24-bit", Headers(40, {.bitCount = 24, .paletteEntries = 0}), 0,
       "palette image must be 8-bit indexed (it is 24-bit)"},
      {"png", png, 0, "not a BMP file"},
      {"core header", core, 0, "not a BMP file"},
      {"300 colours", Headers(40, {.clrUsed = 300}), 0, "the colour table claims more than 256 colours"},
      {"cut", cut, 0, "the file ends inside its colour table"},
  };
  for (const auto& c : cases) {
    const BmpColourTable table = ReadBmpColourTable(c.file);
    EXPECT_EQ(ColourTableProblemText(table), c.problem) << c.name;
    EXPECT_EQ(table.count, c.count) << c.name;
    if (c.count == 0) continue;
    for (std::uint32_t i = 0; i < 256; ++i) {
      const PaletteEntry want =
          i < c.count ? PaletteEntry{std::uint8_t(i / 2), std::uint8_t(255 - i), std::uint8_t(i), 0} : PaletteEntry{};
      ASSERT_EQ(table.colours[i], want) << c.name << " entry " << i;
    }
  }
}

}  // namespace
}  // namespace pixmold
