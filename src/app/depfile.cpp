#include "app/depfile.h"

namespace pixmold {

std::optional<std::string> EscapeDepfilePath(std::string_view path) {
  std::string escaped;
  escaped.reserve(path.size());
  for (char c : path) {
    switch (c) {
      case '\n':
      case '\r': return std::nullopt;
      case ' ':
      case '#': escaped += '\\'; break;
      case '$': escaped += '$'; break;
      default: break;
    }
    escaped += c;
  }
  return escaped;
}

std::optional<std::string> FormatDepfile(std::string_view target, const std::vector<std::string>& prerequisites,
                                         std::string* badPath) {
  const auto refuse = [badPath](std::string_view path) {
    if (badPath != nullptr) *badPath = path;
    return std::nullopt;
  };
  std::optional<std::string> text = EscapeDepfilePath(target);
  if (!text) return refuse(target);
  *text += ':';
  for (const std::string& path : prerequisites) {
    const std::optional<std::string> escaped = EscapeDepfilePath(path);
    if (!escaped) return refuse(path);
    *text += " \\\n  " + *escaped;
  }
  *text += '\n';
  return text;
}

}  // namespace pixmold
