#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "base/xassert.h"
#include "command_registry.h"
#include "filelib/file_locks.h"
#include "user_text.h"

namespace pixmold::cli {

std::vector<CommandEntry>& Commands() {
  static std::vector<CommandEntry> commands;
  return commands;
}

namespace {

// Edit distance, to suggest the command a typo was meant to be.
std::size_t Distance(const std::string& from, const std::string& to) {
  std::vector<std::size_t> row(to.size() + 1);
  for (std::size_t j = 0; j <= to.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= from.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= to.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (from[i - 1] == to[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[to.size()];
}

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
  std::string closest;
  std::size_t best = 3;  // further than two edits is no longer a typo
  for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
    if (command->get_name() == name) return true;
    const std::size_t distance = Distance(name, command->get_name());
    if (distance < best) {
      best = distance;
      closest = command->get_name();
    }
  }
  std::fprintf(stderr, "pixmold: unknown command '%s'", EscapeControls(name).c_str());
  if (!closest.empty()) std::fprintf(stderr, " (did you mean '%s'?)", closest.c_str());
  std::fprintf(stderr, "\nRun 'pixmold --help' for the list of commands.\n");
  return false;
}

// Data that could not be written is a failure, whatever the command did.
bool StandardOutputWritten() {
  std::cout.flush();
  return std::cout.good() && std::fflush(stdout) == 0 && !std::ferror(stdout);
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

}  // namespace

int main(int argc, char** argv) {
  using namespace pixmold::cli;
  // A file-size limit would kill the command in the middle of a write, with
  // no word; ignored, the write fails with "File too large" and is reported
  // as a full disk is, the object file left in its old or its new state.
  std::signal(SIGXFSZ, SIG_IGN);
  LockFilesWhileOpen();
  CLI::App app{"pixmold - builds an object's sprites, draw groups and data into its resource file"};
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
  app.failure_message([](const CLI::App*, const CLI::Error& error) {
    return "pixmold: " + std::string(error.what()) + "\nRun with --help for more information.\n";
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
  const std::size_t index = CommandIndex(arguments);
  if (index < arguments.size() && arguments[index] == "help") {
    // "pixmold help build" is "pixmold build --help"; "pixmold help" the list.
    arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(index));
    arguments.insert(arguments.begin() + static_cast<std::ptrdiff_t>(std::min(index + 1, arguments.size())), "--help");
  } else if (index < arguments.size() && !KnownCommand(app, arguments[index])) {
    return kExitUsage;
  }

  try {
    std::reverse(arguments.begin(), arguments.end());  // the parser takes them last first
    app.parse(arguments);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error);
    if (!StandardOutputWritten()) {
      std::fprintf(stderr, "pixmold: cannot write to standard output\n");
      return kExitFailed;
    }
    return code == 0 ? kExitOk : kExitUsage;
  } catch (const std::exception& error) {
    // A system failure outside any build (no temporary directory, memory):
    // one clear line instead of an abort.
    std::fprintf(stderr, "pixmold: %s\n", error.what());
    return kExitFailed;
  }
  if (!StandardOutputWritten()) {
    std::fprintf(stderr, "pixmold: cannot write to standard output\n");
    return kExitFailed;
  }
  return status;
}
