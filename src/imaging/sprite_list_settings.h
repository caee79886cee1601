// The compressor settings every sprite list of the build is made with.
//
// Each row changes only the settings it names and keeps the rest of the
// compressor's 12-byte block as it was; with the flags each row sets, the
// bytes it leaves are never consulted. Colour lists clear the sheet's
// background (its top-left pixel) and keep every pixel inside the global
// palette's usable range; depth lists clear 255, the renderer's "nothing
// here". The lists are made with the run's one compressor (SharedCompressor).
#pragma once

#include "imaging/spr_compressor.h"

namespace pixmold {

class Offscreen;

// Colour list: flags 0x31, the colour offscreen's top-left pixel as the
// clear colour (without one, the global palette's index nearest to pure
// blue), repeat threshold 8, the global palette's usable range.
void UseColourListSettings(Compressor& compressor, const Offscreen* colour);
// Depth list: flags 0x11, clear 255, repeat threshold 8.
void UseDepthListSettings(Compressor& compressor);
// Trimming: flags 0x01, the trimmed offscreen's top-left pixel as clear.
void UseTrimSettings(Compressor& compressor, const Offscreen& offscreen);
// Wall colour list: flags 0x31, the offscreen's top-left pixel, repeat
// threshold 16, the global palette's usable range.
void UseWallColourSettings(Compressor& compressor, const Offscreen& colour);
// Wall depth list: flags 0x31, clear 255, repeat threshold 16, the global
// palette's usable range.
void UseWallDepthSettings(Compressor& compressor);

}  // namespace pixmold
