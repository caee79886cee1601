// The settings of the SPR# compressor: a 12-byte block that callers replace
// as a whole before each sprite list, and the codes the compressor returns.
//
// Clear pixels, the two shading ranges and the three pattern colours each
// give pixels a token of their own, so the settings conflict when one index
// would belong to two of them; compressing with conflicting settings is
// refused (1100) rather than guessing which token a pixel gets.
#pragma once

#include <array>
#include <cstdint>

#include "resfile/res_types.h"

namespace pixmold {

namespace spr_flags {
inline constexpr std::uint8_t kClearColour = 0x01;
inline constexpr std::uint8_t kShading1 = 0x02;
inline constexpr std::uint8_t kShading2 = 0x04;
inline constexpr std::uint8_t kPatterns = 0x08;
inline constexpr std::uint8_t kRepeats = 0x10;
inline constexpr std::uint8_t kSuppression = 0x20;
}  // namespace spr_flags

namespace spr_error {
inline constexpr ResErr kConflictingSettings = 1100;
inline constexpr ResErr kDepthCountMismatch = 1101;
inline constexpr ResErr kDepthSizeMismatch = 1102;
}  // namespace spr_error

struct SprSettings {
  std::uint8_t flags = spr_flags::kClearColour | spr_flags::kRepeats | spr_flags::kSuppression;
  std::uint8_t clearColour = 0;
  std::uint8_t repeatThreshold = 8;  // runs at least this long become repeat tokens
  std::array<std::uint8_t, 3> patternColours = {1, 2, 3};
  std::uint8_t shade1Low = 2, shade1High = 6;
  std::uint8_t shade2Low = 7, shade2High = 11;
  std::uint8_t suppressLow = 0, suppressHigh = 255;  // colours outside are replaced

  bool On(std::uint8_t flag) const { return (flags & flag) != 0; }

  // The block as stored, byte for byte, and back.
  std::array<std::uint8_t, 12> ToBytes() const;
  static SprSettings FromBytes(const std::array<std::uint8_t, 12>& bytes);
};

// 0, or kConflictingSettings when the settings give one index two roles or
// an enabled range runs backwards.
ResErr CheckSprSettings(const SprSettings& settings);

}  // namespace pixmold
