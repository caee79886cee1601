#include "build_lint.h"

#include <algorithm>
#include <map>
#include <vector>

#include "base/report.h"
#include "builder/build_context.h"
#include "filelib/ctg_file_manager.h"
#include "resfile/flat_file.h"

namespace pixmold::cli {
namespace {

// The line of a tag the file opens and never closes, if any. The reader
// knows no quotes: a tag runs from its open character to the next close
// character, and a zero byte ends the text.
std::optional<int> UnclosedTagLine(const std::string& path) {
  FlatFile file;
  std::int32_t size = 0;
  if (file.Open(path) != 0 || file.GetSize(size) != 0 || size <= 0) return std::nullopt;
  std::vector<unsigned char> bytes(static_cast<std::size_t>(size));
  if (file.Read(bytes) != 0) return std::nullopt;
  int line = 1;
  std::optional<int> openedOn;
  for (unsigned char c : bytes) {
    if (c == 0) break;
    if (c == '\n') ++line;
    if (!openedOn && c == '<') openedOn = line;
    if (openedOn && c == '>') openedOn.reset();
  }
  return openedOn;
}

}  // namespace

void LintRequest(const BuildArgs& args, const LintOptions& options) {
  if (args.fNewObjectTemplate.Empty()) {
    if (options.nameGiven) Warning("--name has no effect without --new-from");
    if (options.clearEntryPointsGiven) Warning("--clear-entry-points has no effect without --new-from");
  }
  if (!options.images.empty() && CTGFileManager::Get().Files().Kind(options.images) != EntryKind::kDirectory) {
    Warning("--images: no such directory: " + options.images);
  }
  if (args.fOmkFile.Empty()) return;
  if (const auto line = UnclosedTagLine(std::string(args.fOmkFile.View()))) {
    Warning("the markup ends inside a tag (the tag opened here is never closed with \">\")", *line);
  }
}

void LintBuilt(const BuildArgs& args) {
  if (!args.fContext) return;
  std::map<std::int32_t, int> tagsPerId;
  for (const DGRPSpec* group : args.fContext->drawGroups) ++tagsPerId[group->Id()];
  for (const auto& [id, count] : tagsPerId) {
    if (count > 1) {
      Warning("draw group id " + std::to_string(id) + " is used by " + std::to_string(count) +
              " drawgroup tags; the last one written wins");
    }
  }
  for (const std::int16_t id : args.drawGroupIds) {
    if (!tagsPerId.contains(id)) Warning("--draw-groups: no drawgroup tag has id " + std::to_string(id));
  }
}

}  // namespace pixmold::cli
