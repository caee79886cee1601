// Captures assertion reports made off the worker thread, so a test can check
// that a given message was reported (and that nothing else was).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/terminate.h"
#include "base/xassert.h"

namespace pixmold::testing {

class AssertCapture {
 public:
  AssertCapture();
  ~AssertCapture();
  AssertCapture(const AssertCapture&) = delete;
  AssertCapture& operator=(const AssertCapture&) = delete;

  const std::vector<std::string>& Reports() const { return fReports; }
  // True when some report contains the text.
  bool Saw(std::string_view text) const;
  std::size_t Count() const { return fReports.size(); }
  void Clear() { fReports.clear(); }

 private:
  std::vector<std::string> fReports;
  AssertSink fPrevious;
};

// The message of the fatal error the callable raises; "" when it returns.
template <typename F>
std::string FatalOf(F&& body) {
  try {
    body();
  } catch (const Terminate& fatal) {
    return fatal.Message();
  }
  return "";
}

}  // namespace pixmold::testing
