// pixmold export OBJECT -o DIR: turns an object file's sprite lists,
// palettes and draw groups back into markup and sheets that a build makes
// the same resources from. What cannot come back exactly is left out and
// named, with exit status 1; the rest is written.
#include <iostream>
#include <memory>
#include <string>

#include "app/art_export.h"
#include "build_options.h"
#include "command_registry.h"
#include "filelib/ctg_file_manager.h"
#include "json_text.h"
#include "res_target.h"
#include "user_text.h"

namespace pixmold::cli {
namespace {

struct ExportOptions {
  std::string object;
  std::string directory;
  std::string drawGroups;
  int variant = 0;
  bool force = false;
  bool json = false;
  bool quiet = false;
};

Json ProblemsJson(const std::vector<ExportProblem>& problems) {
  Json list = Json::array();
  for (const ExportProblem& problem : problems) {
    Json entry;
    PutText(entry, "resource", problem.what);
    PutText(entry, "reason", problem.why);
    list.push_back(std::move(entry));
  }
  return list;
}

void PrintJson(const ExportOptions& options, const ArtExportOutcome& outcome) {
  const ExportResult& result = outcome.result;
  Json out;
  PutText(out, "object", options.object);
  PutText(out, "directory", options.directory);
  out["exact"] = outcome.status == ArtExportStatus::kExact;
  PutText(out, "markup", result.markupFile);
  Json files = Json::array();
  for (const std::string& file : result.files) {
    Json entry;
    PutText(entry, "path", file);
    files.push_back(entry);
  }
  out["files"] = std::move(files);
  Json sprites = Json::array();
  for (const ExportedSprite& sprite : result.sprites) {
    Json entry;
    entry["type"] = sprite.type;
    entry["id"] = sprite.id;
    entry["tag"] = sprite.headline ? "headline" : "sprite";
    PutText(entry, "sheet", sprite.sheet);
    sprites.push_back(std::move(entry));
  }
  out["sprites"] = std::move(sprites);
  out["drawGroups"] = result.drawGroups;
  out["palettes"] = result.palettes;
  out["leftOut"] = ProblemsJson(result.problems);
  out["warnings"] = ProblemsJson(result.warnings);
  if (outcome.status == ArtExportStatus::kFailed) {
    PutText(out, "failure", outcome.message);
  } else {
    out["failure"] = nullptr;
  }
  std::cout << JsonLine(out);
}

void PrintReport(const ExportOptions& options, const ArtExportOutcome& outcome) {
  const ExportResult& result = outcome.result;
  for (const ExportProblem& problem : result.warnings) {
    std::cerr << "pixmold export: warning: " << EscapeControls(problem.what) << ": " << EscapeControls(problem.why)
              << "\n";
  }
  for (const ExportProblem& problem : result.problems) {
    std::cerr << "pixmold export: not exact: " << EscapeControls(problem.what) << ": " << EscapeControls(problem.why)
              << "\n";
  }
  if (options.quiet) return;
  for (const std::string& file : result.files) std::cout << EscapeControls(file) << "\n";
  std::cerr << "pixmold export: " << result.sprites.size() << " sprite lists, " << result.drawGroups.size()
            << " draw groups and " << result.palettes.size() << " palettes exported"
            << (result.problems.empty() ? " exactly" : "; what is not exact is named above") << "\n";
}

int RunExport(const ExportOptions& options) {
  ArtExportRequest request;
  request.object = options.object;
  request.directory = options.directory;
  request.variant = static_cast<std::uint8_t>(options.variant);
  request.force = options.force;
  try {
    for (std::int16_t id : ParseIdList(options.drawGroups, "--draw-groups")) request.drawGroupIds.push_back(id);
  } catch (const UsageError& error) {
    std::cerr << "pixmold export: " << error.message << "\n";
    return kExitUsage;
  }
  OpenForReadingOnly();
  const ArtExportOutcome outcome = ExportArt(request, CTGFileManager::Get().Files());
  if (outcome.status == ArtExportStatus::kRefused || outcome.status == ArtExportStatus::kFailed) {
    std::cerr << "pixmold export: " << EscapeControls(outcome.message) << "\n";
    if (options.json && outcome.status == ArtExportStatus::kFailed) PrintJson(options, outcome);
    return outcome.status == ArtExportStatus::kRefused ? kExitUsage : kExitFailed;
  }
  if (options.json) {
    PrintJson(options, outcome);
    for (const ExportProblem& problem : outcome.result.problems) {
      std::cerr << "pixmold export: not exact: " << EscapeControls(problem.what) << ": " << EscapeControls(problem.why)
                << "\n";
    }
  } else {
    PrintReport(options, outcome);
  }
  std::cout.flush();
  return outcome.status == ArtExportStatus::kExact ? kExitOk : kExitFailed;
}

RegisterCommand registerExport(27, [](CLI::App& app, int* status) {
  auto options = std::make_shared<ExportOptions>();
  CLI::App* cmd = app.add_subcommand(
      "export", "Turn an object file's sprites, palettes and draw groups back into markup and sheets");
  cmd->add_option("object", options->object,
                  "The object file: its base name, either part with its extension, or a container file")
      ->required();
  cmd->add_option("-o,--output", options->directory, "The folder to write into (made when missing; must be empty)")
      ->required();
  cmd->add_option("--draw-groups", options->drawGroups,
                  "Export only these draw groups and the sprite lists they show, e.g. 100,101");
  cmd->add_option("--variant", options->variant, "Export the resources of this variant (second container version)")
      ->check(CLI::Range(0, 255));
  cmd->add_flag("--force", options->force, "Write into a folder that already holds files");
  cmd->add_flag("--json", options->json, "Print what was written and left out as one line of JSON");
  cmd->add_flag("-q,--quiet", options->quiet, "Do not list the files written");
  cmd->footer(
      "Writes DIR/NAME.omk (NAME: the object file's base name) and the sheets its tags read: for each\n"
      "SPR2 list a 32-bit NAME_ID.tga whose alpha is the depth (255 where nothing is drawn), the 8-bit\n"
      "NAME_ID.bmp holding the colour indices and the palette the build takes them from, and\n"
      "NAME_IDalpha.tga when the frames carry coverage; for an SPR# list a 24-bit TGA and its BMP; for a\n"
      "headline its own sheet. Sprites that read alike share a sheet, a row per frame. The markup holds\n"
      "\"sizes\" and \"sprite\" tags, \"headline\" tags and one \"drawgroup\" tag per draw group with its items;\n"
      "each \"paletteid\" makes the build write that PALT from the sheet's palette image.\n"
      "Only sprites, palettes and draw groups are exported: the catalog, tree tables, slots,\n"
      "strings and every other resource stay in the object file.\n"
      "\n"
      "Building a copy of the object (without its SPR2, SPR#, PALT and DGRP resources) with\n"
      "--omk DIR/NAME.omk --images DIR, and --spr-lists when it has a headline, gives back every list\n"
      "with the same frames, every draw group and every palette. Whatever cannot be written so is\n"
      "left out and named on standard error with the reason.\n"
      "\n"
      "Exit status: 0 everything exported exactly; 1 something was left out (the rest is written), the\n"
      "object cannot be read or a file cannot be written (then nothing is left behind); 2 usage error:\n"
      "bad options, no such object or draw group, DIR not empty without --force.");
  cmd->callback([options, status] { *status = RunExport(*options); });
});

}  // namespace
}  // namespace pixmold::cli
