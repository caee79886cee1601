// One sprite spec's sprite list, cut from the sheet the pass has loaded.
//
// A sheet with depth becomes an SPR2 list: the cells are trimmed on the depth
// offscreen (whatever lies at depth 255 is not there), and each trimmed cell
// is encoded with its untrimmed cell as reference, so a frame's origin is
// how far the trim moved it. A sheet without depth becomes an SPR# list.
// Either way the spec keeps the trimmed rectangles, from which the draw
// groups take their screen offsets, and a spec with a palette id stores the
// global palette as PALT under it.
//
// Making the list and writing it are apart, so that a build on several
// threads can put one sprite's list together and write it while it reads
// the next sheet.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "resfile/handle_owner.h"
#include "resfile/res_types.h"

namespace pixmold {

class Offscreen;
class SpriteSpec;
class iResFile;

inline constexpr ResType kSpr2Type = MakeResType("SPR2");
inline constexpr ResType kSprType = MakeResType("SPR#");
inline constexpr int kAlphaBits = 5;

// What one spec puts into the object file: its list, replacing a list of
// the other kind under its id, and the palette its sheet was cut with. The
// palette is taken when the list is made, since the next sheet's palette
// image replaces the global one.
struct SpriteListWrite {
  OwnedHandle list;
  // Puts the list together from frames encoded beforehand, when set: done
  // with the write, so that a pass writing beside itself does it there.
  // It first asks the file whether it holds those very bytes already; then
  // it sets kept and makes no list.
  std::function<OwnedHandle(iResFile& file, bool& kept)> assemble;
  ResType type = 0;
  ResID id = 0;
  std::string name;
  bool headline = false;
  std::int32_t paletteId = -1;
  OwnedHandle palette;

  void WriteTo(iResFile& file);
};

// threads: how many threads encode the frames of an SPR2 list (1: this one
// alone). The list, the report and any failure are the same at any count.
SpriteListWrite CompressSprite(Offscreen& colour, Offscreen& depth, SpriteSpec& spec, int threads = 1);
// The depth branch with the alpha offscreen's quantised alpha in every frame.
SpriteListWrite CompressAlphaSprite(Offscreen& colour, Offscreen& depth, Offscreen& alpha, SpriteSpec& spec,
                                    int threads = 1);

// Records a resource the build wrote, for the build's summary.
void NoteWritten(ResType type, std::int32_t id);

}  // namespace pixmold
