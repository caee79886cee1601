// pixmold watch: what `pixmold all` does, again whenever a file of either
// tree changes, until Ctrl-C. ninja still decides what each run builds, so a
// change rebuilds only the objects that read the changed file.
//
// The runs write into the data tree themselves: the plan's folder is never
// watched, and what changes under DATA/Objects/ while a run is in progress
// is our own builds writing object files, so those events, read once the
// run is over, are dropped. An object file changed between runs (copied in
// by hand) is a change like any other.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "command_registry.h"
#include "stop_signals.h"
#include "tree_run.h"
#include "tree_watcher.h"
#include "user_text.h"

namespace pixmold::cli {
namespace {

// A renderer writes a sheet in several steps, and an artist saves a
// sheet's images one after another: a run starts once the trees were quiet
// this long.
constexpr std::chrono::milliseconds kQuiet{300};

bool Under(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() && path.starts_with(folder) && path[folder.size()] == '/';
}

struct WatchedTrees {
  std::string data;
  std::string content;
  std::string objects;  // where our own builds write

  // A path as the artist knows it, from the top of its tree (the deeper
  // tree first, for a content tree kept inside the data tree).
  std::string Shown(const std::string& path) const {
    const std::string& inner = content.size() > data.size() ? content : data;
    const std::string& outer = content.size() > data.size() ? data : content;
    for (const std::string* root : {&inner, &outer}) {
      if (Under(path, *root)) return path.substr(root->size() + 1);
    }
    return path;
  }
};

void ReportProblems(TreeWatcher& watcher) {
  for (const std::string& problem : watcher.TakeProblems()) {
    std::fprintf(stderr, "pixmold watch: cannot watch %s; changes in it go unseen\n", EscapeControls(problem).c_str());
  }
}

// The changes since the last run: the first one, to name, and how many
// different paths in all (a new folder brings every file in it).
struct PendingChanges {
  std::string first;
  std::set<std::string> paths;

  bool Empty() const { return paths.empty(); }
  void Add(const std::string& path) {
    if (paths.empty()) first = path;
    paths.insert(path);
  }
};

// Waits for a change (unless some are pending), then until none came for
// kQuiet; false when a stop was requested.
bool WaitForQuiet(TreeWatcher& watcher, PendingChanges& pending) {
  using Clock = std::chrono::steady_clock;
  std::optional<Clock::time_point> deadline;
  if (!pending.Empty()) deadline = Clock::now() + kQuiet;
  for (;;) {
    const TreeWatcher::Wait waited = watcher.WaitForEvents(deadline);
    if (waited == TreeWatcher::Wait::kStopped) return false;
    if (waited == TreeWatcher::Wait::kReady) {
      const std::vector<std::string> changes = watcher.ReadChanges();
      ReportProblems(watcher);
      if (changes.empty()) continue;
      for (const std::string& path : changes) pending.Add(path);
      deadline = Clock::now() + kQuiet;
    } else if (deadline && Clock::now() >= *deadline) {
      return true;
    }
  }
}

void SayWhatChanged(const WatchedTrees& trees, const PendingChanges& pending, bool json) {
  std::string line = "pixmold watch: " + EscapeControls(trees.Shown(pending.first)) + " changed";
  if (pending.paths.size() > 1) line += ", and " + std::to_string(pending.paths.size() - 1) + " more";
  // With --json standard output holds the summaries alone.
  if (json) {
    std::fprintf(stderr, "%s\n", line.c_str());
  } else {
    std::cout << line << "\n" << std::flush;
  }
}

int RunWatch(TreeRunOptions& options) {
  // One set of stop signals for the whole session: a signal during a run
  // stops its builds as `pixmold all` does, one during a wait ends the wait.
  ScopedStopSignals stopSignals;
  // Without ninja every run would fail alike; say so once and stop.
  if (!NinjaRuns(options.plan.command)) return kExitFailed;
  TreeWatcher watcher;
  if (!watcher.Error().empty()) {
    std::fprintf(stderr, "pixmold watch: cannot watch for changes: %s\n", watcher.Error().c_str());
    return kExitFailed;
  }
  WatchedTrees trees;
  trees.data = Absolute(options.plan.dataDirectory);
  trees.content = Absolute(options.plan.contentDirectory);
  trees.objects = trees.data + "/Objects";
  // Watching starts before the first run, so nothing saved during it is
  // missed. A tree that is not there is watched as nothing; the first run
  // refuses it.
  const std::string planFolder = std::filesystem::path(CachePlanFile(trees.data)).parent_path().string();
  for (const auto& [root, ignored] : {std::pair{trees.data, planFolder}, std::pair{trees.content, planFolder}}) {
    if (const std::optional<std::string> problem = watcher.WatchTree(root, ignored)) {
      std::fprintf(stderr, "pixmold watch: cannot watch %s\n", EscapeControls(*problem).c_str());
      return kExitFailed;
    }
  }

  int status = RunTree(options);
  // Only the first run can find the request itself wrong; later a tree
  // may lose its folder for a while, which the next run reports again.
  if (status == kExitUsage) return status;
  if (status != kExitInterrupted) std::fprintf(stderr, "pixmold watch: waiting for changes (Ctrl-C stops)\n");
  PendingChanges pending;
  while (status != kExitInterrupted) {
    for (const std::string& path : watcher.ReadChanges()) {
      if (!Under(path, trees.objects)) pending.Add(path);
    }
    ReportProblems(watcher);
    if (!WaitForQuiet(watcher, pending)) break;
    SayWhatChanged(trees, pending, options.json);
    pending = {};
    status = RunTree(options);
  }
  std::fprintf(stderr, "pixmold watch: stopped\n");
  return kExitInterrupted;
}

RegisterCommand registerWatch(14, [](CLI::App& app, int* status) {
  auto options = std::make_shared<TreeRunOptions>();
  options->plan.command = "watch";
  CLI::App* cmd = app.add_subcommand(
      "watch", "Build every object of a data tree as 'all' does, then again whenever a file of either tree changes");
  AddTreeRunOptions(*cmd, *options);
  cmd->footer(
      "Runs 'pixmold all' once, then waits for a file of either tree to be written, added, removed or\n"
      "renamed, and runs it again once the trees were quiet for 0.3 s, for ever. Each run's summary is\n"
      "preceded by a line naming what changed ('pixmold watch: Sprites/chair/chair_a.tga changed').\n"
      "ninja rebuilds only the objects that read a changed file. The object files the builds write\n"
      "start no run, and DATA/.pixmold/ is never watched. Every other option is an option of\n"
      "'pixmold build' and is given to every object's build.\n"
      "Ctrl-C (SIGINT) or SIGTERM ends the wait, or stops a run's builds at a resource boundary.\n"
      "Exit status: 1 ninja cannot run or changes cannot be watched (inotify), 2 usage error or a tree\n"
      "without its folder, 130 stopped, which is how a watch ends when nothing went wrong.");
  cmd->callback([options, status, cmd] {
    TakeBuildOptions(*cmd, *options);
    *status = RunWatch(*options);
  });
});

}  // namespace
}  // namespace pixmold::cli
