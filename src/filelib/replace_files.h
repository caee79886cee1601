// Replaces several files as one change, as far as a file system allows:
// every new file is written whole under a temporary name beside its target
// and made durable, and only when all of them are there do they take their
// targets' names, each in one rename. A failure before that point leaves
// every target as it was and no temporary behind. Renames within one
// directory do not fail once the temporaries exist short of the disk
// itself failing; should one still fail, the files renamed before it stay
// new and the rest stay old, each of them whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "filelib/file_system.h"

namespace pixmold {

struct FileReplacement {
  std::string path;
  std::vector<std::uint8_t> bytes;
};

struct ReplaceOutcome {
  bool ok = true;
  std::string failedPath;  // the target whose step failed
  std::string step;        // "create", "write" or "rename"
};

ReplaceOutcome ReplaceFiles(FileSystem& files, const std::vector<FileReplacement>& replacements);

}  // namespace pixmold
