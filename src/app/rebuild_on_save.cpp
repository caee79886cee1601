#include "app/rebuild_on_save.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "base/ascii.h"

namespace pixmold {
namespace {

// The object file's parts are BASE.iff, BASE.spf and the folder BASE.dir
// with what is in it, whatever the letter case of the extension.
bool ObjectPart(std::string_view path, std::string_view objectFile) {
  if (objectFile.empty() || !path.starts_with(objectFile) || path.size() <= objectFile.size() ||
      path[objectFile.size()] != '.') {
    return false;
  }
  const std::string_view rest = path.substr(objectFile.size() + 1);
  const std::string_view extension = rest.substr(0, rest.find('/'));
  return EqualIgnoringCase(extension, "iff") || EqualIgnoringCase(extension, "spf") ||
         EqualIgnoringCase(extension, "dir");
}

}  // namespace

void RebuildTrigger::Changed(const std::string& path, Clock::time_point at) {
  fChanged = path;
  fLast = std::max(fLast, at);
}

std::optional<std::string> RebuildTrigger::Take(Clock::time_point now, bool building) {
  if (!fChanged || building || now - fLast < kQuiet) return std::nullopt;
  return std::exchange(fChanged, std::nullopt);
}

std::vector<std::string> WatchableInputs(const std::vector<std::string>& read, std::string_view objectFile,
                                         std::string_view reportFile) {
  std::vector<std::string> inputs;
  for (const std::string& path : read) {
    if (ObjectPart(path, objectFile) || path == reportFile) continue;
    if (std::find(inputs.begin(), inputs.end(), path) == inputs.end()) inputs.push_back(path);
  }
  return inputs;
}

std::optional<std::string> RebuildOnSave::Start(const std::vector<std::string>& inputs) {
  auto watch = std::make_unique<FileWatch>();
  if (!watch->Error().empty()) return "changes cannot be watched: " + watch->Error();
  const std::vector<std::string> problems = watch->Watch(inputs);
  if (!problems.empty()) return "cannot watch " + problems.front();
  fWatch = std::move(watch);
  fInputs = inputs;
  fTrigger.Clear();
  return std::nullopt;
}

void RebuildOnSave::Stop() {
  fWatch.reset();
  fInputs.clear();
  fTrigger.Clear();
}

std::optional<std::string> RebuildOnSave::Rearm(const std::vector<std::string>& inputs,
                                                std::filesystem::file_time_type buildStart, Clock::time_point now) {
  if (!fWatch) return std::nullopt;
  std::optional<std::string> problem;
  if (const std::vector<std::string> problems = fWatch->Watch(inputs); !problems.empty()) {
    problem = "cannot watch " + problems.front();
  }
  for (const std::string& input : inputs) {
    if (std::find(fInputs.begin(), fInputs.end(), input) != fInputs.end()) continue;
    std::error_code error;
    const std::filesystem::file_time_type written = std::filesystem::last_write_time(input, error);
    if (!error && written > buildStart) fTrigger.Changed(input, now);
  }
  fInputs = inputs;
  return problem;
}

std::vector<std::string> RebuildOnSave::Poll(Clock::time_point now) {
  if (!fWatch) return {};
  std::vector<std::string> changes = fWatch->TakeChanges();
  for (const std::string& path : changes) fTrigger.Changed(path, now);
  return changes;
}

}  // namespace pixmold
