// Reads the beginning of a text as the C runtime's "%d" conversion does:
// leading whitespace is skipped, an optional sign and at least one decimal
// digit follow, and whatever comes after the number is ignored ("12abc" reads
// 12). A number too large for 32 bits keeps its low 32 bits, as the
// conversion stores it on the platforms the files come from.
#pragma once

#include <cstdint>
#include <string_view>

namespace pixmold {

// True exactly when a number was read; out is unchanged otherwise.
bool ScanInteger(std::string_view text, std::int32_t& out);

}  // namespace pixmold
