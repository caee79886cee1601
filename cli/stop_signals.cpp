#include "stop_signals.h"

#include "base/stop_request.h"

namespace pixmold::cli {
namespace {

void OnStopSignal(int) { RequestStop(); }

}  // namespace

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
