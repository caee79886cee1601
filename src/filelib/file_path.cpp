#include "filelib/file_path.h"

#include <filesystem>
#include <system_error>
#include <vector>

namespace pixmold {

std::string ToSlashes(std::string_view path) {
  std::string out(path);
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

std::string PathKey(std::string_view path) {
  std::string slashed = ToSlashes(path);
  if (slashed.empty() || slashed.front() != '/') {
    std::error_code ec;
    std::string cwd = std::filesystem::current_path(ec).string();
    slashed = (ec ? std::string("/") : cwd) + "/" + slashed;
  }
  std::vector<std::string_view> segments;
  std::string_view rest(slashed);
  while (!rest.empty()) {
    std::size_t slash = rest.find('/');
    std::string_view segment = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (segment.empty() || segment == ".") continue;
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
      continue;
    }
    segments.push_back(segment);
  }
  if (segments.empty()) return "/";
  std::string key;
  for (std::string_view segment : segments) {
    key += '/';
    key.append(segment);
  }
  return key;
}

std::string ParentKey(std::string_view key) {
  if (key.empty() || key == "/") return std::string();
  std::size_t slash = key.rfind('/');
  if (slash == std::string_view::npos) return std::string();
  if (slash == 0) return "/";
  return std::string(key.substr(0, slash));
}

std::string JoinKey(std::string_view directoryKey, std::string_view relative) {
  std::string joined(directoryKey);
  joined += '/';
  joined.append(relative);
  return PathKey(joined);
}

std::string_view RelativeTo(std::string_view key, std::string_view directoryKey) {
  if (directoryKey == "/") return key.size() > 1 ? key.substr(1) : std::string_view();
  if (key.size() <= directoryKey.size() + 1) return {};
  if (key.substr(0, directoryKey.size()) != directoryKey || key[directoryKey.size()] != '/') return {};
  return key.substr(directoryKey.size() + 1);
}

}  // namespace pixmold
