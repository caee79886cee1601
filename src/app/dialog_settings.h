// Where the dialog finds its temporary report file and its two directory
// trees when it opens. Directories come from the file the "Remember" button
// saved, else from the environment the artist's shell set up ("SPRITEDIR"
// names the content tree's "Sprites" folder, "SCENDIR" the data tree). Every
// choice is explained in start-up messages shown in the Report field, so an
// artist can tell why the lists are empty.
//
// The saved file is two whitespace-separated words, data directory first;
// a directory holding a space therefore does not survive a save, and a file
// with fewer than two words counts as no file.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pixmold {

// The value of an environment variable, empty when unset.
using EnvironmentLookup = std::function<std::string(const char* name)>;
std::string ProcessEnvironment(const char* name);

inline constexpr std::string_view kReportFileName = "PixmoldReport.txt";

// "TEMP", then "TMP", then "TMPDIR", with a trailing separator; empty when
// none is set.
std::string TemporaryDirectory(const EnvironmentLookup& environment);

// $XDG_CONFIG_HOME/pixmold/Pixmold.dirs, or ~/.config/pixmold/Pixmold.dirs;
// empty when neither variable says where the configuration lives.
std::string SavedDirectoriesPath(const EnvironmentLookup& environment);
// The folder of that file as the Remember button names it ("~" for home).
std::string SavedDirectoriesPlace(const EnvironmentLookup& environment);

struct SavedDirectories {
  std::string dataDirectory;
  std::string contentDirectory;
};
std::optional<SavedDirectories> ReadSavedDirectories(const std::string& path);
// Creates the configuration folder when it is missing.
bool WriteSavedDirectories(const std::string& path, const SavedDirectories& directories);

// The content tree named by a "SPRITEDIR" value: the part before "sprites"
// (any case) when that word ends the value or is followed by one separator.
std::optional<std::string> ContentDirectoryFromSpriteDir(std::string_view value);

struct StartupSettings {
  std::string reportPath;
  bool reportWritable = false;
  std::string dataDirectory;
  std::string contentDirectory;
  std::string messages;  // "\r\n" line ends, shown in the Report field
};

// Probes the report file by creating it, so a bad temporary directory is
// reported at start rather than after the first build.
StartupSettings ReadStartupSettings(const EnvironmentLookup& environment);

}  // namespace pixmold
