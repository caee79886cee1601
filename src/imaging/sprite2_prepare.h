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

#include <mutex>
#include <utility>
#include <vector>

#include "imaging/pixel_view.h"

namespace pixmold {

// Returns how many coloured pixels were left at depth 255 because no
// neighbour had a depth (each is also reported on standard error).
// threads: how many threads look for the pixels needing a depth; the
// fills happen in order on this thread, so the result is the same at any
// count.
int CleanUpDepth(PixelView colour, MutablePixelView depth, int threads = 1);

// The same clean-up for rows that arrive a piece at a time: Look at each
// piece of rows once its colours and depths are final (from any thread, for
// pieces that do not overlap), then Fill once all have been looked at. The
// colour's top-left pixel, which tells drawn from clear, must be final
// before the first Look.
class DepthGaps {
 public:
  void Look(PixelView colour, PixelView depth, int firstRow, int rowCount);
  // Gives the pixels found a depth in row order; returns how many kept none
  // (as CleanUpDepth does).
  int Fill(PixelView colour, MutablePixelView depth);

 private:
  std::mutex fLock;
  std::vector<std::pair<int, int>> fStretches;  // row, first column
};

// The depth clean-up, then the clearing of pixels whose alpha shifted right
// by 8 - alphaBits is 0. alphaBits belongs in 4..8.
void PrepareAlpha(PixelView colour, MutablePixelView depth, PixelView alpha, int alphaBits);

}  // namespace pixmold
