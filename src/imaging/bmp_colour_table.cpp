#include "imaging/bmp_colour_table.h"

#include "base/byte_cursor.h"
#include "imaging/bmp_format.h"

namespace pixmold {

BmpColourTable ReadBmpColourTable(std::span<const std::uint8_t> fileBytes) {
  BmpColourTable table;
  ByteCursor in(fileBytes, ByteOrder::kLittle);
  BmpFileHeader header;
  BmpInfoHeader info;
  if (!ReadBmpFileHeader(in, header) || header.magic != kBmpMagic || !ReadBmpInfoHeader(in, info) ||
      info.biSize < kBmpInfoHeaderSize) {
    table.problem = ColourTableProblem::kNotBmp;
    return table;
  }
  table.bitCount = info.biBitCount;
  if (info.biBitCount != 8) {
    table.problem = ColourTableProblem::kNotIndexed;
    return table;
  }
  const std::uint32_t count = BmpColourCount(info);
  if (count > table.colours.size()) {
    table.problem = ColourTableProblem::kTooManyColours;
    return table;
  }
  // The cursor stands after 40 bytes of the info header; later versions add
  // theirs before the table.
  in.Skip(info.biSize - kBmpInfoHeaderSize);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t blue = in.U8(), green = in.U8(), red = in.U8();
    in.Skip(1);
    table.colours[i] = {red, green, blue, 0};
  }
  if (in.Failed()) {
    table = {};
    table.problem = ColourTableProblem::kCutShort;
    return table;
  }
  table.count = count;
  return table;
}

std::string ColourTableProblemText(const BmpColourTable& table) {
  switch (table.problem) {
    case ColourTableProblem::kNone: return "";
    case ColourTableProblem::kNotBmp: return "not a BMP file";
    case ColourTableProblem::kNotIndexed:
      return "palette image must be 8-bit indexed (it is " + std::to_string(table.bitCount) + "-bit)";
    case ColourTableProblem::kTooManyColours: return "the colour table claims more than 256 colours";
    case ColourTableProblem::kCutShort: return "the file ends inside its colour table";
  }
  return "";
}

}  // namespace pixmold
