// The text that tells a build tool what one object's build read: a
// Makefile-style rule "TARGET: PREREQUISITE ..." (one prerequisite a line,
// continued with a backslash), as ninja's `deps = gcc` and make both read.
//
// Both tools split the rule at white space and treat "$" and "#" as their
// own, so a space and a "#" get a backslash and a "$" is doubled. A line
// break cannot be written in a name at all: such a path is refused rather
// than silently naming another file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pixmold {

// The path as a depfile names it; none when it holds a line break.
std::optional<std::string> EscapeDepfilePath(std::string_view path);

// The whole depfile; none when a path cannot be written (see above), with
// that path in badPath.
std::optional<std::string> FormatDepfile(std::string_view target, const std::vector<std::string>& prerequisites,
                                         std::string* badPath = nullptr);

}  // namespace pixmold
