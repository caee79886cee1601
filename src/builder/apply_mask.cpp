#include "builder/apply_mask.h"

#include <cstdint>

#include "base/report.h"
#include "imaging/offscreen.h"

namespace pixmold {

void ApplyMask(Offscreen& destination, const Offscreen& mask, std::int64_t rowOffset) {
  if (!destination.Exists()) FatalError("no destination to apply mask");
  if (!mask.Exists()) FatalError("no mask to apply");
  if (rowOffset + mask.Height() > destination.Height() || mask.Width() > destination.Width() || rowOffset < 0) {
    FatalError("mask too large or sprite file too small");
  }
  const std::uint8_t clear = destination.PixelAt(0, 0);
  const std::uint8_t maskBackground = mask.PixelAt(0, 0);
  for (int row = 0; row < mask.Height(); ++row) {
    const std::uint8_t* maskRow = mask.Row(row);
    std::uint8_t* destinationRow = destination.Row(static_cast<int>(rowOffset) + row);
    for (int column = 0; column < mask.Width(); ++column) {
      if (maskRow[column] == maskBackground) destinationRow[column] = clear;
    }
  }
}

}  // namespace pixmold
