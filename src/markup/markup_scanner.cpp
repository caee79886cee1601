#include "markup/markup_scanner.h"

namespace pixmold {

std::uint8_t MarkupScanner::ReadRawChar() {
  if (fAtEnd) return 0;
  if (!fInTag) {
    while (!fAtEnd) {
      std::uint8_t c = fSource.ReadChar();
      if (c == 0) {
        fAtEnd = 1;
      } else if (c == fOpenChar) {
        fInTag = 1;
        return ReadInTag();
      }
    }
    return 0;
  }
  return ReadInTag();
}

std::uint8_t MarkupScanner::ReadInTag() {
  std::uint8_t c = fSource.ReadChar();
  if (c == 0) {
    fAtEnd = 1;
    return 0;
  }
  if (c == fCloseChar) {
    fInTag = 0;
    return 0;
  }
  return c;
}

bool MarkupScanner::SkipToNextTag() {
  for (;;) {
    if (fAtEnd) return false;
    if (fInTag) return true;
    std::uint8_t c = fSource.ReadChar();
    if (c == 0) {
      fAtEnd = 1;
    } else if (c == fOpenChar) {
      fInTag = 1;
    }
  }
}

}  // namespace pixmold
