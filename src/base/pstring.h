// Length-prefixed strings: one length byte, then at most 255 bytes. Stored
// records keep names this way; a longer text is cut and reported as
// "string too long".
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace pixmold {

class PString {
 public:
  static constexpr std::size_t kMaxLength = 255;

  PString() = default;
  explicit PString(std::string_view text) { Assign(text); }

  void Assign(std::string_view text);
  std::string_view View() const {
    return std::string_view(reinterpret_cast<const char*>(fBytes.data() + 1), fBytes[0]);
  }
  std::string Str() const { return std::string(View()); }
  std::size_t Length() const { return fBytes[0]; }
  // The stored form: length byte followed by the characters.
  std::span<const std::uint8_t> Bytes() const { return std::span(fBytes.data(), std::size_t{fBytes[0]} + 1); }

 private:
  std::array<std::uint8_t, kMaxLength + 1> fBytes{};
};

}  // namespace pixmold
