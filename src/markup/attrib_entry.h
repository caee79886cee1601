// One name/value pair of a markup tag, with the source line of its first
// character. Names and values are raw bytes as the file gave them (unquoted
// text already folded to lower case); either may be empty.
#pragma once

#include <cstdint>
#include <string>

namespace pixmold {

struct AttribEntry {
  static constexpr std::int32_t kNoLine = -1;

  std::int32_t fLine = kNoLine;  // set when the entry's first character is read
  std::string fName;
  std::string fValue;
};

}  // namespace pixmold
