#include "app/file_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "filelib/file_system.h"

namespace pixmold {
namespace {

// Written, touched, or replaced by a create, a rename or a removal; the
// folder itself removed or renamed away. Not a file closed after writing:
// a build opens what it reads for writing too, when it may.
constexpr std::uint32_t kEvents = IN_MODIFY | IN_ATTRIB | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                  IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
constexpr std::uint32_t kEntryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;

std::string Normal(const std::string& path) {
  std::string normal = std::filesystem::path(path).lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Join(const std::string& folder, const std::string& name) {
  if (folder == ".") return name;
  return folder == "/" ? "/" + name : folder + "/" + name;
}

bool Scratch(const std::string& name) { return name.starts_with(".") || name.ends_with("~"); }

}  // namespace

FileWatch::FileWatch() : fInotify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
  if (fInotify < 0) fError = std::strerror(errno);
}

FileWatch::~FileWatch() {
  if (fInotify >= 0) ::close(fInotify);
}

std::vector<std::string> FileWatch::Watch(const std::vector<std::string>& paths) {
  std::vector<std::string> problems;
  if (fInotify < 0) return problems;
  fFiles.clear();
  fListed.clear();
  std::set<std::string> folders;
  for (const std::string& path : paths) {
    const std::string normal = Normal(path);
    if (PosixFileSystem().Kind(normal) == EntryKind::kDirectory) {
      fListed.insert(normal);
      folders.insert(normal);
    } else {
      fFiles.insert(normal);
      folders.insert(FolderOf(normal));
    }
  }
  // Folders watched before and still wanted keep their watch, and with it
  // the events already queued on it.
  for (auto watch = fFolders.begin(); watch != fFolders.end();) {
    if (folders.erase(watch->second) == 0) {
      ::inotify_rm_watch(fInotify, watch->first);
      watch = fFolders.erase(watch);
    } else {
      ++watch;
    }
  }
  for (const std::string& folder : folders) {
    const int watch = ::inotify_add_watch(fInotify, folder.c_str(), kEvents);
    if (watch < 0) {
      const int reason = errno;
      problems.push_back(folder + ": " + std::strerror(reason) +
                         (reason == ENOSPC ? " (too many folders watched: raise fs.inotify.max_user_watches)" : ""));
      continue;
    }
    fFolders[watch] = folder;
  }
  return problems;
}

void FileWatch::Note(const std::string& path, std::vector<std::string>& changes) const {
  if (std::find(changes.begin(), changes.end(), path) == changes.end()) changes.push_back(path);
}

void FileWatch::HandleEvent(int watch, std::uint32_t mask, const std::string& name, std::vector<std::string>& changes) {
  if (mask & IN_Q_OVERFLOW) {
    // Events were lost: any of the paths may have changed.
    for (const std::string& file : fFiles) Note(file, changes);
    for (const std::string& folder : fListed) Note(folder, changes);
    return;
  }
  const auto found = fFolders.find(watch);
  if (found == fFolders.end()) return;
  const std::string folder = found->second;
  if (mask & IN_IGNORED) {
    fFolders.erase(found);
    return;
  }
  if (name.empty()) {
    if ((mask & (IN_DELETE_SELF | IN_MOVE_SELF)) && fListed.contains(folder)) Note(folder, changes);
    return;
  }
  const std::string path = Join(folder, name);
  if (fFiles.contains(path)) {
    Note(path, changes);
  } else if ((mask & kEntryEvents) && fListed.contains(folder) && !Scratch(name)) {
    Note(path, changes);
  }
}

std::vector<std::string> FileWatch::TakeChanges() {
  std::vector<std::string> changes;
  if (fInotify < 0) return changes;
  alignas(inotify_event) char buffer[16 * 1024];
  for (;;) {
    const ssize_t got = ::read(fInotify, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    // The kernel hands over whole events, each a header and its name
    // padded to the alignment of the next.
    for (ssize_t offset = 0; offset + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
      const std::string name = event->len > 0 ? std::string(event->name) : std::string();
      HandleEvent(event->wd, event->mask, name, changes);
      offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  return changes;
}

}  // namespace pixmold
