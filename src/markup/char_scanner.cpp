#include "markup/char_scanner.h"

#include <limits>

namespace pixmold {

std::uint8_t CharScanner::ReadChar() {
  std::uint8_t c = ReadRawChar();
  if (c == '\r' || c == '\n') {
    fLineEndFlags |= (c == '\r') ? kSawCarriageReturn : kSawLineFeed;
    // A file can hold at most 2^31 - 1 bytes, which would take the counter one
    // past its range; it stops at the top instead of wrapping.
    if (fLineCounter < std::numeric_limits<std::int32_t>::max()) ++fLineCounter;
  }
  return c;
}

std::int32_t CharScanner::CountedLine() const {
  constexpr std::uint32_t kBoth = kSawCarriageReturn | kSawLineFeed;
  if ((fLineEndFlags & kBoth) != kBoth) return fLineCounter;
  return fLineCounter / 2 + fLineCounter % 2;
}

}  // namespace pixmold
