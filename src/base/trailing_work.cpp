#include "base/trailing_work.h"

#include <system_error>
#include <utility>

#include "base/work_threads.h"
#include "base/worker_helper.h"
#include "base/xassert.h"

namespace pixmold {

TrailingWork::~TrailingWork() {
  if (fOffered) WaitForJobBeside();
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
    const auto run = [this, worker] {
      ScopedWorkerHelper helper(worker);
      ScopedHeldReports held(fWorkReports);
      try {
        fWork();
      } catch (...) {
        fWorkFailure = std::current_exception();
      }
    };
    // The build's own threads take the work with their next step when they
    // can; they are the ones with cores.
    fOffered = OfferBesideNextStep(run);
    try {
      if (!fOffered) fThread = std::thread(run);
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
  if (UnderWay()) {
    if (fOffered) {
      // Run here if no step took it: its reports are held apart all the same.
      WaitForJobBeside();
      fOffered = false;
    }
    if (fThread.joinable()) fThread.join();
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
