// Draw groups store an item's position scaled ("alt" x 1/3 x 2 sqrt 6, "x" and
// "y" x 16/3) in single precision, so the number to write is the one that the
// markup reader and that scaling turn back into the same four bytes. Many
// stored values have such a number, and no simple formula finds it: the
// division is off by an ulp as often as not. So the candidates around the
// quotient are each tried forward, and the shortest text of one that lands
// exactly is kept.
#pragma once

#include <optional>
#include <string>

namespace pixmold {

using MarkupScale = float (*)(float);

// The text whose value, scaled, has exactly the stored bits; nothing when no
// single-precision value does.
std::optional<std::string> MarkupFloatFor(float stored, MarkupScale scale);

}  // namespace pixmold
