#include "markup/scan_integer.h"

namespace pixmold {
namespace {

bool IsScanSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool ScanInteger(std::string_view text, std::int32_t& out) {
  std::size_t i = 0;
  while (i < text.size() && IsScanSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i >= text.size() || !IsDigit(text[i])) return false;
  // Unsigned arithmetic wraps by definition, which gives the low 32 bits.
  std::uint32_t magnitude = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    magnitude = magnitude * 10u + static_cast<std::uint32_t>(text[i] - '0');
  }
  if (negative) magnitude = 0u - magnitude;
  out = static_cast<std::int32_t>(magnitude);
  return true;
}

}  // namespace pixmold
