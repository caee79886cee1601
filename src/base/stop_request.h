// A request to stop the build in progress, raised by a signal handler (the
// command line's SIGINT and SIGTERM) and honoured only where the build sits
// between two resources, so that the object file is closed whole, with its
// map, rather than left wherever the signal found it.
#pragma once

namespace pixmold {

// Safe to call from a signal handler.
void RequestStop() noexcept;
bool StopRequested() noexcept;
void ClearStopRequest() noexcept;

// Called at a resource boundary: ends the build with "interrupted" once a
// stop was requested.
void StopHereIfRequested();

}  // namespace pixmold
