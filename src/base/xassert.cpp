#include "base/xassert.h"

#include <atomic>
#include <cstdio>
#include <mutex>

#include "base/terminate.h"
#include "base/worker_helper.h"

namespace pixmold {
namespace {

std::mutex gAssertMutex;
std::thread::id gWorkerThread;  // default id means "no worker"
AssertSink gAssertSink;
// Per thread, so helpers of one build never change what another thread is.
thread_local bool tHelpsWorker = false;

// The source path from the repository's root, however the compiler was
// handed it (see PIXMOLD_SOURCE_FROM_BUILD in the top CMakeLists.txt).
std::string_view FromRepositoryRoot(std::string_view file) {
  constexpr std::string_view kSourceFromBuild = PIXMOLD_SOURCE_FROM_BUILD;
  if (!kSourceFromBuild.empty() && file.starts_with(kSourceFromBuild) && file.size() > kSourceFromBuild.size() &&
      file[kSourceFromBuild.size()] == '/') {
    file.remove_prefix(kSourceFromBuild.size() + 1);
  }
  return file;
}

std::string Format(std::string_view condition, std::string_view message, std::string_view file, int line) {
  // The assertion text is formatted into a 1024-character buffer.
  std::string text = "XASSERT failure in file ";
  text.append(FromRepositoryRoot(file));
  text += ", line ";
  text += std::to_string(line);
  text += " : (";
  text.append(condition);
  text += ") ";
  text.append(message);
  if (text.size() > 1023) text.resize(1023);
  return text;
}

}  // namespace

void SetWorkerThread(std::thread::id id) {
  std::lock_guard lock(gAssertMutex);
  gWorkerThread = id;
}

void ClearWorkerThread() {
  std::lock_guard lock(gAssertMutex);
  gWorkerThread = std::thread::id();
}

ScopedWorkerHelper::ScopedWorkerHelper(bool helpsWorker) : fPrevious(tHelpsWorker) { tHelpsWorker = helpsWorker; }

ScopedWorkerHelper::~ScopedWorkerHelper() { tHelpsWorker = fPrevious; }

bool IsWorkerThread() {
  if (tHelpsWorker) return true;
  std::lock_guard lock(gAssertMutex);
  return gWorkerThread != std::thread::id() && gWorkerThread == std::this_thread::get_id();
}

AssertSink SetAssertSink(AssertSink sink) {
  std::lock_guard lock(gAssertMutex);
  std::swap(gAssertSink, sink);
  return sink;
}

void AssertFailed(std::string_view condition, std::string_view message, std::string_view file, int line) {
  std::string text = Format(condition, message, file, line);
  if (IsWorkerThread()) throw Terminate(text);
  AssertSink sink;
  {
    std::lock_guard lock(gAssertMutex);
    sink = gAssertSink;
  }
  if (sink) {
    sink(text);
  } else {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
}

}  // namespace pixmold
