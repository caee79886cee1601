// The floor and water generators: a floor sheet holds one diamond cell per
// zoom (wall_pieces.h FloorCell), and each zoom's cell becomes an SPR2
// sprite stored under an id computed from the tile number
// (architecture_ids.h). Floors store one list per zoom; a water tile stores
// its three zooms, large first, in one list. Failures raise WallError,
// except water's storing, which is only reported.
#pragma once

#include "resfile/handle_owner.h"
#include "resfile/res_types.h"

namespace pixmold {

class Offscreen;
class iResFile;

// One list of one frame: the cell trimmed on every side, colour only, with
// the trim offset as its origin. A cell that is all background gives an
// empty frame rather than none, so the game still finds every zoom.
OwnedHandle MakeFloorSprite(const Offscreen& colour, int scale, ResID paletteId);

// A floor tile (0..255), a shadow (0..31, with shadow) or a pool tile or
// overlap piece (0..19, with pool), with its palette unless a shadow.
void MakeFloors(const Offscreen& colour, iResFile& file, int tile, bool shadow, bool pool);

// A water tile (0..15): every depth of 255 becomes 254 first so that every
// pixel of the cells is drawn; a sheet without depth is drawn whole at 254.
void MakeWater(const Offscreen& colour, Offscreen* depth, iResFile& file, int water);

}  // namespace pixmold
