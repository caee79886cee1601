// pixmold palette SHEET.tga...: makes the palette images the build takes
// a sheet's colours from, for truecolour renders nobody mapped by hand.
// The sheets named share one palette, as sprites with one palette id must;
// with --omk the markup says which sheets share one. The work is
// quantize/'s; this file reads the options and reports.
#include <cmath>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/build_inputs.h"
#include "command_registry.h"
#include "filelib/ctg_file_manager.h"
#include "json_text.h"
#include "quantize/markup_palettes.h"
#include "user_text.h"

namespace pixmold::cli {
namespace {

struct PaletteCommandOptions {
  std::vector<std::string> sheets;
  std::string omk;
  PaletteOptions palette;
  std::vector<std::string> reserve;
  bool dryRun = false;
  bool json = false;
  bool quiet = false;
  bool allowOutsideNames = false;
};

Json RunJson(const PaletteRun& run, int colours) {
  Json entry;
  entry["paletteIds"] = run.paletteIds;
  entry["colours"] = colours;
  entry["coloursUsed"] = run.coloursUsed;
  Json sheets = Json::array();
  for (const SheetResult& sheet : run.sheets) {
    Json item;
    PutText(item, "sheet", sheet.sheet);
    PutText(item, "paletteImage", sheet.paletteImage);
    item["width"] = sheet.width;
    item["height"] = sheet.height;
    item["drawnPixels"] = sheet.drawnPixels;
    item["coloursUsed"] = sheet.coloursUsed;
    item["meanError"] = sheet.meanError;
    item["maxError"] = sheet.maxError;
    // JSON has no infinity: an exact sheet's ratio is left out.
    if (std::isfinite(sheet.Psnr())) item["psnr"] = sheet.Psnr();
    sheets.push_back(item);
  }
  entry["sheets"] = sheets;
  Json palette = Json::array();
  for (const PaletteEntry& colour : run.palette) palette.push_back({colour.red, colour.green, colour.blue});
  entry["palette"] = palette;
  return entry;
}

void Report(const MarkupPalettes& result, const PaletteCommandOptions& options) {
  if (options.json) {
    Json report;
    report["dryRun"] = options.dryRun;
    report["written"] = result.written;
    Json palettes = Json::array();
    for (const PaletteRun& run : result.runs) palettes.push_back(RunJson(run, options.palette.colours));
    report["palettes"] = palettes;
    std::cout << JsonLine(report);
    return;
  }
  if (options.quiet) return;
  std::size_t images = 0;
  for (const PaletteRun& run : result.runs) {
    for (const std::string& line : ReportLines(run, options.palette.colours)) std::cout << EscapeControls(line) << "\n";
    images += run.sheets.size();
  }
  if (options.dryRun) {
    std::cout << "nothing written (--dry-run)\n";
  } else {
    std::cout << "wrote " << images << " palette image" << (images == 1 ? "" : "s") << "\n";
  }
}

MarkupPalettes Make(const PaletteCommandOptions& options) {
  if (!options.omk.empty()) {
    const std::string folder = options.omk.substr(0, options.omk.size() - PathLeaf(options.omk).size());
    return MakeMarkupPalettes(options.omk, folder, options.palette, !options.dryRun, options.allowOutsideNames);
  }
  MarkupPalettes result;
  result.runs.push_back(MakePalettes(options.sheets, options.palette));
  if (result.runs.back().fault != PaletteFault::kNone) {
    result.fault = result.runs.back().fault;
    result.message = result.runs.back().message;
    return result;
  }
  if (options.dryRun) return result;
  const WriteOutcome outcome = WritePaletteImages(result.runs, CTGFileManager::Get().Files());
  result.written = outcome.ok;
  if (!outcome.ok) {
    result.fault = PaletteFault::kWriteFailed;
    result.message = outcome.message;
  }
  return result;
}

int RunPalette(PaletteCommandOptions& options) {
  if (options.sheets.empty() == options.omk.empty()) {
    std::cerr << "pixmold palette: name the sheets, or a markup file with --omk, but not both\n";
    return kExitUsage;
  }
  for (const std::string& text : options.reserve) {
    const auto range = ParseReserveRange(text);
    if (!range) {
      std::cerr << "pixmold palette: --reserve " << EscapeControls(text)
                << ": expected I..J or I, entries between 0 and 255\n";
      return kExitUsage;
    }
    options.palette.reserve.push_back(*range);
  }
  const MarkupPalettes result = Make(options);
  if (result.fault != PaletteFault::kNone) {
    std::cerr << "pixmold palette: " << EscapeControls(result.message) << "\n";
    if (result.fault != PaletteFault::kWriteFailed) std::cerr << "pixmold palette: nothing written\n";
    return result.fault == PaletteFault::kUsage || result.fault == PaletteFault::kUnsupportedSheet ? kExitUsage
                                                                                                   : kExitFailed;
  }
  Report(result, options);
  return kExitOk;
}

RegisterCommand registerPalette(9, [](CLI::App& app, int* status) {
  auto options = std::make_shared<PaletteCommandOptions>();
  CLI::App* cmd = app.add_subcommand("palette", "Make the palette images of truecolour sheets");
  cmd->add_option("sheets", options->sheets, "The sheets (24- or 32-bit TGA) that share one palette");
  cmd->add_option("--omk", options->omk,
                  "Instead of naming sheets: every sheet this markup names, in its folder, one palette for\n"
                  "each group of sheets whose sprites share a palette id");
  cmd->add_flag("--allow-outside-names", options->allowOutsideNames,
                "With --omk: let the markup's sheet names leave its folder with \"..\" (refused without it, as a "
                "build refuses them)");
  cmd->add_option("--colours", options->palette.colours, "Entries the palette may use, 0..N-1 (default 256)")
      ->check(CLI::Range(2, 256));
  cmd->add_option("--dither", options->palette.dither,
                  "Error diffusion strength, 0 (none, the default: sprites stay crisp) to 1 (full)")
      ->check(CLI::Range(0.0, 1.0));
  cmd->add_option("--reserve", options->reserve,
                  "Keep entries I..J (or one entry I) away from drawn pixels; repeat for more ranges")
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  cmd->add_option("--from", options->palette.fromPalette,
                  "Map the sheets onto this palette image's colours instead of making a palette");
  cmd->add_flag("--dry-run", options->dryRun, "Report what the palette images would be; write nothing");
  cmd->add_flag("--json", options->json, "Write the report as one JSON object");
  cmd->add_flag("-q,--quiet", options->quiet, "Report nothing but errors");
  cmd->footer(
      "Each sheet's palette image is written beside it under the name the build looks for: the\n"
      "sheet's name with \"bmp\" for its last three characters (chair.tga gets chair.bmp), an 8-bit\n"
      "BMP whose pixels are the sheet's colours as palette indices.\n"
      "Drawn pixels: in a 32-bit sheet those whose alpha (the depth) is not 255; in a 24-bit sheet\n"
      "those whose colour differs from the top-left pixel's. An alpha image NAMEalpha.tga beside a\n"
      "sheet weighs each pixel by its coverage. Undrawn pixels take one entry of their own, the\n"
      "background, which no drawn pixel takes. Reserved entries keep the colours they have in the\n"
      "first sheet's current palette image (with --from, the given palette's).\n"
      "Report: per sheet its drawn pixels, the colours they use and their mean and largest error\n"
      "(distance in RGB between a pixel and its palette colour), then the colours each palette uses.\n"
      "--json: {\"dryRun\", \"written\", \"palettes\": [{\"paletteIds\", \"colours\", \"coloursUsed\",\n"
      "\"sheets\": [{\"sheet\", \"paletteImage\", \"width\", \"height\", \"drawnPixels\", \"coloursUsed\",\n"
      "\"meanError\", \"maxError\", \"psnr\" (dB; left out when exact)}], \"palette\": [[r, g, b] x 256]}]}.\n"
      "Nothing is written unless every sheet was read: each palette image is written under a\n"
      "temporary name and all are renamed at the end.\n"
      "Exit status: 0 written (or reported, with --dry-run), 1 a sheet, its alpha image, the --from\n"
      "palette or the markup cannot be read, or a palette image cannot be written, 2 bad options or a\n"
      "sheet that is not a 24- or 32-bit TGA.");
  cmd->callback([options, status] { *status = RunPalette(*options); });
});

}  // namespace
}  // namespace pixmold::cli
