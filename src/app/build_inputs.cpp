#include "app/build_inputs.h"

#include <algorithm>

#include "base/ascii.h"
#include "filelib/ctg_file_manager.h"
#include "filelib/file_system.h"

namespace pixmold {

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

namespace {

void CollectWithExtension(FileSystem& files, const std::string& directory, std::string_view extension,
                          bool includeReadOnly, std::vector<std::string>& found) {
  std::vector<DirEntry> entries;
  if (!files.List(directory, entries)) return;
  for (const DirEntry& entry : entries) {
    const std::string path = directory + "/" + entry.name;
    // Links to directories list as kOther, so the walk cannot loop.
    if (entry.kind == EntryKind::kDirectory) {
      CollectWithExtension(files, path, extension, includeReadOnly, found);
    } else if (entry.kind == EntryKind::kFile && entry.name.size() > extension.size() &&
               EndsWithIgnoringCase(entry.name, extension) && (includeReadOnly || !entry.readOnly)) {
      found.push_back(path);
    }
  }
}

}  // namespace

std::vector<std::string> ScanForExtension(std::string_view directory, std::string_view extension,
                                          bool includeReadOnly) {
  std::string root(directory);
  while (root.size() > 1 && (root.back() == '/' || root.back() == '\\')) root.pop_back();
  std::vector<std::string> found;
  CollectWithExtension(CTGFileManager::Get().Files(), root, extension, includeReadOnly, found);
  if (found.size() > 1) {
    std::sort(found.begin(), found.end(),
              [](const std::string& a, const std::string& b) { return CompareIgnoringCase(a, b) < 0; });
  }
  return found;
}

std::vector<std::string> ScanObjectFiles(std::string_view dataDirectory, bool includeReadOnly) {
  if (dataDirectory.empty()) return {};
  std::vector<std::string> files =
      ScanForExtension(WithTrailingSeparator(dataDirectory) + "Objects/", ".spf", includeReadOnly);
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
