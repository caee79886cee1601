#include "architecture/architecture_ids.h"

#include "base/xassert.h"

namespace pixmold {
namespace {

ResID Id(int value) { return static_cast<ResID>(value); }

}  // namespace

ResID WallId(int wall, int zoom, bool variant) {
  XASSERT(zoom >= 1 && zoom <= 3, "zoom out of range (1,2 or 3, please)");
  return Id((wall - 1) * 16 + zoom + 128 + (variant ? 8 : 0));
}

ResID WallStyleId(int style, int zoom, bool variant) {
  XASSERT(style >= 0 && style < kMaxStyles, "Style out of range");
  if (style == kCustomWindowStyle) XASSERT_FAIL("style!=kCustomWindowStyle", "can't get id for custom style!");
  XASSERT(zoom >= 1 && zoom <= 3, "bad zoom");
  return Id((zoom - 1) * 512 + style * 2 + (variant ? 1 : 0));
}

ResID WallStyleTagId(int base, int cutaway, int zoom) {
  XASSERT(cutaway >= 0 && cutaway <= 1, "cutaway out of range (0 or 1, please)");
  XASSERT(zoom >= 1 && zoom <= 3, "zoom out of range (1,2 or 3, please)");
  return Id(base + cutaway * 3 + zoom - 1);
}

ResID WallPatternId(int pattern, int zoom) {
  XASSERT(pattern >= 0 && pattern < kMaxPatterns, "Pattern out of range");
  XASSERT(zoom >= 1 && zoom <= 3, "bad zoom");
  return Id(pattern + (zoom - 1) * 256 + 1536);
}

ResID FloorId(int floor, int inScale) { return Id((inScale - 1) * 256 + floor); }

ResID ShadowId(int inShadowID, int inScale) {
  XASSERT(inShadowID >= 0 && inShadowID < 32, "shadow id out of range");
  return Id(768 + (inScale - 1) * 32 + inShadowID);
}

ResID PoolId(int inPoolID, int inScale) {
  XASSERT(inPoolID >= 0 && inPoolID < 16, "pool tile id out-of-range");
  XASSERT(inScale >= 1 && inScale <= 3, "scale out-of-range");
  return Id(1024 + (inScale - 1) * 16 + inPoolID);
}

ResID PoolOverlapId(int inPoolID, int inScale) {
  XASSERT(inPoolID >= 16 && inPoolID <= 19, "pool tile overlap piece id out-of-range");
  XASSERT(inScale >= 1 && inScale <= 3, "scale out-of-range");
  return Id(1052 + inScale * 4 + inPoolID);
}

ResID FloorPaletteId(int tile, bool shadow, bool pool) {
  if (shadow) return kShadowPaletteId;
  if (pool) return tile >= kFirstPoolOverlap ? PoolOverlapId(tile, 1) : PoolId(tile, 1);
  return Id(tile);
}

ResID WaterId(int inWaterID) {
  XASSERT(inWaterID >= 0 && inWaterID < 16, "water tile id out-of-range");
  return Id(2048 + inWaterID);
}

}  // namespace pixmold
