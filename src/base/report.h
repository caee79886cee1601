// The build report. Every layer may report progress lines, warnings and fatal
// errors; they go to the report stream of the running build (standard error
// when there is none) and, when a dialog listens, to the shared message text
// under the dialog's lock, from which it takes the latest progress line.
//
// The report state is process-wide because report calls come from deep
// inside specs and compressors that know nothing of the request; one build
// runs at a time.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "base/terminate.h"

namespace pixmold {

// kInputProblem follows a kFatal whose error names the input file behind it;
// its text is "PATH: REASON".
enum class ReportKind { kLine, kWarning, kFileWarning, kFatal, kInputProblem };

// Sees every report as structured data (the command line's --json summary
// and progress display are built from it).
using ReportObserver = std::function<void(ReportKind kind, std::string_view text, std::optional<int> line)>;

struct ReportTarget {
  std::ostream* stream = nullptr;      // null: standard error
  std::string* syncMessage = nullptr;  // the dialog's shared text, or null
  std::mutex* syncLock = nullptr;      // guards syncMessage
  ReportObserver observer;
};

// Installs the target for the current build; returns the previous one.
ReportTarget SetReportTarget(ReportTarget target);
const ReportTarget& CurrentReportTarget();

class ScopedReportTarget {
 public:
  explicit ScopedReportTarget(ReportTarget target) : fPrevious(SetReportTarget(std::move(target))) {}
  ~ScopedReportTarget() { SetReportTarget(std::move(fPrevious)); }
  ScopedReportTarget(const ScopedReportTarget&) = delete;
  ScopedReportTarget& operator=(const ScopedReportTarget&) = delete;

 private:
  ReportTarget fPrevious;
};

// Writes text and a line end to the report; the shared text gets CR LF.
void ReportLine(std::string_view text);

// "warning: line: %d - %s\n" when the offending markup line is known,
// "warning: %s\n" otherwise. The build goes on.
void Warning(std::string_view text, std::optional<int> line = std::nullopt);

// "file: %s \nwarning: %s\n" naming the resource file.
void FileWarning(std::string_view fileName, std::string_view text);

// The message a fatal error carries: the text, or "line: %d - %s".
std::string FatalMessage(std::string_view text, std::optional<int> line = std::nullopt);

// Raises Terminate with FatalMessage(text, line). Never returns.
[[noreturn]] void FatalError(std::string_view text, std::optional<int> line = std::nullopt);

// The same, naming the input file behind the error and what is wrong with it.
[[noreturn]] void InputFatal(std::string_view text, InputProblem problem, std::optional<int> line = std::nullopt);

// Reports a caught Terminate as "fatal error: %s\n" through ReportLine.
void ReportFatal(std::string_view message);
// The same for the error itself; the observer also sees the input problem
// it names, if any. The report's own text is the system's and stays as it is.
void ReportFatal(const Terminate& fatal);

// Access to a shared message text for the dialog side; all take the lock.
struct SyncBuffer {
  std::string* text = nullptr;
  std::mutex* lock = nullptr;
  void Append(std::string_view more) const;
  std::string Read() const;
  std::string TakeAll() const;  // read and clear in one locked step
  void Clear() const;
};

}  // namespace pixmold
