#include "base/work_threads.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "base/worker_helper.h"
#include "base/xassert.h"

namespace pixmold {

// Threads that wait for jobs: a job is a function of the slot, run once on
// each of the first slots - 1 threads while the caller runs slot 0.
class WorkerPool {
 public:
  explicit WorkerPool(int helpers) {
    for (int slot = 1; slot <= helpers; ++slot) {
      try {
        fThreads.emplace_back([this, slot] { Serve(slot); });
      } catch (const std::system_error&) {
        break;
      }
    }
  }

  ~WorkerPool() {
    WaitForSideJob();
    {
      std::lock_guard lock(fLock);
      fStop = true;
    }
    fWake.notify_all();
    for (std::thread& thread : fThreads) thread.join();
  }

  int Helpers() const { return static_cast<int>(fThreads.size()); }
  bool Busy() const { return fBusy; }

  bool OfferSideJob(std::function<void()> job) {
    std::lock_guard lock(fLock);
    if (fSideJob) return false;
    fSideJob = std::move(job);
    return true;
  }

  // Only the pool's owner offers and waits, and it waits for a step's
  // threads before it goes on: a job a step took has run by now.
  void WaitForSideJob() {
    std::function<void()> job;
    {
      std::lock_guard lock(fLock);
      job = std::exchange(fSideJob, nullptr);
    }
    if (job) job();
  }

  // Runs job(0) here and job(1 .. slots - 1) on the pool's threads, and
  // returns when all have returned.
  void Run(int slots, const std::function<void(int slot)>& job) {
    fBusy = true;
    {
      std::lock_guard lock(fLock);
      fJob = &job;
      fSlots = slots;
      fRunning = slots - 1;
      ++fGeneration;
    }
    fWake.notify_all();
    job(0);
    std::unique_lock lock(fLock);
    fDone.wait(lock, [this] { return fRunning == 0; });
    fJob = nullptr;
    fBusy = false;
  }

 private:
  void Serve(int slot) {
    std::uint64_t seen = 0;
    std::unique_lock lock(fLock);
    for (;;) {
      fWake.wait(lock, [&] { return fStop || fGeneration != seen; });
      if (fStop) return;
      seen = fGeneration;
      if (slot >= fSlots) continue;
      const std::function<void(int)>* job = fJob;
      std::function<void()> side = std::exchange(fSideJob, nullptr);
      lock.unlock();
      if (side) side();
      (*job)(slot);
      lock.lock();
      if (--fRunning == 0) fDone.notify_all();
    }
  }

  std::vector<std::thread> fThreads;
  std::mutex fLock;
  std::condition_variable fWake;
  std::condition_variable fDone;
  const std::function<void(int)>* fJob = nullptr;
  int fSlots = 0;
  int fRunning = 0;
  std::uint64_t fGeneration = 0;
  bool fStop = false;
  bool fBusy = false;              // touched by the owning thread only
  std::function<void()> fSideJob;  // offered beside the next step
};

namespace {

thread_local WorkerPool* tPool = nullptr;

}  // namespace

ScopedWorkerPool::ScopedWorkerPool(int threads)
    : fPool(threads > 1 ? new WorkerPool(threads - 1) : nullptr), fPrevious(tPool) {
  if (fPool) tPool = fPool;
}

ScopedWorkerPool::~ScopedWorkerPool() {
  tPool = fPrevious;
  delete fPool;
}

int ScopedWorkerPool::Helpers() const { return fPool ? fPool->Helpers() : 0; }

bool OfferBesideNextStep(std::function<void()> job) {
  return tPool && tPool->Helpers() > 0 && !tPool->Busy() && tPool->OfferSideJob(std::move(job));
}

void WaitForJobBeside() {
  if (tPool) tPool->WaitForSideJob();
}

void RunOnThreads(int threads, std::size_t count, const std::function<void(std::size_t piece, int slot)>& work) {
  const int used = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(std::max(threads, 1)), count));
  if (used <= 1) {
    for (std::size_t piece = 0; piece < count; ++piece) work(piece, 0);
    return;
  }
  std::atomic<std::size_t> next{0};
  std::mutex failureLock;
  std::exception_ptr failure;
  const bool worker = IsWorkerThread();
  const auto run = [&](int slot) {
    ScopedWorkerHelper helper(worker);
    try {
      for (std::size_t piece = next++; piece < count; piece = next++) work(piece, slot);
    } catch (...) {
      // Only a piece that broke its contract gets here: stop handing out
      // pieces and let the caller see the first such failure.
      next = count;
      std::lock_guard lock(failureLock);
      if (!failure) failure = std::current_exception();
    }
  };
  // A step inside a step (a piece that spreads its own work) finds the
  // pool busy and starts threads of its own.
  if (tPool && !tPool->Busy() && tPool->Helpers() >= used - 1) {
    tPool->Run(used, run);
    if (failure) std::rethrow_exception(failure);
    return;
  }
  std::vector<std::thread> helpers;
  helpers.reserve(static_cast<std::size_t>(used - 1));
  for (int slot = 1; slot < used; ++slot) {
    try {
      helpers.emplace_back(run, slot);
    } catch (const std::system_error&) {
      break;
    }
  }
  run(0);
  for (std::thread& helper : helpers) helper.join();
  if (failure) std::rethrow_exception(failure);
}

int DefaultThreadCount() { return static_cast<int>(std::max(1u, std::thread::hardware_concurrency())); }

}  // namespace pixmold
