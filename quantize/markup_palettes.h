// The palettes of one object's sheets: one palette per group of sheets that
// share a palette id (app/palette_groups.h), all groups made before any
// palette image is written, and then all written together. What "Make
// palettes" does in the dialog and `pixmold palette --omk` on the command
// line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/palette_action.h"
#include "quantize/palette_job.h"

namespace pixmold {

struct MarkupPalettes {
  PaletteFault fault = PaletteFault::kNone;
  std::string message;  // for a fault: what and where
  std::vector<PaletteRun> runs;
  bool written = false;
};

// Images are looked for in imageDirectory (with its trailing separator);
// a sheet name that leaves it is refused unless allowOutsideNames, as a
// build refuses it. Writes nothing when write is false or anything fails.
MarkupPalettes MakeMarkupPalettes(const std::string& omkPath, std::string_view imageDirectory,
                                  const PaletteOptions& options, bool write, bool allowOutsideNames = false);

// The same with the default options, written, as the dialog shows it.
PaletteAction MakePalettesForDialog(const std::string& omkPath, const std::string& imageDirectory);

}  // namespace pixmold
