#include "base/stop_request.h"

#include <atomic>

#include "base/report.h"

namespace pixmold {
namespace {

// Lock-free, so that the handler's store is async-signal-safe.
std::atomic<bool> gStopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

}  // namespace

void RequestStop() noexcept { gStopRequested.store(true, std::memory_order_relaxed); }

bool StopRequested() noexcept { return gStopRequested.load(std::memory_order_relaxed); }

void ClearStopRequest() noexcept { gStopRequested.store(false, std::memory_order_relaxed); }

void StopHereIfRequested() {
  if (StopRequested()) FatalError("interrupted");
}

}  // namespace pixmold
