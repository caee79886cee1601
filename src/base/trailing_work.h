// One piece of work that runs beside the thread that started it while that
// thread goes on with the next step: writing one sprite's list into the
// object file while the next sheet is read, say. With the build's pool in
// place the pool's next step takes it (work_threads.h); otherwise it gets a
// thread of its own. The report must read as if
// the work had run where it was started, so the work's reports are held on
// its thread, the starting thread's own reports are held from the start
// until it settles the work, and settling makes the work's reports, then its
// own, and rethrows the first failure in that order.
//
// Not beside (one thread) the work runs at once, on the calling thread, and
// settling only rethrows the failure it is given.
#pragma once

#include <exception>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "base/held_reports.h"

namespace pixmold {

class TrailingWork {
 public:
  explicit TrailingWork(bool beside) : fBeside(beside) {}
  // Waits for work still under way; its reports and the starting thread's
  // held ones are dropped, as a failure that unwound past Settle drops them.
  ~TrailingWork();
  TrailingWork(const TrailingWork&) = delete;
  TrailingWork& operator=(const TrailingWork&) = delete;

  // Settles any work under way first. Beside, the work runs on its own
  // thread (run inline when no thread can be started) and this thread's
  // reports are held from here on.
  void Start(std::function<void()> work);

  // Waits for the work under way, makes its reports, rethrows its failure;
  // then makes this thread's held reports and rethrows failure if given.
  void Settle(std::exception_ptr failure = nullptr);

  bool UnderWay() const { return fOffered || fThread.joinable(); }

 private:
  bool fBeside;
  std::function<void()> fWork;
  std::thread fThread;
  bool fOffered = false;  // handed to the build's threads (work_threads.h)
  std::vector<HeldReport> fWorkReports;
  std::exception_ptr fWorkFailure;
  std::vector<HeldReport> fOwnReports;
  std::optional<ScopedHeldReports> fHolding;
};

}  // namespace pixmold
