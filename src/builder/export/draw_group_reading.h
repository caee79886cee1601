// Reads a stored draw group back as the items of a drawgroup tag. The build
// places every item tag in every view: one image per direction and zoom, the
// items in tag order (in directions 2 and 4 of an "obscured" group, newest
// first), each copy with the frame and mirroring its sprite gives that view.
// So the k-th item of every view is one tag, and what differs between its
// copies (the sprite shown, the frame, the mirror flag) is what the sprite's
// shape, the item's direction offset and any pair group made of it. Items
// whose sprite has diagonal views also stand in the odd directions, in tag
// order among themselves.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "records/draw_group.h"

namespace pixmold {

struct ViewedItem {
  std::int32_t shownId = 0;  // the sprite id this view stores
  std::int32_t frameIndex = 0;
  bool mirrored = false;
};

inline constexpr int kViewSlots = 12;  // four directions at three zooms
// The slot of direction d (even for the main views, odd for the diagonals)
// at zoom 1..3.
constexpr int ViewSlot(int direction, int zoom) { return (zoom - 1) * 4 + direction / 2; }

struct ItemReading {
  DrawGroupItem base;  // what every copy shares: position in object space, flags other than mirroring
  std::array<ViewedItem, kViewSlots> views{};
  bool diagonal = false;
  std::array<ViewedItem, kViewSlots> diagonalViews{};
};

struct DrawGroupReading {
  bool obscured = false;
  std::vector<ItemReading> items;
  std::string problem;  // empty when the views read as items
};

// The draw group read with the given ordering.
DrawGroupReading ReadDrawGroupItems(const DrawGroup& group, bool obscured);

}  // namespace pixmold
