// pixmold preview FILE TYPE ID -o DIR: decodes every frame of a stored SPR2
// or SPR# sprite list into PNG files, or draws the views of a draw group
// (preview_draw_group.h) or of every draw group (DGRP --all), so an artist
// can see what a build wrote without the game. The file opens as the resource commands open
// theirs: a container file, a directory of loose resources or an object.
// Frames are coloured with the PALT the list names, else the PALT of the
// list's own id, else a grey ramp; clear pixels are transparent. With
// --channels each frame's depth and alpha channels are written beside it as
// greyscale images.
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/work_threads.h"
#include "command_registry.h"
#include "imaging/palette_resource.h"
#include "imaging/sprite_preview.h"
#include "png_writer.h"
#include "preview_draw_group.h"
#include "res_target.h"
#include "resfile/handle_owner.h"
#include "resfile/res_file.h"

namespace pixmold::cli {
namespace {

constexpr ResType kPaletteType = MakeResType("PALT");

struct PreviewOptions {
  std::string file;
  std::string type;
  std::optional<int> id;
  bool every = false;
  int threads = 0;  // 0: one per core
  std::string outDir;
  bool channels = false;
  std::optional<int> palette;
  std::optional<int> direction;
  std::optional<int> zoom;
  bool quiet = false;
};

constexpr ResType kDrawGroupType = MakeResType("DGRP");

// A copy of a resource's bytes, or nothing when the file has no such
// resource. The handle goes back to the file at once.
std::optional<std::vector<std::uint8_t>> CopyResource(iResFile& file, ResType type, ResID id) {
  MHandle h = file.GetResource(type, id, nullptr);
  if (h == nullptr) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  {
    HandleLock lock(h);
    if (lock.Data() != nullptr) bytes.assign(lock.Data(), lock.Data() + lock.Size());
  }
  file.ReleaseAndDispose(h);
  return bytes;
}

std::optional<PreviewPalette> LoadPalette(iResFile& file, int id) {
  if (id < INT16_MIN || id > INT16_MAX) return std::nullopt;
  auto bytes = CopyResource(file, kPaletteType, static_cast<ResID>(id));
  if (!bytes) return std::nullopt;
  auto resource = DecodePaletteResource(*bytes);
  if (!resource || resource->mVersion != kPaletteResourceVersion || resource->mCount == 0) return std::nullopt;
  return PaletteFromResource(*resource);
}

// The palette the frames are shown in, and a line saying which it is.
PreviewPalette ChoosePalette(iResFile& file, const PreviewOptions& options, const PreviewList& list,
                             std::string& which) {
  std::vector<int> candidates;
  if (options.palette) {
    candidates.push_back(*options.palette);
  } else {
    if (list.paletteId >= 0) candidates.push_back(list.paletteId);
    if (*options.id != list.paletteId) candidates.push_back(*options.id);
  }
  for (int id : candidates) {
    if (auto palette = LoadPalette(file, id)) {
      which = "PALT " + std::to_string(id);
      return *palette;
    }
  }
  which = "a grey ramp (no usable PALT";
  for (std::size_t i = 0; i < candidates.size(); ++i) which += (i ? " or " : " ") + std::to_string(candidates[i]);
  which += ")";
  return GreyRampPalette();
}

int WriteFrames(iResFile& file, ResType type, const PreviewOptions& options) {
  const char* kName = "pixmold preview: ";
  const auto id = static_cast<ResID>(*options.id);
  auto bytes = CopyResource(file, type, id);
  if (!bytes) {
    std::cerr << kName << options.file << " holds no " << options.type << " " << *options.id << "\n";
    return kExitFailed;
  }
  PreviewList list;
  const SpriteDecodeStatus status = DecodePreviewList(type, *bytes, list);
  if (!status.Ok()) {
    std::cerr << kName << options.type << " " << *options.id << " cannot be decoded: " << status.error << " (at byte "
              << status.offset << ")\n";
    return kExitFailed;
  }
  std::string which;
  const PreviewPalette palette = ChoosePalette(file, options, list, which);
  // A palette the user asked for by id and did not get is worth a word even
  // when quiet: the images would look wrong without saying why.
  const bool askedPaletteMissing = options.palette && which.rfind("PALT ", 0) != 0;
  if (!options.quiet || askedPaletteMissing) {
    std::cerr << kName << (askedPaletteMissing ? "warning: " : "") << "colours from " << which << "\n";
  }

  std::error_code ec;
  std::filesystem::create_directories(options.outDir, ec);
  if (ec) {
    std::cerr << kName << "cannot create " << options.outDir << ": " << ec.message() << "\n";
    return kExitFailed;
  }
  const std::filesystem::path dir(options.outDir);
  auto write = [&](const std::string& name, const PreviewImage& image) {
    const std::string path = (dir / name).string();
    const std::string problem = WritePng(path, image);
    if (!problem.empty()) {
      std::cerr << kName << "cannot write " << path << ": " << problem << "\n";
      return false;
    }
    if (!options.quiet) std::cout << path << "\n";
    return true;
  };
  for (std::size_t i = 0; i < list.frames.size(); ++i) {
    const PreviewFrame& frame = list.frames[i];
    const std::string stem = PreviewFileStem(type, id, i);
    if (!write(stem + ".png", ColourImage(frame.pixels, palette))) return kExitFailed;
    if (!options.channels) continue;
    if (frame.hasDepth && !write(stem + "_depth.png", DepthImage(frame.pixels))) return kExitFailed;
    if (frame.hasAlpha && !write(stem + "_alpha.png", AlphaImage(frame.pixels))) return kExitFailed;
  }
  std::cout.flush();
  return kExitOk;
}

int RunPreview(const PreviewOptions& options) {
  const char* kName = "pixmold preview: ";
  const auto type = ParseResType(options.type);
  if (!type || (*type != kSprite2Type && *type != kSpriteType && *type != kDrawGroupType)) {
    std::cerr << kName << "TYPE must be SPR2, SPR# or DGRP, not \"" << options.type << "\"\n";
    return kExitUsage;
  }
  const bool drawGroup = *type == kDrawGroupType;
  if (options.every && !drawGroup) {
    std::cerr << kName << "--all applies to draw groups\n";
    return kExitUsage;
  }
  if (options.every == options.id.has_value()) {
    std::cerr << kName
              << (options.every ? "give an ID or --all, not both\n" : "an ID is required (or --all with DGRP)\n");
    return kExitUsage;
  }
  if (drawGroup && options.palette) {
    std::cerr << kName << "--palette applies to sprite lists; a draw group uses each list's own palette\n";
    return kExitUsage;
  }
  if (!drawGroup && (options.direction || options.zoom)) {
    std::cerr << kName << "--direction and --zoom apply to draw groups\n";
    return kExitUsage;
  }
  int openStatus = kExitOk;
  OpenForReadingOnly();
  std::optional<ResTarget> target = OpenTarget("preview", options.file, false, &openStatus);
  if (!target) return openStatus;
  int status = kExitOk;
  if (drawGroup) {
    const DrawGroupPreviewOptions groupOptions{
        options.file,   static_cast<ResID>(options.id.value_or(0)),
        options.outDir, options.direction,
        options.zoom,   options.channels,
        options.quiet,  options.threads > 0 ? options.threads : DefaultThreadCount()};
    status = options.every ? WriteEveryDrawGroupPreview(*target->file, groupOptions)
                           : WriteDrawGroupPreviews(*target->file, groupOptions);
  } else {
    status = WriteFrames(*target->file, *type, options);
  }
  const int closeStatus = CloseTarget("preview", *target);
  return status != kExitOk ? status : closeStatus;
}

RegisterCommand registerPreview(40, [](CLI::App& app, int* status) {
  auto options = std::make_shared<PreviewOptions>();
  CLI::App* cmd = app.add_subcommand(
      "preview",
      "Write the frames of a stored SPR2 or SPR# sprite list, or the views of one or every draw group, as PNG files");
  cmd->add_option("file", options->file, "The resource file: an object's base name or a container file")->required();
  cmd->add_option("type", options->type, "SPR2 or SPR# (a sprite list) or DGRP (a draw group)")->required();
  cmd->add_option("id", options->id, "The resource id (none with --all)")->check(CLI::Range(-32768, 32767));
  cmd->add_flag("--all", options->every, "DGRP: every draw group of the file, in id order, instead of one ID");
  cmd->add_option("-o,--output", options->outDir, "The directory for the PNG files (created when missing)")->required();
  cmd->add_flag("--channels", options->channels,
                "Also write each frame's depth and alpha channels (a draw group: the composited depth)");
  cmd->add_option("--palette", options->palette, "Colour with this PALT id instead of the list's")
      ->check(CLI::Range(-32768, 32767));
  cmd->add_option("--direction", options->direction, "DGRP: only this view direction (0..7)")->check(CLI::Range(0, 7));
  cmd->add_option("--zoom", options->zoom, "DGRP: only this zoom (1 small, 2 medium, 3 large)")
      ->check(CLI::Range(1, 3));
  cmd->add_flag("-q,--quiet", options->quiet, "Do not list the files written");
  cmd->add_option("--threads", options->threads, "DGRP: PNG files written at once (default: one per core)")
      ->check(CLI::Range(1, 256));
  cmd->footer(
      "Output: DIR/TYPE_ID_frameNNN.png for each frame (SPR2_100_frame003.png), in red, green, blue\n"
      "and alpha; clear pixels are transparent. Colours come from --palette, else the PALT the list\n"
      "names, else the PALT with the list's own id, else a grey ramp (index i as grey i). With\n"
      "--channels, frames that store depth also get TYPE_ID_frameNNN_depth.png (255 = nothing there)\n"
      "and frames that store alpha TYPE_ID_frameNNN_alpha.png (0 clear .. 255 opaque), both greyscale.\n"
      "An SPR# list of version 503 shows its colour frames, its second half being their depth.\n"
      "An empty frame is written as one transparent pixel. The paths written go to standard output.\n"
      "\n"
      "DGRP: each view is drawn as the game draws it: every item's frame (SPR2, else SPR#, with the\n"
      "item's sprite id) at its screen offset from the object's reference point, mirrored when\n"
      "flagged, in the draw group's order, nearer depth winning over farther (frames without depth\n"
      "paint over), coloured by each list's PALT. One DIR/DGRP_ID_dD_zZ.png per view\n"
      "(DGRP_100_d2_z3.png: direction 2, zoom 3), for every view, or those of --direction and\n"
      "--zoom. Without either also DIR/DGRP_ID_contact.png, every view in one grid: a column per\n"
      "direction (0, 1, ... 7, those the draw group has), a row per zoom (3 large at the top, then 2,\n"
      "then 1), each view with its reference point at the same place in its cell, on mid grey.\n"
      "With --channels also each view's depth (_depth.png, 255 = nothing) and the contact sheet's\n"
      "(DGRP_ID_contact_depth.png). Items that cannot be drawn are named on standard error.\n"
      "\n"
      "DGRP --all (instead of an ID): every draw group of the file in id order, each written as a run\n"
      "with its ID would write it (views, contact sheet, paths and notes); one that cannot be shown is\n"
      "named and the others are still written. A list shown by several draw groups is decoded once,\n"
      "and the PNG files are encoded on --threads threads.\n"
      "\n"
      "Exit status: 0 written; 1 no such list, draw group or view, it cannot be decoded, the\n"
      "resource file is damaged or a file cannot be written (--all: the file holds no draw group, or one\n"
      "of them failed); 2 usage error or no such resource file or object.");
  cmd->callback([options, status] { *status = RunPreview(*options); });
});

}  // namespace
}  // namespace pixmold::cli
