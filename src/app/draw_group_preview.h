// The preview pane's picture: one view of one of the object's draw groups,
// drawn as the game draws it, read straight from the object file so it shows
// what the last build actually wrote.
#pragma once

#include <string>
#include <vector>

#include "imaging/sprite_preview.h"
#include "resfile/res_types.h"

namespace pixmold {

struct PreviewPicture {
  PreviewImage image;              // red, green, blue, alpha; empty when nothing shows
  std::string caption;             // what the picture is, or why there is none
  std::vector<std::string> notes;  // items the compositor skipped
};

// Directions 0..7, zooms 1..3, as draw groups store their views.
PreviewPicture ComposeDrawGroupPreview(const std::string& objectFile, ResID drawGroupId, int direction, int zoom);

}  // namespace pixmold
