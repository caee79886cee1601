// A text buffer of fixed capacity. Paths (260), spec names (64) and messages
// (256, 1024) are held in these so that no input can make them grow without
// bound: an append that does not fit keeps what fits (capacity - 1
// characters) and reports "append losing characters".
#pragma once

#include <array>
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include "base/ascii.h"
#include "base/xassert.h"

namespace pixmold {

template <std::size_t Capacity>
class StringBuffer {
  static_assert(Capacity >= 2, "a string buffer holds at least one character");

 public:
  static constexpr std::size_t kCapacity = Capacity;

  StringBuffer() { fText[0] = '\0'; }
  StringBuffer(std::string_view text) : StringBuffer() { Append(text); }  // NOLINT: converts like a string

  StringBuffer& operator=(std::string_view text) {
    Clear();
    Append(text);
    return *this;
  }

  void Clear() {
    fLength = 0;
    fText[0] = '\0';
  }

  StringBuffer& Append(std::string_view text) {
    std::size_t room = Capacity - 1 - fLength;
    std::size_t n = text.size();
    if (n > room) {
      XASSERT_FAIL("fLength + len < kCapacity", "append losing characters");
      n = room;
    }
    text.copy(fText.data() + fLength, n);
    fLength += n;
    fText[fLength] = '\0';
    return *this;
  }

  StringBuffer& Append(char c) { return Append(std::string_view(&c, 1)); }

  StringBuffer& AppendInt(long value) { return Append(std::to_string(value)); }

  // A decimal number padded with zeros to at least `width` digits, as the
  // format "%0<width>d" would print it.
  StringBuffer& AppendPaddedInt(long value, int width) {
    char format[16];
    std::snprintf(format, sizeof format, "%%0%dld", width < 0 ? 0 : (width > 64 ? 64 : width));
    char digits[96];
    std::snprintf(digits, sizeof digits, format, value);
    return Append(digits);
  }

  // Reading past the length gives 0 and reports the misuse.
  char At(std::size_t index) const {
    if (index >= fLength) {
      XASSERT_FAIL("index < fLength", "accessing string past length");
      return '\0';
    }
    return fText[index];
  }

  std::size_t Find(std::string_view needle, std::size_t from = 0) const { return View().find(needle, from); }
  std::size_t FindNoCase(std::string_view needle, std::size_t from = 0) const {
    return FindIgnoringCase(View(), needle, from);
  }
  bool EqualsNoCase(std::string_view other) const { return EqualIgnoringCase(View(), other); }
  int CompareNoCase(std::string_view other) const { return CompareIgnoringCase(View(), other); }

  std::size_t Length() const { return fLength; }
  bool Empty() const { return fLength == 0; }
  const char* c_str() const { return fText.data(); }
  std::string_view View() const { return std::string_view(fText.data(), fLength); }
  std::string Str() const { return std::string(View()); }
  operator std::string_view() const { return View(); }  // NOLINT: reads as a string

  bool operator==(std::string_view other) const { return View() == other; }

 private:
  std::array<char, Capacity> fText{};
  std::size_t fLength = 0;
};

using PathBuffer = StringBuffer<260>;
using NameBuffer = StringBuffer<64>;
using MessageBuffer = StringBuffer<1024>;

}  // namespace pixmold
