// A whole-tree build handed to ninja: every object of a data tree whose
// markup is in the content tree becomes one edge that runs `pixmold build`
// on it. ninja then keeps every core busy and, from the depfile each build
// writes (the files it really opened), knows what to run again.
//
// The object file is changed in place by its own build, so it cannot be the
// edge's output: each edge owns a stamp file instead, touched only after a
// build succeeded. A failed build leaves its stamp as it was, so the next run
// tries that object, and only that one, again. `restat` lets ninja see that
// a stamp did not move. One more edge re-makes the plan itself when a
// directory of either tree changes, which is how a tree gains or loses an
// object; the plan is then rewritten only when its text changes.
//
// Every path in the plan is absolute, so ninja may run from anywhere, and
// every file of the plan's own (stamps, depfiles, reports, ninja's logs) sits
// in the plan's folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pixmold {

struct PlannedObject {
  std::string objectFile;  // path without extension, as the scan found it
  std::string key;         // the same path under DATA/Objects/ ("seating/chair")
  std::string omkFile;
  std::string imageDirectory;  // with its trailing separator
};

struct TreeObjects {
  std::vector<PlannedObject> objects;
  std::vector<std::string> withoutMarkup;  // object files with no markup to build from
  std::vector<std::string> directories;    // every directory of both trees
};

// Finds the objects as the dialog does: object files under DATA/Objects/,
// each matched to the markup of its base name under CONTENT/Sprites/.
TreeObjects FindTreeObjects(std::string_view dataDirectory, std::string_view contentDirectory);

struct PlanSettings {
  std::string program;  // the pixmold the edges run
  std::string dataDirectory;
  std::string contentDirectory;
  std::string planFile;                   // where the plan is written; its folder holds the rest
  std::vector<std::string> buildOptions;  // given to every build as they are
};

// Where a plan keeps one object's stamp and report.
std::string StampPath(std::string_view planFile, std::string_view key);
std::string ReportPath(std::string_view planFile, std::string_view key);

// Whether a ninja file can name the path: not with a line break, and not
// with "|", which ends a path there and has no escape.
bool NinjaCanName(std::string_view path);
// Whether every path of the object's edge can be named (NinjaCanName).
bool NinjaCanPlan(const PlannedObject& object);

// The ninja file; none when a path or option holds a line break, which a
// ninja file cannot hold (error names it). Objects ninja cannot name
// (NinjaCanPlan) are for the caller to leave out first; a directory whose
// path it cannot name is left out of what makes the plan anew, as nothing
// in it could be planned.
std::optional<std::string> FormatNinjaPlan(const TreeObjects& tree, const PlanSettings& settings,
                                           std::string* error = nullptr);

// A word as a POSIX shell reads it back unchanged: bare when it is plain,
// else in single quotes.
std::string ShellQuote(std::string_view word);

}  // namespace pixmold
