// The file library and the resource manager check their invariants with a
// plain debug assertion: it is reported (through the same sink as XASSERT, so
// tests capture it) and the caller goes on along its failure path, on every
// thread. Unlike XASSERT it never ends a build, because a stray file in a
// scanned directory is not a broken invariant of the build.
#pragma once

#include <string_view>

namespace pixmold {

void DebugAssertFailed(std::string_view condition, std::string_view file, int line);

}  // namespace pixmold

#define DEBUG_ASSERT(cond)                                                \
  do {                                                                    \
    if (!(cond)) ::pixmold::DebugAssertFailed(#cond, __FILE__, __LINE__); \
  } while (0)

// For a failure reached by a code path: reports the given condition text.
#define DEBUG_ASSERT_FAIL(condText) ::pixmold::DebugAssertFailed((condText), __FILE__, __LINE__)
