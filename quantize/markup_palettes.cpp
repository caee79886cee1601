#include "quantize/markup_palettes.h"

#include "app/palette_groups.h"
#include "filelib/ctg_file_manager.h"

namespace pixmold {

MarkupPalettes MakeMarkupPalettes(const std::string& omkPath, std::string_view imageDirectory,
                                  const PaletteOptions& options, bool write, bool allowOutsideNames) {
  MarkupPalettes result;
  std::string leavingFolder;
  const auto groups = PaletteGroupsOf(omkPath, imageDirectory, allowOutsideNames ? nullptr : &leavingFolder);
  if (!groups) {
    result.fault = PaletteFault::kUnreadable;
    result.message = omkPath + ": cannot be read";
    return result;
  }
  if (!leavingFolder.empty()) {
    result.fault = PaletteFault::kUnreadable;
    result.message = leavingFolder;
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

PaletteAction MakePalettesForDialog(const std::string& omkPath, const std::string& imageDirectory) {
  const MarkupPalettes made = MakeMarkupPalettes(omkPath, imageDirectory, {}, true);
  PaletteAction action;
  action.ok = made.fault == PaletteFault::kNone;
  if (!action.ok) {
    action.summary = made.message;
    action.lines = {made.message, "No palette image was written."};
    if (made.fault == PaletteFault::kWriteFailed) action.lines.pop_back();
    return action;
  }
  std::size_t images = 0;
  for (const PaletteRun& run : made.runs) {
    const std::vector<std::string> lines = ReportLines(run, PaletteOptions{}.colours);
    action.lines.insert(action.lines.end(), lines.begin(), lines.end());
    images += run.sheets.size();
  }
  action.summary = "Wrote " + std::to_string(images) + " palette image" + (images == 1 ? "" : "s") + " with " +
                   std::to_string(made.runs.size()) + " palette" + (made.runs.size() == 1 ? "" : "s");
  return action;
}

}  // namespace pixmold
