// The thread a dialog build runs on. The dialog keeps polling the request's
// running flag, so the flag is raised before the thread exists: a tick that
// came first must not take a build that has not started for one that ended.
#pragma once

#include <atomic>
#include <thread>

#include "builder/build_args.h"

namespace pixmold {

// Runs the build on a new thread, recorded as the worker so that a broken
// invariant ends the build instead of the program. The request must outlive
// the thread; join it after the running flag drops. `result` gets the
// driver's status (0 built, 1 a fatal error ended it) before the flag drops.
std::thread StartBuildWorker(BuildArgs& args, std::atomic<int>& result);

}  // namespace pixmold
