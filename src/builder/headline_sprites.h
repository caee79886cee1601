// Headlines (the small pictures shown above an object) are drawn on a sheet
// of their own with a fixed layout: one row of 98 pixels per frame holding a
// 64 x 96 large cell at x 0, a 32 x 48 medium cell at x 66 and a 15 x 23
// small cell at x 100, each starting one pixel in. They are stored as an SPR#
// list on the headline palette, trimmed at the top only, so every frame
// keeps its horizontal placement and its base line.
#pragma once

#include <vector>

#include "imaging/rect.h"

namespace pixmold {

class HeadlineSpec;
class Offscreen;
class iResFile;

inline constexpr int kHeadlinePaletteId = 50;

// The cells of the headline's frames, three per frame, in order.
std::vector<Rect> HeadlineCells(const HeadlineSpec& headline);

void WriteHeadlineSprites(Offscreen& colour, Offscreen& depth, iResFile& file, const HeadlineSpec& headline);

}  // namespace pixmold
