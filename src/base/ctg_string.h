// The growable string of the file library and the resource layer, with
// printf-style formatting. It is a thin value type over std::string so that
// callers can pass it wherever a string_view is taken.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

namespace pixmold {

class CTGString {
 public:
  CTGString() = default;
  CTGString(std::string_view text) : fText(text) {}         // NOLINT: converts like a string
  CTGString(const char* text) : fText(text ? text : "") {}  // NOLINT
  CTGString(std::string text) : fText(std::move(text)) {}   // NOLINT

  // Replaces the contents with the formatted text.
  CTGString& Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
  CTGString& AppendFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));

  CTGString& operator+=(std::string_view text) {
    fText.append(text);
    return *this;
  }
  CTGString& operator+=(char c) {
    fText.push_back(c);
    return *this;
  }

  std::size_t Length() const { return fText.size(); }
  bool Empty() const { return fText.empty(); }
  void Clear() { fText.clear(); }
  const char* c_str() const { return fText.c_str(); }
  const std::string& Str() const { return fText; }
  std::string& Str() { return fText; }
  std::string_view View() const { return fText; }
  operator std::string_view() const { return fText; }  // NOLINT: reads as a string

  friend bool operator==(const CTGString& a, const CTGString& b) { return a.fText == b.fText; }
  friend bool operator==(const CTGString& a, std::string_view b) { return a.fText == b; }
  friend bool operator==(const CTGString& a, const char* b) { return a.fText == std::string_view(b); }
  friend bool operator<(const CTGString& a, const CTGString& b) { return a.fText < b.fText; }

 private:
  void VAppend(const char* format, va_list args);
  std::string fText;
};

}  // namespace pixmold
