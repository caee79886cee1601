#include "report_view.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "user_text.h"

namespace pixmold::cli {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

bool IsProblem(std::string_view line) {
  return StartsWith(line, "warning: ") || StartsWith(line, "fatal error: ") || StartsWith(line, "file: ");
}

bool IsProgress(std::string_view line) {
  return StartsWith(line, "Generating ") || StartsWith(line, "Rendering ") || StartsWith(line, "Compressing ");
}

std::size_t TerminalWidth() {
  const char* columns = std::getenv("COLUMNS");
  const int width = columns ? std::atoi(columns) : 0;
  return width > 10 ? static_cast<std::size_t>(width) : 80;
}

}  // namespace

bool ReportView::StandardErrorIsTerminal() {
  const char* term = std::getenv("TERM");
  return isatty(STDERR_FILENO) != 0 && term != nullptr && std::strcmp(term, "dumb") != 0;
}

ReportView::~ReportView() { Finish(); }

void ReportView::Finish() {
  if (!fPending.empty()) {
    std::string rest = std::move(fPending);
    fPending.clear();
    Line(rest);
  }
  ClearStatus();
  std::fflush(fOut);
}

ReportView::int_type ReportView::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char ch = traits_type::to_char_type(c);
  xsputn(&ch, 1);
  return c;
}

std::streamsize ReportView::xsputn(const char* text, std::streamsize count) {
  for (std::streamsize i = 0; i < count; ++i) {
    if (text[i] == '\n') {
      std::string line = std::move(fPending);
      fPending.clear();
      Line(line);
    } else {
      fPending += text[i];
    }
  }
  return count;
}

void ReportView::Line(const std::string& text) {
  const std::string line = fEscapeControls ? EscapeControls(text, "\t") : text;
  const bool keep = fKeepNext || IsProblem(line);
  fKeepNext = StartsWith(line, "file: ");
  if (fQuiet) {
    if (keep) std::fprintf(fOut, "%s\n", line.c_str());
    return;
  }
  if (fProgress && IsProgress(line)) {
    ShowStatus(line);
    return;
  }
  ClearStatus();
  std::fprintf(fOut, "%s\n", line.c_str());
}

void ReportView::Status(std::string_view stage, int done, int total) {
  if (!fProgress || fQuiet) return;
  std::string line = "pixmold: ";
  line += stage;
  if (total > 0) {
    line += ' ';
    line += std::to_string(done);
    line += '/';
    line += std::to_string(total);
  }
  ShowStatus(line);
}

void ReportView::ShowStatus(const std::string& line) {
  const std::size_t width = TerminalWidth() - 1;
  const std::string shown = line.size() > width ? line.substr(0, width) : line;
  std::fprintf(fOut, "\r\x1b[K%s", shown.c_str());
  std::fflush(fOut);
  fStatusShown = true;
}

void ReportView::ClearStatus() {
  if (!fStatusShown) return;
  std::fputs("\r\x1b[K", fOut);
  fStatusShown = false;
}

ScopedStatusClearing::ScopedStatusClearing(std::ostream& stream, ReportView& view)
    : fStream(stream), fView(view), fTarget(stream.rdbuf(this)) {}

ScopedStatusClearing::~ScopedStatusClearing() { fStream.rdbuf(fTarget); }

ScopedStatusClearing::int_type ScopedStatusClearing::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  fView.ClearStatus();
  return fTarget->sputc(traits_type::to_char_type(c));
}

std::streamsize ScopedStatusClearing::xsputn(const char* text, std::streamsize count) {
  fView.ClearStatus();
  return fTarget->sputn(text, count);
}

int ScopedStatusClearing::sync() { return fTarget->pubsync(); }

}  // namespace pixmold::cli
