#include "architecture/walls.h"

#include <array>
#include <iostream>
#include <string>

#include "architecture/architecture_ids.h"
#include "architecture/resource_store.h"
#include "architecture/wall_error.h"
#include "architecture/wall_pieces.h"
#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "imaging/pixel_view.h"
#include "imaging/spr_compressor.h"
#include "imaging/spr_list.h"
#include "imaging/sprite_list_settings.h"
#include "imaging/sprite_lists.h"

namespace pixmold {
namespace {

constexpr ResID kNoPalette = -1;
constexpr std::uint8_t kMaskClear = 255;
constexpr int kZoomCount = 3;

// One list per zoom with the id and name it is stored under. Every zoom is
// made before any is stored, so a sheet that fails to compress leaves the
// object file as it was.
struct ZoomList {
  OwnedHandle list;
  ResID id = 0;
  std::string name;
};
using ZoomLists = std::array<ZoomList, kZoomCount>;

void StoreAll(iResFile& file, ZoomLists& lists) {
  for (ZoomList& zoom : lists) WriteWallSprites(file, std::move(zoom.list), zoom.id, zoom.name);
}

void SetSettings(Compressor& compressor, std::uint8_t clear, int low, int high) {
  SprSettings settings = compressor.Settings();
  settings.flags = spr_flags::kClearColour | spr_flags::kRepeats | spr_flags::kSuppression;
  settings.clearColour = clear;
  settings.repeatThreshold = 16;
  settings.suppressLow = static_cast<std::uint8_t>(low);
  settings.suppressHigh = static_cast<std::uint8_t>(high);
  compressor.SetSettings(settings);
}

OwnedHandle Compress(const Offscreen& sheet, std::span<const Rect> pieces, ResID paletteId, std::int32_t version,
                     std::string_view failure) {
  OwnedHandle list;
  // The palette only serves suppression, which needs one to find the
  // nearest usable colour even for a list that records none.
  const ResErr err =
      SharedCompressor().CompressList(ViewOf(sheet), pieces, &GetGlobalPalette(), paletteId, version, list);
  if (err != 0) throw WallError(failure, err);
  return list;
}

// A style is a mask: clear 255, and the one-colour suppression range turns
// every drawn pixel into index 0.
OwnedHandle StyleList(const Offscreen& sheet, int zoom, int shape) {
  SetSettings(SharedCompressor(), kMaskClear, 0, 0);
  return Compress(sheet, StylePieces(zoom, shape == kTransitionStyle), kNoPalette, kSprWallStyleVersion,
                  "could not make spritelist");
}

void Print(const std::string& line) { std::cout << line << '\n'; }

std::string ZoomText(int number, int zoom, int flag, ResID id) {
  return std::to_string(number) + ":" + std::to_string(zoom) + ":" + std::to_string(flag) + "(" + std::to_string(id) +
         ")";
}

void StyleImage(const Offscreen& image, int cutaway, iResFile& file, int tagId, std::string_view tagName) {
  ZoomLists lists;
  for (int zoom = 1; zoom <= kZoomCount; ++zoom) {
    ZoomList& entry = lists[zoom - 1];
    entry.id = WallStyleTagId(tagId, cutaway, zoom);
    entry.name = std::string(tagName) + " " + ZoomText(tagId, zoom, cutaway, entry.id);
    Print(entry.name);
    entry.list = StyleList(image, zoom, tagId);
  }
  StoreAll(file, lists);
}

}  // namespace

void MakeWalls(Offscreen& colour, Offscreen* depth, int wall, bool variant, iResFile& file) {
  const bool withDepth = depth != nullptr && depth->Exists();
  Compressor& compressor = SharedCompressor();
  ZoomLists lists;
  for (int zoom = 1; zoom <= kZoomCount; ++zoom) {
    std::array<Rect, kWallImageCount> pieces = WallImageRects(zoom);
    UseWallColourSettings(compressor, colour);
    // Only the top: the wall's foot must stay where the game lines it up.
    compressor.TrimRects(ViewOf(colour), pieces, spr_side::kTop, false);
    OwnedHandle list = Compress(colour, pieces, kNoPalette, kSprColourVersion, "could not make spritelist");
    if (withDepth) {
      UseWallDepthSettings(compressor);
      OwnedHandle depthList = Compress(*depth, pieces, kNoPalette, kSprColourVersion, "could not make z spritelist");
      const ResErr err = MergeDepthList(depthList.Get(), list.Get());
      if (err != 0) throw WallError("could not mmerge sprite lists", err);
    }
    lists[zoom - 1].list = std::move(list);
    lists[zoom - 1].id = WallId(wall, zoom, variant);
  }
  StoreAll(file, lists);
}

void MakeWallStyle(Offscreen& style, int styleNumber, bool variant, iResFile& file) {
  ZoomLists lists;
  for (int zoom = 1; zoom <= kZoomCount; ++zoom) {
    ZoomList& entry = lists[zoom - 1];
    entry.id = WallStyleId(styleNumber, zoom, variant);
    entry.name = ZoomText(styleNumber, zoom, variant ? 1 : 0, entry.id);
    Print(entry.name);
    entry.list = StyleList(style, zoom, styleNumber);
  }
  StoreAll(file, lists);
}

void MakeWallStyleSpec(Offscreen& normal, Offscreen* cutaway, iResFile& file, int tagId, std::string_view tagName) {
  StyleImage(normal, 0, file, tagId, tagName);
  if (cutaway != nullptr && cutaway->Exists()) StyleImage(*cutaway, 1, file, tagId, tagName);
}

void MakeWallPattern(Offscreen& sheet, int pattern, iResFile& file) {
  const ResID paletteId = WallPatternId(pattern, 1);
  const bool transition = pattern == kTransitionPattern;
  const PalWrap& global = GetGlobalPalette();
  ZoomLists lists;
  for (int zoom = 1; zoom <= kZoomCount; ++zoom) {
    ZoomList& entry = lists[zoom - 1];
    entry.id = WallPatternId(pattern, zoom);
    entry.name = std::to_string(pattern) + ":" + std::to_string(zoom) + "(" + std::to_string(entry.id) + ")";
    Print(entry.name);
    // Announced with each zoom's pieces, as each zoom cuts its own.
    if (transition) std::cerr << "Doing transition left pattern\n";
    SetSettings(SharedCompressor(), sheet.PixelAt(0, 0), global.GetFirstUsable(), global.GetLastUsable());
    entry.list =
        Compress(sheet, StylePieces(zoom, transition), paletteId, kSprWallStyleVersion, "could not make spritelist");
  }
  StoreAll(file, lists);
  WritePalette(file, paletteId);
}

void MakeThickWalls(Offscreen& colour, int zoom, iResFile& file) {
  const auto pieces = ThickWallPieces(zoom);
  UseWallColourSettings(SharedCompressor(), colour);
  OwnedHandle list = Compress(colour, pieces, kThickWallPaletteId, kSprColourVersion, "could not make spritelist");
  WriteWallSprites(file, std::move(list), ThickWallId(zoom), {});
  WritePalette(file, kThickWallPaletteId);
}

void MakeTileWalls(Offscreen& colour, Offscreen& depth, int zoom, iResFile& file) {
  const auto pieces = ThickWallPieces(zoom);
  OwnedHandle colourList(MakeWallList(colour, pieces, kTileWallPaletteId));
  OwnedHandle depthList(MakeWallDepthList(depth, pieces));
  WriteWallSprites(file, std::move(colourList), TileWallColourId(zoom), {});
  WritePalette(file, kTileWallPaletteId);
  WriteWallSprites(file, std::move(depthList), TileWallDepthId(zoom), {});
}

}  // namespace pixmold
