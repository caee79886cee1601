#include "filelib/debug_assert.h"

#include <cstdio>
#include <string>

#include "base/xassert.h"

namespace pixmold {

void DebugAssertFailed(std::string_view condition, std::string_view file, int line) {
  if (IsWorkerThread()) {
    std::string text = "Debug assertion failed in file " + std::string(file) + ", line " + std::to_string(line) +
                       " : (" + std::string(condition) + ")";
    std::fprintf(stderr, "%s\n", text.c_str());
    return;
  }
  AssertFailed(condition, "debug assertion", file, line);
}

}  // namespace pixmold
