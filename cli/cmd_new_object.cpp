// pixmold new-object TEMPLATE DEST: makes a new object file from a template
// object file, as a build's --new-from step does: every resource is copied,
// and every object definition gets a fresh GUID. When the template has
// sprites, their markup and sheets are exported beside the new object, its
// "target" tag naming it, so the copy builds at once.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "app/art_export.h"
#include "app/build_inputs.h"
#include "base/ascii.h"
#include "base/terminate.h"
#include "base/xassert.h"
#include "command_registry.h"
#include "filelib/ctg_file_manager.h"
#include "records/stub_object.h"
#include "res_target.h"
#include "user_text.h"

namespace pixmold::cli {
namespace {

struct NewObjectOptions {
  std::string source;
  std::string destination;
  std::string name;
  bool clearEntryPoints = false;
};

// Each part of the destination that is there already, named; true when
// there is one.
bool NameExistingParts(const std::string& destination) {
  bool existed = false;
  for (const std::string& part : ExistingParts(destination)) {
    std::cerr << "pixmold new-object: " << EscapeControls(part) << " already exists"
              << (std::filesystem::is_symlink(part) ? " (a symbolic link, which is never written through)"
                                                    : " (perhaps from an earlier run)")
              << "; remove it or choose another name\n";
    existed = true;
  }
  return existed;
}

// The reason a copy failed, named by the path to blame: the template when
// it cannot be read, the part of the destination that is there already,
// or the folder that is not.
void ExplainFailure(const NewObjectOptions& options, const StubObject& copier, ResErr err) {
  const std::string& source = options.source;
  if (!ObjectFileExists(source)) {
    std::cerr << "pixmold new-object: " << EscapeControls(source) << ": " << std::strerror(ENOENT) << "\n";
    return;
  }
  if (!copier.TemplateProblems().empty()) {
    for (const FileProblem& problem : copier.TemplateProblems()) {
      std::cerr << "pixmold new-object: " << EscapeControls(problem.Text()) << "\n";
    }
    return;
  }
  if (std::filesystem::exists(source)) {
    const std::string reason = PathReason(source);
    if (!reason.empty()) {
      std::cerr << "pixmold new-object: " << EscapeControls(source) << ": " << reason << "\n";
      return;
    }
  }
  if (NameExistingParts(options.destination)) return;
  const std::filesystem::path folder = std::filesystem::path(options.destination).parent_path();
  if (!folder.empty() && !std::filesystem::is_directory(folder)) {
    std::cerr << "pixmold new-object: " << EscapeControls(folder.string()) << ": no such folder for "
              << EscapeControls(std::filesystem::path(options.destination).filename().string()) << "\n";
    return;
  }
  const std::string reason = PathReason(options.destination, true);
  if (!reason.empty()) {
    std::cerr << "pixmold new-object: " << EscapeControls(options.destination) << ": " << reason << "\n";
    return;
  }
  std::cerr << "pixmold new-object: could not make new object: " << ResErrText(err) << " (" << err << ")\n";
}

// DEST without ".iff" or ".spf": the base name of the markup and sheets.
std::string DestinationBase(const std::string& destination) {
  if (EndsWithIgnoringCase(destination, ".iff") || EndsWithIgnoringCase(destination, ".spf"))
    return destination.substr(0, destination.size() - 4);
  return destination;
}

std::string DirectoryOf(const std::string& path) {
  const std::string directory = path.substr(0, path.size() - PathLeaf(path).size());
  return directory.empty() ? std::string("./") : directory;
}

// The template's art as markup and sheets beside the new object. A copy
// whose markup cannot be written is no use half made: it is removed again.
int ExportBeside(const NewObjectOptions& options) {
  ArtExportRequest request;
  request.object = DestinationBase(options.destination);
  request.directory = DirectoryOf(options.destination);
  request.force = true;
  request.keepExistingFiles = true;
  request.onlyWithSprites = true;
  if (!options.name.empty()) request.targetName = options.name;
  const ArtExportOutcome outcome = ExportArt(request, CTGFileManager::Get().Files());
  if (outcome.status == ArtExportStatus::kFailed || outcome.status == ArtExportStatus::kRefused) {
    std::cerr << "pixmold new-object: cannot export the template's sprites: " << EscapeControls(outcome.message)
              << "\n";
    FileSystem& files = CTGFileManager::Get().Files();
    for (const char* extension : {".iff", ".spf"}) files.Remove(request.object + extension);
    return kExitFailed;
  }
  for (const ExportProblem& problem : outcome.result.problems) {
    std::cerr << "pixmold new-object: warning: not in the markup exactly: " << EscapeControls(problem.what) << ": "
              << EscapeControls(problem.why) << "\n";
  }
  return kExitOk;
}

int RunNewObject(const NewObjectOptions& options) {
  // A second run finds the object it made first: that, not the markup made
  // beside it, is what the user named.
  if (NameExistingParts(options.destination)) return kExitFailed;
  const std::string markup = DestinationBase(options.destination) + ".omk";
  if (CTGFileManager::Get().Files().Kind(markup) != EntryKind::kMissing) {
    std::cerr << "pixmold new-object: " << EscapeControls(markup)
              << ": already exists (perhaps from an earlier run); remove it or choose another name\n";
    return kExitFailed;
  }
  StubObject copier;
  copier.SetClearEntryPoints(options.clearEntryPoints);
  if (!options.name.empty()) copier.SetNewName(options.name);
  ResErr err = 0;
  try {
    ScopedWorkerThread worker;
    err = copier.Copy(options.source, options.destination);
  } catch (const Terminate& fatal) {
    std::cerr << "fatal error: " << EscapeControls(WithoutSourceLocation(fatal.Message())) << "\n";
    return kExitFailed;
  }
  if (err != res_error::kNone) {
    ExplainFailure(options, copier, err);
    return kExitFailed;
  }
  return ExportBeside(options);
}

RegisterCommand registerNewObject(25, [](CLI::App& app, int* status) {
  auto options = std::make_shared<NewObjectOptions>();
  CLI::App* cmd = app.add_subcommand("new-object", "Make a new object file from a template object file");
  cmd->add_option("template", options->source, "The template object file")->required();
  cmd->add_option("destination", options->destination, "The new object file (must not exist)")->required();
  cmd->add_option("--name", options->name, "Name of the new object's master definitions");
  cmd->add_flag("--clear-entry-points", options->clearEntryPoints, "Clear the entry points of the copied definitions");
  cmd->footer(
      "Every resource is copied with its type, id, name and bytes; only each definition's GUID changes\n"
      "(and, with the options, its name and entry points).\n"
      "When the template has sprite lists, DEST.omk and the sheets it reads are written beside DEST\n"
      "as pixmold export writes them, the markup's \"target\" tag naming the new object (with --name),\n"
      "so that `pixmold build DEST.iff` rebuilds its sprites, palettes and draw groups at once. No\n"
      "existing file is replaced; what the markup cannot give back exactly is named as a warning.\n"
      "Nothing may be at DEST.iff or DEST.spf, a symbolic link included.\n"
      "Exit status: 0 made, 1 the copy failed: the template cannot be read, the destination or its\n"
      "markup exists, or the object or a sheet cannot be made (the path and the reason on standard\n"
      "error; a copy whose sheets cannot be written is removed again).");
  cmd->callback([options, status] { *status = RunNewObject(*options); });
});

}  // namespace
}  // namespace pixmold::cli
