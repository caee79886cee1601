// Hostile inputs break our invariants on purpose, and a report per input
// would drown the fuzzer's own output, so every target mutes the reports
// once, on its first input.
#pragma once

#include <string>

#include "base/xassert.h"

namespace pixmold {

inline void MuteAssertReports() {
  static const bool muted = (SetAssertSink([](const std::string&) {}), true);
  (void)muted;
}

}  // namespace pixmold
