// pixmold new-object TEMPLATE DEST: makes a new object file from a template
// object file, as a build's --new-from step does: every resource is copied,
// and every object definition gets a fresh GUID.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "base/terminate.h"
#include "base/xassert.h"
#include "command_registry.h"
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
  bool existed = false;
  for (const std::string& part : ExistingParts(options.destination)) {
    std::cerr << "pixmold new-object: " << EscapeControls(part) << " already exists"
              << (std::filesystem::is_symlink(part) ? " (a symbolic link, which is never written through)"
                                                    : " (perhaps from an earlier run)")
              << "; remove it or choose another name\n";
    existed = true;
  }
  if (existed) return;
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

int RunNewObject(const NewObjectOptions& options) {
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
  return kExitOk;
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
      "Nothing may be at DEST.iff or DEST.spf, a symbolic link included; a copy that fails removes\n"
      "what it made.\n"
      "Exit status: 0 made, 1 the copy failed: the template cannot be read, the destination exists\n"
      "or cannot be made (the path and the reason on standard error).");
  cmd->callback([options, status] { *status = RunNewObject(*options); });
});

}  // namespace
}  // namespace pixmold::cli
