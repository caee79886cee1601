#include "imaging/sprite_lists.h"

#include <string>

#include "base/report.h"
#include "base/work_threads.h"
#include "imaging/offscreen.h"
#include "imaging/pixel_view.h"
#include "imaging/spr_compressor.h"
#include "imaging/spr_list.h"
#include "imaging/sprite_list_settings.h"
#include "resfile/handle_owner.h"

namespace pixmold {
namespace {

constexpr ResID kNoPalette = -1;

// A cell past the sheet's edge means the render was cut short (or the
// markup asks for more frames than were exported); compressing the part
// that is there would store a wrong sprite without a word.
void RequireCellsInside(const Offscreen* sheet, std::span<const Rect> cells) {
  const int width = sheet != nullptr ? sheet->Width() : 0;
  const int height = sheet != nullptr ? sheet->Height() : 0;
  for (const Rect& cell : cells) {
    if (cell.top < 0 || cell.left < 0 || cell.bottom > height || cell.right > width) {
      FatalError("tga file too small for some sprite position...did you export all frames?");
    }
  }
}

bool HasPixels(const Offscreen* offscreen) {
  return offscreen != nullptr && offscreen->Width() > 0 && offscreen->Height() > 0;
}

std::string ErrorText(std::string_view what, ResErr err) {
  return std::string(what) + " : error #" + std::to_string(err);
}

}  // namespace

void TrimCells(const Offscreen& offscreen, std::span<const Rect> cells, std::vector<Rect>& trimmed, int shrinkSides,
               bool emptyIfClear, int threads) {
  RequireCellsInside(&offscreen, cells);
  Compressor& compressor = SharedCompressor();
  UseTrimSettings(compressor, offscreen);
  trimmed.assign(cells.begin(), cells.end());
  // Each cell is trimmed on its own, reading the settings only.
  const PixelView view = ViewOf(offscreen);
  RunOnThreads(threads, trimmed.size(), [&](std::size_t i, int) {
    compressor.TrimRects(view, std::span<Rect>(&trimmed[i], 1), shrinkSides, emptyIfClear);
  });
}

MHandle MakeSpriteList(Offscreen* colour, Offscreen* depth, std::span<const Rect> cells, std::vector<Rect>& trimmed,
                       int shrinkSides, ResID paletteId, bool emptyIfClear) {
  if (!trimmed.empty()) FatalError("list already contains stuff");
  RequireCellsInside(colour, cells);
  const bool withDepth = HasPixels(depth);
  if (withDepth) RequireCellsInside(depth, cells);

  const PixelView colourView = colour != nullptr ? ViewOf(*colour) : PixelView{};
  const PalWrap* palette = colour != nullptr ? colour->GetPalette() : nullptr;

  Compressor& compressor = SharedCompressor();
  UseColourListSettings(compressor, colour);
  trimmed.assign(cells.begin(), cells.end());
  compressor.TrimRects(colourView, trimmed, shrinkSides, emptyIfClear);

  OwnedHandle list;
  if (compressor.CompressList(colourView, trimmed, palette, paletteId, kSprColourVersion, list) != 0) {
    FatalError("could not make sprite list");
  }
  if (withDepth) {
    // The depth frames cover the same rectangles, so the game can pair the
    // second half of the list with the first frame by frame.
    UseDepthListSettings(compressor);
    OwnedHandle depthList;
    if (compressor.CompressList(ViewOf(*depth), trimmed, nullptr, kNoPalette, kSprColourDepthVersion, depthList) != 0 ||
        MergeDepthList(depthList.Get(), list.Get()) != 0) {
      FatalError("could not make sprite list");
    }
  }
  if (!ConvertSprListToStoredOrder(list.Get())) FatalError("could not make sprite list");
  return list.Release();
}

MHandle MakeWallList(Offscreen& colour, std::span<const Rect, kWallPieceCount> pieces, ResID paletteId) {
  Compressor& compressor = SharedCompressor();
  UseWallColourSettings(compressor, colour);
  OwnedHandle list;
  const ResErr err =
      compressor.CompressList(ViewOf(colour), pieces, colour.GetPalette(), paletteId, kSprColourVersion, list);
  if (err != 0) FatalError(ErrorText("could not make spritelist", err));
  return list.Release();
}

MHandle MakeWallDepthList(Offscreen& depth, std::span<const Rect, kWallPieceCount> pieces) {
  Compressor& compressor = SharedCompressor();
  UseWallDepthSettings(compressor);
  OwnedHandle list;
  const ResErr err =
      compressor.CompressList(ViewOf(depth), pieces, depth.GetPalette(), kNoPalette, kSprWallDepthVersion, list);
  if (err != 0) FatalError(ErrorText("could not make spritelist", err));
  return list.Release();
}

}  // namespace pixmold
