#include "dry_run_copy.h"

#include <stdlib.h>

#include <system_error>

#include "app/build_inputs.h"

namespace pixmold::cli {

namespace fs = std::filesystem;

DryRunCopy::DryRunCopy(const std::string& objectFile) {
  std::string pattern = (fs::temp_directory_path() / "pixmold-dry-run-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    return;  // no copy: CopyPath() stays empty and the command refuses to run
  }
  fDirectory = pattern;

  const fs::path object(objectFile);
  std::error_code ec;
  // A path without its extension names every part; a path to one part names its siblings.
  const std::string stem(fs::is_regular_file(object, ec) ? PathStem(objectFile) : PathLeaf(objectFile));
  const fs::path folder = object.has_parent_path() ? object.parent_path() : fs::path(".");
  std::error_code walk;
  for (fs::directory_iterator it(folder, walk); !walk && it != fs::directory_iterator(); it.increment(walk)) {
    const std::string leaf = it->path().filename().string();
    std::error_code part;
    if (!it->is_regular_file(part) || PathStem(leaf) != stem) continue;
    const fs::path copy = fDirectory / leaf;
    if (!fs::copy_file(it->path(), copy, part)) continue;
    // The copy is the build's to write, whatever the object's own parts
    // allow; a part no one may write is noted for the lint.
    const fs::perms perms = fs::status(it->path(), part).permissions();
    if ((perms & (fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write)) == fs::perms::none) {
      fReadOnlyParts.push_back(it->path().string());
    }
    fs::permissions(copy, perms | fs::perms::owner_read | fs::perms::owner_write, part);
  }
  fCopyPath = (fDirectory / object.filename()).string();
}

DryRunCopy::~DryRunCopy() {
  if (fDirectory.empty()) return;
  std::error_code ec;
  fs::permissions(fDirectory, fs::perms::owner_all, fs::perm_options::add, ec);
  for (const auto& entry : fs::directory_iterator(fDirectory, ec)) {
    fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ec);
  }
  fs::remove_all(fDirectory, ec);
}

}  // namespace pixmold::cli
