// What `pixmold plan` and `pixmold all` share: the trees checked and made
// absolute, the options for every build checked, and the ninja file written
// only when its text changed (an unchanged plan keeps its time, so ninja's
// re-plan edge settles at once).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/ninja_plan.h"

namespace pixmold::cli {

struct TreePlanRequest {
  std::string command;  // "plan" or "all", for messages
  std::string dataDirectory;
  std::string contentDirectory;
  std::string planFile;
  std::vector<std::string> buildOptions;
};

struct WrittenPlan {
  TreeObjects tree;
  PlanSettings settings;  // absolute paths
  bool changed = false;   // the file was written, not left as it was
};

// Prints what went wrong and sets *status (kExitUsage or kExitFailed) when
// the plan cannot be made.
std::optional<WrittenPlan> WriteTreePlan(const TreePlanRequest& request, int* status);

// `path` made absolute and normal, without a slash at its end, as the plan
// names every path.
std::string Absolute(const std::string& path);

// Where `pixmold all` keeps its plan: a folder of the data tree that the
// scans never look in.
std::string CachePlanFile(const std::string& dataDirectory);

}  // namespace pixmold::cli
