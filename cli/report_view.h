// How the command line shows a build's report on standard error. The report
// text arrives as it is written; this buffer splits it into lines and:
//  - on a terminal (unless quiet), draws progress lines ("Generating...",
//    "Rendering...", "Compressing...") in place on one line, as a status
//    line, and lets every other line scroll above it;
//  - when quiet, keeps only warnings and fatal errors;
//  - otherwise passes the report through unchanged.
#pragma once

#include <cstdio>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

namespace pixmold::cli {

class ReportView : public std::streambuf {
 public:
  // With escapeControls (on a terminal) a control byte from the markup is
  // shown as \xHH instead of acting on the terminal.
  ReportView(std::FILE* out, bool progress, bool quiet, bool escapeControls = false)
      : fOut(out), fProgress(progress), fQuiet(quiet), fEscapeControls(escapeControls) {}
  ~ReportView() override;

  // Clears the status line and writes out a line cut short.
  void Finish();

  // Shows what the build is doing on the status line (only on a terminal,
  // never when quiet): "pixmold: draw groups 3/12".
  void Status(std::string_view stage, int done, int total);

  // True when standard error is a terminal that can redraw a line.
  static bool StandardErrorIsTerminal();

  // Takes the status line off the screen; the next status draws it again.
  void ClearStatus();

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;

 private:
  void Line(const std::string& line);
  void ShowStatus(const std::string& line);

  std::FILE* fOut;
  bool fProgress;
  bool fQuiet;
  bool fEscapeControls;
  bool fStatusShown = false;
  bool fKeepNext = false;  // the warning line that follows a "file:" line
  std::string fPending;
};

// Some passes print lines of their own on standard output or error, beside
// the report. While this lives, text written to `stream` first takes the
// status line off the screen, so the two never share a line.
class ScopedStatusClearing : private std::streambuf {
 public:
  ScopedStatusClearing(std::ostream& stream, ReportView& view);
  ~ScopedStatusClearing() override;
  ScopedStatusClearing(const ScopedStatusClearing&) = delete;
  ScopedStatusClearing& operator=(const ScopedStatusClearing&) = delete;

 private:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override;

  std::ostream& fStream;
  ReportView& fView;
  std::streambuf* fTarget;
};

}  // namespace pixmold::cli
