// Runs the built command line as a shell would, with files for its standard
// streams, so the tests see exactly what a user or a script sees.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

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

// The text with every "$" standing for the directory (with a slash after it).
inline std::string Expand(std::string text, const TempDir& dir) {
  const std::string path = dir.Path().string() + "/";
  for (std::size_t at = text.find('$'); at != std::string::npos; at = text.find('$', at + path.size())) {
    text.replace(at, 1, path);
  }
  return text;
}

// Longer than any command of a test takes on a loaded machine, far shorter
// than the suite's own limit: a command that waits on a lock or a child for
// ever fails its test (exit status 124) instead of hanging the suite.
inline constexpr int kCommandDeadlineSeconds = 120;

// `args` is already shell-quoted; `input` becomes the standard input. With
// inDir the command runs in the directory, so relative paths are its own.
inline CliRun RunCli(const TempDir& dir, const std::string& args, std::string_view input = {}, bool inDir = false) {
  const std::string in = dir.Write("stdin.bin", input);
  const std::string out = dir.File("stdout.bin");
  const std::string err = dir.File("stderr.txt");
  const std::string command = (inDir ? "cd " + Quote(dir.Path().string()) + " && " : std::string()) +
                              "TERM=dumb timeout -k 5 " + std::to_string(kCommandDeadlineSeconds) + " " +
                              Quote(PIXMOLD_CLI_PATH) + " " + args + " <" + Quote(in) + " >" + Quote(out) + " 2>" +
                              Quote(err);
  const int raw = std::system(command.c_str());
  return CliRun{WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw), Text(out), Text(err)};
}

// A stream holds the expected fragment or, when it starts with "=", is
// exactly the rest of it.
inline void ExpectShows(const std::string& stream, const std::string& expected, const std::string& what) {
  if (expected.starts_with('=')) {
    EXPECT_EQ(stream, expected.substr(1)) << what;
  } else {
    EXPECT_NE(stream.find(expected), std::string::npos) << what << " lacks \"" << expected << "\" in:\n" << stream;
  }
}

// Starts the command line in the background, its standard streams from and
// into the files named ("" leaves one as it is), in a process group of its
// own when asked, as a shell starts a job.
inline pid_t StartCli(std::vector<std::string> args, const std::string& input, const std::string& output,
                      const std::string& errors, bool ownGroup = false) {
  const pid_t child = fork();
  if (child != 0) return child;
  if (ownGroup) setpgid(0, 0);
  const auto redirect = [](const std::string& path, int flags, int stream) {
    const int file = path.empty() ? stream : open(path.c_str(), flags, 0644);
    if (file < 0 || dup2(file, stream) < 0) _exit(99);
  };
  redirect(input, O_RDONLY, STDIN_FILENO);
  redirect(output, O_WRONLY | O_CREAT | O_TRUNC, STDOUT_FILENO);
  redirect(errors, O_WRONLY | O_CREAT | O_TRUNC, STDERR_FILENO);
  std::vector<char*> argv{const_cast<char*>(PIXMOLD_CLI_PATH)};
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  execv(PIXMOLD_CLI_PATH, argv.data());
  _exit(98);
}

}  // namespace pixmold::testing
