#include "base/report.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "base/terminate.h"
#include "base/xassert.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

struct Captured {
  std::ostringstream stream;
  std::string sync;
  std::mutex lock;
  ReportTarget Target() { return ReportTarget{&stream, &sync, &lock, nullptr}; }
};

// The message FatalError ends with.
std::string ThrownMessage(const std::string& text, int line) {
  try {
    FatalError(text, line);
  } catch (const Terminate& t) {
    return t.Message();
  }
  return "returned";
}

TEST(Report, LinesWarningsFileWarningsAndFatalErrorsByteForByte) {
  Captured out;
  ScopedReportTarget scope(out.Target());
  ReportLine("generating sprites");
  Warning("bad value", 12);
  Warning("no line");
  FileWarning("chair.iff", "odd");
  EXPECT_EQ(ThrownMessage("bad tag", 7), "line: 7 - bad tag");
  ReportFatal("line: 7 - bad tag");
  EXPECT_EQ(out.stream.str(),
            "generating sprites\nwarning: line: 12 - bad value\nwarning: no line\nfile: chair.iff \nwarning: odd\n"
            "fatal error: line: 7 - bad tag\n\n");
  EXPECT_EQ(out.sync,
            "generating sprites\r\nwarning: line: 12 - bad value\nwarning: no line\nfile: chair.iff\nwarning: odd\n"
            "fatal error: line: 7 - bad tag\n\r\n");
}

TEST(Report, LongMessagesAreCutTo1023) {
  Captured out;
  ScopedReportTarget scope(out.Target());
  Warning(std::string(3000, 'w'));
  // The line end is cut off with the rest.
  EXPECT_EQ(out.stream.str(), "warning: " + std::string(1023 - 9, 'w'));
  EXPECT_EQ(ThrownMessage(std::string(3000, 'f'), 1), "line: 1 - " + std::string(1023 - 10, 'f'));
}

TEST(Report, ObserverSeesStructuredReports) {
  Captured out;
  std::vector<std::pair<ReportKind, std::optional<int>>> seen;
  std::string inputProblem;
  ReportTarget target = out.Target();
  target.observer = [&](ReportKind kind, std::string_view text, std::optional<int> line) {
    seen.emplace_back(kind, line);
    if (kind == ReportKind::kInputProblem) inputProblem = text;
  };
  ScopedReportTarget scope(std::move(target));
  Warning("w", 3);
  ReportFatal("boom");
  // The input file behind an error goes to the observer alone: the report
  // keeps the system's own text.
  ReportFatal(Terminate("bad bmp width", InputProblem{"a.tga", "the sheet is 2 x 1"}));
  EXPECT_EQ(seen, (std::vector<std::pair<ReportKind, std::optional<int>>>{{ReportKind::kWarning, 3},
                                                                          {ReportKind::kFatal, std::nullopt},
                                                                          {ReportKind::kFatal, std::nullopt},
                                                                          {ReportKind::kInputProblem, std::nullopt}}));
  EXPECT_EQ(inputProblem, "a.tga: the sheet is 2 x 1");
  EXPECT_EQ(out.stream.str(), "warning: line: 3 - w\nfatal error: boom\n\nfatal error: bad bmp width\n\n");
}

TEST(Report, AFatalErrorKeepsTheInputFileItsInnermostExplanationNamed) {
  const auto explained = [](auto&& body) -> std::optional<InputProblem> {
    try {
      ExplainingInput(body, [] { return InputProblem{"outer.tga", "outer"}; });
    } catch (const Terminate& fatal) {
      return fatal.Problem();
    }
    return std::nullopt;
  };
  EXPECT_EQ(explained([] {}), std::nullopt);
  EXPECT_EQ(explained([] { FatalError("plain"); })->path, "outer.tga");
  EXPECT_EQ(explained([] { InputFatal("named", {"inner.bmp", "inner"}); })->reason, "inner");
  EXPECT_EQ(explained([] {
              ExplainingInput([] { FatalError("x"); }, [] { return InputProblem{"mid", "m"}; });
            })->path,
            "mid");
}

TEST(Report, SyncBufferWithoutTextReports) {
  testing::AssertCapture capture;
  SyncBuffer none;
  none.Append("x");
  EXPECT_EQ(none.Read(), "");
  EXPECT_TRUE(capture.Saw("(fSyncMessage) no sync buffer"));
  std::string text = "abc";
  std::mutex lock;
  SyncBuffer buffer{&text, &lock};
  EXPECT_EQ(buffer.TakeAll(), "abc");
  EXPECT_EQ(text, "");
}

TEST(XAssert, OffWorkerThreadIsReportedAndCallerGoesOn) {
  testing::AssertCapture capture;
  XASSERT(1 + 1 == 3, "arithmetic");
  ASSERT_EQ(capture.Count(), 1u);
  EXPECT_NE(capture.Reports()[0].find("XASSERT failure in file "), std::string::npos);
  EXPECT_NE(capture.Reports()[0].find(" : (1 + 1 == 3) arithmetic"), std::string::npos);
}

TEST(XAssert, OnWorkerThreadBecomesTerminate) {
  testing::AssertCapture capture;
  std::string message;
  std::thread worker([&] {
    ScopedWorkerThread scope;
    try {
      XASSERT(false, "logic error");
    } catch (const Terminate& t) {
      message = t.Message();
    }
  });
  worker.join();
  EXPECT_EQ(capture.Count(), 0u);
  EXPECT_EQ(message.rfind("XASSERT failure in file ", 0), 0u);
  EXPECT_NE(message.find("(false) logic error"), std::string::npos);
  EXPECT_FALSE(IsWorkerThread());
}

}  // namespace
}  // namespace pixmold
