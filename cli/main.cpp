#include <algorithm>
#include <cstdio>
#include <exception>

#include "command_registry.h"

namespace pixmold::cli {

std::vector<CommandEntry>& Commands() {
  static std::vector<CommandEntry> commands;
  return commands;
}

}  // namespace pixmold::cli

int main(int argc, char** argv) {
  using namespace pixmold::cli;
  CLI::App app{"pixmold - builds an object's sprites, draw groups and data into its resource file"};
  app.set_version_flag("--version", std::string("pixmold ") + PIXMOLD_VERSION);
  app.require_subcommand(1);
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
