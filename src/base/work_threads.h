// Spreads independent pieces of one build step over threads. The calling
// thread works too, and the call returns only when every piece is done, so
// no thread outlives the step and nothing is shared between steps.
//
// Each helper thread asserts as its caller does (a broken invariant fails
// the build on the worker, see worker_helper.h). A piece that reports or
// fails where the build's report order matters holds its reports and its
// failure (held_reports.h, std::exception_ptr) for the caller to pass on in
// piece order.
#pragma once

#include <cstddef>
#include <functional>

namespace pixmold {

// Runs work(piece, slot) for every piece in [0, count) on at most threads
// threads; slot (0 .. threads - 1) names the thread, so a caller can keep one
// scratch object per thread. Pieces are taken in order as threads free up.
// With threads <= 1 everything runs on the calling thread, in order. A
// thread that cannot be started leaves its share to the others.
void RunOnThreads(int threads, std::size_t count, const std::function<void(std::size_t piece, int slot)>& work);

// The number of threads a build uses when not told: one per core.
int DefaultThreadCount();

}  // namespace pixmold
