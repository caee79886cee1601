// What keeps a resource file, or one part of an object file, from being
// used whole: a part that exists but cannot be opened, a damaged block, a
// part another process holds. A reader names each one and goes on with what
// it can read; a writer refuses the whole change, so that damage is never
// made worse (a walk that stops at a damaged block cannot tell the blocks
// after it from garbage, and a write would cut them off).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pixmold {

struct FileProblem {
  enum class Kind {
    kUnreadable,  // the part exists but does not open as a resource file
    kDamaged,     // it opened, but a block in it is not what it must be
    kInUse,       // another process holds it
  };
  Kind kind = Kind::kDamaged;
  std::string path;
  std::int64_t offset = -1;  // where in the file, or -1 for the whole file
  std::string what;          // in plain words, without the path

  // "PATH: WHAT" or "PATH: at offset N: WHAT".
  std::string Text() const;
  bool operator==(const FileProblem&) const = default;
};

// The problems' texts joined by "; ".
std::string ProblemsText(const std::vector<FileProblem>& problems);

}  // namespace pixmold
