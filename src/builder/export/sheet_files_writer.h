// Writes a painted sheet as the files a sprite tag reads: NAME.tga (32-bit
// with the depth in its alpha, or 24-bit for a sheet without depth) in the
// palette's colours so an editor shows the art, NAME.bmp holding the colour
// indices the build actually takes and the palette, and NAMEalpha.tga with
// the coverage as grey for a sheet whose frames carry it.
#pragma once

#include <string>
#include <vector>

#include "builder/export/art_plan.h"
#include "builder/export/sheet_canvas.h"

namespace pixmold {

class FileSystem;

// Appends each file written to `written` (directory + name); returns why a
// file could not be written, or an empty string. `scratch` is the image
// writers' chunk, kept by a caller that writes many sheets.
std::string WriteSheetFiles(FileSystem& files, const std::string& directory, const SheetPlan& sheet,
                            const SheetCanvas& canvas, std::vector<std::uint8_t>& scratch,
                            std::vector<std::string>& written);

}  // namespace pixmold
