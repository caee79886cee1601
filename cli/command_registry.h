// Subcommands register themselves from their own files at start-up, so each
// command is one file and main.cpp never changes when one is added.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>
#include <vector>

namespace pixmold::cli {

// Exit statuses shared by every command (listed in --help).
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;         // the operation ran and failed
inline constexpr int kExitUsage = 2;          // bad arguments or unreadable input files
inline constexpr int kExitInterrupted = 130;  // a build stopped by SIGINT or SIGTERM, as shells count it

// A setup function adds its subcommand to the app and sets its callback; the
// callback stores the exit status in *status.
using CommandSetup = std::function<void(CLI::App& app, int* status)>;

struct CommandEntry {
  int order;  // position in --help
  CommandSetup setup;
};

std::vector<CommandEntry>& Commands();

// Name the registration after its command (`RegisterCommand registerLs(...)`):
// the program is compiled in batches of several files each, where two
// files' names meet even inside anonymous namespaces.
struct RegisterCommand {
  RegisterCommand(int order, CommandSetup setup) { Commands().push_back({order, std::move(setup)}); }
};

}  // namespace pixmold::cli
