// Exporting an object's art, as the command line and the dialog both do it:
// the object file named as an artist names it (its base name, either part
// with its extension, or a plain container file) is opened, the folder is
// made or checked, and the export runs. The folder must be new or empty
// unless forced: an export into a folder of older sheets would leave the
// ones it does not write beside the new markup, which could not tell them
// apart.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "builder/export/export_object.h"

namespace pixmold {

class FileSystem;

struct ArtExportRequest {
  std::string object;
  std::string directory;
  std::vector<std::int32_t> drawGroupIds;
  std::uint8_t variant = 0;
  bool force = false;
  // Into a folder of other files (beside a new object): replace none.
  bool keepExistingFiles = false;
  // Writes nothing at all for an object without sprite lists.
  bool onlyWithSprites = false;
  // Names the object in a "target" tag (an object made from a template).
  std::optional<std::string> targetName;
};

enum class ArtExportStatus {
  kExact,    // everything exported exactly
  kPartial,  // written, with what was left out named in the result
  kFailed,   // the object could not be read or a file not written; nothing written
  kRefused,  // the request cannot be carried out as asked (no such object, folder in use)
};

struct ArtExportOutcome {
  ArtExportStatus status = ArtExportStatus::kFailed;
  std::string message;  // for kFailed and kRefused
  ExportResult result;
};

// The base name an export gives its markup and sheets: the object's file
// name without its ".iff" or ".spf".
std::string ArtExportBaseName(const std::string& object);

ArtExportOutcome ExportArt(const ArtExportRequest& request, FileSystem& files);

// The outcome for a person: what was written where, then each thing left
// out or not exact with the reason, one per line.
std::string ArtExportSummary(const ArtExportRequest& request, const ArtExportOutcome& outcome);

}  // namespace pixmold
