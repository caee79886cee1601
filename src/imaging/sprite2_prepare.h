// Preparing a rendered sheet for the depth encoders.
//
// The depth encoders clear every pixel of depth 255, but a renderer may leave
// a coloured pixel at depth 255 along an object's edge; the clean-up gives
// such pixels a depth from their neighbours so they are not lost. The alpha
// preparation then clears, by giving them depth 255, pixels whose quantised
// alpha is 0, because the alpha encoder cannot store a wholly transparent
// pixel. Both work on whole offscreens, once per sheet, before any cell of
// it is encoded.
#pragma once

#include "imaging/pixel_view.h"

namespace pixmold {

// Returns how many coloured pixels were left at depth 255 because no
// neighbour had a depth (each is also reported on standard error).
// threads: how many threads look for the pixels needing a depth; the
// fills happen in order on this thread, so the result is the same at any
// count.
int CleanUpDepth(PixelView colour, MutablePixelView depth, int threads = 1);

// The depth clean-up, then the clearing of pixels whose alpha shifted right
// by 8 - alphaBits is 0. alphaBits belongs in 4..8.
void PrepareAlpha(PixelView colour, MutablePixelView depth, PixelView alpha, int alphaBits);

}  // namespace pixmold
