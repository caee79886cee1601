#include <algorithm>
#include <atomic>
#include <cstdio>
#include <exception>
#include <string>

#include "command_registry.h"
#include "filelib/file_locks.h"

namespace pixmold::cli {

std::vector<CommandEntry>& Commands() {
  static std::vector<CommandEntry> commands;
  return commands;
}

}  // namespace pixmold::cli

namespace {

// Another process (a build in the dialog, a script's add) has the file: we
// wait for it, and say so once.
void LockFilesWhileOpen() {
  pixmold::LockPolicy policy;
  policy.enabled = true;
  policy.inUse = [](std::string_view path) {
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
      "Exit status: 0 success, 1 the operation failed (a build's fatal error, a resource-file error),\n"
      "2 usage error or an input file that cannot be read.\n"
      "Messages go to standard error; data goes to standard output.");

  int status = kExitOk;
  auto& commands = Commands();
  std::sort(commands.begin(), commands.end(), [](const auto& a, const auto& b) { return a.order < b.order; });
  for (auto& command : commands) command.setup(app, &status);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    int code = app.exit(error);
    return code == 0 ? kExitOk : kExitUsage;
  } catch (const std::exception& error) {
    // A system failure outside any build (no temporary directory, memory):
    // one clear line instead of an abort.
    std::fprintf(stderr, "pixmold: %s\n", error.what());
    return kExitFailed;
  }
  return status;
}
