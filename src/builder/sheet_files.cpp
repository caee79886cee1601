#include "builder/sheet_files.h"

#include <algorithm>
#include <vector>

#include "base/ascii.h"
#include "base/report.h"
#include "filelib/ctg_file_manager.h"

namespace pixmold {
namespace {

// Shorter names have nothing to replace; they are used as they stand.
std::string ReplaceLastThree(std::string_view name, std::string_view with) {
  if (name.size() < 3) return std::string(name);
  return std::string(name.substr(0, name.size() - 3)).append(with);
}

std::string WithoutExtension(std::string_view name) {
  return std::string(name.substr(0, name.size() < 4 ? 0 : name.size() - 4));
}

}  // namespace

SheetFileNames DeriveSheetFileNames(std::string_view directory, std::string_view sheetName) {
  const std::string base(directory);
  return {base + std::string(sheetName), base + ReplaceLastThree(sheetName, "bmp"),
          base + WithoutExtension(sheetName) + "alpha.tga"};
}

const std::vector<std::string>* FolderListings::Files(const std::string& directory) {
  auto [at, added] = fListed.try_emplace(directory);
  if (added) {
    std::vector<DirEntry> entries;
    if (CTGFileManager::Get().Files().List(directory, entries)) {
      std::vector<std::string>& names = at->second.emplace();
      for (DirEntry& entry : entries) {
        if (entry.kind == EntryKind::kFile) names.push_back(std::move(entry.name));
      }
    }
  }
  return at->second ? &*at->second : nullptr;
}

std::optional<std::string> FindImageFile(const std::string& path, FolderListings* listings) {
  CTGFileManager& manager = CTGFileManager::Get();
  if (manager.Exists(path)) return path;

  const std::size_t slash = path.find_last_of("/\\");
  const std::string directory = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
  const std::string_view name =
      slash == std::string::npos ? std::string_view(path) : std::string_view(path).substr(slash + 1);
  FolderListings once;
  const std::vector<std::string>* files = (listings ? listings : &once)->Files(directory);
  if (files == nullptr) return std::nullopt;

  std::vector<std::string> candidates;
  for (const std::string& file : *files) {
    if (EqualIgnoringCase(file, name)) candidates.push_back(file);
  }
  if (candidates.empty()) return std::nullopt;
  const std::string prefix = slash == std::string::npos ? std::string() : directory;
  if (candidates.size() > 1) {
    std::sort(candidates.begin(), candidates.end());
    std::string text = "several files match " + path + " ignoring letter case:";
    for (const std::string& candidate : candidates) text += " " + prefix + candidate;
    FatalError(text);
  }
  const std::string found = prefix + candidates.front();
  Warning("no file " + path + ", using " + found + " whose name differs only in letter case");
  return found;
}

}  // namespace pixmold
