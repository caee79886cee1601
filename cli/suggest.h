// What a typo was meant to be: the closest command or option name, so a
// slip costs one glance instead of a trip to --help.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pixmold::cli {

// The candidate nearest to `typed` by edit distance, if it is near enough to
// be a typo (at most two edits, and fewer than half the name's letters).
std::optional<std::string> Closest(std::string_view typed, const std::vector<std::string>& candidates);

// Every option name of `command` as typed ("--dry-run", "-q").
std::vector<std::string> OptionNames(const CLI::App& command);

// " (did you mean '--dry-run'?)" for a word of `unexpected` that is a near
// miss of an option name of one of `commands` (naming the word when there
// are several), or "".
std::string OptionSuggestions(const std::vector<std::string>& unexpected, const std::vector<const CLI::App*>& commands);

// The same for the words a parse error says were not expected ("" for any
// other error): the parser keeps no list of them once it has given up.
std::string OptionSuggestions(const CLI::Error& error, const std::vector<const CLI::App*>& commands);

}  // namespace pixmold::cli
