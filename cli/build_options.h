// The options of `pixmold build` and how they become a build request; the
// plan and all commands check the options they pass to every build here, so
// a mistake is reported once instead of by each object's build.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

#include "builder/build_args.h"

namespace pixmold::cli {

struct BuildOptions {
  std::string object;
  std::string omk;
  std::string images;
  std::string data;
  std::string content;
  std::string drawGroups;
  std::string wallStyles;
  std::string newFrom;
  std::string newName;
  bool copierOption = false;
  bool allowOutsideNames = false;
  std::string wallImages;
  std::string cutawayImages;
  std::string floorImages;
  std::string thumbnails;
  std::string historyExport;
  std::string report;
  std::string depfile;
  std::string stamp;
  bool sprites = true;
  std::optional<int> walls;
  bool variant = false;
  std::optional<int> wallStyle;
  std::optional<int> wallPattern;
  std::optional<int> thickWalls;
  std::optional<int> floors;
  bool shadow = false;
  bool pool = false;
  std::optional<int> water;
  bool paletteImages = false;
  bool secondPaletteImages = false;
  bool familyHistory = false;
  bool sounds = false;
  bool slots = false;
  bool sprLists = false;
  bool attributeStrings = false;
  bool skillTables = false;
  bool drawGroupReport = false;
  bool catalogs = false;
  bool treeTables = false;
  bool bitmaps = false;
  bool allPasses = false;
  std::optional<int> threads;
  bool dryRun = false;
  bool quiet = false;
  bool json = false;
};

// A usage problem found after parsing: reported and ends the command with 2.
struct UsageError {
  std::string message;
};

// "100,101" as resource ids; throws UsageError naming the option otherwise.
std::vector<std::int16_t> ParseIdList(const std::string& text, const char* option);

// Sets a path field of the request; throws UsageError when it does not fit.
void SetPath(PathBuffer& field, const std::string& value, const char* what);

// Adds the options (and the object argument) to the build subcommand.
void AddBuildOptions(CLI::App& cmd, BuildOptions& options);

// Fills the request from the options, finding the object, markup and image
// folder as the dialog does. Throws UsageError.
void FillRequest(const BuildOptions& options, BuildArgs& args);

// The usage error `pixmold build` would report for these options (given
// after an object), or none; only what can be judged without the object's
// files is checked.
std::optional<std::string> CheckBuildOptions(const std::vector<std::string>& arguments);

}  // namespace pixmold::cli
