#include "build_options.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/build_inputs.h"
#include "suggest.h"
#include "user_text.h"

namespace pixmold::cli {
namespace {

// A path without a folder is in the current one: "./", never "", which the
// build takes for no image folder at all.
std::string DirectoryOf(const std::string& path) {
  const std::string_view leaf = PathLeaf(path);
  const std::string directory = path.substr(0, path.size() - leaf.size());
  return directory.empty() ? "./" : directory;
}

// Fills the paths of the request the way the dialog would.
void ResolveInputs(const BuildOptions& options, BuildArgs& args) {
  std::string object = options.object;
  std::string omk;
  std::string images;
  if (!options.data.empty()) {
    std::optional<std::string> found = FindObjectFile(options.data, options.object);
    if (!found) throw UsageError{"no object file named " + options.object + " under " + options.data + "/Objects/"};
    object = *found;
    if (!options.content.empty()) {
      if (auto markup = FindMarkupFor(ScanMarkupFiles(options.content), PathStem(object))) {
        omk = markup->omkFile;
        images = markup->imageDirectory;
      } else if (options.omk.empty()) {
        throw UsageError{"no markup named " + std::string(PathStem(object)) + ".omk under " + options.content +
                         "/Sprites/; name the markup file with --omk FILE"};
      }
    } else if (options.omk.empty()) {
      // Without markup the build would open the object and write nothing.
      throw UsageError{"no markup for " + options.object +
                       ": name the content tree with --content CONTENT (the markup is found under "
                       "CONTENT/Sprites/) or the markup file with --omk FILE"};
    }
  } else {
    if (!options.content.empty()) throw UsageError{"--content needs --data"};
    omk = DirectoryOf(object) + std::string(PathStem(object)) + ".omk";
  }
  if (!options.omk.empty()) omk = options.omk;
  if (!omk.empty() && images.empty()) images = DirectoryOf(omk);
  if (!options.images.empty()) images = WithTrailingSeparator(options.images);

  SetPath(args.fObjectFile, object, "object file path");
  SetPath(args.fOmkFile, omk, "markup file path");
  SetPath(args.fTgaDirectory, images, "image directory");
}

// The largest wall number whose ids (variant, large zoom) fit a resource id.
constexpr int kLastWallNumber = 2040;

// A number of an architecture option, refused before the build starts when
// it is outside what the generator can store an id for.
std::int16_t Numbered(const std::optional<int>& value, const char* option, int low, int high) {
  if (*value < low || *value > high) {
    throw UsageError{std::string(option) + " " + std::to_string(*value) + " is out of range (" + std::to_string(low) +
                     ".." + std::to_string(high) + ")"};
  }
  return static_cast<std::int16_t>(*value);
}

void FillArchitecture(const BuildOptions& options, BuildArgs& args) {
  SetPath(args.fWallImageSheet, options.wallImages, "wall image sheet");
  SetPath(args.fCutawayImageSheet, options.cutawayImages, "cutaway image sheet");
  SetPath(args.fFloorImageSheet, options.floorImages, "floor image sheet");
  if (options.walls && (options.wallStyle || options.wallPattern)) {
    throw UsageError{"--walls cannot be combined with --wall-style or --wall-pattern"};
  }
  if (options.shadow && options.pool) throw UsageError{"--shadow cannot be combined with --pool"};
  if ((options.shadow || options.pool) && !options.floors) throw UsageError{"--shadow and --pool need --floors"};
  if (options.variant && !options.walls && !options.wallStyle) {
    throw UsageError{"--variant needs --walls or --wall-style"};
  }
  if (options.variant && options.walls && !options.cutawayImages.empty()) {
    throw UsageError{"--variant cannot be combined with --cutaway-images: the cutaway sheet makes the variant walls"};
  }
  if (options.secondPaletteImages && !options.floors) throw UsageError{"--second-palette-images needs --floors"};
  args.fWallVariant = options.variant ? 1 : 0;
  if (options.walls) args.fWallNumber = Numbered(options.walls, "--walls", 1, kLastWallNumber);
  if (options.thickWalls) args.fThickWallZoom = Numbered(options.thickWalls, "--thick-walls", 1, 3);
  args.fMakeWalls = options.walls || options.thickWalls;
  if (options.wallStyle) {
    args.fWallStyleNumber = Numbered(options.wallStyle, "--wall-style", 0, 255);
    if (args.fWallStyleNumber == 22) throw UsageError{"--wall-style 22: can't get id for custom style!"};
    args.fMakeWallStyle = 1;
  }
  if (options.wallPattern) {
    args.fWallPatternNumber = Numbered(options.wallPattern, "--wall-pattern", 0, 255);
    args.fMakeWallPattern = 1;
  }
  if (options.floors) {
    const int last = options.shadow ? 31 : options.pool ? 19 : 255;
    const char* what = options.shadow ? "--floors (with --shadow)"
                       : options.pool ? "--floors (with --pool)"
                                      : "--floors";
    args.fFloorNumber = Numbered(options.floors, what, 0, last);
    args.fFloorShadow = options.shadow ? 1 : 0;
    args.fFloorPool = options.pool ? 1 : 0;
    args.fMakeFloors = 1;
  }
  if (options.water) {
    args.fWaterNumber = Numbered(options.water, "--water", 0, 15);
    args.fMakeWater = 1;
  }
  // Without its sheet a pass could only stop with "cant make walls without
  // tga", which names neither the pass nor the option that is missing.
  const char* wallPass = options.walls           ? "--walls"
                         : options.thickWalls    ? "--thick-walls"
                         : options.wallStyle     ? "--wall-style"
                         : options.wallPattern   ? "--wall-pattern"
                         : options.paletteImages ? "--palette-images"
                                                 : nullptr;
  if (wallPass != nullptr && options.wallImages.empty()) {
    throw UsageError{std::string(wallPass) + " needs its sheet: name it with --wall-images SHEET.tga"};
  }
  const char* floorPass = options.floors ? "--floors" : options.water ? "--water" : nullptr;
  if (floorPass != nullptr && options.floorImages.empty()) {
    throw UsageError{std::string(floorPass) + " needs its sheet: name it with --floor-images SHEET.tga"};
  }
}

}  // namespace

std::vector<std::int16_t> ParseIdList(const std::string& text, const char* option) {
  std::vector<std::int16_t> ids;
  std::stringstream items(text);
  std::string item;
  while (std::getline(items, item, ',')) {
    std::size_t used = 0;
    long value = 0;
    try {
      value = std::stol(item, &used);
    } catch (const std::exception&) {
      used = 0;
    }
    if (used == 0 || used != item.size() || value < -32768 || value > 32767) {
      throw UsageError{std::string(option) + ": \"" + item + "\" is not a resource id (-32768..32767)"};
    }
    ids.push_back(static_cast<std::int16_t>(value));
  }
  return ids;
}

void SetPath(PathBuffer& field, const std::string& value, const char* what) {
  if (value.size() >= PathBuffer::kCapacity) {
    throw UsageError{std::string(what) + " is longer than " + std::to_string(PathBuffer::kCapacity - 1) +
                     " characters: " + value};
  }
  field = value;
}

void FillRequest(const BuildOptions& options, BuildArgs& args) {
  ResolveInputs(options, args);
  SetPath(args.fNewObjectTemplate, options.newFrom, "template path");
  SetPath(args.fNewObjectName, options.newName, "new object name");
  args.fCopierOption = options.copierOption ? 1 : 0;
  args.fAllowOutsideNames = options.allowOutsideNames ? 1 : 0;
  // Catalog and bmpfile pictures sit with the renders unless told otherwise.
  SetPath(
      args.fThumbnailDirectory,
      options.thumbnails.empty() ? std::string(args.fTgaDirectory.View()) : WithTrailingSeparator(options.thumbnails),
      "thumbnail directory");
  FillArchitecture(options, args);
  args.fMakeSprites = options.sprites;
  args.fMakePaletteImages = options.paletteImages;
  args.fMakeSecondPaletteImages = options.secondPaletteImages;
  const bool all = options.allPasses;
  args.fReadFamilyHistory = all || options.familyHistory || !options.historyExport.empty();
  args.fWriteSounds = all || options.sounds;
  args.fWriteSlots = all || options.slots;
  args.fWriteSpriteLists = all || options.sprLists;
  args.fWriteAttributeStrings = all || options.attributeStrings;
  args.fWriteSkillTables = all || options.skillTables;
  args.fPrintDrawGroupReport = all || options.drawGroupReport;
  args.fWriteCatalogs = all || options.catalogs;
  args.fWriteTreeTables = all || options.treeTables;
  args.fWriteBitmaps = all || options.bitmaps;
  if (args.fReadFamilyHistory) {
    const std::string object(args.fObjectFile.View());
    SetPath(args.fHistoryExport,
            options.historyExport.empty() ? DirectoryOf(object) + std::string(PathStem(object)) + ".history.txt"
                                          : options.historyExport,
            "history export path");
  }
  if (!options.drawGroups.empty()) args.drawGroupIds = ParseIdList(options.drawGroups, "--draw-groups");
  if (!options.wallStyles.empty()) args.wallStyleIds = ParseIdList(options.wallStyles, "--wall-styles");
}

void AddBuildOptions(CLI::App& cmd, BuildOptions& options) {
  cmd.add_option("object", options.object,
                 "The object's resource file (with --data: the object's name under DATA/Objects/)")
      ->required();
  cmd.add_option("--omk", options.omk,
                 "Markup file (default: OBJECT's base name with .omk, beside it; a path without a folder is in the "
                 "current one)");
  cmd.add_option("--images", options.images,
                 "Directory of the rendered images (default: the markup's folder, ./ for a markup path without one)");
  cmd.add_flag("--allow-outside-names", options.allowOutsideNames,
               "Let file names in the markup (tgafile, bmpfile, mask, pictures) leave their folder with \"..\"; "
               "without it they are relative to the image folder (pictures: --thumbnails) and may not leave it");
  cmd.add_option("--data", options.data, "Data tree: find the object file under DATA/Objects/ as the dialog does");
  cmd.add_option("--content", options.content, "Content tree: find the markup under CONTENT/Sprites/");
  cmd.add_option("--draw-groups", options.drawGroups, "Write only these draw groups, e.g. 100,101");
  cmd.add_option("--wall-styles", options.wallStyles, "Generate only these wall styles, e.g. 300");
  cmd.add_option("--new-from", options.newFrom, "Make the object file anew from this template first");
  cmd.add_option("--name", options.newName, "Name of the new object (with --new-from)");
  cmd.add_flag("--clear-entry-points", options.copierOption,
               "Clear the entry points of the new object's definitions (with --new-from)");
  cmd.add_option(
      "--wall-images", options.wallImages,
      "Sheet of the wall passes: SHEET.tga (32-bit: depth in its alpha) with SHEET.bmp, its palette, beside it");
  cmd.add_option("--cutaway-images", options.cutawayImages,
                 "Sheet of the cutaway walls (with --walls: they become the variant walls)");
  cmd.add_option("--floor-images", options.floorImages, "Sheet of the floor and water passes, as --wall-images");
  cmd.add_option("--thumbnails", options.thumbnails,
                 "Pictures of the catalog and bmpfile tags (default: the image directory)");
  cmd.add_flag_callback(
      "--no-sprites", [&options] { options.sprites = false; }, "Skip the sprites and draw groups (written by default)");
  cmd.add_option("--walls", options.walls, "Walls with wall number N (>= 1) from the --wall-images sheet");
  cmd.add_flag("--variant", options.variant, "The variant flag of --walls and --wall-style");
  cmd.add_option("--wall-style", options.wallStyle,
                 "Wall style number N (0..255, not 22) from the --wall-images sheet");
  cmd.add_option("--wall-pattern", options.wallPattern, "Wall pattern N (0..255) from the --wall-images sheet");
  cmd.add_option("--thick-walls", options.thickWalls,
                 "Thick-wall pieces of zoom Z (1..3) from the --wall-images sheet: the tile-wall form (colour list "
                 "5119+Z with PALT 5120, depth list 6143+Z) for a 32-bit TGA, else the colour form (4095+Z with PALT "
                 "4096)");
  cmd.add_option("--floors", options.floors,
                 "Floor tile N (0..255) from the --floor-images sheet; with --shadow, shadow N (0..31); with --pool, "
                 "pool tile or overlap piece N (0..19)");
  cmd.add_flag("--shadow", options.shadow, "--floors makes a floor shadow");
  cmd.add_flag("--pool", options.pool, "--floors makes a pool tile or overlap piece");
  cmd.add_option("--water", options.water, "Water tile N (0..15) from the --floor-images sheet");
  cmd.add_flag("--palette-images", options.paletteImages,
               "Store the --wall-images sheet's palette as the thick walls' palettes (PALT 4096 and 5120)");
  cmd.add_flag("--second-palette-images", options.secondPaletteImages,
               "Store the --floor-images sheet's palette as the palette of the --floors tile");
  cmd.add_flag("--family-history", options.familyHistory,
               "Read the family history of the object file and export it as tab-separated text");
  cmd.add_option("--history-export", options.historyExport,
                 "Where the family history goes (default: OBJECT's base name + .history.txt beside it);\n"
                 "implies --family-history");
  cmd.add_flag("--sounds", options.sounds,
               "Replace the sounds with the markup's sound tags (a markup without any leaves them alone)");
  cmd.add_flag("--slots", options.slots, "Write the slots tags");
  cmd.add_flag("--spr-lists", options.sprLists, "Write each headline's SPR# sprite list from its sheet");
  cmd.add_flag("--attribute-strings", options.attributeStrings, "Write the attributes tags");
  cmd.add_flag("--skill-tables", options.skillTables, "Write the skill table tag");
  cmd.add_flag("--draw-group-report", options.drawGroupReport, "Print the draw group report on standard output");
  cmd.add_flag("--catalogs", options.catalogs, "Write the catalog tags");
  cmd.add_flag("--tree-tables", options.treeTables, "Write the ttab tags");
  cmd.add_flag("--bitmaps", options.bitmaps, "Write the bmpfile tags");
  cmd.add_flag("--all-passes", options.allPasses,
               "Every pass after the draw groups (sounds to bitmaps) and the family history");
  cmd.add_option("--report", options.report, "Write the report to this file (default: standard error)");
  cmd.add_option("--depfile", options.depfile,
                 "After a successful build, write the files it read as a Makefile-style depfile (for ninja or make)");
  cmd.add_option("--stamp", options.stamp,
                 "After a successful build, make this file anew; it is the depfile's target (default: OBJECT)");
  cmd.add_flag("--dry-run", options.dryRun, "Run every step against a copy of the object file; change nothing");
  cmd.add_flag("-q,--quiet", options.quiet, "Report only warnings and the fatal error");
  cmd.add_flag("--json", options.json, "Print a JSON summary on standard output at the end");
}

std::optional<std::string> CheckBuildOptions(const std::vector<std::string>& arguments) {
  CLI::App app;
  BuildOptions options;
  AddBuildOptions(app, options);
  // CLI11 takes the arguments last first.
  std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
  reversed.push_back("OBJECT");
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& error) {
    return std::string(error.what()) + OptionSuggestions(error, {&app});
  }
  BuildArgs args;
  try {
    FillArchitecture(options, args);
    if (!options.drawGroups.empty()) ParseIdList(options.drawGroups, "--draw-groups");
    if (!options.wallStyles.empty()) ParseIdList(options.wallStyles, "--wall-styles");
  } catch (const UsageError& error) {
    return error.message;
  }
  return std::nullopt;
}

}  // namespace pixmold::cli
