// What one `pixmold all` run did to each object, told apart by the files
// each build leaves: ninja's dry run names the objects it means to build;
// of those, one whose stamp moved was built, one whose report was written
// but whose stamp did not move failed, and one with neither was never
// started (ninja stopped at a failure without -k, or the run was stopped by
// a signal). The rest were up to date.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/ninja_plan.h"

namespace pixmold::cli {

enum class ObjectState { kBuilt, kUpToDate, kFailed, kInterrupted, kNotStarted };

struct ObjectOutcome {
  std::string key;
  ObjectState state = ObjectState::kUpToDate;
  std::string fatal;         // the report's "fatal error:" line, for a failed build
  std::string report;        // its report file
  std::size_t warnings = 0;  // of a build done in this run
  std::string firstWarning;  // its report's first "warning:" line
};

// The keys of the objects a dry run of ninja lists ("build KEY" lines, with
// an empty status prefix).
std::set<std::string> KeysToBuild(const std::string& dryRunOutput);

// The times of one object's stamp and report, none for a missing file.
struct BuildFileTimes {
  std::optional<std::filesystem::file_time_type> stamp;
  std::optional<std::filesystem::file_time_type> report;
};
BuildFileTimes TimesOf(const std::string& planFile, const std::string& key);

// `before` holds the times of the objects to build (by key), taken before
// ninja ran; an object without an entry was up to date. `stopped`: the run
// was stopped by a signal, so a build cut short is interrupted, not failed.
std::vector<ObjectOutcome> Outcomes(const std::vector<PlannedObject>& objects, const std::string& planFile,
                                    const std::map<std::string, BuildFileTimes>& before, bool stopped);

// The summary: counts, then each failed object with its fatal line and
// report, and each object built with warnings with the first of them.
// `command` ("all", "watch") begins the line of counts. `stopped`: the run
// was stopped by a signal, which is why objects were not started.
void WriteSummary(std::ostream& out, std::string_view command, const std::vector<ObjectOutcome>& outcomes,
                  bool stopped);
// The same as one line of JSON: the counts, then every object with its state
// (and, for a failure, its fatal line; for warnings, their count and the
// first) and report.
void WriteJsonSummary(std::ostream& out, const std::vector<ObjectOutcome>& outcomes, bool stopped);

}  // namespace pixmold::cli
