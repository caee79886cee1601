#include "base/report.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "base/held_reports.h"
#include "base/xassert.h"

namespace pixmold {
namespace {

ReportTarget gTarget;
constexpr std::size_t kMessageCapacity = 1024;
// Per thread: each helper holds its own reports, and the build's thread
// holds none.
thread_local std::vector<HeldReport>* tHeld = nullptr;

bool Held(HeldReport::Call call, std::string_view text, std::string_view fileName, std::optional<int> line) {
  if (tHeld == nullptr) return false;
  tHeld->push_back({call, std::string(text), std::string(fileName), line});
  return true;
}

// Messages are formatted into 1024-character buffers; longer ones are cut.
std::string Cut(std::string text) {
  if (text.size() > kMessageCapacity - 1) text.resize(kMessageCapacity - 1);
  return text;
}

void WriteStream(std::string_view text) {
  if (gTarget.stream) {
    gTarget.stream->write(text.data(), static_cast<std::streamsize>(text.size()));
    gTarget.stream->flush();
  } else {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  }
}

void AppendSync(std::string_view text) {
  if (!gTarget.syncMessage) return;
  SyncBuffer{gTarget.syncMessage, gTarget.syncLock}.Append(text);
}

void Notify(ReportKind kind, std::string_view text, std::optional<int> line) {
  if (gTarget.observer) gTarget.observer(kind, text, line);
}

}  // namespace

ReportTarget SetReportTarget(ReportTarget target) {
  std::swap(gTarget, target);
  return target;
}

const ReportTarget& CurrentReportTarget() { return gTarget; }

ScopedHeldReports::ScopedHeldReports(std::vector<HeldReport>& into) : fPrevious(std::exchange(tHeld, &into)) {}

ScopedHeldReports::~ScopedHeldReports() { tHeld = fPrevious; }

void PassOn(const std::vector<HeldReport>& reports) {
  for (const HeldReport& report : reports) {
    switch (report.call) {
      case HeldReport::Call::kLine: ReportLine(report.text); break;
      case HeldReport::Call::kWarning: Warning(report.text, report.line); break;
      case HeldReport::Call::kFileWarning: FileWarning(report.fileName, report.text); break;
    }
  }
}

void ReportLine(std::string_view text) {
  if (Held(HeldReport::Call::kLine, text, {}, std::nullopt)) return;
  std::string line(text);
  line += '\n';
  WriteStream(line);
  if (gTarget.syncMessage) {
    std::string synced(text);
    synced += "\r\n";
    AppendSync(synced);
  }
  Notify(ReportKind::kLine, text, std::nullopt);
}

void Warning(std::string_view text, std::optional<int> line) {
  if (Held(HeldReport::Call::kWarning, text, {}, line)) return;
  std::string message = line ? "warning: line: " + std::to_string(*line) + " - " : std::string("warning: ");
  message.append(text);
  message += '\n';
  message = Cut(std::move(message));
  WriteStream(message);
  AppendSync(message);
  Notify(ReportKind::kWarning, text, line);
}

void FileWarning(std::string_view fileName, std::string_view text) {
  if (Held(HeldReport::Call::kFileWarning, text, fileName, std::nullopt)) return;
  std::string message = "file: ";
  message.append(fileName);
  message += " \nwarning: ";
  message.append(text);
  message += '\n';
  WriteStream(Cut(message));
  std::string synced = "file: ";
  synced.append(fileName);
  synced += "\nwarning: ";
  synced.append(text);
  synced += '\n';
  AppendSync(synced);
  Notify(ReportKind::kFileWarning, text, std::nullopt);
}

std::string FatalMessage(std::string_view text, std::optional<int> line) {
  std::string message = line ? "line: " + std::to_string(*line) + " - " : std::string();
  message.append(text);
  return Cut(std::move(message));
}

void FatalError(std::string_view text, std::optional<int> line) { throw Terminate(FatalMessage(text, line)); }

void InputFatal(std::string_view text, InputProblem problem, std::optional<int> line) {
  throw Terminate(FatalMessage(text, line), std::move(problem));
}

void ReportFatal(std::string_view message) {
  std::string line = "fatal error: ";
  line.append(message);
  line += '\n';
  // Through ReportLine, so the report shows the message followed by an
  // empty line, as the fatal line has its own line end.
  auto observer = std::move(gTarget.observer);
  gTarget.observer = nullptr;
  ReportLine(Cut(std::move(line)));
  gTarget.observer = std::move(observer);
  Notify(ReportKind::kFatal, message, std::nullopt);
}

void ReportFatal(const Terminate& fatal) {
  ReportFatal(fatal.Message());
  if (const auto& problem = fatal.Problem()) {
    Notify(ReportKind::kInputProblem, problem->path + ": " + problem->reason, std::nullopt);
  }
}

void SyncBuffer::Append(std::string_view more) const {
  if (!text) {
    XASSERT_FAIL("fSyncMessage", "no sync buffer");
    return;
  }
  std::unique_lock<std::mutex> guard;
  if (lock) guard = std::unique_lock(*lock);
  text->append(more);
}

std::string SyncBuffer::Read() const {
  if (!text) {
    XASSERT_FAIL("fSyncMessage", "no sync buffer");
    return {};
  }
  std::unique_lock<std::mutex> guard;
  if (lock) guard = std::unique_lock(*lock);
  return *text;
}

std::string SyncBuffer::TakeAll() const {
  if (!text) {
    XASSERT_FAIL("fSyncMessage", "no sync buffer");
    return {};
  }
  std::unique_lock<std::mutex> guard;
  if (lock) guard = std::unique_lock(*lock);
  std::string out = std::move(*text);
  text->clear();
  return out;
}

void SyncBuffer::Clear() const {
  if (!text) {
    XASSERT_FAIL("fSyncMessage", "no sync buffer");
    return;
  }
  std::unique_lock<std::mutex> guard;
  if (lock) guard = std::unique_lock(*lock);
  text->clear();
}

}  // namespace pixmold
