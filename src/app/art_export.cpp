#include "app/art_export.h"

#include <algorithm>
#include <memory>

#include "app/build_inputs.h"
#include "base/ascii.h"
#include "builder/export/art_resources.h"
#include "filelib/file_system.h"
#include "resfile/iff_res_file.h"
#include "resfile/iff_res_file2.h"
#include "resfile/obj_res_file.h"

namespace pixmold {
namespace {

bool HasPartExtension(std::string_view path) {
  return EndsWithIgnoringCase(path, ".iff") || EndsWithIgnoringCase(path, ".spf");
}

// An object's parts, or a container on its own: a path with an object
// extension names the object when its other part is there too.
std::unique_ptr<iResFile> OpenObject(const std::string& path, FileSystem& files, std::string& why, bool& missing) {
  const bool isFile = files.Kind(path) == EntryKind::kFile;
  std::string base = path;
  if (HasPartExtension(path)) base = path.substr(0, path.size() - 4);
  const bool hasData = files.Kind(base + ".iff") == EntryKind::kFile;
  const bool hasGraphics = files.Kind(base + ".spf") == EntryKind::kFile;
  const bool object = HasPartExtension(path) ? hasData && hasGraphics : !isFile;
  if (object) {
    if (!hasData && !hasGraphics && files.Kind(base + ".dir") == EntryKind::kMissing) {
      why = "no object file or container named " + path;
      missing = true;
      return nullptr;
    }
    auto file = std::make_unique<ObjResFile>();
    if (const ResErr err = file->OpenFile(CTGString(base)); err != 0) {
      why = "cannot open " + path + " (error " + std::to_string(err) + ")";
      return nullptr;
    }
    return file;
  }
  if (!isFile) {
    why = "no object file or container named " + path;
    missing = true;
    return nullptr;
  }
  auto second = std::make_unique<IFFResFile2>();
  ResErr err = second->OpenFile(CTGString(path));
  if (err == 0) return second;
  auto first = std::make_unique<IFFResFile>();
  if (err == res_error::kNotIFF && (err = first->OpenFile(CTGString(path))) == 0) return first;
  why = "cannot open " + path + " (error " + std::to_string(err) + ")";
  return nullptr;
}

std::string PrepareDirectory(const std::string& directory, bool force, FileSystem& files) {
  switch (files.Kind(directory)) {
    case EntryKind::kMissing:
      return files.MakeDirectories(directory) ? std::string() : "cannot make the folder " + directory;
    case EntryKind::kDirectory: {
      std::vector<DirEntry> entries;
      if (!files.List(directory, entries)) return "cannot read the folder " + directory;
      if (!entries.empty() && !force) return directory + " is not empty (--force exports into it all the same)";
      return {};
    }
    default: return directory + " is not a folder";
  }
}

}  // namespace

std::string ArtExportBaseName(const std::string& object) {
  std::string_view leaf = PathLeaf(object);
  if (HasPartExtension(leaf)) leaf.remove_suffix(4);
  return std::string(leaf);
}

ArtExportOutcome ExportArt(const ArtExportRequest& request, FileSystem& files) {
  ArtExportOutcome outcome;
  bool missing = false;
  std::unique_ptr<iResFile> file = OpenObject(request.object, files, outcome.message, missing);
  if (!file) {
    outcome.status = missing ? ArtExportStatus::kRefused : ArtExportStatus::kFailed;
    return outcome;
  }
  if (request.onlyWithSprites && ListArtResources(*file, kExportSprite2Type, request.variant).empty() &&
      ListArtResources(*file, kExportSpriteType, request.variant).empty()) {
    file->CloseFile();
    outcome.status = ArtExportStatus::kExact;
    return outcome;
  }
  for (std::int32_t id : request.drawGroupIds) {
    const auto groups = ListArtResources(*file, kExportDrawGroupType, request.variant);
    if (std::none_of(groups.begin(), groups.end(), [&](const ArtResource& group) { return group.id == id; })) {
      outcome.status = ArtExportStatus::kRefused;
      outcome.message = request.object + " has no DGRP " + std::to_string(id);
      file->CloseFile();
      return outcome;
    }
  }
  outcome.message = PrepareDirectory(request.directory, request.force, files);
  if (!outcome.message.empty()) {
    outcome.status = ArtExportStatus::kRefused;
    file->CloseFile();
    return outcome;
  }
  ExportRequest exportRequest;
  exportRequest.directory = WithTrailingSeparator(request.directory);
  exportRequest.baseName = ArtExportBaseName(request.object);
  exportRequest.source = request.object;
  exportRequest.target = request.targetName;
  exportRequest.drawGroupIds = request.drawGroupIds;
  exportRequest.variant = request.variant;
  exportRequest.keepExistingFiles = request.keepExistingFiles;
  outcome.result = ExportObjectArt(*file, files, exportRequest);
  file->CloseFile();
  if (!outcome.result.failure.empty()) {
    outcome.status = ArtExportStatus::kFailed;
    outcome.message = outcome.result.failure;
  } else {
    outcome.status = outcome.result.Exact() ? ArtExportStatus::kExact : ArtExportStatus::kPartial;
  }
  return outcome;
}

std::string ArtExportSummary(const ArtExportRequest& request, const ArtExportOutcome& outcome) {
  if (outcome.status == ArtExportStatus::kFailed || outcome.status == ArtExportStatus::kRefused)
    return "Export failed: " + outcome.message + "\n";
  const ExportResult& result = outcome.result;
  std::string text = "Exported " + std::to_string(result.sprites.size()) + " sprite lists, " +
                     std::to_string(result.drawGroups.size()) + " draw groups and " +
                     std::to_string(result.palettes.size()) + " palettes of " + request.object + " into " +
                     request.directory + (result.Exact() ? " exactly.\n" : "; not exact:\n");
  for (const ExportProblem& problem : result.problems) text += problem.what + ": " + problem.why + "\n";
  for (const ExportProblem& warning : result.warnings) text += "warning: " + warning.what + ": " + warning.why + "\n";
  return text;
}

}  // namespace pixmold
