// The preview pane's picture: one view of one of the object's draw groups,
// or all of its views on one contact sheet as `pixmold preview` lays them
// out, drawn as the game draws them and read straight from the object file
// so it shows what the last build actually wrote.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/preview_render.h"
#include "imaging/sprite_preview.h"
#include "resfile/res_types.h"

namespace pixmold {

struct PreviewPicture {
  PreviewImage image;              // red, green, blue, alpha; empty when nothing shows
  std::string caption;             // what the picture is, or why there is none
  std::vector<std::string> notes;  // items the compositor skipped, each once
  std::vector<FloorTile> tiles;    // the floor tile under each view's reference point
  // Bit d is set when the draw group has direction d at the zoom shown (at
  // any zoom for a contact sheet), so the object can be turned through them.
  std::uint8_t directions = 0;
};

// Directions 0..7, zooms 1..3, as draw groups store their views. The view
// is given room around it for its whole floor tile.
PreviewPicture ComposeDrawGroupPreview(const std::string& objectFile, ResID drawGroupId, int direction, int zoom);

// Every view the draw group has: a column per direction, a row per zoom
// (large at the top), each tile kept to its cell.
PreviewPicture ComposeContactSheetPreview(const std::string& objectFile, ResID drawGroupId);

}  // namespace pixmold
