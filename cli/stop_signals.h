// SIGINT and SIGTERM during a build ask it to stop at the next resource
// boundary instead of killing it where it stands; a second signal of either
// kind takes the default action, for a build that does not get to a
// boundary soon enough for the user.
#pragma once

#include <signal.h>

namespace pixmold::cli {

class ScopedStopSignals {
 public:
  ScopedStopSignals();
  ~ScopedStopSignals();
  ScopedStopSignals(const ScopedStopSignals&) = delete;
  ScopedStopSignals& operator=(const ScopedStopSignals&) = delete;

 private:
  struct sigaction fOldInterrupt {};
  struct sigaction fOldTerminate {};
};

}  // namespace pixmold::cli
