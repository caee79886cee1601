#include "tree_outcome.h"

#include <array>
#include <fstream>
#include <sstream>

#include "json_text.h"
#include "user_text.h"

namespace pixmold::cli {
namespace {

constexpr std::string_view kBuildPrefix = "build ";
constexpr const char* kStateNames[] = {"built", "upToDate", "failed", "interrupted", "notStarted"};
constexpr std::size_t kStates = std::size(kStateNames);
constexpr const char* kNoFatalLine = "no fatal error in its report (see ninja's output above)";

std::array<std::size_t, kStates> Counts(const std::vector<ObjectOutcome>& outcomes) {
  std::array<std::size_t, kStates> counts{};
  for (const ObjectOutcome& outcome : outcomes) ++counts[static_cast<int>(outcome.state)];
  return counts;
}

std::size_t WithWarnings(const std::vector<ObjectOutcome>& outcomes) {
  std::size_t count = 0;
  for (const ObjectOutcome& outcome : outcomes) count += outcome.warnings > 0 ? 1 : 0;
  return count;
}

std::optional<std::filesystem::file_time_type> TimeOf(const std::string& path) {
  std::error_code error;
  const auto time = std::filesystem::last_write_time(path, error);
  if (error) return std::nullopt;
  return time;
}

bool Moved(const std::optional<std::filesystem::file_time_type>& before,
           const std::optional<std::filesystem::file_time_type>& after) {
  return after && (!before || *after != *before);
}

// What a build's report says of its end: the fatal line, and the warnings.
struct ReportedProblems {
  std::string fatal;
  std::size_t warnings = 0;
  std::string firstWarning;
};

ReportedProblems ReadProblems(const std::string& report) {
  ReportedProblems problems;
  std::ifstream in(report, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (line.starts_with("fatal error:") && problems.fatal.empty()) problems.fatal = line;
    if (line.starts_with("warning: ") && problems.warnings++ == 0) problems.firstWarning = line;
  }
  return problems;
}

}  // namespace

std::set<std::string> KeysToBuild(const std::string& dryRunOutput) {
  std::set<std::string> keys;
  std::istringstream lines(dryRunOutput);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.starts_with(kBuildPrefix)) keys.insert(line.substr(kBuildPrefix.size()));
  }
  return keys;
}

BuildFileTimes TimesOf(const std::string& planFile, const std::string& key) {
  return BuildFileTimes{TimeOf(StampPath(planFile, key)), TimeOf(ReportPath(planFile, key))};
}

std::vector<ObjectOutcome> Outcomes(const std::vector<PlannedObject>& objects, const std::string& planFile,
                                    const std::map<std::string, BuildFileTimes>& before, bool stopped) {
  std::vector<ObjectOutcome> outcomes;
  for (const PlannedObject& object : objects) {
    ObjectOutcome outcome;
    outcome.key = object.key;
    outcome.report = ReportPath(planFile, object.key);
    const auto planned = before.find(object.key);
    if (planned != before.end()) {
      const BuildFileTimes after = TimesOf(planFile, object.key);
      if (Moved(planned->second.stamp, after.stamp)) {
        outcome.state = ObjectState::kBuilt;
        const ReportedProblems problems = ReadProblems(outcome.report);
        outcome.warnings = problems.warnings;
        outcome.firstWarning = problems.firstWarning;
      } else if (Moved(planned->second.report, after.report)) {
        outcome.fatal = ReadProblems(outcome.report).fatal;
        // A build the stop caught either ended at a resource boundary or
        // finished just as ninja gave up on it and removed its stamp.
        const bool caught = stopped && (outcome.fatal.empty() || outcome.fatal == "fatal error: interrupted");
        outcome.state = caught ? ObjectState::kInterrupted : ObjectState::kFailed;
        // A failure always says something: one whose report holds no fatal
        // line failed after its build (its depfile or stamp) or died.
        if (outcome.fatal.empty()) outcome.fatal = kNoFatalLine;
      } else {
        outcome.state = ObjectState::kNotStarted;
      }
    }
    outcomes.push_back(std::move(outcome));
  }
  return outcomes;
}

void WriteSummary(std::ostream& out, std::string_view command, const std::vector<ObjectOutcome>& outcomes,
                  bool stopped) {
  const auto counts = Counts(outcomes);
  out << "pixmold " << command << ": " << counts[static_cast<int>(ObjectState::kBuilt)] << " built, ";
  if (const std::size_t warned = WithWarnings(outcomes); warned > 0) out << warned << " with warnings, ";
  out << counts[static_cast<int>(ObjectState::kUpToDate)] << " up to date, "
      << counts[static_cast<int>(ObjectState::kFailed)] << " failed";
  if (const std::size_t caught = counts[static_cast<int>(ObjectState::kInterrupted)]; caught > 0) {
    out << ", " << caught << " interrupted";
  }
  if (const std::size_t notStarted = counts[static_cast<int>(ObjectState::kNotStarted)]; notStarted > 0) {
    out << ", " << notStarted << (stopped ? " not started (interrupted)" : " not started (-k goes on past a failure)");
  }
  out << "\n";
  for (const ObjectOutcome& outcome : outcomes) {
    if (outcome.state != ObjectState::kFailed) continue;
    out << "failed: " << EscapeControls(outcome.key) << ": " << EscapeControls(outcome.fatal)
        << "\n  report: " << EscapeControls(outcome.report) << "\n";
  }
  // Warnings are read by nobody in a tree build's reports unless named here.
  for (const ObjectOutcome& outcome : outcomes) {
    if (outcome.warnings == 0) continue;
    out << "warned: " << EscapeControls(outcome.key) << ": " << EscapeControls(outcome.firstWarning);
    if (outcome.warnings > 1) out << " (and " << Plural(outcome.warnings - 1, "more warning") << ")";
    out << "\n  report: " << EscapeControls(outcome.report) << "\n";
  }
}

void WriteJsonSummary(std::ostream& out, const std::vector<ObjectOutcome>& outcomes, bool stopped) {
  const auto counts = Counts(outcomes);
  Json summary = Json::object();
  for (std::size_t state = 0; state < kStates; ++state) summary[kStateNames[state]] = counts[state];
  summary["withWarnings"] = WithWarnings(outcomes);
  Json objects = Json::array();
  for (const ObjectOutcome& outcome : outcomes) {
    Json entry = Json::object();
    PutText(entry, "object", outcome.key);
    entry["state"] = kStateNames[static_cast<int>(outcome.state)];
    if (outcome.state == ObjectState::kFailed) PutText(entry, "fatal", outcome.fatal);
    if (outcome.warnings > 0) {
      entry["warnings"] = outcome.warnings;
      PutText(entry, "firstWarning", outcome.firstWarning);
    }
    PutText(entry, "report", outcome.report);
    objects.push_back(std::move(entry));
  }
  summary["stopped"] = stopped;
  summary["objects"] = std::move(objects);
  out << JsonLine(summary);
}

}  // namespace pixmold::cli
