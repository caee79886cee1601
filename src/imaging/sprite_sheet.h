// Loads a rendered sprite sheet into the two offscreens the sprite lists are
// cut from: 8-bit colour and 8-bit depth.
//
// A sheet is a TGA render beside an 8-bit BMP palette image. The BMP fixes
// the process-wide palette (loaded without the display's reserved colours),
// and when it carries pixels too they are the sheet's colours: the artist
// has already mapped the render to the palette by hand, so the TGA's own
// colours are not used. The TGA's alpha channel is the renderer's depth map
// and always becomes the depth offscreen. Either image may be absent: a BMP
// alone gives a colour offscreen (masks, bitmap sprites), a TGA alone is
// mapped to the current global palette (the alpha layer, whose palette the
// caller has cleared so that each pixel keeps its red value).
//
// Every failure is a fatal build error naming the file behind it and what is
// wrong with it (see terminate.h); the caller's offscreens are left as far as
// they got. Both images' headers are read, and their sizes compared, before
// anything the size of the image is read or allocated, so a hostile or
// mistaken sheet is turned away at the cost of its headers.
#pragma once

#include <string>
#include <string_view>

#include "imaging/row_pieces.h"

namespace pixmold {

class Offscreen;

// Either path may be empty, meaning that image is not used. The depth
// offscreen is created only for a 32-bit TGA; otherwise it is not touched.
// paletteRole names the palette image in messages ("mask" for a mask).
// threads: how many threads may read and decode the images' rows at once;
// the offscreens are the same at any count. rowsDone, when given, is called
// once for every row, with pieces of rows (first, count) whose colours and
// depths are final, possibly from several threads at once, while the rows
// are still in the processor's cache.
void MakeOffscreens(std::string_view paletteImagePath, std::string_view tgaPath, Offscreen& colour, Offscreen& depth,
                    std::string_view paletteRole = "palette image", int threads = 1, const RowsDone& rowsDone = {});

// The text of a fatal error that names a file and an error code:
// "what : path : error #code".
std::string FileErrorText(std::string_view what, std::string_view path, int code);

}  // namespace pixmold
