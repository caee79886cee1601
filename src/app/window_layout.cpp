#include "app/window_layout.h"

#include <charconv>
#include <sstream>

#include "app/build_inputs.h"
#include "filelib/ctg_file_manager.h"
#include "filelib/file_system.h"

namespace pixmold {
namespace {

constexpr std::int64_t kMaxLayoutFileSize = 4096;
constexpr std::size_t kMaxSplitterParts = 8;

// The numbers after the line's name; none when any word is not a size.
std::optional<std::vector<int>> Sizes(std::istringstream& words) {
  std::vector<int> sizes;
  std::string word;
  while (words >> word) {
    int value = -1;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size() || value < 0 || value > kMaxLayoutPixels) {
      return std::nullopt;
    }
    sizes.push_back(value);
  }
  return sizes;
}

void ReadLine(const std::string& line, WindowLayout& layout) {
  std::istringstream words(line);
  std::string name;
  if (!(words >> name)) return;
  const std::optional<std::vector<int>> sizes = Sizes(words);
  if (!sizes) return;
  if (name == "window" && sizes->size() == 2 && (*sizes)[0] > 0 && (*sizes)[1] > 0) {
    layout.width = (*sizes)[0];
    layout.height = (*sizes)[1];
  } else if ((name == "columns" || name == "rows") && sizes->size() >= 2 && sizes->size() <= kMaxSplitterParts) {
    (name == "columns" ? layout.columns : layout.rows) = *sizes;
  }
}

void WriteSizes(std::ostream& text, const char* name, const std::vector<int>& sizes) {
  if (sizes.empty()) return;
  text << name;
  for (int size : sizes) text << ' ' << size;
  text << '\n';
}

}  // namespace

std::string WindowLayoutPath(const EnvironmentLookup& environment) {
  const std::string directories = SavedDirectoriesPath(environment);
  if (directories.empty()) return {};
  return directories.substr(0, directories.size() - PathLeaf(directories).size()) + "Pixmold.layout";
}

WindowLayout ParseWindowLayout(std::string_view text) {
  WindowLayout layout;
  std::istringstream lines{std::string(text)};
  std::string line;
  while (std::getline(lines, line)) ReadLine(line, layout);
  return layout;
}

std::optional<WindowLayout> ReadWindowLayout(const std::string& path) {
  if (path.empty()) return std::nullopt;
  FileSystem& files = CTGFileManager::Get().Files();
  const FileHandle file = files.Open(path, OpenMode::kRead);
  if (file == kNoFile) return std::nullopt;
  std::string text;
  const std::int64_t size = files.Size(file);
  bool read = size >= 0 && size <= kMaxLayoutFileSize;
  if (read && size > 0) {
    text.resize(static_cast<std::size_t>(size));
    read = files.ReadAt(file, 0, text.data(), text.size()) == size;
  }
  files.Close(file);
  if (!read) return std::nullopt;
  return ParseWindowLayout(text);
}

bool WriteWindowLayout(const std::string& path, const WindowLayout& layout) {
  if (path.empty()) return false;
  FileSystem& files = CTGFileManager::Get().Files();
  if (!files.MakeDirectories(path.substr(0, path.size() - PathLeaf(path).size()))) return false;
  std::ostringstream lines;
  if (layout.width > 0 && layout.height > 0) lines << "window " << layout.width << ' ' << layout.height << '\n';
  WriteSizes(lines, "columns", layout.columns);
  WriteSizes(lines, "rows", layout.rows);
  const std::string text = lines.str();
  const FileHandle file = files.Open(path, OpenMode::kCreate);
  if (file == kNoFile) return false;
  const bool written =
      files.WriteAt(file, 0, text.data(), text.size()) == static_cast<std::int64_t>(text.size()) && files.Flush(file);
  files.Close(file);
  return written;
}

}  // namespace pixmold
