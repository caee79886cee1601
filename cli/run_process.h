// Runs another program (ninja) and waits for it, without a shell between, so
// no path needs quoting. Its standard error and, unless captured, its
// standard output are ours, so its status line reaches the user's terminal.
#pragma once

#include <string>
#include <vector>

namespace pixmold::cli {

struct ProcessRun {
  bool started = false;  // false: the program could not be run (reason in error)
  int status = -1;       // its exit status, or 128 + the signal that ended it
  std::string output;    // its standard output, when captured
  std::string error;
};

enum class ChildOutput {
  kInherit,  // the child's standard output is ours
  kCapture,  // kept in ProcessRun::output
  kToError,  // sent to our standard error, keeping our standard output for data
};

// arguments[0] is looked up on PATH; environment entries ("NAME=value") are
// added to ours.
ProcessRun RunProcess(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                      ChildOutput output);

}  // namespace pixmold::cli
