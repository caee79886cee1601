// SPR# sprite lists cut from a loaded sheet (see sprite_sheet.h).
//
// The caller gives the cells of the sheet, one rectangle per sprite; each
// must lie inside the sheet, since a cell past its edge means the renderer
// was not asked for every frame. Cells are trimmed to their drawn pixels on
// the sides asked for, then compressed with the shared compressor. A sheet
// with depth gives a list of version 503: its colour frames followed by
// their depth frames of the same rectangles; without depth, version 502.
//
// Object lists are stored big-endian, so MakeSpriteList converts what it
// returns; wall lists are stored as the compressor makes them. Every
// failure is a fatal build error.
#pragma once

#include <span>
#include <vector>

#include "imaging/rect.h"
#include "resfile/mem_handle.h"
#include "resfile/res_types.h"

namespace pixmold {

class Offscreen;

inline constexpr int kWallPieceCount = 46;

// Shrink sides are those of the compressor's trimming (spr_side).

// Copies the cells to trimmed and trims them on offscreen with the trimming
// settings; a cell left with no drawn pixel becomes all zeros when
// emptyIfClear is set. Cells are trimmed on up to threads threads at once.
void TrimCells(const Offscreen& offscreen, std::span<const Rect> cells, std::vector<Rect>& trimmed, int shrinkSides,
               bool emptyIfClear, int threads = 1);

// The list of the cells' colour frames (and, when depth exists, their depth
// frames), in stored byte order; trimmed (which must be empty) receives the
// rectangles compressed. The caller owns the handle.
MHandle MakeSpriteList(Offscreen* colour, Offscreen* depth, std::span<const Rect> cells, std::vector<Rect>& trimmed,
                       int shrinkSides, ResID paletteId, bool emptyIfClear);

// The 46 pieces of a tile wall, untrimmed: colour (version 502, the given
// palette id) and depth (version 505, palette id -1), in the compressor's
// byte order.
MHandle MakeWallList(Offscreen& colour, std::span<const Rect, kWallPieceCount> pieces, ResID paletteId);
MHandle MakeWallDepthList(Offscreen& depth, std::span<const Rect, kWallPieceCount> pieces);

}  // namespace pixmold
