// One run over a whole tree, as `pixmold all` does it and `pixmold watch`
// repeats it: the plan written into the data tree's cache folder, ninja's
// dry run to learn what it means to build, ninja itself, then the summary.
// The caller owns the stop signals (ScopedStopSignals), because a watch
// keeps them across many runs and the waits between them.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>

#include "tree_plan.h"

namespace pixmold::cli {

struct TreeRunOptions {
  TreePlanRequest plan;  // plan.command names the command in every message
  std::optional<int> jobs;
  bool keepGoing = false;
  bool json = false;
};

// The options both commands take; what is left over is an option for every
// build (call TakeBuildOptions in the callback).
void AddTreeRunOptions(CLI::App& command, TreeRunOptions& options);
void TakeBuildOptions(CLI::App& command, TreeRunOptions& options);

// False, with the message printed, when ninja cannot be started at all.
bool NinjaRuns(const std::string& command);

// kExitOk, kExitFailed (an object failed, ninja could not run), kExitUsage
// (the plan refused its request) or kExitInterrupted.
int RunTree(TreeRunOptions& options);

}  // namespace pixmold::cli
