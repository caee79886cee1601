#include "app/status_lines.h"

#include "base/ascii.h"

namespace pixmold {
namespace {

std::size_t FindLastIgnoringCase(std::string_view text, std::string_view word) {
  std::size_t last = std::string_view::npos;
  for (std::size_t at = FindIgnoringCase(text, word); at != std::string_view::npos;
       at = FindIgnoringCase(text, word, at + 1)) {
    last = at;
  }
  return last;
}

// From the word to its line feed, without the carriage return the report's
// "\r\n" line ends leave before it.
std::string LineFrom(std::string_view text, std::size_t at) {
  const std::size_t feed = text.find('\n', at);
  if (feed == std::string_view::npos) return std::string(text.substr(at));
  const std::size_t end = feed > at ? feed - 1 : feed;
  return std::string(text.substr(at, end - at));
}

}  // namespace

std::string_view SpinnerText(std::uint32_t counter) {
  static constexpr std::string_view kFrames[] = {"Working /", "Working -", "Working \\", "Working |"};
  return kFrames[counter % 4];
}

ProgressLines FindProgressLines(std::string_view text) {
  if (text.size() > kStatusTextTail) text = text.substr(text.size() - kStatusTextTail);
  ProgressLines lines;
  const std::size_t generating = FindLastIgnoringCase(text, "generating");
  if (generating != std::string_view::npos) lines.generating = LineFrom(text, generating);
  const std::size_t rendering = FindLastIgnoringCase(text, "rendering");
  const std::size_t compressing = FindLastIgnoringCase(text, "compressing");
  std::size_t later = rendering;
  if (compressing != std::string_view::npos && (later == std::string_view::npos || compressing > later)) {
    later = compressing;
  }
  if (later != std::string_view::npos) lines.rendering = LineFrom(text, later);
  return lines;
}

std::vector<std::string> PaletteStatusLines(std::string_view report) {
  static constexpr std::string_view kPrefix = "warning: palette ";
  std::vector<std::string> warnings;
  for (std::size_t at = 0; at < report.size();) {
    std::size_t end = report.find('\n', at);
    if (end == std::string_view::npos) end = report.size();
    std::string_view line = report.substr(at, end - at);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.starts_with(kPrefix)) warnings.emplace_back(line);
    at = end + 1;
  }
  if (warnings.size() > 2) {
    warnings[1] += " (and " + std::to_string(warnings.size() - 2) + " more palette warnings in the report)";
    warnings.resize(2);
  }
  return warnings;
}

}  // namespace pixmold
