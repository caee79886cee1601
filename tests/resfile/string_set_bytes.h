// Stored string-set records written by hand in each layout, so that tests
// read what the layout describes rather than what the encoder writes.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace pixmold::testing {

using StringBytes = std::vector<std::uint8_t>;

inline void PutU16(StringBytes& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void PutCString(StringBytes& out, std::string_view text) {
  out.insert(out.end(), text.begin(), text.end());
  out.push_back(0);
}

// The oldest layout: a count, then strings with a length byte in front.
inline StringBytes PascalList(const std::vector<std::string>& strings) {
  StringBytes out;
  PutU16(out, static_cast<std::uint16_t>(strings.size()));
  for (const auto& s : strings) {
    out.push_back(static_cast<std::uint8_t>(s.size()));
    out.insert(out.end(), s.begin(), s.end());
  }
  return out;
}

// Layouts -1 (values) and -2 (values and comments) of zero-ended strings.
inline StringBytes CountedList(const std::vector<std::pair<std::string, std::string>>& entries, bool withComments) {
  StringBytes out;
  PutU16(out, withComments ? 0xFFFE : 0xFFFF);
  PutU16(out, static_cast<std::uint16_t>(entries.size()));
  for (const auto& [value, comment] : entries) {
    PutCString(out, value);
    if (withComments) PutCString(out, comment);
  }
  return out;
}

struct StoredString {
  int number;  // language + 1, as written
  std::string value;
  std::string comment;
};

// Layout -3: every entry carries its language.
inline StringBytes MultiLanguage(const std::vector<StoredString>& entries) {
  StringBytes out;
  PutU16(out, 0xFFFD);
  PutU16(out, static_cast<std::uint16_t>(entries.size()));
  for (const auto& e : entries) {
    out.push_back(static_cast<std::uint8_t>(e.number));
    PutCString(out, e.value);
    PutCString(out, e.comment);
  }
  return out;
}

}  // namespace pixmold::testing
