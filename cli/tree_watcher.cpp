#include "tree_watcher.h"

#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "base/stop_request.h"
#include "filelib/file_system.h"

namespace pixmold::cli {
namespace {

// What a change is to a build: a file's bytes written, a file or folder
// that came or went (also by renaming), a watched folder removed. A time
// set on its own (touch -m) counts too, since ninja goes by file times.
// Not a file closed after writing (IN_CLOSE_WRITE): the builds open what
// they read for writing as well when they may, so every file a build read
// would seem changed when it closed it. A file saved in several writes
// gives several events, which the caller waits out.
constexpr std::uint32_t kEvents =
    IN_MODIFY | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_ATTRIB;

bool AtOrUnder(const std::string& path, const std::string& folder) {
  return path == folder || (path.size() > folder.size() && path.starts_with(folder) && path[folder.size()] == '/');
}

}  // namespace

TreeWatcher::TreeWatcher() : fInotify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
  if (fInotify < 0) fError = std::strerror(errno);
}

TreeWatcher::~TreeWatcher() {
  if (fInotify >= 0) ::close(fInotify);
}

bool TreeWatcher::Ignored(const std::string& path) const {
  for (const std::string& ignored : fIgnored) {
    if (AtOrUnder(path, ignored)) return true;
  }
  return false;
}

std::optional<std::string> TreeWatcher::WatchTree(const std::string& root, const std::string& ignored) {
  fRoots.push_back(root);
  if (!ignored.empty()) fIgnored.push_back(ignored);
  std::vector<std::string> found;
  WatchFolders(root, &found);
  if (fProblems.empty()) return std::nullopt;
  std::string problem = fProblems.front();
  fProblems.clear();
  return problem;
}

// Symbolic links are not followed (IN_DONT_FOLLOW), which keeps a link back
// up the tree from walking it for ever; a moved folder keeps its watch
// descriptor, and walking it again under its new name renames its watches.
void TreeWatcher::WatchFolders(const std::string& folder, std::vector<std::string>* found) {
  if (Ignored(folder)) return;
  const int watch = ::inotify_add_watch(fInotify, folder.c_str(), kEvents | IN_ONLYDIR | IN_DONT_FOLLOW);
  if (watch < 0) {
    const int reason = errno;
    // Gone, or no folder (a link): nothing to watch, and no error.
    if (reason != ENOENT && reason != ENOTDIR) {
      fProblems.push_back(folder + ": " + std::strerror(reason) +
                          (reason == ENOSPC ? " (too many folders watched: raise fs.inotify.max_user_watches)" : ""));
    }
    return;
  }
  fFolders[watch] = folder;
  std::vector<DirEntry> entries;
  if (!PosixFileSystem().List(folder, entries)) return;
  for (const DirEntry& entry : entries) {
    const std::string path = folder + "/" + entry.name;
    if (entry.kind == EntryKind::kDirectory) {
      WatchFolders(path, found);
    } else if (!Ignored(path)) {
      found->push_back(path);
    }
  }
}

TreeWatcher::Wait TreeWatcher::WaitForEvents(std::optional<std::chrono::steady_clock::time_point> deadline) const {
  // The stop signals are held back while the request is checked and let in
  // by ppoll itself, so a signal that comes between the check and the wait
  // still ends the wait instead of being noticed only at the next event.
  sigset_t stopSignals;
  sigset_t previous;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);
  int ready = 0;
  if (!StopRequested()) {
    timespec timeout{};
    if (deadline) {
      const auto left = std::max(*deadline - std::chrono::steady_clock::now(), std::chrono::steady_clock::duration{});
      const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
      timeout.tv_sec = static_cast<time_t>(nanoseconds / 1'000'000'000);
      timeout.tv_nsec = static_cast<long>(nanoseconds % 1'000'000'000);
    }
    pollfd events{fInotify, POLLIN, 0};
    ready = ::ppoll(&events, 1, deadline ? &timeout : nullptr, &previous);
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (StopRequested()) return Wait::kStopped;
  return ready > 0 ? Wait::kReady : Wait::kTimedOut;
}

void TreeWatcher::HandleEvent(int watch, std::uint32_t mask, const std::string& name,
                              std::vector<std::string>* changes) {
  if (mask & IN_Q_OVERFLOW) {
    // Events were lost: every tree may have changed, and folders may have
    // come that have no watch yet.
    for (const std::string& root : fRoots) {
      changes->push_back(root);
      std::vector<std::string> found;
      WatchFolders(root, &found);
    }
    return;
  }
  const auto folder = fFolders.find(watch);
  if (folder == fFolders.end()) return;
  const std::string path = name.empty() ? folder->second : folder->second + "/" + name;
  if (mask & IN_IGNORED) {
    fFolders.erase(folder);
    return;
  }
  if (Ignored(path)) return;
  changes->push_back(path);
  if ((mask & IN_ISDIR) && (mask & (IN_CREATE | IN_MOVED_TO))) WatchFolders(path, changes);
}

std::vector<std::string> TreeWatcher::ReadChanges() {
  std::vector<std::string> changes;
  alignas(inotify_event) char buffer[64 * 1024];
  for (;;) {
    const ssize_t got = ::read(fInotify, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    // The kernel hands over whole events, each a header and its name
    // padded to the alignment of the next.
    for (ssize_t offset = 0; offset < got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
      const std::string name = event->len > 0 ? std::string(event->name) : std::string();
      HandleEvent(event->wd, event->mask, name, &changes);
      offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  return changes;
}

std::vector<std::string> TreeWatcher::TakeProblems() { return std::exchange(fProblems, {}); }

}  // namespace pixmold::cli
