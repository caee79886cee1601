#include "run_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "stop_signals.h"

extern char** environ;

namespace pixmold::cli {
namespace {

std::vector<char*> Pointers(std::vector<std::string>& words) {
  std::vector<char*> pointers;
  for (std::string& word : words) pointers.push_back(word.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Every variable of ours that the added ones do not replace, then those.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& added) {
  std::vector<std::string> merged;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view current(*entry);
    const std::string_view name = current.substr(0, current.find('=') + 1);
    bool replaced = false;
    for (const std::string& add : added) replaced = replaced || add.starts_with(name);
    if (!replaced) merged.emplace_back(current);
  }
  merged.insert(merged.end(), added.begin(), added.end());
  return merged;
}

}  // namespace

ProcessRun RunProcess(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                      ChildOutput output) {
  ProcessRun run;
  const bool captureOutput = output == ChildOutput::kCapture;
  std::vector<std::string> argumentWords = arguments;
  std::vector<std::string> environmentWords = MergedEnvironment(environment);
  std::vector<char*> argv = Pointers(argumentWords);
  std::vector<char*> envp = Pointers(environmentWords);

  int pipeEnds[2] = {-1, -1};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (captureOutput) {
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
      run.error = std::strerror(errno);
      posix_spawn_file_actions_destroy(&actions);
      return run;
    }
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
  } else if (output == ChildOutput::kToError) {
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
  }
  pid_t child = 0;
  const int spawned = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (captureOutput) ::close(pipeEnds[1]);
  if (spawned != 0) {
    if (captureOutput) ::close(pipeEnds[0]);
    run.error = std::strerror(spawned);
    return run;
  }
  run.started = true;
  ForwardStopSignalsTo(child);
  if (captureOutput) {
    char buffer[4096];
    for (;;) {
      const ssize_t got = ::read(pipeEnds[0], buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      run.output.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipeEnds[0]);
  }
  int raw = 0;
  while (::waitpid(child, &raw, 0) < 0 && errno == EINTR) {
  }
  ForwardStopSignalsTo(0);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  return run;
}

}  // namespace pixmold::cli
