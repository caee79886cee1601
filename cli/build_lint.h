// What every build checks beyond the build itself: requests and markup that
// the build would accept without a word but that are almost always
// mistakes. Each finding is a build warning, so it reaches the report and
// the --json summary like the build's own; the build still decides the exit
// status.
#pragma once

#include <string>

#include "builder/build_args.h"

namespace pixmold::cli {

struct LintOptions {
  std::string images;  // --images as given, empty when absent
  bool nameGiven = false;
  bool clearEntryPointsGiven = false;
};

// Checks of the request alone, before the build runs.
void LintRequest(const BuildArgs& args, const LintOptions& options);

// Checks of what the build read (its context must still be in `args`).
void LintBuilt(const BuildArgs& args);

}  // namespace pixmold::cli
