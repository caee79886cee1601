#include "quantize/markup_palettes.h"

#include "app/palette_groups.h"
#include "filelib/ctg_file_manager.h"

namespace pixmold {

MarkupPalettes MakeMarkupPalettes(const std::string& omkPath, std::string_view imageDirectory,
                                  const PaletteOptions& options, bool write) {
  MarkupPalettes result;
  const auto groups = PaletteGroupsOf(omkPath, imageDirectory);
  if (!groups) {
    result.fault = PaletteFault::kUnreadable;
    result.message = omkPath + ": cannot be read";
    return result;
  }
  if (groups->empty()) {
    result.fault = PaletteFault::kUsage;
    result.message = omkPath + ": names no sprite sheet (no sprite or headline tag with a tgafile)";
    return result;
  }
  for (const SheetGroup& group : *groups) {
    result.runs.push_back(MakePalettes(group.sheets, options));
    PaletteRun& run = result.runs.back();
    run.paletteIds = group.paletteIds;
    if (run.fault == PaletteFault::kNone) continue;
    result.fault = run.fault;
    result.message = run.message;
    return result;
  }
  if (!write) return result;
  const WriteOutcome outcome = WritePaletteImages(result.runs, CTGFileManager::Get().Files());
  result.written = outcome.ok;
  if (!outcome.ok) {
    result.fault = PaletteFault::kWriteFailed;
    result.message = outcome.message;
  }
  return result;
}

}  // namespace pixmold
