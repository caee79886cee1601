#include "app/dialog_settings.h"

#include <cctype>
#include <cstdlib>
#include <vector>

#include "app/build_inputs.h"
#include "base/ascii.h"
#include "filelib/ctg_file_manager.h"
#include "filelib/file_system.h"

namespace pixmold {
namespace {

// The saved file is a few hundred bytes; anything much larger is not ours.
constexpr std::int64_t kMaxSavedFileSize = 64 * 1024;

std::string ConfigurationHome(const EnvironmentLookup& environment) {
  std::string home = environment("XDG_CONFIG_HOME");
  if (!home.empty()) return home;
  home = environment("HOME");
  return home.empty() ? std::string() : WithTrailingSeparator(home) + ".config";
}

std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words;
  std::size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    const std::size_t start = at;
    while (at < text.size() && !std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    if (at > start) words.emplace_back(text.substr(start, at - start));
  }
  return words;
}

bool ProbeWritable(const std::string& path) {
  FileSystem& files = CTGFileManager::Get().Files();
  const FileHandle file = files.Open(path, OpenMode::kCreate);
  if (file == kNoFile) return false;
  files.Close(file);
  return true;
}

}  // namespace

std::string ProcessEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

std::string TemporaryDirectory(const EnvironmentLookup& environment) {
  for (const char* name : {"TEMP", "TMP", "TMPDIR"}) {
    std::string value = environment(name);
    if (!value.empty()) return WithTrailingSeparator(value);
  }
  return {};
}

std::string SavedDirectoriesPath(const EnvironmentLookup& environment) {
  const std::string home = ConfigurationHome(environment);
  return home.empty() ? std::string() : WithTrailingSeparator(home) + "pixmold/Pixmold.dirs";
}

std::string SavedDirectoriesPlace(const EnvironmentLookup& environment) {
  if (!environment("XDG_CONFIG_HOME").empty()) return WithTrailingSeparator(environment("XDG_CONFIG_HOME")) + "pixmold";
  return "~/.config/pixmold";
}

std::optional<SavedDirectories> ReadSavedDirectories(const std::string& path) {
  if (path.empty()) return std::nullopt;
  FileSystem& files = CTGFileManager::Get().Files();
  const FileHandle file = files.Open(path, OpenMode::kRead);
  if (file == kNoFile) return std::nullopt;
  std::string text;
  const std::int64_t size = files.Size(file);
  if (size > 0 && size <= kMaxSavedFileSize) {
    text.resize(static_cast<std::size_t>(size));
    const std::int64_t got = files.ReadAt(file, 0, text.data(), text.size());
    text.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
  }
  files.Close(file);
  std::vector<std::string> words = Words(text);
  if (words.size() < 2) return std::nullopt;
  return SavedDirectories{words[0], words[1]};
}

bool WriteSavedDirectories(const std::string& path, const SavedDirectories& directories) {
  if (path.empty()) return false;
  FileSystem& files = CTGFileManager::Get().Files();
  const std::string_view leaf = PathLeaf(path);
  if (!files.MakeDirectories(path.substr(0, path.size() - leaf.size()))) return false;
  const FileHandle file = files.Open(path, OpenMode::kCreate);
  if (file == kNoFile) return false;
  const std::string text = directories.dataDirectory + "\n" + directories.contentDirectory + "\n";
  const bool written =
      files.WriteAt(file, 0, text.data(), text.size()) == static_cast<std::int64_t>(text.size()) && files.Flush(file);
  files.Close(file);
  return written;
}

std::optional<std::string> ContentDirectoryFromSpriteDir(std::string_view value) {
  constexpr std::string_view kWord = "sprites";
  const std::size_t at = FindIgnoringCase(value, kWord);
  if (at == std::string_view::npos || at == 0) return std::nullopt;
  const std::string_view rest = value.substr(at + kWord.size());
  if (!rest.empty() && rest != "/" && rest != "\\") return std::nullopt;
  return std::string(value.substr(0, at));
}

StartupSettings ReadStartupSettings(const EnvironmentLookup& environment) {
  StartupSettings settings;
  std::string temporary = TemporaryDirectory(environment);
  if (temporary.empty()) {
    settings.messages += "Could not find system temporary directory, using C: instead\r\n";
    temporary = "/tmp/";
  }
  settings.reportPath = temporary + std::string(kReportFileName);
  settings.reportWritable = ProbeWritable(settings.reportPath);
  if (settings.reportWritable) {
    settings.messages += "Using temporary file " + settings.reportPath + "\r\n";
  } else {
    settings.messages += "Error writing to temporary file, the full report text will not be available.\r\n";
  }

  if (std::optional<SavedDirectories> saved = ReadSavedDirectories(SavedDirectoriesPath(environment))) {
    settings.dataDirectory = saved->dataDirectory;
    settings.contentDirectory = saved->contentDirectory;
    settings.messages += "Using saved directories\r\nData directory: " + settings.dataDirectory +
                         "\r\nContent directory: " + settings.contentDirectory + "\r\n";
  }

  if (settings.contentDirectory.empty()) {
    const std::string spriteDir = environment("SPRITEDIR");
    if (std::optional<std::string> content = ContentDirectoryFromSpriteDir(spriteDir)) {
      settings.contentDirectory = *content;
      settings.messages += "Using variable SPRITEDIR for content, " + settings.contentDirectory + "\r\n";
    }
    if (settings.contentDirectory.empty()) settings.messages += "No SPRITEDIR variable.";
  }

  if (settings.dataDirectory.empty()) {
    const std::string scenDir = environment("SCENDIR");
    if (!scenDir.empty()) {
      settings.dataDirectory = scenDir;
      settings.messages += "Using variable SCENDIR for game data, " + settings.dataDirectory + "\r\n";
    } else {
      settings.messages += "No SCENDIR variable.";
    }
  }
  return settings;
}

}  // namespace pixmold
