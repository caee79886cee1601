// Waiting on a child process with a deadline of the test's own: a child that
// hangs (on a lock, a signal that never comes) is killed, and the wait
// fails at once instead of holding the suite until its overall timeout.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <thread>

namespace pixmold::testing {

// Longer than any child of a test takes on a loaded machine.
inline constexpr std::chrono::seconds kChildDeadline{120};

// The raw status waitpid gives, or nothing when the child was still running
// at the deadline (it is then killed, with its process group when it leads
// one, and reaped).
inline std::optional<int> WaitForChild(pid_t child, std::chrono::milliseconds limit = kChildDeadline) {
  const auto giveUp = std::chrono::steady_clock::now() + limit;
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child) return status;
    if (done < 0) return std::nullopt;
    if (std::chrono::steady_clock::now() >= giveUp) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (getpgid(child) == child) kill(-child, SIGKILL);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  return std::nullopt;
}

// The exit status as a shell shows it (128 + the signal for a killed
// child), or -1 when the deadline passed.
inline int ExitStatusWithin(pid_t child, std::chrono::milliseconds limit = kChildDeadline) {
  const std::optional<int> status = WaitForChild(child, limit);
  if (!status) return -1;
  return WIFEXITED(*status) ? WEXITSTATUS(*status) : 128 + WTERMSIG(*status);
}

}  // namespace pixmold::testing
