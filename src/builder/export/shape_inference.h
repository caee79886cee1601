// Finds the sprite tags and item tags that give back what the draw groups
// store. For every item of every draw group the stored views say which frame,
// mirrored or not, its sprite showed in each direction and zoom; a sprite
// tag's shape and an item's direction offset fix exactly that, so each item
// narrows its sprite's possible shapes, and one shape must serve every draw
// group that uses the sprite. Views that show another sprite than the item's
// own are a pair group's doing: two bi-lateral sprites that stand in for each
// other where one would be mirrored, or four radial ones that take turns.
//
// Whatever cannot be matched is left out of the plan with the reason: the
// draw group when its items fit no tag, the group's draw groups when a pair
// group cannot be formed.
#pragma once

#include "builder/export/art_plan.h"

namespace pixmold {

class ShapeOracle;

// Fills each sprite tag's shape and pairing and each draw group's items.
void InferShapesAndItems(ArtPlan& plan, ShapeOracle& oracle);

// The direction offsets (bit o for offset o) with which an item of that shape
// shows exactly the stored frames.
std::uint8_t FittingOffsets(const SpriteShape& shape, const struct ItemReading& item, ShapeOracle& oracle);

}  // namespace pixmold
