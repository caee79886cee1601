#include "base/work_threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/held_reports.h"
#include "base/report.h"
#include "base/xassert.h"

namespace pixmold {
namespace {

// Every piece runs exactly once, on a slot below the threads asked for (and
// below the pieces there are); one thread runs them in order on the caller.
TEST(WorkThreads, EveryPieceRunsOnceOnASlotOfItsOwnThread) {
  for (const int pooled : {0, 3}) {
    std::optional<ScopedWorkerPool> pool;
    if (pooled > 0) pool.emplace(pooled);
    for (const int threads : {1, 2, 3, 8}) {
      for (const std::size_t count : {std::size_t{0}, std::size_t{1}, std::size_t{5}, std::size_t{200}}) {
        SCOPED_TRACE(std::to_string(threads) + " threads, " + std::to_string(count) + " pieces");
        std::vector<std::atomic<int>> runs(count);
        std::vector<int> slots(count, -1);
        std::vector<std::thread::id> ranOn(count);
        RunOnThreads(threads, count, [&](std::size_t piece, int slot) {
          ++runs[piece];
          slots[piece] = slot;
          ranOn[piece] = std::this_thread::get_id();
        });
        std::set<std::thread::id> threadsUsed(ranOn.begin(), ranOn.end());
        for (std::size_t i = 0; i < count; ++i) {
          EXPECT_EQ(runs[i], 1) << i;
          EXPECT_GE(slots[i], 0);
          EXPECT_LT(slots[i], std::min<int>(threads, static_cast<int>(count)));
        }
        if (threads == 1 && count > 0) {
          EXPECT_EQ(threadsUsed, std::set<std::thread::id>{std::this_thread::get_id()});
        }
        EXPECT_LE(threadsUsed.size(), static_cast<std::size_t>(threads));
      }
    }
  }
}

// Each piece holds what it reports; passed on in piece order afterwards,
// the report reads exactly as when the pieces ran one after another on the
// build's thread.
TEST(WorkThreads, HeldReportsPassedOnInOrderReadAsOneThreadsReport) {
  const auto piece = [](std::size_t i) {
    ReportLine("piece " + std::to_string(i));
    if (i % 3 == 0) Warning("odd " + std::to_string(i), static_cast<int>(i));
    if (i % 7 == 0) FileWarning("file" + std::to_string(i), "seen");
  };
  std::ostringstream alone;
  {
    ScopedReportTarget target(ReportTarget{&alone, nullptr, nullptr, {}});
    for (std::size_t i = 0; i < 40; ++i) piece(i);
  }
  std::ostringstream spread;
  {
    ScopedReportTarget target(ReportTarget{&spread, nullptr, nullptr, {}});
    std::vector<std::vector<HeldReport>> held(40);
    RunOnThreads(4, held.size(), [&](std::size_t i, int) {
      ScopedHeldReports hold(held[i]);
      piece(i);
    });
    EXPECT_EQ(spread.str(), "") << "a piece reported directly";
    for (const std::vector<HeldReport>& reports : held) PassOn(reports);
  }
  EXPECT_EQ(spread.str(), alone.str());
}

// A broken invariant on a helper thread fails the piece as it would fail
// the build on the worker, and is only reported when the caller is not the
// worker; a piece that throws anyway reaches the caller once all threads
// have ended.
TEST(WorkThreads, HelpersAssertAsTheirCallerAndFailuresReachIt) {
  for (const bool onWorker : {true, false}) {
    SCOPED_TRACE(onWorker ? "on the worker" : "off the worker");
    // Reports come from several threads at once: counted under a lock.
    std::mutex reportsLock;
    std::size_t reports = 0;
    const AssertSink previous = SetAssertSink([&](const std::string&) {
      std::lock_guard lock(reportsLock);
      ++reports;
    });
    std::atomic<int> thrown{0};
    {
      std::optional<ScopedWorkerThread> worker;
      if (onWorker) worker.emplace();
      RunOnThreads(3, 30, [&](std::size_t, int) {
        try {
          XASSERT_FAIL("piece", "broken in a piece");
        } catch (const Terminate&) {
          ++thrown;
        }
      });
    }
    SetAssertSink(previous);
    EXPECT_EQ(thrown, onWorker ? 30 : 0);
    EXPECT_EQ(reports, onWorker ? 0u : 30u);
  }
  std::atomic<int> finished{0};
  ScopedWorkerPool pool(4);
  EXPECT_THROW(RunOnThreads(4, 100,
                            [&](std::size_t piece, int) {
                              if (piece == 10) throw std::runtime_error("broken contract");
                              ++finished;
                            }),
               std::runtime_error);
  EXPECT_LT(finished.load(), 100);
}

// A build's pool serves every step: the same threads take the pieces of
// one call after another, each call returns only when its pieces are all
// done, a step inside a piece still runs, and a failed step leaves the pool
// serving the next.
TEST(WorkThreads, APoolsThreadsServeStepAfterStep) {
  ScopedWorkerPool pool(3);
  ASSERT_EQ(pool.Helpers(), 2);
  // Thread ids come back after a thread ends, so a helper's own count of the
  // steps it served tells the pool's threads from threads started per step.
  static thread_local int tLastStep = -1;
  static thread_local int tStepsServed = 0;
  const std::thread::id caller = std::this_thread::get_id();
  std::atomic<int> mostServed{0};
  for (int step = 0; step < 20; ++step) {
    std::atomic<int> done{0};
    RunOnThreads(3, 12, [&](std::size_t, int slot) {
      EXPECT_LT(slot, 3);
      std::this_thread::sleep_for(std::chrono::microseconds(200));
      if (tLastStep != step) {
        tLastStep = step;
        ++tStepsServed;
      }
      if (std::this_thread::get_id() != caller) {
        for (int most = mostServed; most < tStepsServed && !mostServed.compare_exchange_weak(most, tStepsServed);) {
        }
      }
      ++done;
    });
    ASSERT_EQ(done.load(), 12) << "step " << step << " returned before its pieces were done";
  }
  EXPECT_GT(mostServed.load(), 1) << "every step started threads of its own";

  std::atomic<int> inner{0};
  RunOnThreads(3, 3, [&](std::size_t, int) { RunOnThreads(2, 4, [&](std::size_t, int) { ++inner; }); });
  EXPECT_EQ(inner.load(), 12);

  EXPECT_THROW(RunOnThreads(3, 30,
                            [&](std::size_t piece, int) {
                              if (piece == 3) throw std::runtime_error("broken contract");
                            }),
               std::runtime_error);
  std::atomic<int> after{0};
  RunOnThreads(3, 30, [&](std::size_t, int) { ++after; });
  EXPECT_EQ(after.load(), 30);
}

}  // namespace
}  // namespace pixmold
