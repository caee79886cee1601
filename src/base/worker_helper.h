// A thread that does part of the worker's build (encoding frames beside it)
// is treated as the worker for its asserts while one of these exists, so a
// broken invariant there fails the build as it would on the worker (see
// xassert.h).
#pragma once

namespace pixmold {

class ScopedWorkerHelper {
 public:
  explicit ScopedWorkerHelper(bool helpsWorker);
  ~ScopedWorkerHelper();
  ScopedWorkerHelper(const ScopedWorkerHelper&) = delete;
  ScopedWorkerHelper& operator=(const ScopedWorkerHelper&) = delete;

 private:
  bool fPrevious;
};

}  // namespace pixmold
