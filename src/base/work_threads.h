// Spreads independent pieces of one build step over threads. The calling
// thread works too, and the call returns only when every piece is done, so
// no thread outlives the step and nothing is shared between steps.
//
// Each helper thread asserts as its caller does (a broken invariant fails
// the build on the worker, see worker_helper.h). A piece that reports or
// fails where the build's report order matters holds its reports and its
// failure (held_reports.h, std::exception_ptr) for the caller to pass on in
// piece order.
#pragma once

#include <cstddef>
#include <functional>

namespace pixmold {

// Runs work(piece, slot) for every piece in [0, count) on at most threads
// threads; slot (0 .. threads - 1) names the thread, so a caller can keep one
// scratch object per thread. Pieces are taken in order as threads free up.
// With threads <= 1 everything runs on the calling thread, in order. A
// thread that cannot be started leaves its share to the others.
void RunOnThreads(int threads, std::size_t count, const std::function<void(std::size_t piece, int slot)>& work);

// The number of threads a build uses when not told: one per core.
int DefaultThreadCount();

// Threads kept for the length of a build. A build spreads many short steps
// over its threads (each sheet's rows, its depth clean-up, its frames), and
// starting and joining threads for every step cost more than some steps;
// while a ScopedWorkerPool is in place, RunOnThreads on that thread hands
// its pieces to the pool's threads instead. Other threads, and a call that
// needs more threads than the pool has, start their own as before.
class WorkerPool;

// Work to be done beside the next step of this thread's pool: the first
// step spread over the pool after the offer runs it on one of the pool's
// threads, before that thread takes its pieces, and the others share the
// step's pieces meanwhile. A thread started for such work would only queue
// behind the step's threads for a core. False (nothing offered) when this
// thread has no pool with a thread to spare, or an offer is outstanding.
// The job must not throw.
bool OfferBesideNextStep(std::function<void()> job);

// Returns once the offered job has run: here and now if no step has taken
// it yet. Nothing to do when nothing was offered.
void WaitForJobBeside();

class ScopedWorkerPool {
 public:
  // threads - 1 threads wait beside this one; none for threads <= 1.
  explicit ScopedWorkerPool(int threads);
  ~ScopedWorkerPool();
  ScopedWorkerPool(const ScopedWorkerPool&) = delete;
  ScopedWorkerPool& operator=(const ScopedWorkerPool&) = delete;

  // Threads beside this one actually started.
  int Helpers() const;

 private:
  WorkerPool* fPool;
  WorkerPool* fPrevious;
};

}  // namespace pixmold
