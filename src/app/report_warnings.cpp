#include "app/report_warnings.h"

#include <vector>

namespace pixmold {
namespace {

// Each line with its line end ("\n" or "\r\n"), the last one without when
// the text does not end in one.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
    lines.push_back(text.substr(0, length));
    text.remove_prefix(length);
  }
  return lines;
}

bool IsFileLine(std::string_view line) { return line.starts_with("file: "); }

}  // namespace

bool IsWarningLine(std::string_view line) { return line.starts_with("warning: "); }

int CountWarnings(std::string_view report) {
  int count = 0;
  for (std::string_view line : Lines(report)) count += IsWarningLine(line) ? 1 : 0;
  return count;
}

std::string WarningLinesOnly(std::string_view report) {
  const std::vector<std::string_view> lines = Lines(report);
  std::string kept;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (IsWarningLine(lines[i])) {
      if (i > 0 && IsFileLine(lines[i - 1])) kept.append(lines[i - 1]);
      kept.append(lines[i]);
    }
  }
  return kept;
}

std::string WarningCountText(int count) {
  if (count == 0) return "no warnings";
  return std::to_string(count) + (count == 1 ? " warning" : " warnings");
}

}  // namespace pixmold
