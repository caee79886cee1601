#include "imaging/colour_suppressor.h"

#include "base/xassert.h"
#include "imaging/pal_wrap.h"

namespace pixmold {

void ColourSuppressor::Reset(const SprSettings& settings, const PalWrap* palette) {
  fKnown.fill(false);
  fSettings = settings;
  fPalette = palette;
  fActive = settings.On(spr_flags::kSuppression) && !(settings.suppressLow == 0 && settings.suppressHigh == 255);
}

std::uint8_t ColourSuppressor::Compute(std::uint8_t index) {
  std::uint8_t mapped = index;
  const SprSettings& s = fSettings;
  if (!s.On(spr_flags::kSuppression) || (index >= s.suppressLow && index <= s.suppressHigh)) {
    mapped = index;
  } else if (s.suppressLow == s.suppressHigh) {
    // A single allowed index takes every colour but the clear one.
    mapped = index == s.clearColour ? index : s.suppressLow;
  } else if (fPalette == nullptr) {
    XASSERT_FAIL("palette", "attempting color supression with no palette");
  } else {
    // An index beyond a short colour table has no colour to match; it stays.
    const auto table = fPalette->GetColourTable();
    if (index < table.size()) mapped = fPalette->FindNearest(table[index].red, table[index].green, table[index].blue);
  }
  fKnown[index] = true;
  fMapped[index] = mapped;
  return mapped;
}

}  // namespace pixmold
