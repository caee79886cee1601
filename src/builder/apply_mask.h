// A mask is an 8-bit image laid over a sheet from a given row down: wherever
// the mask shows its background (its top-left value) the sheet is cleared to
// its own background (its top-left value). Artists use it to cut away parts
// of a render that belong to another object, without re-rendering.
#pragma once

#include <cstdint>

namespace pixmold {

class Offscreen;

// Fatal when either offscreen is missing or the mask does not fit below
// rowOffset.
void ApplyMask(Offscreen& destination, const Offscreen& mask, std::int64_t rowOffset);

}  // namespace pixmold
