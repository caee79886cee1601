#include "imaging/sprite_list_settings.h"

#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"

namespace pixmold {
namespace {

constexpr std::uint8_t kColourFlags = spr_flags::kClearColour | spr_flags::kRepeats | spr_flags::kSuppression;
constexpr std::uint8_t kDepthFlags = spr_flags::kClearColour | spr_flags::kRepeats;
constexpr std::uint8_t kNoDepth = 255;

std::uint8_t TopLeft(const Offscreen& offscreen) { return offscreen.Exists() ? offscreen.PixelAt(0, 0) : 0; }

// Pixels outside the usable range would show the display's reserved
// colours, so the compressor maps them back into it.
void UsableRange(SprSettings& settings) {
  const PalWrap& palette = GetGlobalPalette();
  settings.suppressLow = static_cast<std::uint8_t>(palette.GetFirstUsable());
  settings.suppressHigh = static_cast<std::uint8_t>(palette.GetLastUsable());
}

void Apply(Compressor& compressor, std::uint8_t flags, std::uint8_t clear, int threshold, bool usableRange) {
  SprSettings settings = compressor.Settings();
  settings.flags = flags;
  settings.clearColour = clear;
  if (threshold > 0) settings.repeatThreshold = static_cast<std::uint8_t>(threshold);
  if (usableRange) UsableRange(settings);
  compressor.SetSettings(settings);
}

}  // namespace

void UseColourListSettings(Compressor& compressor, const Offscreen* colour) {
  const std::uint8_t clear =
      colour != nullptr && colour->Exists() ? TopLeft(*colour) : GetGlobalPalette().FindNearest(0, 0, 255);
  Apply(compressor, kColourFlags, clear, 8, true);
}

void UseDepthListSettings(Compressor& compressor) { Apply(compressor, kDepthFlags, kNoDepth, 8, false); }

void UseTrimSettings(Compressor& compressor, const Offscreen& offscreen) {
  Apply(compressor, spr_flags::kClearColour, TopLeft(offscreen), 0, false);
}

void UseWallColourSettings(Compressor& compressor, const Offscreen& colour) {
  Apply(compressor, kColourFlags, TopLeft(colour), 16, true);
}

void UseWallDepthSettings(Compressor& compressor) { Apply(compressor, kColourFlags, kNoDepth, 16, true); }

}  // namespace pixmold
