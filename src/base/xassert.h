// Broken invariants of our own code are reported through XASSERT. Which grade
// of failure that is depends on the thread: on the build's worker thread the
// text becomes a fatal build error (a Terminate exception), so a broken
// invariant ends the build; on any other thread it is only reported and the
// caller continues along its documented failure path.
//
// XASSERT is never the only check on untrusted input: readers validate bytes
// themselves and return ordinary errors.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <thread>

namespace pixmold {

// Formats "XASSERT failure in file %s, line %d : (%s) %s" and reports it.
// Returns normally only off the worker thread.
void AssertFailed(std::string_view condition, std::string_view message, std::string_view file, int line);

// The worker records its id while it runs a build; asserts on it throw.
void SetWorkerThread(std::thread::id id);
void ClearWorkerThread();
bool IsWorkerThread();

// Where assertion reports off the worker thread go (default: standard error,
// one line each). Returns the previous sink so it can be restored.
using AssertSink = std::function<void(const std::string&)>;
AssertSink SetAssertSink(AssertSink sink);

// RAII helper that records the worker thread for a scope (the command line
// runs a build as the dialog's worker does).
class ScopedWorkerThread {
 public:
  ScopedWorkerThread() { SetWorkerThread(std::this_thread::get_id()); }
  ~ScopedWorkerThread() { ClearWorkerThread(); }
  ScopedWorkerThread(const ScopedWorkerThread&) = delete;
  ScopedWorkerThread& operator=(const ScopedWorkerThread&) = delete;
};

}  // namespace pixmold

#define XASSERT(cond, msg)                                                  \
  do {                                                                      \
    if (!(cond)) ::pixmold::AssertFailed(#cond, (msg), __FILE__, __LINE__); \
  } while (0)

// For failures reached by a code path rather than a condition: reports with
// the given condition text (the messages name the condition they guard).
#define XASSERT_FAIL(condText, msg) ::pixmold::AssertFailed((condText), (msg), __FILE__, __LINE__)
