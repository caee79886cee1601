// SPR# sprite lists: a header (version, frame count, palette id), one
// offset per frame from the start of the list, then the frames, each at an
// even offset.
//
// The compressor builds lists in native (little-endian) order and grows
// them frame by frame, so the operations here move the frame area to make
// room for each new offset. Object files store the lists big-endian; the
// conversion reverses the header, the offsets and each frame's four leading
// 16-bit fields, and leaves the byte tokens alone. Lists older than version
// 502 have no palette field and their offsets start at byte 8.
#pragma once

#include <cstdint>
#include <span>

#include "base/byte_cursor.h"
#include "resfile/mem_handle.h"
#include "resfile/res_types.h"

namespace pixmold {

inline constexpr std::int32_t kSprColourVersion = 502;
inline constexpr std::int32_t kSprColourDepthVersion = 503;
// Wall styles and patterns: colour only, four pieces per zoom.
inline constexpr std::int32_t kSprWallStyleVersion = 504;
inline constexpr std::int32_t kSprWallDepthVersion = 505;
inline constexpr std::size_t kSprListHeaderSize = 12;

// A new list of no frames; null when memory runs out.
MHandle NewSprList(std::int32_t version, std::int32_t paletteId);

// Adds a copy of the frame at the end of the list; the caller keeps and
// disposes of the frame. Returns 0 or a handle error.
ResErr AppendFrame(MHandle list, MHandle frame);
// Adds every frame of source after those of destination; source is unchanged.
ResErr AppendList(MHandle destination, MHandle source);
// Appends the depth frames after the colour frames and makes the colour
// list version 503. The lists must have as many frames (else 1101) and each
// depth frame the size of its colour frame (else 1102); on error neither
// list changes.
ResErr MergeDepthList(MHandle depthList, MHandle colourList);

// Converts a list between native and stored order in place; `from` names
// the order it is in now. False (bytes unchanged) when the list's offsets
// do not fit in it.
bool SwapSprListByteOrder(std::span<std::uint8_t> list, ByteOrder from);
// The build's last step before storing an object's list.
bool ConvertSprListToStoredOrder(MHandle list);

}  // namespace pixmold
