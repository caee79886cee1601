#include "builder/build_args.h"

#include <algorithm>

namespace pixmold {
namespace {

BuildArgs* gCurrentArgs = nullptr;

}  // namespace

BuildArgs* CurrentBuildArgs() { return gCurrentArgs; }

ScopedCurrentBuildArgs::ScopedCurrentBuildArgs(BuildArgs& args) : fPrevious(gCurrentArgs) { gCurrentArgs = &args; }

ScopedCurrentBuildArgs::~ScopedCurrentBuildArgs() { gCurrentArgs = fPrevious; }

BuildArgs::BuildArgs() = default;
BuildArgs::~BuildArgs() = default;

bool BuildArgs::SelectsDrawGroup(std::int32_t id) const {
  return drawGroupIds.empty() ||
         std::find(drawGroupIds.begin(), drawGroupIds.end(), static_cast<std::int16_t>(id)) != drawGroupIds.end();
}

bool BuildArgs::SelectsWallStyle(std::int32_t id) const {
  return wallStyleIds.empty() ||
         std::find(wallStyleIds.begin(), wallStyleIds.end(), static_cast<std::int16_t>(id)) != wallStyleIds.end();
}

}  // namespace pixmold
