// Which sheets of an object must share a palette. A sprite's PALT is
// written from its sheet's palette image under the sprite's palette id, so
// sheets whose sprites name one palette id need one colour table, and a
// sheet cut into sprites of two ids joins both groups. Each group is what
// one run of the palette maker takes ("Make palettes" in the dialog,
// `pixmold palette --omk`).
//
// Sheets come from the "sprite" and "headline" tags' "tgafile" attribute, in
// the markup's order; "bmpfile" sprites have no truecolour sheet to
// quantize, and wall styles take their colours from elsewhere.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pixmold {

struct SheetGroup {
  std::vector<std::int32_t> paletteIds;  // the ids that bind the group, ascending; empty for a sheet alone
  std::vector<std::string> sheets;       // image directory + tgafile (its case as on disk), in markup order
};

// The groups of the markup file, in the order of their first sheet; nothing
// when the file cannot be read. Given leavingFolder, a file name of the
// markup that leaves its folder is named there (with its line), and there
// are no groups: the palette images would be written beside such a sheet.
std::optional<std::vector<SheetGroup>> PaletteGroupsOf(const std::string& omkPath, std::string_view imageDirectory,
                                                       std::string* leavingFolder = nullptr);

}  // namespace pixmold
