#include "builder/export/sheet_files_writer.h"

#include "builder/sheet_files.h"
#include "filelib/file_system.h"
#include "imaging/image_writer.h"

namespace pixmold {

std::string WriteSheetFiles(FileSystem& files, const std::string& directory, const SheetPlan& sheet,
                            const SheetCanvas& canvas, std::vector<std::string>& written) {
  const SheetFileNames names = DeriveSheetFileNames(directory, sheet.fileName);
  const auto& colours = sheet.colours;
  const int bits = sheet.depth ? 32 : 24;
  // A file that could not be written whole is not left behind.
  auto record = [&](const std::string& path, const std::string& problem) {
    if (!problem.empty()) {
      files.Remove(path);
      return "cannot write " + path + ": " + problem;
    }
    written.push_back(path);
    return std::string();
  };

  std::string problem = record(names.image, WriteTgaFile(files, names.image, sheet.width, sheet.height, bits,
                                                         [&](int y, std::span<std::uint8_t> row) {
                                                           const auto index = canvas.ColourRow(y);
                                                           const auto depth = canvas.DepthRow(y);
                                                           std::uint8_t* out = row.data();
                                                           for (std::size_t x = 0; x < index.size(); ++x) {
                                                             const PaletteEntry& colour = colours[index[x]];
                                                             *out++ = colour.blue;
                                                             *out++ = colour.green;
                                                             *out++ = colour.red;
                                                             if (bits == 32) *out++ = depth[x];
                                                           }
                                                         }));
  if (!problem.empty()) return problem;

  problem = record(names.paletteImage, WriteBmp8File(files, names.paletteImage, sheet.width, sheet.height, colours,
                                                     [&](int y, std::span<std::uint8_t> row) {
                                                       const auto index = canvas.ColourRow(y);
                                                       std::copy(index.begin(), index.end(), row.begin());
                                                     }));
  if (!problem.empty() || !sheet.alpha) return problem;

  return record(names.alphaImage, WriteTgaFile(files, names.alphaImage, sheet.width, sheet.height, 24,
                                               [&](int y, std::span<std::uint8_t> row) {
                                                 const auto coverage = canvas.AlphaRow(y);
                                                 std::uint8_t* out = row.data();
                                                 for (std::uint8_t value : coverage) {
                                                   *out++ = value;
                                                   *out++ = value;
                                                   *out++ = value;
                                                 }
                                               }));
}

}  // namespace pixmold
