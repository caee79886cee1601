// Resource ids of the architecture sprites. The game finds a wall, style,
// pattern, floor or water sprite by computing its id from the number the
// artist gave and the zoom, so these formulas are a contract with the game:
// each zoom (1 small, 2 medium, 3 large) has its own block of ids.
//
// A number outside its range is a broken request, reported through XASSERT
// (which ends a build on the worker); the id is still computed so that off
// the worker the caller carries on as before.
#pragma once

#include "resfile/res_types.h"

namespace pixmold {

inline constexpr int kMaxStyles = 256;
inline constexpr int kMaxPatterns = 256;
// Style 22 is drawn by the game itself and has no sprites of its own.
inline constexpr int kCustomWindowStyle = 22;
// The transition shape: its narrow piece reaches higher than the others.
inline constexpr int kTransitionStyle = 9;
inline constexpr int kTransitionPattern = 252;

ResID WallId(int wall, int zoom, bool variant);
ResID WallStyleId(int style, int zoom, bool variant);
// The sprites of a wall style tag: its normal image (cutaway 0) and its
// cutaway image (1) take three ids each from the tag's id.
ResID WallStyleTagId(int base, int cutaway, int zoom);
ResID WallPatternId(int pattern, int zoom);

inline constexpr ResID kThickWallPaletteId = 4096;
inline constexpr ResID kTileWallPaletteId = 5120;
inline ResID ThickWallId(int zoom) { return static_cast<ResID>(4095 + zoom); }
inline ResID TileWallColourId(int zoom) { return static_cast<ResID>(5119 + zoom); }
inline ResID TileWallDepthId(int zoom) { return static_cast<ResID>(6143 + zoom); }

inline constexpr int kFloorTileCount = 256;
inline constexpr int kShadowCount = 32;
inline constexpr int kPoolTileCount = 16;
inline constexpr int kFirstPoolOverlap = 16;
inline constexpr int kLastPoolOverlap = 19;
inline constexpr int kWaterTileCount = 16;
// Shadows carry this palette id and write no palette of their own.
inline constexpr ResID kShadowPaletteId = 1;

ResID FloorId(int floor, int inScale);
ResID ShadowId(int inShadowID, int inScale);
ResID PoolId(int inPoolID, int inScale);
ResID PoolOverlapId(int inPoolID, int inScale);
// The palette id a floor tile's lists carry: the tile number, a pool's id
// at the small zoom, or the shared one of shadows.
ResID FloorPaletteId(int tile, bool shadow, bool pool);
// One resource holds every zoom of a water tile.
ResID WaterId(int inWaterID);

}  // namespace pixmold
