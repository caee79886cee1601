#include "build_summary.h"

#include <cstdio>
#include <map>
#include <set>

#include "json_text.h"
#include "res_target.h"

namespace pixmold::cli {

ReportObserver BuildSummary::Observer() {
  return [this](ReportKind kind, std::string_view text, std::optional<int> line) {
    switch (kind) {
      case ReportKind::kWarning: fWarnings.push_back({std::string(text), line, false}); break;
      case ReportKind::kFileWarning: fWarnings.push_back({std::string(text), std::nullopt, true}); break;
      case ReportKind::kFatal: fFatal = std::string(text); break;
      case ReportKind::kInputProblem: fInputProblem = std::string(text); break;
      case ReportKind::kLine: break;
    }
  };
}

std::vector<std::pair<ResType, ResID>> BuildSummary::Distinct(const std::vector<std::pair<ResType, ResID>>& written) {
  std::set<std::pair<ResType, ResID>> seen;
  std::vector<std::pair<ResType, ResID>> distinct;
  for (const auto& resource : written) {
    if (seen.insert(resource).second) distinct.push_back(resource);
  }
  return distinct;
}

void BuildSummary::Write(std::ostream& out, std::string_view objectFile, bool dryRun,
                         const std::vector<std::pair<ResType, ResID>>& written) const {
  // Numeric order of the type codes is the order of their names.
  std::map<ResType, std::vector<ResID>> byType;
  for (const auto& [type, id] : Distinct(written)) byType[type].push_back(id);

  Json summary = Json::object();
  PutText(summary, "object", objectFile);
  summary["ok"] = !fFatal.has_value();
  summary["dryRun"] = dryRun;
  Json writtenByType = Json::object();
  for (const auto& [type, ids] : byType) {
    // Keys must be text; a type is four bytes of any value, named as ls names it.
    writtenByType[FormatType(type)] = ids;
  }
  summary["written"] = std::move(writtenByType);
  Json warnings = Json::array();
  for (const Problem& problem : fWarnings) {
    Json warning = Json::object();
    PutText(warning, "text", problem.text);
    warning["line"] = problem.line ? Json(*problem.line) : Json(nullptr);
    if (problem.fileWarning) warning["file"] = true;
    warnings.push_back(std::move(warning));
  }
  summary["warnings"] = std::move(warnings);
  if (fFatal) {
    PutText(summary, "fatal", *fFatal);
  } else {
    summary["fatal"] = nullptr;
  }
  if (fDrawGroupReport) PutText(summary, "drawGroupReport", *fDrawGroupReport);
  out << JsonLine(summary);
}

}  // namespace pixmold::cli
