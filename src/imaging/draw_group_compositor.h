// Draws one view of a stored draw group the way the game puts it on screen,
// so an artist can check a build without the game.
//
// Placement. Every item names a sprite list (SPR2, else SPR#, by the item's
// sprite id), one of its frames and a screen offset measured from the
// object's reference point: the frame's left column lies offsetX pixels
// right of the reference point and the row just below its last one lies
// offsetY pixels below it (the build derives both from the trimmed cell's
// left and bottom edges). A mirrored item's frame is flipped left to right;
// its offset already names where the flipped frame's left column goes. The
// frame's own origin fields record where it was cut from its cell and play
// no part here. The image is made just large enough to hold every item and
// the reference point, which the view reports.
//
// Order and depth. Items are drawn in list order, first drawn first. A pixel
// that carries depth (SPR2 depth runs, an SPR# list with its depth frames)
// is drawn where its depth is nearer than or equal to what the view holds
// (smaller is nearer, 255 is nothing), and leaves its depth behind; ties go
// to the later item, as painter's order would. Depth values compare
// directly because every sheet of an object is rendered around the same
// reference point, so the item's position in object space adds nothing. A
// pixel without depth (SPR# without depth frames, SPR2 colour-only runs) is
// painted over whatever is there and leaves the depth as it was. A pixel
// with stored alpha (five bits) is blended over what it covers.
//
// Colour. A list's palette is the PALT resource with the list's palette id;
// a list without one (id -1, or no such PALT) shows in a grey ramp and the
// view says so.
//
// Everything read is untrusted: a damaged or missing list, or a frame index
// it does not hold, skips that item with a note, and a view that would span
// more pixels than the decode limits allow is refused. Nothing here knows a
// UI toolkit or an image file format.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "imaging/decoded_sprite.h"
#include "imaging/sprite_preview.h"
#include "records/draw_group.h"
#include "resfile/res_types.h"

namespace pixmold {

class iResFile;

struct ComposedView {
  PreviewImage colour;  // red, green, blue, alpha; transparent where nothing is drawn
  PreviewImage depth;   // one byte per pixel; 255 where nothing with depth is drawn
  int referenceX = 0;   // the object's reference point, in image pixels
  int referenceY = 0;
  int itemsDrawn = 0;
  std::vector<std::string> notes;  // items skipped and palettes missing, one line each
};

class DrawGroupCompositor {
 public:
  explicit DrawGroupCompositor(iResFile& file, const SpriteDecodeLimits& limits = {});

  // Reads the draw group; empty on success, else why it cannot be shown.
  std::string Load(ResID drawGroupId);
  // The draw group Load read (empty before).
  const DrawGroup& Group() const { return fGroup; }
  // True when the loaded draw group has an image for direction 0..7 at zoom 1..3.
  bool HasView(int direction, int zoom) const;

  // Draws one view of the loaded draw group; empty on success, else why not.
  std::string Compose(int direction, int zoom, ComposedView& out);

  // Decoded lists stay from one Load to the next, so draw groups that share
  // a list decode it once. Walking many draw groups, this drops those the
  // loaded one does not show, so only its own lists are held.
  void ForgetListsNotShown();

 private:
  struct Palette {
    PreviewPalette colours{};
    bool found = false;
  };
  struct List {
    ResType type = 0;
    PreviewList frames;
    std::string problem;  // why the list cannot be used; empty when it can
    bool exists = false;
  };

  const List& SpriteList(std::int32_t spriteId);
  const Palette& PaletteFor(std::int32_t paletteId);
  std::optional<std::vector<std::uint8_t>> ResourceBytes(ResType type, ResID id);

  iResFile& fFile;
  SpriteDecodeLimits fLimits;
  DrawGroup fGroup;
  bool fLoaded = false;
  std::map<std::int32_t, List> fLists;
  std::map<std::int32_t, Palette> fPalettes;
};

}  // namespace pixmold
