// Runs the built command line as a shell would, with files for its standard
// streams, so the tests see exactly what a user or a script sees.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "support/temp_dir.h"

namespace pixmold::testing {

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string Quote(std::string_view text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

inline std::string Text(const std::string& path) {
  const auto bytes = ReadAll(path);
  return std::string(bytes.begin(), bytes.end());
}

// `args` is already shell-quoted; `input` becomes the standard input.
inline CliRun RunCli(const TempDir& dir, const std::string& args, std::string_view input = {}) {
  const std::string in = dir.Write("stdin.bin", input);
  const std::string out = dir.File("stdout.bin");
  const std::string err = dir.File("stderr.txt");
  const std::string command =
      "TERM=dumb " + Quote(PIXMOLD_CLI_PATH) + " " + args + " <" + Quote(in) + " >" + Quote(out) + " 2>" + Quote(err);
  const int raw = std::system(command.c_str());
  return CliRun{WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw), Text(out), Text(err)};
}

}  // namespace pixmold::testing
