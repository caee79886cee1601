#include "builder/headline_sprites.h"

#include <array>

#include "base/report.h"
#include "builder/compress_sprite.h"
#include "builder/headline_spec.h"
#include "builder/sprite_spec.h"
#include "imaging/offscreen.h"
#include "imaging/sprite_lists.h"
#include "resfile/res_file.h"

namespace pixmold {
namespace {

constexpr int kHeadlineRowHeight = 98;

struct HeadlineCell {
  int x;
  int right;
  int bottom;
};
// The small cell is one pixel short of 16 x 24 on each axis; existing
// headline sheets are drawn to that.
constexpr std::array<HeadlineCell, 3> kHeadlineCells = {{{0, 65, 97}, {66, 33, 49}, {100, 16, 24}}};

}  // namespace

std::vector<Rect> HeadlineCells(const HeadlineSpec& headline) {
  std::vector<Rect> cells;
  const std::int64_t last = std::int64_t{headline.Position()} + headline.Frames();
  for (std::int64_t row = headline.Position(); row < last; ++row) {
    const std::int64_t y = row * kHeadlineRowHeight;
    if (y + kHeadlineRowHeight > INT16_MAX)
      FatalError("tga file too small for some sprite position...did you export all frames?");
    for (const HeadlineCell& cell : kHeadlineCells) {
      Rect rect = Rect::Make(1, 1, cell.right, cell.bottom);
      rect.Offset(cell.x, static_cast<int>(y));
      cells.push_back(rect);
    }
  }
  return cells;
}

void WriteHeadlineSprites(Offscreen& colour, Offscreen& depth, iResFile& file, const HeadlineSpec& headline) {
  const std::vector<Rect> cells = HeadlineCells(headline);
  std::vector<Rect> trimmed;
  MHandle list = MakeSpriteList(&colour, depth.Exists() ? &depth : nullptr, cells, trimmed, SpriteSpec::kShrinkTop,
                                kHeadlinePaletteId, false);
  if (list == nullptr) return;
  file.AddResource(list, kSprType, static_cast<ResID>(headline.Id()), CTGString(headline.Name()), false);
  if (file.GetError() != 0) {
    // Refused, so still ours.
    DisposeHandle(list);
    FatalError("could not add sprites to destfile");
  }
  file.WriteResource(list);
  if (file.GetError() != 0) FatalError("could not write sprites to destfile");
  file.UpdateFile();
  if (file.GetError() != 0) FatalError("could not update dest file");
  file.ReleaseAndDispose(list);
  NoteWritten(kSprType, headline.Id());
}

}  // namespace pixmold
