#include "app/build_inputs.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/ascii.h"

namespace pixmold {

namespace fs = std::filesystem;

std::string_view PathLeaf(std::string_view path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view PathStem(std::string_view path) {
  std::string_view leaf = PathLeaf(path);
  const std::size_t dot = leaf.find_last_of('.');
  return dot == std::string_view::npos || dot == 0 ? leaf : leaf.substr(0, dot);
}

std::string WithTrailingSeparator(std::string_view directory) {
  std::string out(directory);
  if (!out.empty() && out.back() != '/' && out.back() != '\\') out += '/';
  return out;
}

std::vector<std::string> ScanForExtension(std::string_view directory, std::string_view extension) {
  std::vector<std::string> found;
  std::error_code ec;
  fs::recursive_directory_iterator it(fs::path(std::string(directory)), fs::directory_options::skip_permission_denied,
                                      ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    std::error_code kindError;
    if (!it->is_regular_file(kindError)) continue;
    const std::string path = it->path().generic_string();
    const std::string_view leaf = PathLeaf(path);
    if (leaf.size() > extension.size() && EndsWithIgnoringCase(leaf, extension)) found.push_back(path);
  }
  std::sort(found.begin(), found.end(),
            [](const std::string& a, const std::string& b) { return CompareIgnoringCase(a, b) < 0; });
  return found;
}

std::vector<std::string> ScanObjectFiles(std::string_view dataDirectory) {
  if (dataDirectory.empty()) return {};
  std::vector<std::string> files = ScanForExtension(WithTrailingSeparator(dataDirectory) + "Objects/", ".spf");
  for (std::string& file : files) file.resize(file.size() - 4);
  return files;
}

std::vector<std::string> ScanMarkupFiles(std::string_view contentDirectory) {
  if (contentDirectory.empty()) return {};
  return ScanForExtension(WithTrailingSeparator(contentDirectory) + "Sprites/", ".omk");
}

std::optional<std::string> FindObjectFile(std::string_view dataDirectory, std::string_view name) {
  for (const std::string& file : ScanObjectFiles(dataDirectory)) {
    if (EqualIgnoringCase(PathLeaf(file), name)) return file;
  }
  return std::nullopt;
}

std::optional<MarkupLocation> FindMarkupFor(const std::vector<std::string>& omkFiles, std::string_view objectBaseName) {
  for (const std::string& omk : omkFiles) {
    if (!EqualIgnoringCase(PathStem(omk), objectBaseName)) continue;
    const std::string_view leaf = PathLeaf(omk);
    return MarkupLocation{omk, omk.substr(0, omk.size() - leaf.size())};
  }
  return std::nullopt;
}

}  // namespace pixmold
