#include "base/trailing_work.h"

#include <system_error>
#include <utility>

#include "base/worker_helper.h"
#include "base/xassert.h"

namespace pixmold {

TrailingWork::~TrailingWork() {
  if (fThread.joinable()) fThread.join();
  fHolding.reset();
}

void TrailingWork::Start(std::function<void()> work) {
  Settle();
  if (fBeside) {
    fWorkReports.clear();
    fWorkFailure = nullptr;
    fWork = std::move(work);
    const bool worker = IsWorkerThread();
    try {
      fThread = std::thread([this, worker] {
        ScopedWorkerHelper helper(worker);
        ScopedHeldReports held(fWorkReports);
        try {
          fWork();
        } catch (...) {
          fWorkFailure = std::current_exception();
        }
      });
      fOwnReports.clear();
      fHolding.emplace(fOwnReports);
      return;
    } catch (const std::system_error&) {
      // No thread to be had: the work is done here instead.
    }
    std::exchange(fWork, nullptr)();
    return;
  }
  work();
}

void TrailingWork::Settle(std::exception_ptr failure) {
  if (fThread.joinable()) {
    fThread.join();
    fWork = nullptr;
    fHolding.reset();
    const std::vector<HeldReport> own = std::move(fOwnReports);
    fOwnReports.clear();
    PassOn(fWorkReports);
    fWorkReports.clear();
    if (fWorkFailure) std::rethrow_exception(std::exchange(fWorkFailure, nullptr));
    PassOn(own);
  }
  if (failure) std::rethrow_exception(failure);
}

}  // namespace pixmold
