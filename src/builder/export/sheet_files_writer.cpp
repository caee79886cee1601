#include "builder/export/sheet_files_writer.h"

#include <array>
#include <cstring>

#include "builder/sheet_files.h"
#include "filelib/file_system.h"
#include "imaging/image_writer.h"

namespace pixmold {

namespace {

// The sheet as the TGA stores it: each colour index as blue, green and red
// from a table packed once per sheet, then the depth for a 32-bit sheet.
void FillColourRow(const SheetCanvas& canvas, const std::array<std::uint32_t, 256>& packed, bool depth, int y,
                   std::span<std::uint8_t> row) {
  const auto index = canvas.ColourRow(y);
  std::uint8_t* out = row.data();
  if (depth) {
    const auto alpha = canvas.DepthRow(y);
    for (std::size_t x = 0; x < index.size(); ++x, out += 4) {
      const std::uint32_t pixel = packed[index[x]] | std::uint32_t{alpha[x]} << 24;
      std::memcpy(out, &pixel, 4);
    }
    return;
  }
  for (std::size_t x = 0; x < index.size(); ++x, out += 3) {
    const std::uint32_t pixel = packed[index[x]];
    std::memcpy(out, &pixel, 3);
  }
}

}  // namespace

std::string WriteSheetFiles(FileSystem& files, const std::string& directory, const SheetPlan& sheet,
                            const SheetCanvas& canvas, std::vector<std::uint8_t>& scratch,
                            std::vector<std::string>& written) {
  const SheetFileNames names = DeriveSheetFileNames(directory, sheet.fileName);
  // Little-endian words, as the file stores the bytes: blue lowest.
  std::array<std::uint32_t, 256> packed{};
  for (std::size_t i = 0; i < packed.size(); ++i) {
    const PaletteEntry& colour = sheet.colours[i];
    packed[i] = std::uint32_t{colour.blue} | std::uint32_t{colour.green} << 8 | std::uint32_t{colour.red} << 16;
  }
  // A file that could not be written whole is not left behind.
  auto record = [&](const std::string& path, const std::string& problem) {
    if (!problem.empty()) {
      files.Remove(path);
      return "cannot write " + path + ": " + problem;
    }
    written.push_back(path);
    return std::string();
  };

  std::string problem = record(
      names.image,
      WriteTgaFile(
          files, names.image, sheet.width, sheet.height, sheet.depth ? 32 : 24,
          [&](int y, std::span<std::uint8_t> row) { FillColourRow(canvas, packed, sheet.depth, y, row); }, scratch));
  if (!problem.empty()) return problem;

  problem = record(names.paletteImage, WriteBmp8File(
                                           files, names.paletteImage, sheet.width, sheet.height, sheet.colours,
                                           [&](int y, std::span<std::uint8_t> row) {
                                             const auto index = canvas.ColourRow(y);
                                             std::copy(index.begin(), index.end(), row.begin());
                                           },
                                           scratch));
  if (!problem.empty() || !sheet.alpha) return problem;

  return record(names.alphaImage, WriteTgaFile(
                                      files, names.alphaImage, sheet.width, sheet.height, 24,
                                      [&](int y, std::span<std::uint8_t> row) {
                                        const auto coverage = canvas.AlphaRow(y);
                                        std::uint8_t* out = row.data();
                                        for (std::uint8_t value : coverage) {
                                          *out++ = value;
                                          *out++ = value;
                                          *out++ = value;
                                        }
                                      },
                                      scratch));
}

}  // namespace pixmold
