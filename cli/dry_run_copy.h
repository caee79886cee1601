// A dry run builds into a copy of the object file, so that every step and
// every check runs as in a real build while the object file itself stays
// untouched. The copy holds every part of the object file (its ".iff",
// ".spf" and ".dir" files share its base name) with their permissions, and
// is removed with this object.
#pragma once

#include <filesystem>
#include <string>

namespace pixmold::cli {

class DryRunCopy {
 public:
  explicit DryRunCopy(const std::string& objectFile);
  ~DryRunCopy();
  DryRunCopy(const DryRunCopy&) = delete;
  DryRunCopy& operator=(const DryRunCopy&) = delete;

  // The object file path inside the copy; empty when no scratch directory
  // could be made, since building in place would not be a dry run.
  const std::string& CopyPath() const { return fCopyPath; }

 private:
  std::filesystem::path fDirectory;
  std::string fCopyPath;
};

}  // namespace pixmold::cli
