// A character source over bytes in memory. It behaves as a file read through
// FlatFileBuffer does (a zero byte ends the text, line ends are counted the
// same way), so tests and the fuzzer exercise the reader without a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "markup/char_scanner.h"

namespace pixmold {

class MemoryScanner : public CharScanner {
 public:
  // The bytes are borrowed and must outlive the scanner.
  explicit MemoryScanner(std::span<const std::uint8_t> bytes) : fBytes(bytes) {}
  explicit MemoryScanner(std::string_view text)
      : fBytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()) {}

 protected:
  std::uint8_t ReadRawChar() override {
    if (fPosition >= fBytes.size()) return 0;
    return fBytes[fPosition++];
  }

 private:
  std::span<const std::uint8_t> fBytes;
  std::size_t fPosition = 0;
};

}  // namespace pixmold
