#include "base/trailing_work.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "base/report.h"
#include "base/work_threads.h"

namespace pixmold {
namespace {

struct TrailingReport {
  std::ostringstream stream;
  std::string sync;
  std::mutex lock;
  ReportTarget Target() { return ReportTarget{&stream, &sync, &lock, nullptr}; }
};

std::string FailureText(const std::function<void()>& run) {
  try {
    run();
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "none";
}

// Whether the work runs beside or at once, the report reads the same: the
// work's lines, then the starter's, and a failure of the work comes before
// the starter's and drops the starter's lines, as it would on one thread.
TEST(TrailingWork, ReportsAndFailuresComeInTheOrderOfOneThread) {
  for (const int mode : {0, 1, 2}) {
    const bool beside = mode > 0;
    SCOPED_TRACE(mode == 0 ? "at once" : mode == 1 ? "beside" : "beside, with a pool");
    std::optional<ScopedWorkerPool> pool;
    if (mode == 2) pool.emplace(2);
    {
      TrailingReport out;
      ScopedReportTarget scope(out.Target());
      TrailingWork work(beside);
      ReportLine("before");
      work.Start([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ReportLine("work 1");
        Warning("work 2");
      });
      ReportLine("after 1");
      work.Start([] { ReportLine("work 3"); });
      ReportLine("after 2");
      work.Settle();
      ReportLine("end");
      EXPECT_EQ(out.stream.str(), "before\nwork 1\nwarning: work 2\nafter 1\nwork 3\nafter 2\nend\n");
    }
    {
      TrailingReport out;
      ScopedReportTarget scope(out.Target());
      TrailingWork work(beside);
      if (beside) {
        work.Start([] { throw std::runtime_error("work failed"); });
        ReportLine("not reached on one thread");
        EXPECT_EQ(FailureText([&] { work.Settle(std::make_exception_ptr(std::runtime_error("mine"))); }),
                  "work failed");
        EXPECT_EQ(out.stream.str(), "");
      } else {
        EXPECT_EQ(FailureText([&] { work.Start([] { throw std::runtime_error("work failed"); }); }), "work failed");
      }
      work.Start([] { ReportLine("work"); });
      ReportLine("mine");
      EXPECT_EQ(FailureText([&] { work.Settle(std::make_exception_ptr(std::runtime_error("my failure"))); }),
                "my failure");
      EXPECT_EQ(out.stream.str(), "work\nmine\n");
      EXPECT_EQ(FailureText([&] { work.Settle(); }), "none");
    }
  }
}

// With the build's pool in place the work waits for the pool's next step
// and runs on one of its threads, while the step's pieces go on; with no
// step before it is settled, it runs where it is settled. Either way it
// has run once when Settle returns, offer after offer.
TEST(TrailingWork, WithAPoolTheNextStepsThreadTakesTheWork) {
  const std::thread::id here = std::this_thread::get_id();
  ScopedWorkerPool pool(2);
  ASSERT_EQ(pool.Helpers(), 1);
  TrailingWork work(true);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    std::atomic<int> runs{0};
    std::thread::id ranOn;
    work.Start([&] {
      ranOn = std::this_thread::get_id();
      ++runs;
    });
    // The caller's pieces wait for the helper to take one, so that the
    // helper is seen however late it wakes.
    std::atomic<bool> helperSeen{false};
    std::thread::id helper;
    RunOnThreads(2, 8, [&](std::size_t, int slot) {
      if (slot != 0) {
        if (!helperSeen) helper = std::this_thread::get_id();
        helperSeen = true;
        return;
      }
      const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      while (!helperSeen && std::chrono::steady_clock::now() < until) std::this_thread::yield();
    });
    // The step's thread ran it before the step returned.
    EXPECT_EQ(runs, 1);
    ASSERT_TRUE(helperSeen);
    EXPECT_EQ(ranOn, helper);
    EXPECT_NE(ranOn, here);
    work.Settle();
    EXPECT_EQ(runs, 1);
  }
  std::thread::id ranOn;
  work.Start([&] { ranOn = std::this_thread::get_id(); });
  work.Settle();
  EXPECT_EQ(ranOn, here);

  bool finished = false;
  {
    TrailingWork dropped(true);
    dropped.Start([&] { finished = true; });
    EXPECT_TRUE(dropped.UnderWay());
  }
  EXPECT_TRUE(finished);
}

TEST(TrailingWork, BesideRunsOnItsOwnThreadAndIsWaitedForWhenDropped) {
  const std::thread::id here = std::this_thread::get_id();
  std::thread::id ranOn;
  TrailingWork(false).Start([&] { ranOn = std::this_thread::get_id(); });
  EXPECT_EQ(ranOn, here);

  std::atomic<bool> finished{false};
  {
    TrailingWork work(true);
    work.Start([&] {
      ranOn = std::this_thread::get_id();
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      finished = true;
    });
    EXPECT_TRUE(work.UnderWay());
  }
  EXPECT_TRUE(finished);
  EXPECT_NE(ranOn, here);
}

}  // namespace
}  // namespace pixmold
