// pixmold all: plans the whole data tree into a cache folder under it and
// lets ninja run the builds, in parallel and only where an input changed;
// ninja's status line is the progress display. One summary at the end.
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/stop_request.h"
#include "command_registry.h"
#include "run_process.h"
#include "stop_signals.h"
#include "tree_outcome.h"
#include "tree_plan.h"
#include "user_text.h"

namespace pixmold::cli {
namespace {

struct AllOptions {
  TreePlanRequest plan;
  std::optional<int> jobs;
  bool keepGoing = false;
  bool json = false;
};

constexpr const char* kNinja = "ninja";

// The objects ninja means to build, before it builds any; none (with the
// message printed) when ninja cannot run or read its plan. A dry run does
// not make the plan anew, and while its re-plan edge is pending it lists
// nothing else, so that edge (a folder of a tree changed) runs first.
std::optional<std::set<std::string>> DryRun(const std::string& planFile) {
  ProcessRun run = RunProcess({kNinja, "-f", planFile, planFile}, {}, ChildOutput::kCapture);
  // An empty status prefix leaves each line the edge's description alone.
  if (run.started && run.status == 0)
    run = RunProcess({kNinja, "-f", planFile, "-n"}, {"NINJA_STATUS="}, ChildOutput::kCapture);
  if (!run.started) {
    std::fprintf(stderr, "pixmold all: cannot run %s: %s (Debian package ninja-build)\n", kNinja, run.error.c_str());
    return std::nullopt;
  }
  if (run.status != 0) {
    std::fprintf(stderr, "pixmold all: ninja cannot read the plan %s:\n%s", EscapeControls(planFile).c_str(),
                 run.output.c_str());
    return std::nullopt;
  }
  return KeysToBuild(run.output);
}

int RunAll(AllOptions& options) {
  // Ctrl-C reaches ninja and us alike: ninja stops its builds at a resource
  // boundary, and we stay to say what was done. A SIGTERM sent to us alone
  // is passed on to ninja.
  ScopedStopSignals stopSignals;
  int status = kExitOk;
  options.plan.planFile = CachePlanFile(options.plan.dataDirectory);
  const std::optional<WrittenPlan> plan = WriteTreePlan(options.plan, &status);
  if (!plan) return status;
  const std::string& planFile = plan->settings.planFile;

  const std::optional<std::set<std::string>> toBuild = DryRun(planFile);
  if (!toBuild) return kExitFailed;
  if (StopRequested()) {
    std::fprintf(stderr, "pixmold all: interrupted before any build started\n");
    return kExitInterrupted;
  }
  std::map<std::string, BuildFileTimes> before;
  for (const std::string& key : *toBuild) before[key] = TimesOf(planFile, key);

  std::vector<std::string> arguments = {kNinja, "-f", planFile};
  if (options.jobs) arguments.insert(arguments.end(), {"-j", std::to_string(*options.jobs)});
  if (options.keepGoing) arguments.insert(arguments.end(), {"-k", "0"});
  // ninja's status line goes to standard output, unless that is kept for
  // the JSON alone.
  std::fflush(stdout);
  const ProcessRun run = RunProcess(arguments, {}, options.json ? ChildOutput::kToError : ChildOutput::kInherit);
  if (!run.started) {
    std::fprintf(stderr, "pixmold all: cannot run %s: %s\n", kNinja, run.error.c_str());
    return kExitFailed;
  }

  const bool interrupted = StopRequested();
  const std::vector<ObjectOutcome> outcomes = Outcomes(plan->tree.objects, planFile, before, interrupted);
  if (options.json) {
    WriteJsonSummary(std::cout, outcomes, interrupted);
  } else {
    WriteSummary(std::cout, outcomes, interrupted);
  }
  if (interrupted) {
    std::fprintf(stderr, "pixmold all: interrupted; the next run builds what was not built\n");
    return kExitInterrupted;
  }
  bool anyFailed = run.status != 0;
  for (const ObjectOutcome& outcome : outcomes) anyFailed = anyFailed || outcome.state == ObjectState::kFailed;
  return anyFailed ? kExitFailed : kExitOk;
}

RegisterCommand reg(13, [](CLI::App& app, int* status) {
  auto options = std::make_shared<AllOptions>();
  options->plan.command = "all";
  CLI::App* cmd =
      app.add_subcommand("all", "Build every object of a data tree from a content tree, in parallel, through ninja");
  cmd->add_option("--data", options->plan.dataDirectory, "Data tree: the object files are under DATA/Objects/")
      ->required();
  cmd->add_option("--content", options->plan.contentDirectory, "Content tree: the markup is under CONTENT/Sprites/")
      ->required();
  cmd->add_option("-j,--jobs", options->jobs, "Builds run at once (default: ninja's, from the number of cores)")
      ->check(CLI::PositiveNumber);
  cmd->add_flag("-k,--keep-going", options->keepGoing, "Go on building the other objects after one fails");
  cmd->add_flag("--json", options->json,
                "Print the summary as one line of JSON on standard output (ninja's output goes to standard error)");
  cmd->allow_extras();
  cmd->fallthrough(false);
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
    options->plan.buildOptions = cmd->remaining();
    *status = RunAll(*options);
  });
});

}  // namespace
}  // namespace pixmold::cli
