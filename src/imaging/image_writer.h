// Writes the sheets an artist edits: uncompressed TGA (24 or 32 bits, top row
// first) and 8-bit BMP with its 256-colour table, the two forms the build's
// readers take and every image editor opens.
//
// A production sheet is large (1792 x 1536 at 32 bits is 11 MB), so a file is
// streamed: the caller fills one row at a time into a chunk that goes to the
// file whenever it is full, and no whole file is held in memory. Files go
// through the FileSystem layer, so a test can fail any write or keep the
// files in memory.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "imaging/palette_entry.h"

namespace pixmold {

class FileSystem;

// Fills the bytes of row y (top row is 0): blue, green, red (and alpha) per
// pixel for a TGA, one colour index per pixel for a BMP.
using ImageRowFiller = std::function<void(int y, std::span<std::uint8_t> row)>;

inline constexpr int kMaxWrittenImageSide = 65535;

// Both return an empty string when the whole file was written, else why not.
// The chunk is collected in `scratch`, which a caller writing many files
// keeps from one to the next.
std::string WriteTgaFile(FileSystem& files, const std::string& path, int width, int height, int bitsPerPixel,
                         const ImageRowFiller& fill, std::vector<std::uint8_t>& scratch);
std::string WriteBmp8File(FileSystem& files, const std::string& path, int width, int height,
                          std::span<const PaletteEntry, 256> colours, const ImageRowFiller& fill,
                          std::vector<std::uint8_t>& scratch);

}  // namespace pixmold
