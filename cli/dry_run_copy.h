// A dry run builds into a copy of the object file, so that every step and
// every check runs as in a real build while the object file itself stays
// untouched. The copy holds every part of the object file (its ".iff",
// ".spf" and ".dir" files share its base name), always writable, so that a
// read-only object can be checked, and is removed with this object.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

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
  // The object's own parts that no one may write, which a real build refuses.
  const std::vector<std::string>& ReadOnlyParts() const { return fReadOnlyParts; }

 private:
  std::filesystem::path fDirectory;
  std::string fCopyPath;
  std::vector<std::string> fReadOnlyParts;
};

}  // namespace pixmold::cli
