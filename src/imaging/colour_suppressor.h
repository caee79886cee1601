// Colour suppression for the SPR# compressor: indices outside the allowed
// range are replaced by the palette's nearest allowed colour. Each index is
// mapped at most once per frame and cached, because run lengths compare
// mapped colours pixel by pixel and the nearest-colour search is the costly
// part.
#pragma once

#include <array>
#include <cstdint>

#include "imaging/spr_settings.h"

namespace pixmold {

class PalWrap;

class ColourSuppressor {
 public:
  // Forgets every mapping; called before each frame with that frame's
  // settings and palette (which may be null).
  void Reset(const SprSettings& settings, const PalWrap* palette);

  std::uint8_t Map(std::uint8_t index) {
    if (fKnown[index]) return fMapped[index];
    return Compute(index);
  }
  // Whether Map can change anything at all; when not, callers may skip it.
  bool Active() const { return fActive; }

 private:
  std::uint8_t Compute(std::uint8_t index);

  std::array<bool, 256> fKnown{};
  std::array<std::uint8_t, 256> fMapped{};
  SprSettings fSettings;
  const PalWrap* fPalette = nullptr;
  bool fActive = false;
};

}  // namespace pixmold
