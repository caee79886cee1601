#include "tree_run.h"

#include <cstdio>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/stop_request.h"
#include "command_registry.h"
#include "run_process.h"
#include "tree_outcome.h"
#include "user_text.h"

namespace pixmold::cli {
namespace {

constexpr const char* kNinja = "ninja";

void SayNinjaCannotRun(const std::string& command, const std::string& reason) {
  std::fprintf(stderr, "pixmold %s: cannot run %s: %s (Debian package ninja-build)\n", command.c_str(), kNinja,
               reason.c_str());
}

// Whether a dry run's lines name the re-plan edge (its description is
// "plan"; an object's is "build KEY").
bool ListsThePlanAlone(const std::string& dryRunOutput) {
  std::istringstream lines(dryRunOutput);
  std::string line;
  while (std::getline(lines, line)) {
    if (line == "plan") return true;
  }
  return false;
}

// The objects ninja means to build, before it builds any; none (with the
// message printed) when ninja cannot run or read its plan. A stop request
// that came meanwhile is no failure of the plan: ninja was stopped too, so
// the caller asks StopRequested() before trusting what this says.
std::optional<std::set<std::string>> DryRun(const std::string& command, const std::string& planFile) {
  if (StopRequested()) return std::set<std::string>();
  // An empty status prefix leaves each line the edge's description alone.
  const auto dryRun = [&] {
    return RunProcess({kNinja, "-f", planFile, "-n"}, {"NINJA_STATUS="}, ChildOutput::kCapture);
  };
  // The plan was just written from the trees, so one dry run usually says
  // it all; a ninja process less is time no build runs beside. Only when a
  // folder of a tree changed since ninja last made the plan does the dry run
  // list the re-plan edge alone: that edge runs, and the dry run again.
  ProcessRun run = dryRun();
  if (run.started && run.status == 0 && !StopRequested() && ListsThePlanAlone(run.output)) {
    run = RunProcess({kNinja, "-f", planFile, planFile}, {}, ChildOutput::kCapture);
    if (run.started && run.status == 0 && !StopRequested()) run = dryRun();
  }
  if (StopRequested()) return std::set<std::string>();
  if (!run.started) {
    SayNinjaCannotRun(command, run.error);
    return std::nullopt;
  }
  if (run.status != 0) {
    std::fprintf(stderr, "pixmold %s: ninja cannot read the plan %s:\n%s", command.c_str(),
                 EscapeControls(planFile).c_str(), run.output.c_str());
    return std::nullopt;
  }
  return KeysToBuild(run.output);
}

// The summary of a run, on standard output, and its exit status.
int Summarise(const TreeRunOptions& options, const std::vector<PlannedObject>& objects, const std::string& planFile,
              const std::map<std::string, BuildFileTimes>& before, bool interrupted, int ninjaStatus) {
  const std::string& command = options.plan.command;
  const std::vector<ObjectOutcome> outcomes = Outcomes(objects, planFile, before, interrupted);
  if (options.json) {
    WriteJsonSummary(std::cout, outcomes, interrupted);
  } else {
    WriteSummary(std::cout, command, outcomes, interrupted);
  }
  // A watch prints run after run into a file or a pipe as well as a terminal.
  std::cout.flush();
  if (interrupted) {
    std::fprintf(stderr, "pixmold %s: interrupted; the next run builds what was not built\n", command.c_str());
    return kExitInterrupted;
  }
  bool anyFailed = ninjaStatus != 0;
  for (const ObjectOutcome& outcome : outcomes) anyFailed = anyFailed || outcome.state == ObjectState::kFailed;
  return anyFailed ? kExitFailed : kExitOk;
}

}  // namespace

bool NinjaRuns(const std::string& command) {
  const ProcessRun run = RunProcess({kNinja, "--version"}, {}, ChildOutput::kCapture);
  if (!run.started) SayNinjaCannotRun(command, run.error);
  return run.started;
}

void AddTreeRunOptions(CLI::App& command, TreeRunOptions& options) {
  command.add_option("--data", options.plan.dataDirectory, "Data tree: the object files are under DATA/Objects/")
      ->required();
  command.add_option("--content", options.plan.contentDirectory, "Content tree: the markup is under CONTENT/Sprites/")
      ->required();
  command.add_option("-j,--jobs", options.jobs, "Builds run at once (default: ninja's, from the number of cores)")
      ->check(CLI::Validator(
          [](const std::string& value) {
            // What is not a number at all is left to the parser's own message.
            long long jobs = 0;
            std::istringstream number(value);
            if (!(number >> jobs)) return std::string();
            return jobs < 1 ? std::string("-j must be at least 1") : std::string();
          },
          "N"));
  command.add_flag("-k,--keep-going", options.keepGoing, "Go on building the other objects after one fails");
  command.add_flag("--json", options.json,
                   "Print the summary as one line of JSON on standard output (ninja's output goes to standard error)");
  command.allow_extras();
  command.fallthrough(false);
}

void TakeBuildOptions(CLI::App& command, TreeRunOptions& options) { options.plan.buildOptions = command.remaining(); }

int RunTree(TreeRunOptions& options) {
  const std::string& command = options.plan.command;
  int status = kExitOk;
  options.plan.planFile = CachePlanFile(options.plan.dataDirectory);
  const std::optional<WrittenPlan> plan = WriteTreePlan(options.plan, &status);
  if (!plan) return status;
  const std::string& planFile = plan->settings.planFile;

  // A dry run does not make the plan anew, and while its re-plan edge is
  // pending it lists nothing else, so that edge (a folder of a tree
  // changed) runs first.
  const std::optional<std::set<std::string>> toBuild = DryRun(command, planFile);
  if (!toBuild) return kExitFailed;
  std::map<std::string, BuildFileTimes> before;
  if (StopRequested()) {
    // Stopped before ninja said what it would build: none was started.
    for (const PlannedObject& object : plan->tree.objects) before[object.key] = TimesOf(planFile, object.key);
    return Summarise(options, plan->tree.objects, planFile, before, true, kExitOk);
  }
  for (const std::string& key : *toBuild) before[key] = TimesOf(planFile, key);

  std::vector<std::string> arguments = {kNinja, "-f", planFile};
  if (options.jobs) arguments.insert(arguments.end(), {"-j", std::to_string(*options.jobs)});
  if (options.keepGoing) arguments.insert(arguments.end(), {"-k", "0"});
  // ninja's status line goes to standard output, unless that is kept for
  // the JSON alone.
  std::cout.flush();
  std::fflush(stdout);
  const ProcessRun run = RunProcess(arguments, {}, options.json ? ChildOutput::kToError : ChildOutput::kInherit);
  if (!run.started) {
    std::fprintf(stderr, "pixmold %s: cannot run %s: %s\n", command.c_str(), kNinja, run.error.c_str());
    return kExitFailed;
  }

  return Summarise(options, plan->tree.objects, planFile, before, StopRequested(), run.status);
}

}  // namespace pixmold::cli
