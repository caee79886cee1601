// Puts the sprite tags of a plan on sheets. Sprites whose sheets would read
// alike (same kind of sheet, same palette, same clear colour, origins that
// agree) share one, a row per frame, each tag naming its first row with
// "position"; the sizes are the largest any of them needs, which changes
// nothing for a sprite trimmed on every side. A sheet stops growing at a
// height an image editor still handles well.
//
// A headline gets a sheet of its own: its list is cut in the fixed headline
// layout (rows of 98 pixels) and, by the same tag, a sprite list in the
// headline sizes (rows of 96). Both come from one sheet, so the rows where
// the two cuts agree are searched for.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "builder/export/art_plan.h"
#include "builder/export/markup_replay.h"
#include "builder/export/sheet_painting.h"

namespace pixmold {

// Lays out every sprite tag still in the plan; those that no geometry gives
// back are left out. Returns the ids left out here.
std::vector<std::int32_t> LayOutSheets(ArtPlan& plan, std::span<const OffsetConstraint> constraints,
                                       const std::string& baseName, const ListBytesSource& bytes);

// The trimmed rectangle the build will find for frame `frame` of the
// sprite, given its cell (inside the border).
Rect PlannedTrim(const SpriteTagPlan& sprite, int frame, const Rect& cell);

// A file-name stem that keeps to letters, digits, "-", "_" and ".".
std::string SheetStem(std::string_view baseName);

}  // namespace pixmold
