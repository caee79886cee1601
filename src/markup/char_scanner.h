// Every character source of the markup reader derives from CharScanner. Input
// is read one byte per call with no lookahead; 0 means nothing more can be
// read, so a zero byte inside a file ends its text.
//
// The counting read keeps the line count. A file with two-character line ends
// counts each end twice, so once both a carriage return and a line feed have
// been seen the counter is halved (rounded up); files with single-character
// ends, of either kind, report the counter as it is. Either way the first line
// is line 1.
#pragma once

#include <cstdint>

namespace pixmold {

class CharScanner {
 public:
  static constexpr std::uint32_t kSawCarriageReturn = 1u << 0;
  static constexpr std::uint32_t kSawLineFeed = 1u << 1;

  CharScanner() = default;
  virtual ~CharScanner() = default;
  CharScanner(const CharScanner&) = delete;
  CharScanner& operator=(const CharScanner&) = delete;

  // Reads one character through the raw read and counts line ends. Every
  // consumer reads through this.
  std::uint8_t ReadChar();

  // The line of the character read last.
  virtual std::int32_t LineNumber() const { return CountedLine(); }

  std::uint32_t LineEndFlags() const { return fLineEndFlags; }
  std::int32_t LineCounter() const { return fLineCounter; }

 protected:
  // The next character, or 0 when nothing more can be read.
  virtual std::uint8_t ReadRawChar() = 0;

  // The counter, halved and rounded up once both kinds of line end were seen.
  std::int32_t CountedLine() const;

 private:
  std::uint32_t fLineEndFlags = 0;
  std::int32_t fLineCounter = 1;
};

}  // namespace pixmold
