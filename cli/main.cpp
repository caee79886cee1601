#include <malloc.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "base/xassert.h"
#include "command_registry.h"
#include "filelib/file_locks.h"
#include "suggest.h"
#include "user_text.h"

namespace pixmold::cli {

std::vector<CommandEntry>& Commands() {
  static std::vector<CommandEntry> commands;
  return commands;
}

namespace {

// The first argument that is not an option: the command the user named
// (the program's own options take no values).
std::size_t CommandIndex(const std::vector<std::string>& arguments) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i].empty() || arguments[i][0] != '-') return i;
  }
  return arguments.size();
}

// Rejects a command name that is none of ours with a suggestion, before
// the parser would call it an unexpected argument. Returns true to go on.
bool KnownCommand(const CLI::App& app, const std::string& name) {
  std::vector<std::string> names;
  for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
    if (command->get_name() == name) return true;
    names.push_back(command->get_name());
  }
  std::fprintf(stderr, "pixmold: unknown command '%s'", EscapeControls(name).c_str());
  if (const std::optional<std::string> closest = Closest(name, names)) {
    std::fprintf(stderr, " (did you mean '%s'?)", closest->c_str());
  }
  std::fprintf(stderr, "\nRun 'pixmold --help' for the list of commands.\n");
  return false;
}

// Data that could not be written is a failure, whatever the command did.
bool StandardOutputWritten() {
  std::cout.flush();
  return std::cout.good() && std::fflush(stdout) == 0 && !std::ferror(stdout);
}

// Nobody reads our standard output any more (`pixmold cat ... | head`).
bool ReaderGone(int error) {
  if (error == EPIPE) return true;
  pollfd output{STDOUT_FILENO, 0, 0};
  return ::poll(&output, 1, 0) == 1 && (output.revents & POLLERR) != 0;
}

// A reader that went away is no failure of ours: we end as the system ends
// any program writing into a closed pipe, without a word, even when
// SIGPIPE was ignored by whoever started us.
[[noreturn]] void EndAsClosedPipe() {
  std::signal(SIGPIPE, SIG_DFL);
  sigset_t pipeSignal;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  ::pthread_sigmask(SIG_UNBLOCK, &pipeSignal, nullptr);
  ::raise(SIGPIPE);
  ::_exit(kExitFailed);
}

int Finish(int status) {
  errno = 0;
  if (StandardOutputWritten()) return status;
  if (ReaderGone(errno)) EndAsClosedPipe();
  std::fprintf(stderr, "pixmold: cannot write to standard output\n");
  return kExitFailed;
}

// " (did you mean '--dry-run'?)" for an option the parser did not expect.
std::string OptionHints(const CLI::App& app, const CLI::Error& error) {
  std::vector<const CLI::App*> commands{&app};
  for (const CLI::App* command : app.get_subcommands()) commands.push_back(command);
  return OptionSuggestions(error, commands);
}

// The words the shell's completion offers (cli/pixmold.bash asks for them),
// one a line: with no command, every command and the program's own options;
// with one, that command's options. Left out of --help: it is for that
// script, which so follows every command added without an edit of its own.
int PrintCompletions(const CLI::App& app, const std::vector<std::string>& arguments) {
  std::vector<std::string> words;
  if (arguments.size() < 2) {
    for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
      words.push_back(command->get_name());
    }
    words.push_back("help");
    const std::vector<std::string> options = OptionNames(app);
    words.insert(words.end(), options.begin(), options.end());
  } else {
    const auto commands =
        app.get_subcommands([&](const CLI::App* command) { return command->get_name() == arguments[1]; });
    if (commands.empty()) return kExitUsage;
    words = OptionNames(*commands.front());
  }
  for (const std::string& word : words) std::cout << word << "\n";
  return kExitOk;
}

}  // namespace
}  // namespace pixmold::cli

namespace {

// Another process (a build in the dialog, a script's add) has the file: we
// wait for it, and say so once. Without waiting the command itself names
// the file it could not have, as its failure.
void LockFilesWhileOpen() {
  pixmold::LockPolicy policy;
  policy.enabled = true;
  policy.inUse = [](std::string_view path) {
    if (!pixmold::CurrentLockPolicy().wait) return;
    static std::atomic<bool> said{false};
    if (said.exchange(true)) return;
    const std::string name(path.substr(path.find_last_of('/') + 1));
    std::fprintf(stderr, "pixmold: waiting for %s, in use by another process\n", name.c_str());
  };
  pixmold::SetLockPolicy(policy);
}

// A build allocates and frees buffers of megabytes all the time (a sprite
// list, a resource read back). The allocator's default hands each of them
// fresh pages from the system, every one of which is faulted in and zeroed
// and given back again: a fifth of a build. Kept in the heap, freed memory
// serves the next buffer, and the peak is no higher.
void KeepFreedMemory() {
  mallopt(M_MMAP_THRESHOLD, 32 << 20);  // the largest it takes
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace pixmold::cli;
  // A file-size limit would kill the command in the middle of a write, with
  // no word; ignored, the write fails with "File too large" and is reported
  // as a full disk is, the object file left in its old or its new state.
  std::signal(SIGXFSZ, SIG_IGN);
  KeepFreedMemory();
  LockFilesWhileOpen();
  // Named, so every usage line starts with the program as it is typed.
  CLI::App app{"pixmold - builds an object's sprites, draw groups and data into its resource file", "pixmold"};
  app.set_version_flag("--version", std::string("pixmold ") + PIXMOLD_VERSION);
  app.require_subcommand(1);
  app.fallthrough();
  // Set as soon as it is read, before any command opens a file.
  app.add_flag_callback(
         "--no-wait",
         [] {
           pixmold::LockPolicy policy = pixmold::CurrentLockPolicy();
           policy.wait = false;
           pixmold::SetLockPolicy(policy);
         },
         "When another process has the object file open, fail at once (exit status 1) instead of waiting")
      ->trigger_on_parse();
  app.footer(
      "Exit status: 0 success, 1 the operation failed (a build's fatal error, a resource-file error,\n"
      "standard output that cannot be written), 2 usage error or an input file that cannot be read,\n"
      "130 a build stopped by SIGINT or SIGTERM (at a resource boundary: the object file stays whole).\n"
      "Messages go to standard error; data goes to standard output. 'pixmold help COMMAND' shows a\n"
      "command's options.");
  app.failure_message([](const CLI::App* failed, const CLI::Error& error) {
    return "pixmold: " + std::string(error.what()) + OptionHints(*failed, error) +
           "\nRun with --help for more information.\n";
  });
  // Outside a build an internal check is reported and the command goes on
  // along its failure path; the user sees what failed, not our source tree.
  pixmold::SetAssertSink([](const std::string& text) {
    std::fprintf(stderr, "pixmold: %s\n", EscapeControls(WithoutSourceLocation(text)).c_str());
  });

  int status = kExitOk;
  auto& commands = Commands();
  std::sort(commands.begin(), commands.end(), [](const auto& a, const auto& b) { return a.order < b.order; });
  for (auto& command : commands) command.setup(app, &status);

  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (!arguments.empty() && arguments.front() == "--complete") return Finish(PrintCompletions(app, arguments));
  const std::size_t index = CommandIndex(arguments);
  if (index < arguments.size() && arguments[index] == "help") {
    // "pixmold help build" is "pixmold build --help"; "pixmold help" the list.
    arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(index));
    if (index < arguments.size() && !arguments[index].starts_with("-") && !KnownCommand(app, arguments[index])) {
      return kExitUsage;
    }
    arguments.insert(arguments.begin() + static_cast<std::ptrdiff_t>(std::min(index + 1, arguments.size())), "--help");
  } else if (index < arguments.size() && !KnownCommand(app, arguments[index])) {
    return kExitUsage;
  }

  try {
    std::reverse(arguments.begin(), arguments.end());  // the parser takes them last first
    app.parse(arguments);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error);
    return Finish(code == 0 ? kExitOk : kExitUsage);
  } catch (const std::exception& error) {
    // A system failure outside any build (no temporary directory, memory):
    // one clear line instead of an abort.
    std::fprintf(stderr, "pixmold: %s\n", error.what());
    return kExitFailed;
  }
  return Finish(status);
}
