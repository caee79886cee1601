// ASCII-only case folding. Names in markup and resource files are bytes, not
// locale text, so comparisons must not depend on the process locale.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pixmold {

constexpr char ToLowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char ToUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

int CompareIgnoringCase(std::string_view a, std::string_view b);
bool EqualIgnoringCase(std::string_view a, std::string_view b);
std::size_t FindIgnoringCase(std::string_view haystack, std::string_view needle, std::size_t from = 0);
std::string LowerAscii(std::string_view text);
bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix);

}  // namespace pixmold
