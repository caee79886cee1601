#include "imaging/spr_settings.h"

namespace pixmold {
namespace {

bool Within(std::uint8_t value, std::uint8_t low, std::uint8_t high) { return value >= low && value <= high; }

}  // namespace

std::array<std::uint8_t, 12> SprSettings::ToBytes() const {
  return {flags,     clearColour, repeatThreshold, patternColours[0], patternColours[1], patternColours[2],
          shade1Low, shade1High,  shade2Low,       shade2High,        suppressLow,       suppressHigh};
}

SprSettings SprSettings::FromBytes(const std::array<std::uint8_t, 12>& b) {
  SprSettings s;
  s.flags = b[0];
  s.clearColour = b[1];
  s.repeatThreshold = b[2];
  s.patternColours = {b[3], b[4], b[5]};
  s.shade1Low = b[6];
  s.shade1High = b[7];
  s.shade2Low = b[8];
  s.shade2High = b[9];
  s.suppressLow = b[10];
  s.suppressHigh = b[11];
  return s;
}

ResErr CheckSprSettings(const SprSettings& s) {
  const bool clear = s.On(spr_flags::kClearColour);
  const bool patterns = s.On(spr_flags::kPatterns);
  const bool shade1 = s.On(spr_flags::kShading1);
  const bool shade2 = s.On(spr_flags::kShading2);
  const bool conflict = (clear && patterns &&
                         (s.clearColour == s.patternColours[0] || s.clearColour == s.patternColours[1] ||
                          s.clearColour == s.patternColours[2])) ||
                        (clear && shade1 && Within(s.clearColour, s.shade1Low, s.shade1High)) ||
                        (clear && shade2 && Within(s.clearColour, s.shade2Low, s.shade2High)) ||
                        (patterns && shade1 &&
                         (Within(s.patternColours[0], s.shade1Low, s.shade1High) ||
                          Within(s.patternColours[1], s.shade1Low, s.shade1High) ||
                          Within(s.patternColours[2], s.shade1Low, s.shade1High))) ||
                        (patterns && shade2 &&
                         (Within(s.patternColours[0], s.shade2Low, s.shade2High) ||
                          Within(s.patternColours[1], s.shade2Low, s.shade2High) ||
                          Within(s.patternColours[2], s.shade2Low, s.shade2High))) ||
                        (shade1 && shade2 && s.shade1Low <= s.shade2High && s.shade2Low <= s.shade1High) ||
                        (shade1 && s.shade1Low > s.shade1High) || (shade2 && s.shade2Low > s.shade2High) ||
                        (s.On(spr_flags::kSuppression) && s.suppressLow > s.suppressHigh);
  return conflict ? spr_error::kConflictingSettings : 0;
}

}  // namespace pixmold
