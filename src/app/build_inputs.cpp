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

// Walks a directory tree depth first, in listing order. Links to
// directories list as kOther, so the walk cannot loop.
template <typename OnDirectory, typename OnFile>
void WalkTree(FileSystem& files, const std::string& directory, const OnDirectory& onDirectory, const OnFile& onFile) {
  std::vector<DirEntry> entries;
  if (!files.List(directory, entries)) return;
  onDirectory(directory);
  for (const DirEntry& entry : entries) {
    const std::string path = directory + "/" + entry.name;
    if (entry.kind == EntryKind::kDirectory) {
      WalkTree(files, path, onDirectory, onFile);
    } else if (entry.kind == EntryKind::kFile) {
      onFile(path, entry);
    }
  }
}

std::string WithoutTrailingSeparators(std::string_view directory) {
  std::string root(directory);
  while (root.size() > 1 && (root.back() == '/' || root.back() == '\\')) root.pop_back();
  return root;
}

void SortIgnoringCase(std::vector<std::string>& paths) {
  if (paths.size() > 1) {
    std::sort(paths.begin(), paths.end(),
              [](const std::string& a, const std::string& b) { return CompareIgnoringCase(a, b) < 0; });
  }
}

}  // namespace

std::vector<std::string> ScanForExtension(std::string_view directory, std::string_view extension,
                                          bool includeReadOnly) {
  std::vector<std::string> found;
  WalkTree(
      CTGFileManager::Get().Files(), WithoutTrailingSeparators(directory), [](const std::string&) {},
      [&](const std::string& path, const DirEntry& entry) {
        if (entry.name.size() > extension.size() && EndsWithIgnoringCase(entry.name, extension) &&
            (includeReadOnly || !entry.readOnly)) {
          found.push_back(path);
        }
      });
  SortIgnoringCase(found);
  return found;
}

std::vector<std::string> ScanDirectories(std::string_view directory) {
  std::vector<std::string> found;
  WalkTree(
      CTGFileManager::Get().Files(), WithoutTrailingSeparators(directory),
      [&](const std::string& path) { found.push_back(path); }, [](const std::string&, const DirEntry&) {});
  SortIgnoringCase(found);
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
