// Runs a build request on its own thread, recorded as the worker, as the
// dialog and the command line run it: a broken invariant then ends the
// build instead of the test program.
#pragma once

#include <thread>

#include "base/xassert.h"
#include "builder/run_build.h"

namespace pixmold::testing {

inline int RunBuildOnWorker(BuildArgs& args) {
  int status = -1;
  std::thread worker([&] {
    ScopedWorkerThread scope;
    args.fRunning = 1;
    status = RunBuild(args);
    args.fRunning = 0;
  });
  worker.join();
  return status;
}

}  // namespace pixmold::testing
