// Floating-point markup values are read the way "%f" reads them, because
// existing ".omk" files were written against that behaviour: leading
// whitespace is skipped, an optional sign and the longest number that starts
// the text are taken, and whatever follows is ignored ("1.5m" reads 1.5).
// Integers have their own "%d" reader beside the attribute table.
#pragma once

#include <optional>
#include <string_view>

namespace pixmold {

// A decimal or exponent number, "inf", "infinity" or "nan", in single
// precision; values out of its range become infinity or zero.
std::optional<float> ScanFloat(std::string_view text);

}  // namespace pixmold
