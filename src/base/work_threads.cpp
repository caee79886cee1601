#include "base/work_threads.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "base/worker_helper.h"
#include "base/xassert.h"

namespace pixmold {

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
