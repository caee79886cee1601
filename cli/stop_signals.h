// SIGINT and SIGTERM during a build ask it to stop at the next resource
// boundary instead of killing it where it stands; a second signal of either
// kind takes the default action, for a build that does not get to a
// boundary soon enough for the user.
#pragma once

#include <signal.h>
#include <sys/types.h>

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

// While a child runs (ninja, under `pixmold all`), the stop signals go on to
// it too, so a SIGTERM sent to us alone stops the builds it runs; 0 ends the
// forwarding. Without ScopedStopSignals in place nothing is forwarded.
void ForwardStopSignalsTo(pid_t child) noexcept;

}  // namespace pixmold::cli
