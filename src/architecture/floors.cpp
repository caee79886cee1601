#include "architecture/floors.h"

#include <array>
#include <vector>

#include "architecture/architecture_ids.h"
#include "architecture/resource_store.h"
#include "architecture/wall_error.h"
#include "architecture/wall_pieces.h"
#include "base/xassert.h"
#include "imaging/offscreen.h"
#include "imaging/pixel_view.h"
#include "imaging/spr_compressor.h"
#include "imaging/sprite2_compressor.h"
#include "imaging/sprite2_list_builder.h"
#include "imaging/sprite_list_settings.h"

namespace pixmold {
namespace {

constexpr int kZoomCount = 3;
constexpr std::uint8_t kNoDepth = 255;
constexpr std::uint8_t kDeepest = 254;

ResID TileId(int tile, int scale, bool shadow, bool pool) {
  if (shadow) return ShadowId(tile, scale);
  if (pool) return tile >= kFirstPoolOverlap ? PoolOverlapId(tile, scale) : PoolId(tile, scale);
  return FloorId(tile, scale);
}

// A list that cannot be made or grown ends the pass as every other store
// failure of the walls and floors does.
Sprite2ListBuilder NewSpriteList(int frameCount, ResID paletteId) {
  Sprite2ListBuilder list(frameCount, paletteId);
  if (!list.Ok()) throw WallError("could not make spritelist", MemError());
  return list;
}

void AppendFrame(Sprite2ListBuilder& list, int index, MHandle frame) {
  if (const int err = list.Append(index, frame)) throw WallError("could not make spritelist", err);
}

}  // namespace

OwnedHandle MakeFloorSprite(const Offscreen& colour, int scale, ResID paletteId) {
  const Rect cell = FloorCell(scale);
  const PixelView view = ViewOf(colour);
  Compressor& compressor = SharedCompressor();
  UseWallColourSettings(compressor, colour);
  std::array<Rect, 1> trimmed = {cell};
  compressor.TrimRects(view, trimmed, spr_side::kAll, false);
  // An empty cell is encoded at the cell's corner: a 0 x 0 frame at origin 0, 0.
  if (trimmed[0].IsEmpty()) trimmed[0] = Rect::Make(cell.left, cell.top, cell.left, cell.top);

  Sprite2ListBuilder list = NewSpriteList(1, paletteId);
  Sprite2Compressor encoder;
  OwnedHandle frame = encoder.EncodeP(view, cell, trimmed[0]);
  if (!frame) return {};
  AppendFrame(list, 0, frame.Get());
  return list.Finish();
}

void MakeFloors(const Offscreen& colour, iResFile& file, int tile, bool shadow, bool pool) {
  if (shadow && pool) XASSERT_FAIL("false == inPoolTile", "pooltile & shadow?!?");
  if (shadow) pool = false;
  const ResID paletteId = FloorPaletteId(tile, shadow, pool);

  // Every zoom is made before any is stored, so a sheet that fails leaves
  // the object file as it was.
  std::array<OwnedHandle, kZoomCount> lists;
  for (int scale = 1; scale <= kZoomCount; ++scale) lists[scale - 1] = MakeFloorSprite(colour, scale, paletteId);
  for (int scale = 1; scale <= kZoomCount; ++scale) {
    if (lists[scale - 1]) WriteSpriteList(file, std::move(lists[scale - 1]), TileId(tile, scale, shadow, pool));
  }
  // Shadows are drawn darkening whatever lies below, with the game's own
  // palette, so they carry none.
  if (!shadow) WritePalette(file, paletteId);
}

void MakeWater(const Offscreen& colour, Offscreen* depth, iResFile& file, int water) {
  const PixelView colourView = ViewOf(colour);
  std::vector<std::uint8_t> flatDepth;
  MutablePixelView depthView;
  if (depth != nullptr && depth->Exists()) {
    depthView = MutableViewOf(*depth);
  } else {
    flatDepth.assign(static_cast<std::size_t>(colourView.width) * static_cast<std::size_t>(colourView.height),
                     kNoDepth);
    depthView = {flatDepth.data(), colourView.width, colourView.width, colourView.height};
  }
  // Water is seen through, never cut out: a pixel at "nothing here" depth
  // would be a hole in the surface.
  for (int y = 0; y < depthView.height; ++y) {
    for (int x = 0; x < depthView.width; ++x) {
      if (depthView.At(x, y) == kNoDepth) depthView.At(x, y) = kDeepest;
    }
  }

  const ResID id = WaterId(water);
  Sprite2ListBuilder list = NewSpriteList(kZoomCount, id);
  Sprite2Compressor encoder;
  int index = 0;
  for (int scale = kZoomCount; scale >= 1; --scale) {
    const Rect cell = FloorCell(scale);
    OwnedHandle frame = encoder.EncodeZP(colourView, depthView, cell, cell);
    if (!frame) throw WallError("could not make spritelist", 0);
    AppendFrame(list, index++, frame.Get());
  }
  WriteWaterSprites(file, list.Finish(), id);
  WriteWaterPalette(file, id);
}

}  // namespace pixmold
