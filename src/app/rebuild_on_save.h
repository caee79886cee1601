// Rebuild on save: which files to watch for the selected object, and when a
// change to them starts a rebuild.
//
// Watched are the object's markup and every file its last build read (the
// list `pixmold build --depfile` writes), less the object file's own parts:
// the build writes those itself, and each build would start the next.
//
// A rebuild starts once the files have been quiet for 0.3 s, since an
// editor saves in several writes and a renderer writes a whole set of
// sheets, and never over a running build: changes during a build wait for
// it to end, and then one more build follows, however many there were.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/file_watch.h"

namespace pixmold {

// The debounce on its own, with the time given, so its rules are tested
// without waiting.
class RebuildTrigger {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr Clock::duration kQuiet = std::chrono::milliseconds(300);

  void Changed(const std::string& path, Clock::time_point at);
  // The last changed file, once the files have been quiet for kQuiet and no
  // build runs; the trigger is then spent.
  std::optional<std::string> Take(Clock::time_point now, bool building);
  bool Pending() const { return fChanged.has_value(); }
  void Clear() { fChanged.reset(); }

 private:
  std::optional<std::string> fChanged;
  Clock::time_point fLast;
};

// The files of a build's read list worth watching: the object file's parts
// (objectFile is its path without extension) and the report file left out.
std::vector<std::string> WatchableInputs(const std::vector<std::string>& read, std::string_view objectFile,
                                         std::string_view reportFile);

class RebuildOnSave {
 public:
  using Clock = RebuildTrigger::Clock;

  // Starts watching; the reason when inotify or a folder cannot be watched.
  std::optional<std::string> Start(const std::vector<std::string>& inputs);
  void Stop();
  bool On() const { return fWatch != nullptr; }
  std::size_t Watched() const { return fInputs.size(); }

  // After a build: these inputs from now on. One that was not watched while
  // the build ran but was written after `buildStart` changed then, unseen,
  // so it counts as changed now.
  std::optional<std::string> Rearm(const std::vector<std::string>& inputs, std::filesystem::file_time_type buildStart,
                                   Clock::time_point now);

  // Reads what changed without waiting; returns it.
  std::vector<std::string> Poll(Clock::time_point now);
  // The changed file a rebuild should start for now, if any (see above).
  std::optional<std::string> Due(Clock::time_point now, bool building) { return fTrigger.Take(now, building); }
  bool Pending() const { return fTrigger.Pending(); }
  // A first build, to learn what the object reads, counts as a change.
  void Changed(const std::string& path, Clock::time_point at) { fTrigger.Changed(path, at); }

 private:
  std::unique_ptr<FileWatch> fWatch;
  RebuildTrigger fTrigger;
  std::vector<std::string> fInputs;
};

}  // namespace pixmold
