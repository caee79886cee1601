// The wall generators: a rendered wall sheet is cut into the pieces of
// walls, wall styles, wall patterns or thick walls, and each zoom's pieces
// become one SPR# list stored under an id computed from the number the
// artist gave (architecture_ids.h).
//
// Wall lists are stored in the compressor's native byte order, unlike an
// object's lists, because the game loads them straight into its wall
// renderer. Styles are masks: every drawn pixel is stored as index 0, and
// only the shape of the opening matters. Failures raise WallError (or, from
// the shared list makers of the thick tile walls, a fatal build error).
#pragma once

#include <string_view>

namespace pixmold {

class Offscreen;
class iResFile;

// Five images per zoom, trimmed at the top; with depth each list also holds
// the depth frames (version 503), else only colour (502).
void MakeWalls(Offscreen& colour, Offscreen* depth, int wall, bool variant, iResFile& file);

// A style's four mask pieces per zoom; each list is named after its printed
// line "style:zoom:variant(id)".
void MakeWallStyle(Offscreen& style, int styleNumber, bool variant, iResFile& file);

// The style of a markup tag from its normal image and, when there is one,
// its cutaway image; lines and names read "NAME tag:zoom:cutaway(id)".
void MakeWallStyleSpec(Offscreen& normal, Offscreen* cutaway, iResFile& file, int tagId, std::string_view tagName);

// A pattern's four coloured pieces per zoom, with the sheet's palette
// stored under the zoom-1 id.
void MakeWallPattern(Offscreen& sheet, int pattern, iResFile& file);

// The 46 thick-wall pieces of one zoom: the colour form (one colour list
// and its palette), and the tile-wall form (colour and depth lists).
void MakeThickWalls(Offscreen& colour, int zoom, iResFile& file);
void MakeTileWalls(Offscreen& colour, Offscreen& depth, int zoom, iResFile& file);

}  // namespace pixmold
