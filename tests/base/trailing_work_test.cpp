#include "base/trailing_work.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "base/report.h"

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
  for (const bool beside : {false, true}) {
    SCOPED_TRACE(beside ? "beside" : "at once");
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
