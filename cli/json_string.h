// JSON string literals for the commands' machine-readable output. Names and
// messages are bytes of an 8-bit character set: anything outside ASCII is
// written as its Latin-1 code point, so the output is always valid UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace pixmold::cli {

std::string JsonString(std::string_view text);

}  // namespace pixmold::cli
