// pixmold build: runs one build request, as the dialog's build button does,
// with every field of the request available as an option.
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/build_inputs.h"
#include "app/depfile.h"
#include "base/report.h"
#include "base/stop_request.h"
#include "base/xassert.h"
#include "build_lint.h"
#include "build_options.h"
#include "build_summary.h"
#include "builder/build_args.h"
#include "builder/run_build.h"
#include "command_registry.h"
#include "dry_run_copy.h"
#include "filelib/file_system.h"
#include "filelib/read_recorder.h"
#include "report_view.h"
#include "res_target.h"
#include "stop_signals.h"
#include "user_text.h"

namespace pixmold::cli {
namespace {

// Runs the build on a worker thread, as the dialog does, so that a broken
// invariant anywhere below ends the build with a fatal error.
int RunOnWorker(BuildArgs& args) {
  int status = kExitFailed;
  ScopedStopSignals stopSignals;
  std::thread worker([&] {
    ScopedWorkerThread workerScope;
    args.fRunning = 1;
    try {
      status = RunBuild(args) == 0 ? kExitOk : kExitFailed;
    } catch (const std::exception& error) {
      ScopedReportTarget report(ReportTarget{args.fReportStream, nullptr, nullptr, args.fObserver});
      ReportFatal(error.what());
      status = kExitFailed;
    }
    args.fRunning = 0;
  });
  worker.join();
  return status == kExitFailed && StopRequested() ? kExitInterrupted : status;
}

// Why an object file (a path, or the base name of its parts) cannot be
// opened, or "" when it is there and the reason lies elsewhere.
std::string ObjectPathReason(const std::string& path) {
  if (!ObjectFileExists(path)) return std::strerror(ENOENT);
  return std::filesystem::exists(path) ? PathReason(path) : std::string();
}

// One line on standard error naming the path behind a fatal error that the
// report states without one ("could not open object file").
void ExplainFatal(const std::string& fatal, const BuildArgs& args, const std::string& objectFile,
                  bool destinationExisted) {
  std::string path;
  std::string reason;
  if (fatal == "could not open object file") {
    path = objectFile;
    reason = ObjectPathReason(objectFile);
  } else if (fatal == "could not open attributes file") {
    path = std::string(args.fOmkFile.View());
    reason = PathReason(path);
  } else if (fatal == "could not make new object") {
    path = std::string(args.fNewObjectTemplate.View());
    reason = ObjectPathReason(path);
    if (reason.empty() && destinationExisted) {
      path = objectFile;
      reason =
          "already exists (perhaps from an earlier run); --new-from makes a new object file, so "
          "remove it or name another";
    }
  }
  if (!reason.empty()) std::fprintf(stderr, "pixmold build: %s: %s\n", EscapeControls(path).c_str(), reason.c_str());
}

// After a successful build: the depfile naming what it read, then the stamp,
// whose new time tells a build tool the object is up to date. The stamp comes
// last so that a depfile that could not be written leaves the object to be
// built again. False (with the message printed) when either is not written.
bool WriteBuildRecord(const BuildOptions& options, const std::string& objectFile,
                      const std::vector<std::string>& filesRead) {
  FileSystem& files = PosixFileSystem();
  if (!options.depfile.empty()) {
    std::string badPath;
    const std::optional<std::string> text =
        FormatDepfile(options.stamp.empty() ? objectFile : options.stamp, filesRead, &badPath);
    if (!text) {
      std::fprintf(stderr, "pixmold build: %s: a depfile cannot name a path with a line break\n",
                   EscapeControls(badPath).c_str());
      return false;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text->data());
    if (!WriteWholeFile(files, options.depfile, std::span(bytes, text->size()))) {
      std::fprintf(stderr, "pixmold build: %s: cannot write the depfile: %s\n", EscapeControls(options.depfile).c_str(),
                   std::strerror(errno));
      return false;
    }
  }
  if (!options.stamp.empty() && !WriteWholeFile(files, options.stamp, {})) {
    std::fprintf(stderr, "pixmold build: %s: cannot write the stamp: %s\n", EscapeControls(options.stamp).c_str(),
                 std::strerror(errno));
    return false;
  }
  return true;
}

std::string Plural(std::size_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

int RunBuildCommand(const BuildOptions& options) {
  const auto started = std::chrono::steady_clock::now();
  BuildArgs args;
  try {
    FillRequest(options, args);
  } catch (const UsageError& error) {
    std::fprintf(stderr, "pixmold build: %s\n", EscapeControls(error.message).c_str());
    return kExitUsage;
  }

  if (options.dryRun && (!options.depfile.empty() || !options.stamp.empty())) {
    std::fprintf(stderr, "pixmold build: --depfile and --stamp record a build; a dry run changes nothing\n");
    return kExitUsage;
  }

  std::ofstream reportFile;
  if (!options.report.empty()) {
    reportFile.open(options.report, std::ios::binary | std::ios::trunc);
    if (!reportFile) {
      std::fprintf(stderr, "pixmold build: %s: cannot write the report file\n", options.report.c_str());
      return kExitUsage;
    }
  }
  const bool terminal = ReportView::StandardErrorIsTerminal();
  ReportView view(stderr, terminal && !options.quiet, options.quiet, terminal);
  std::ostream viewStream(&view);
  args.fReportStream = options.report.empty() ? &viewStream : static_cast<std::ostream*>(&reportFile);
  if (!options.report.empty()) {
    reportFile << "***\nArguments:\nObject file = " << args.fObjectFile.View() << "\nOMK File=" << args.fOmkFile.View()
               << "\nTGA directory=" << args.fTgaDirectory.View() << "\n***\n";
  }

  BuildSummary summary;
  args.fObserver = summary.Observer();
  args.fProgress = [&view](std::string_view stage, int done, int total) { view.Status(stage, done, total); };
  const ReportTarget outsideBuild{args.fReportStream, nullptr, nullptr, args.fObserver};

  const std::string objectFile(args.fObjectFile.View());
  const bool destinationExisted = !options.newFrom.empty() && ObjectFileExists(objectFile);
  std::optional<DryRunCopy> dryRun;
  if (options.dryRun) {
    dryRun.emplace(objectFile);
    if (dryRun->CopyPath().empty()) {
      std::fprintf(stderr, "pixmold build: --dry-run cannot make a scratch copy in %s\n",
                   std::filesystem::temp_directory_path().c_str());
      return kExitFailed;
    }
    SetPath(args.fObjectFile, dryRun->CopyPath(), "object file path");
    // The history is still read and checked; only its export is a write.
    args.fHistoryExport = std::string_view();
  }
  {
    ScopedReportTarget report(outsideBuild);
    LintRequest(args, LintOptions{options.images, !options.newName.empty(), options.copierOption});
  }

  // With --json standard output holds the JSON alone, so the draw group
  // report, which the build prints there, is caught and put into it.
  std::ostringstream drawGroupReport;
  std::streambuf* const standardOutput = options.json ? std::cout.rdbuf(drawGroupReport.rdbuf()) : nullptr;
  std::optional<ReadRecorder> recorder;
  if (!options.depfile.empty()) recorder.emplace();
  int status = RunOnWorker(args);
  const std::vector<std::string> filesRead = recorder ? recorder->FilesRead() : std::vector<std::string>();
  recorder.reset();
  if (standardOutput != nullptr) std::cout.rdbuf(standardOutput);
  if (status == kExitOk && !WriteBuildRecord(options, objectFile, filesRead)) status = kExitFailed;
  {
    ScopedReportTarget report(outsideBuild);
    LintBuilt(args);
  }
  view.Finish();
  if (summary.Fatal()) ExplainFatal(*summary.Fatal(), args, objectFile, destinationExisted);
  if (options.json) {
    if (options.drawGroupReport) summary.SetDrawGroupReport(drawGroupReport.str());
    summary.Write(std::cout, objectFile, options.dryRun, args.fWritten);
  }
  if (status == kExitOk && terminal && !options.quiet) {
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
    std::fprintf(stderr, "pixmold: %s %s: %s%s, %s, %.1f s\n", options.dryRun ? "checked" : "built",
                 EscapeControls(objectFile).c_str(),
                 Plural(BuildSummary::Distinct(args.fWritten).size(), "resource").c_str(),
                 options.dryRun ? " would be written" : " written", Plural(summary.WarningCount(), "warning").c_str(),
                 elapsed.count());
  }
  return status;
}

void Setup(CLI::App& app, int* status) {
  auto options = std::make_shared<BuildOptions>();
  CLI::App* cmd = app.add_subcommand("build", "Build an object's sprites, draw groups and data into its resource file");
  AddBuildOptions(*cmd, *options);
  cmd->callback([options, status] { *status = RunBuildCommand(*options); });
}

RegisterCommand reg(10, Setup);

}  // namespace
}  // namespace pixmold::cli
