// The warnings of a build's report, for an artist who wants to see them
// without reading the whole report. A build warns in lines of their own,
// "warning: line: 12 - ..." or "warning: ...", and a warning about an image
// comes after a line "file: NAME" that says which one; that line belongs to
// the warning, so the filtered report keeps it.
#pragma once

#include <string>
#include <string_view>

namespace pixmold {

// True for a line of the report that is a warning (its line end may be
// left on).
bool IsWarningLine(std::string_view line);

int CountWarnings(std::string_view report);

// Only the warning lines, each after its "file:" line when it has one, with
// the report's own line ends.
std::string WarningLinesOnly(std::string_view report);

// "no warnings", "1 warning", "2 warnings".
std::string WarningCountText(int count);

}  // namespace pixmold
