#include "build_summary.h"

#include <cstdio>
#include <map>

#include "json_string.h"

namespace pixmold::cli {

ReportObserver BuildSummary::Observer() {
  return [this](ReportKind kind, std::string_view text, std::optional<int> line) {
    switch (kind) {
      case ReportKind::kWarning:
        fWarnings.push_back({std::string(text), line, false});
        break;
      case ReportKind::kFileWarning:
        fWarnings.push_back({std::string(text), std::nullopt, true});
        break;
      case ReportKind::kFatal:
        fFatal = std::string(text);
        break;
      case ReportKind::kLine:
        break;
    }
  };
}

void BuildSummary::Write(std::ostream& out, std::string_view objectFile, bool dryRun,
                         const std::vector<std::pair<ResType, ResID>>& written) const {
  std::map<std::string, std::vector<ResID>> byType;
  for (const auto& [type, id] : written) byType[ResTypeName(type)].push_back(id);

  out << "{\"object\":" << JsonString(objectFile) << ",\"ok\":" << (fFatal ? "false" : "true")
      << ",\"dryRun\":" << (dryRun ? "true" : "false") << ",\"written\":{";
  bool firstType = true;
  for (const auto& [type, ids] : byType) {
    out << (firstType ? "" : ",") << JsonString(type) << ":[";
    for (std::size_t i = 0; i < ids.size(); ++i) out << (i ? "," : "") << ids[i];
    out << "]";
    firstType = false;
  }
  out << "},\"warnings\":[";
  for (std::size_t i = 0; i < fWarnings.size(); ++i) {
    const Problem& w = fWarnings[i];
    out << (i ? "," : "") << "{\"text\":" << JsonString(w.text) << ",\"line\":";
    if (w.line) {
      out << *w.line;
    } else {
      out << "null";
    }
    if (w.fileWarning) out << ",\"file\":true";
    out << "}";
  }
  out << "],\"fatal\":" << (fFatal ? JsonString(*fFatal) : std::string("null")) << "}\n";
}

}  // namespace pixmold::cli
