// `pixmold export`: an object file's sprite lists, palettes and draw groups
// back into markup and sheets that a build turns into the same resources.
//
// Nothing is taken on trust: the sprite and item tags proposed for the
// stored lists and draw groups are read back through the build's own markup
// pass and compared with what is stored, and only what comes back exactly
// is written. Everything else is left out of the markup and named with the
// reason. Files go through the FileSystem layer; when one cannot be written
// the files written so far are removed again, so a failed export leaves no
// half a set behind.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "builder/export/art_plan.h"

namespace pixmold {

class FileSystem;
class iResFile;

struct ExportRequest {
  std::string directory;                   // where the files go, ending in "/"; it must exist
  std::string baseName;                    // NAME of NAME.omk and the sheets' names
  std::string source;                      // the object file as the user named it
  std::optional<std::string> target;       // the object a "target" tag names
  std::vector<std::int32_t> drawGroupIds;  // only these and the lists they show, when not empty
  std::uint8_t variant = 0;
  // Into a folder that holds other files: refuse to replace any of them.
  bool keepExistingFiles = false;
};

struct ExportedSprite {
  std::string type;  // "SPR2" or "SPR#"
  std::int32_t id = 0;
  bool headline = false;
  std::string sheet;
};

struct ExportResult {
  std::string markupFile;
  std::vector<std::string> files;  // every file written, the markup last
  std::vector<ExportedSprite> sprites;
  std::vector<std::int32_t> drawGroups;
  std::vector<std::int32_t> palettes;
  std::vector<ExportProblem> problems;  // left out, or written but not exactly
  std::vector<ExportProblem> warnings;
  std::string failure;  // a file could not be written; nothing is left behind
  std::int64_t sheetPixels = 0;

  bool Exact() const { return problems.empty() && failure.empty(); }
};

ExportResult ExportObjectArt(iResFile& file, FileSystem& files, const ExportRequest& request);

}  // namespace pixmold
