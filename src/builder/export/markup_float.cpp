#include "builder/export/markup_float.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "builder/number_scan.h"

namespace pixmold {
namespace {

constexpr int kSearchUlps = 64;

bool Lands(float value, float stored, MarkupScale scale) {
  return std::bit_cast<std::uint32_t>(scale(value)) == std::bit_cast<std::uint32_t>(stored);
}

// The shortest "%g" text that reads back as exactly this value.
std::optional<std::string> ShortestText(float value) {
  for (int digits = 1; digits <= 9; ++digits) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
    const std::optional<float> read = ScanFloat(text);
    if (read && std::bit_cast<std::uint32_t>(*read) == std::bit_cast<std::uint32_t>(value)) return std::string(text);
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> MarkupFloatFor(float stored, MarkupScale scale) {
  if (std::isnan(stored)) {
    for (const char* text : {"nan", "-nan"}) {
      const std::optional<float> read = ScanFloat(text);
      if (read && Lands(*read, stored, scale)) return std::string(text);
    }
    return std::nullopt;
  }
  const float unit = scale(1.0f);
  const auto guess = static_cast<float>(static_cast<double>(stored) / static_cast<double>(unit));
  std::optional<std::string> best;
  float candidate = guess;
  float below = guess;
  for (int step = 0; step <= kSearchUlps; ++step) {
    for (float value : {candidate, below}) {
      if (!Lands(value, stored, scale)) continue;
      std::optional<std::string> text = ShortestText(value);
      if (text && (!best || text->size() < best->size())) best = std::move(text);
    }
    candidate = std::nextafter(candidate, INFINITY);
    below = std::nextafter(below, -INFINITY);
  }
  return best;
}

}  // namespace pixmold
