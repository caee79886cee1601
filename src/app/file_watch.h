// Tells which of a few files changed, with Linux inotify, for a dialog that
// rebuilds an object when one of its inputs is saved.
//
// A file is watched through its folder, never itself: an editor that saves
// by writing a new file and renaming it over the old one leaves a watch on
// the old file following a file nobody reads, while the folder's watch sees
// the new one arrive under the watched name. A folder that is itself
// watched (a build looked into it for an optional image) counts as changed
// when a file comes or goes in it; editors' scratch files (names starting
// with "." or ending in "~") do not count, or opening a sheet in an editor
// would rebuild the object.
//
// Events stay queued in the kernel until read, so what changed while the
// owner was busy is read afterwards; the file descriptor never blocks.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace pixmold {

class FileWatch {
 public:
  // Error() says why when inotify is not available.
  FileWatch();
  ~FileWatch();
  FileWatch(const FileWatch&) = delete;
  FileWatch& operator=(const FileWatch&) = delete;

  const std::string& Error() const { return fError; }

  // Watches these paths from now on instead of those before: a path that is
  // a folder now for files coming and going in it, any other (a file, or one
  // missing for the moment) for being written, replaced, removed or
  // touched. Returns the folders that could not be watched, each with the
  // reason; the paths in them go unwatched.
  std::vector<std::string> Watch(const std::vector<std::string>& paths);

  // The watched paths that changed since last asked (for a folder, the path
  // of the file that came or went), each once, in the order first seen.
  std::vector<std::string> TakeChanges();

 private:
  void Note(const std::string& path, std::vector<std::string>& changes) const;
  void HandleEvent(int watch, std::uint32_t mask, const std::string& name, std::vector<std::string>& changes);

  int fInotify = -1;
  std::string fError;
  std::map<int, std::string> fFolders;  // watch descriptor to its folder
  std::set<std::string> fFiles;         // watched through their folders
  std::set<std::string> fListed;        // folders watched for their entries
};

}  // namespace pixmold
