// Delivers the text of markup tags and nothing else. Outside a tag it skips
// to the next open character; inside one it hands out characters until the
// close character, which it swallows and reports as 0, the end of that tag.
// The close character always ends a tag: the scanner knows nothing of quotes,
// so a quoted value cannot hold it.
//
// Line numbers are the source's: the scanner counts its own line ends as
// every CharScanner does, but never reports them.
#pragma once

#include <cstdint>

#include "markup/char_scanner.h"

namespace pixmold {

class MarkupScanner : public CharScanner {
 public:
  // The source is borrowed and must outlive the scanner.
  MarkupScanner(CharScanner& source, std::uint8_t openChar = '<', std::uint8_t closeChar = '>')
      : fSource(source), fOpenChar(openChar), fCloseChar(closeChar) {}

  std::int32_t LineNumber() const override { return fSource.LineNumber(); }

  // Skips the text up to the next tag. True when a tag begins (its first
  // character is the next one read), false when the input has ended.
  bool SkipToNextTag();

  bool InTag() const { return fInTag != 0; }
  bool AtEnd() const { return fAtEnd != 0; }

 protected:
  std::uint8_t ReadRawChar() override;

 private:
  std::uint8_t ReadInTag();

  CharScanner& fSource;
  std::uint8_t fOpenChar;
  std::uint8_t fCloseChar;
  std::int16_t fInTag = 0;
  std::int16_t fAtEnd = 0;
};

}  // namespace pixmold
