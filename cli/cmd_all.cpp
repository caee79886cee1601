// pixmold all: plans the whole data tree into a cache folder under it and
// lets ninja run the builds, in parallel and only where an input changed;
// ninja's status line is the progress display. One summary at the end.
#include <memory>

#include "command_registry.h"
#include "stop_signals.h"
#include "tree_run.h"

namespace pixmold::cli {
namespace {

int RunAll(TreeRunOptions& options) {
  // Ctrl-C reaches ninja and us alike: ninja stops its builds at a resource
  // boundary, and we stay to say what was done. A SIGTERM sent to us alone
  // is passed on to ninja.
  ScopedStopSignals stopSignals;
  return RunTree(options);
}

RegisterCommand registerAll(13, [](CLI::App& app, int* status) {
  auto options = std::make_shared<TreeRunOptions>();
  options->plan.command = "all";
  CLI::App* cmd =
      app.add_subcommand("all", "Build every object of a data tree from a content tree, in parallel, through ninja");
  AddTreeRunOptions(*cmd, *options);
  cmd->footer(
      "Writes the plan of 'pixmold plan' to DATA/.pixmold/build.ninja and runs ninja on it. A re-run\n"
      "builds only the objects whose markup, sheets, palettes, pictures or object file changed since\n"
      "their last successful build, and a failed object again; the plan follows objects that come and go.\n"
      "Every other option is an option of 'pixmold build' and is given to every object's build.\n"
      "Each build's report is kept in DATA/.pixmold/objects/. The summary on standard output counts\n"
      "the objects built, up to date and failed, and names each failure with its fatal error and report.\n"
      "Ctrl-C (SIGINT) or SIGTERM stops the builds at a resource boundary, then the summary is printed.\n"
      "Exit status: 0 every object built or up to date, 1 an object failed or ninja could not run,\n"
      "2 usage error or a tree without its folder, 130 interrupted.");
  cmd->callback([options, status, cmd] {
    TakeBuildOptions(*cmd, *options);
    *status = RunAll(*options);
  });
});

}  // namespace
}  // namespace pixmold::cli
