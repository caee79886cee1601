// The --json summary of a build, for scripts: what was written, by type and
// id, every warning with its markup line, and the fatal error if one ended
// the build. It is collected from the report observer while the build runs.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/report.h"
#include "resfile/res_types.h"

namespace pixmold::cli {

class BuildSummary {
 public:
  // The observer to put into the build request; it must not outlive this.
  ReportObserver Observer();

  // The fatal error's message, once the build has reported one.
  const std::optional<std::string>& Fatal() const { return fFatal; }
  // "PATH: REASON" for the input file behind the fatal error, when it names one.
  const std::optional<std::string>& InputProblem() const { return fInputProblem; }
  std::size_t WarningCount() const { return fWarnings.size(); }
  // Goes into the summary as "drawGroupReport".
  void SetDrawGroupReport(std::string text) { fDrawGroupReport = std::move(text); }

  // Each resource once, where it was first written: a palette shared by
  // several sprites is written again with each of them.
  static std::vector<std::pair<ResType, ResID>> Distinct(const std::vector<std::pair<ResType, ResID>>& written);

  // Writes the summary as one JSON object followed by a line end.
  void Write(std::ostream& out, std::string_view objectFile, bool dryRun,
             const std::vector<std::pair<ResType, ResID>>& written) const;

 private:
  struct Problem {
    std::string text;
    std::optional<int> line;
    bool fileWarning = false;
  };
  std::vector<Problem> fWarnings;
  std::optional<std::string> fFatal;
  std::optional<std::string> fInputProblem;
  std::optional<std::string> fDrawGroupReport;
};

}  // namespace pixmold::cli
