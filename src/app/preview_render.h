// The picture the preview pane shows: a composed view or contact sheet,
// enlarged by a whole factor, with the floor tile under each view's
// reference point drawn as a faint outline. The tile is where the game
// stands the object, so a sprite cut or placed wrongly shows at once as an
// object floating beside its tile or sunk into it.
//
// A tile is the 2:1 diamond of the floor, 16 << zoom pixels across (128 at
// the large zoom) and half as high, centred on the reference point, which
// lies on a pixel corner. The outline is drawn after enlarging, one screen
// pixel wide, so it stays faint and thin at every factor; each row of the
// edge steps two columns, as the floor's own edges do.
#pragma once

#include <vector>

#include "imaging/sprite_preview.h"

namespace pixmold {

struct FloorTile {
  int centreX = 0;  // the reference point, in picture pixels
  int centreY = 0;
  int zoom = 3;  // 1..3, 3 large
  // The outline is drawn only inside this rectangle of the picture (right
  // and bottom excluded): a contact sheet keeps each tile to its own cell.
  int clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0;
};

// Half the tile's width and height at a zoom, in picture pixels.
int FloorTileHalfWidth(int zoom);
int FloorTileHalfHeight(int zoom);

// The outline over a red, green, blue, alpha picture already enlarged by
// `factor`; other pictures are left alone.
void DrawFloorTileOutline(PreviewImage& scaled, const FloorTile& tile, int factor);

// The picture enlarged by the factor (as far as the limits allow) with
// every tile's outline drawn over it.
PreviewImage RenderPreview(const PreviewImage& picture, const std::vector<FloorTile>& tiles, int factor);

}  // namespace pixmold
