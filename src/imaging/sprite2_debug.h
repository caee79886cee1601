// A diagnostic that prints an SPR2 frame as text, one item per token, in the
// order the frame check walks them. Nothing in the build calls it.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>

namespace pixmold {

void DebugDecodeSprite2(std::span<const std::uint8_t> frame, std::ostream& out);

// Writes the same text to "debugdecode.txt" in the current directory;
// returns false when the file cannot be written.
bool DebugDecode(std::span<const std::uint8_t> frame);

}  // namespace pixmold
