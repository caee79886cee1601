#include "stop_signals.h"

#include <atomic>

#include "base/stop_request.h"

namespace pixmold::cli {
namespace {

std::atomic<pid_t> gForwardTo{0};
static_assert(std::atomic<pid_t>::is_always_lock_free, "read in a signal handler");

void OnStopSignal(int signal) {
  RequestStop();
  const pid_t child = gForwardTo.load();
  if (child > 0) ::kill(child, signal);
}

}  // namespace

void ForwardStopSignalsTo(pid_t child) noexcept { gForwardTo.store(child); }

ScopedStopSignals::ScopedStopSignals() {
  ClearStopRequest();
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // The first signal only raises the request; the next one is the default.
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &action, &fOldInterrupt);
  sigaction(SIGTERM, &action, &fOldTerminate);
}

ScopedStopSignals::~ScopedStopSignals() {
  sigaction(SIGINT, &fOldInterrupt, nullptr);
  sigaction(SIGTERM, &fOldTerminate, nullptr);
}

}  // namespace pixmold::cli
