// One sprite spec's sprite list, cut from the sheet the pass has loaded.
//
// A sheet with depth becomes an SPR2 list: the cells are trimmed on the depth
// offscreen (whatever lies at depth 255 is not there), and each trimmed cell
// is encoded with its untrimmed cell as reference, so a frame's origin is
// how far the trim moved it. A sheet without depth becomes an SPR# list.
// Either way the spec keeps the trimmed rectangles, from which the draw
// groups take their screen offsets, and a spec with a palette id stores the
// global palette as PALT under it.
#pragma once

#include "resfile/res_types.h"

namespace pixmold {

class Offscreen;
class SpriteSpec;
class iResFile;

inline constexpr ResType kSpr2Type = MakeResType("SPR2");
inline constexpr ResType kSprType = MakeResType("SPR#");
inline constexpr int kAlphaBits = 5;

// threads: how many threads encode the frames of an SPR2 list (1: this one
// alone). The list, the report and any failure are the same at any count.
void CompressSprite(iResFile& file, Offscreen& colour, Offscreen& depth, SpriteSpec& spec, int threads = 1);
// The depth branch with the alpha offscreen's quantised alpha in every frame.
void CompressAlphaSprite(iResFile& file, Offscreen& colour, Offscreen& depth, Offscreen& alpha, SpriteSpec& spec,
                         int threads = 1);

// Records a resource the build wrote, for the build's summary.
void NoteWritten(ResType type, std::int32_t id);

}  // namespace pixmold
