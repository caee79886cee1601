#include "app/build_worker.h"

#include <exception>
#include <iostream>
#include <string>

#include "base/report.h"
#include "base/xassert.h"
#include "builder/run_build.h"

namespace pixmold {
namespace {

// The driver catches the build's own fatal errors; anything else (memory
// running out) would end the process from a thread the dialog cannot see,
// so it is reported as a fatal line of this build.
void ReportEscaped(BuildArgs& args, const char* what) {
  const std::string line = std::string("fatal error: ") + what + "\n";
  std::ostream& stream = args.fReportStream != nullptr ? *args.fReportStream : std::cerr;
  stream << line << "\n" << std::flush;
  if (args.fSyncMessage != nullptr) SyncBuffer{args.fSyncMessage, args.fSyncLock}.Append(line + "\r\n");
}

}  // namespace

std::thread StartBuildWorker(BuildArgs& args, std::atomic<int>& result) {
  args.fRunning = 1;
  result = 1;
  return std::thread([&args, &result] {
    {
      ScopedWorkerThread worker;
      args.fRunning = 1;
      try {
        result = RunBuild(args);
      } catch (const std::exception& error) {
        ReportEscaped(args, error.what());
      } catch (...) {
        ReportEscaped(args, "unexpected exception");
      }
    }
    args.fRunning = 0;
  });
}

}  // namespace pixmold
