// Watches whole folder trees for files that come, go or are written, with
// Linux inotify. inotify watches one folder at a time and not its
// subfolders, so every folder of a tree gets a watch of its own, and a
// folder that appears later gets one as soon as its creation is read; what
// was written into it before then is reported as changed with it. A
// watch's events stay queued in the kernel until read, so changes made
// while the owner was busy (running a build) are read afterwards, none lost
// unless the queue overflows, which is reported as a change of every tree.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pixmold::cli {

class TreeWatcher {
 public:
  // Error() says why when inotify is not available.
  TreeWatcher();
  ~TreeWatcher();
  TreeWatcher(const TreeWatcher&) = delete;
  TreeWatcher& operator=(const TreeWatcher&) = delete;

  const std::string& Error() const { return fError; }

  // Watches the folder `root` (absolute) and every folder under it, except
  // `ignored` (absolute; itself and everything under it). An error names
  // the folder that could not be watched and why; a folder that vanished
  // while it was being walked is no error.
  std::optional<std::string> WatchTree(const std::string& root, const std::string& ignored = {});

  enum class Wait { kReady, kTimedOut, kStopped };
  // Waits for events until `deadline` (none: for ever), or until a stop was
  // requested (SIGINT, SIGTERM with ScopedStopSignals in place), which
  // wakes the wait at once.
  Wait WaitForEvents(std::optional<std::chrono::steady_clock::time_point> deadline) const;

  // The absolute paths that the queued events name, in the order they
  // came, without waiting; folders created meanwhile are watched from now on.
  std::vector<std::string> ReadChanges();
  // The folders that appeared but could not be watched since last asked,
  // each with the reason.
  std::vector<std::string> TakeProblems();

 private:
  void WatchFolders(const std::string& folder, std::vector<std::string>* found);
  bool Ignored(const std::string& path) const;
  void HandleEvent(int watch, std::uint32_t mask, const std::string& name, std::vector<std::string>* changes);

  int fInotify = -1;
  std::string fError;
  std::map<int, std::string> fFolders;  // watch descriptor to its folder
  std::vector<std::string> fRoots;
  std::vector<std::string> fIgnored;
  std::vector<std::string> fProblems;
};

}  // namespace pixmold::cli
