#include "builder/number_scan.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "base/ascii.h"

namespace pixmold {
namespace {

// The whitespace that formatted input skips.
bool IsScanSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

std::string_view SkipSpace(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsScanSpace(text[i])) ++i;
  return text.substr(i);
}

bool StartsWithWord(std::string_view text, std::string_view word) {
  return text.size() >= word.size() && EqualIgnoringCase(text.substr(0, word.size()), word);
}

// A number too far out of range for a double is either huge or tiny; it is
// tiny when its exponent is negative, or, without one, when no digit other
// than 0 stands before the point.
bool IsTiny(std::string_view number) {
  std::size_t e = number.find_first_of("eE");
  if (e != std::string_view::npos) return e + 1 < number.size() && number[e + 1] == '-';
  for (char c : number) {
    if (c == '.') break;
    if (c >= '1' && c <= '9') return false;
  }
  return true;
}

}  // namespace

std::optional<float> ScanFloat(std::string_view text) {
  text = SkipSpace(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  const float sign = negative ? -1.0f : 1.0f;
  if (StartsWithWord(text, "inf")) return sign * std::numeric_limits<float>::infinity();
  if (StartsWithWord(text, "nan")) return std::numeric_limits<float>::quiet_NaN();
  // from_chars would also take a leading sign or hex digits differently from
  // "%f", so it only ever sees digits, a point and an exponent here.
  if (text.empty() || !((text[0] >= '0' && text[0] <= '9') || text[0] == '.')) return std::nullopt;
  double value = 0.0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (ec == std::errc::invalid_argument) return std::nullopt;
  if (ec == std::errc::result_out_of_range) {
    value = IsTiny(std::string_view(text.data(), static_cast<std::size_t>(end - text.data())))
                ? 0.0
                : std::numeric_limits<double>::infinity();
  }
  if (std::fabs(value) > std::numeric_limits<float>::max()) return sign * std::numeric_limits<float>::infinity();
  return sign * static_cast<float>(value);
}

}  // namespace pixmold
