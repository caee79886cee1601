// The dialog's status lines while a build runs. The worker appends every
// report line to a shared text; each tick takes what arrived since the last
// one and shows the newest "generating" line and the newest "rendering" or
// "compressing" line, so the artist sees which sprite and which sheet the
// build is on without reading the whole report. Only the last 1023
// characters of a tick's text are searched: a burst of compressor lines
// must not make a tick slow, and the newest lines are at the end anyway.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pixmold {

inline constexpr std::size_t kStatusTextTail = 1023;

// "Working /", "Working -", "Working \", "Working |" in turn.
std::string_view SpinnerText(std::uint32_t counter);

struct ProgressLines {
  std::optional<std::string> generating;  // second status line
  std::optional<std::string> rendering;   // third: rendering or compressing
};

// Searches the last kStatusTextTail characters of the text, ignoring case.
ProgressLines FindProgressLines(std::string_view text);

// For the two status lines once a build has ended: the report's first two
// palette warnings (a palette id whose images disagree, a palette image out
// of date), the second followed by how many more the report holds. Empty
// without any.
std::vector<std::string> PaletteStatusLines(std::string_view report);

}  // namespace pixmold
