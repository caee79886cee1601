// The architecture passes of a build request: each loads its sheet, hands
// it to its generator and turns the generator's WallError into the fatal
// error that ends the build, with the file's error code.
//
// A sheet is a TGA (its alpha the depth) with the 8-bit palette BMP of the
// same base name beside it; the BMP fixes the palette and supplies the
// colours, so what the artist painted by hand is what is stored.
#include <algorithm>
#include <initializer_list>
#include <span>
#include <string>

#include "architecture/architecture_ids.h"
#include "architecture/floors.h"
#include "architecture/resource_store.h"
#include "architecture/wall_error.h"
#include "architecture/wall_pieces.h"
#include "architecture/walls.h"
#include "base/report.h"
#include "base/terminate.h"
#include "builder/output_passes.h"
#include "filelib/file_system.h"
#include "imaging/image_problems.h"
#include "imaging/offscreen.h"
#include "imaging/sprite_sheet.h"

namespace pixmold {
namespace {

struct Sheet {
  std::string path;
  Offscreen colour;
  Offscreen depth;
  Offscreen* Depth() { return depth.Exists() ? &depth : nullptr; }
};

// Where a generator's pieces reach in its sheet: the sheets are laid out by
// fixed numbers, so this is known before a pixel is read.
struct Layout {
  const char* name;
  int right = 0;
  int bottom = 0;
  void Cover(std::span<const Rect> pieces) {
    for (const Rect& piece : pieces) {
      right = std::max(right, static_cast<int>(piece.right));
      bottom = std::max(bottom, static_cast<int>(piece.bottom));
    }
  }
};

Layout WallLayout() {
  Layout layout{"wall"};
  for (int scale = kMinScale; scale <= kMaxScale; ++scale) layout.Cover(WallImageRects(scale));
  return layout;
}

// --walls and --thick-walls may share one sheet.
Layout WallsAndThickWallsLayout(const BuildArgs& args) {
  Layout layout = args.fWallNumber >= 1 ? WallLayout() : Layout{"thick wall"};
  if (args.fThickWallZoom >= kMinScale && args.fThickWallZoom <= kMaxScale) {
    layout.Cover(ThickWallPieces(args.fThickWallZoom));
  }
  return layout;
}

Layout StyleLayout(const char* name) {
  Layout layout{name};
  for (int scale = kMinScale; scale <= kMaxScale; ++scale) {
    for (bool transition : {false, true}) layout.Cover(StylePieces(scale, transition));
  }
  return layout;
}

Layout FloorLayout(const char* name) {
  Layout layout{name};
  for (int scale = kMinScale; scale <= kMaxScale; ++scale) {
    const Rect cell = FloorCell(scale);
    layout.Cover(std::span(&cell, 1));
  }
  return layout;
}

std::string PaletteImageOf(std::string_view tgaPath) {
  std::string path(tgaPath);
  const std::size_t dot = path.find_last_of('.');
  const std::size_t slash = path.find_last_of('/');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) path.resize(dot);
  return path + ".bmp";
}

bool IsFile(const std::string& path) { return PosixFileSystem().Kind(path) == EntryKind::kFile; }

// The palette image is required: without it the TGA's colours would be
// mapped to whatever palette the previous pass left behind.
void LoadSheet(std::string_view tgaPath, Sheet& sheet) {
  if (tgaPath.empty()) FatalError("cant make walls without tga");
  const std::string tga(tgaPath);
  sheet.path = tga;
  if (!IsFile(tga)) InputFatal("cant make walls without tga : " + tga, {tga, UnreadableFileReason(tga)});
  const std::string bmpPath = PaletteImageOf(tga);
  if (!IsFile(bmpPath)) {
    InputFatal(FileErrorText("couldn't open BMP file", bmpPath, 1),
               {bmpPath, UnreadableFileReason(bmpPath) + "; a sheet needs its 8-bit palette image (its name with "
                                                         ".bmp) beside it"});
  }
  MakeOffscreens(bmpPath, tga, sheet.colour, sheet.depth);
}

// A style tag's image may come without a palette image: a mask needs only
// its shape, taken from the TGA with the palette in force.
void LoadStyleImage(const std::string& tgaPath, Sheet& sheet) {
  sheet.path = tgaPath;
  if (!IsFile(tgaPath))
    InputFatal("cant make walls without tga : " + tgaPath, {tgaPath, UnreadableFileReason(tgaPath)});
  const std::string bmpPath = PaletteImageOf(tgaPath);
  MakeOffscreens(IsFile(bmpPath) ? bmpPath : std::string(), tgaPath, sheet.colour, sheet.depth);
}

template <typename Generate>
void Run(BuildArgs& args, Generate&& generate) {
  ScopedStoreLog log(args.fWritten);
  try {
    generate();
  } catch (const WallError& error) {
    FatalError(error.Message() + " : error #" + std::to_string(error.Code()));
  }
}

// A sheet that does not reach the pieces stops the generator with the
// compressor's own words ("this is suspicious"), which say nothing of the
// file; they are followed by the sheet, its size and the size it needs.
template <typename Generate>
void RunOnSheets(BuildArgs& args, std::initializer_list<const Sheet*> sheets, const Layout& layout,
                 Generate&& generate) {
  try {
    Run(args, generate);
  } catch (Terminate& fatal) {
    for (const Sheet* sheet : sheets) {
      const int width = sheet->colour.Width();
      const int height = sheet->colour.Height();
      if (fatal.Problem() || !sheet->colour.Exists() || (width >= layout.right && height >= layout.bottom)) continue;
      fatal.SetProblem({sheet->path, "the sheet is " + SizeText(width, height) + " but the " + layout.name +
                                         " pieces reach to " + SizeText(layout.right, layout.bottom) +
                                         "; lay it out as README's sheet layouts show "
                                         "(tools/make_architecture_sheets.py draws an example)"});
    }
    throw;
  }
}

}  // namespace

void GenerateWallStyle(BuildArgs& args, iResFile& file, const WallStyleSpriteSpec& spec) {
  const std::string directory(args.fTgaDirectory.View());
  Sheet normal;
  LoadStyleImage(directory + spec.FileName(), normal);
  Sheet cutaway;
  if (!spec.CutawayFileName().empty()) {
    // A cutaway image that cannot be loaded leaves the style without one.
    try {
      LoadStyleImage(directory + spec.CutawayFileName(), cutaway);
    } catch (const Terminate&) {
      cutaway.colour.Dispose();
    }
  }
  RunOnSheets(args, {&normal, &cutaway}, StyleLayout("wall style"), [&] {
    MakeWallStyleSpec(normal.colour, cutaway.colour.Exists() ? &cutaway.colour : nullptr, file, spec.Id(), spec.Name());
  });
}

void MakeWalls(BuildArgs& args, iResFile& file) {
  Sheet sheet;
  LoadSheet(args.fWallImageSheet.View(), sheet);
  RunOnSheets(args, {&sheet}, WallsAndThickWallsLayout(args), [&] {
    if (args.fWallNumber >= 1) MakeWalls(sheet.colour, sheet.Depth(), args.fWallNumber, args.fWallVariant != 0, file);
    if (args.fThickWallZoom != 0) {
      // A 32-bit sheet carries depth, which only the tile-wall form stores.
      if (sheet.Depth() != nullptr) {
        MakeTileWalls(sheet.colour, sheet.depth, args.fThickWallZoom, file);
      } else {
        MakeThickWalls(sheet.colour, args.fThickWallZoom, file);
      }
    }
  });
  // The cutaway sheet holds the same wall seen cut away, which the game
  // keeps as the wall's variant.
  if (args.fWallNumber >= 1 && !args.fCutawayImageSheet.Empty()) {
    Sheet cutaway;
    LoadSheet(args.fCutawayImageSheet.View(), cutaway);
    RunOnSheets(args, {&cutaway}, WallLayout(),
                [&] { MakeWalls(cutaway.colour, cutaway.Depth(), args.fWallNumber, true, file); });
  }
}

void MakeRequestedWallStyle(BuildArgs& args, iResFile& file) {
  Sheet sheet;
  LoadSheet(args.fWallImageSheet.View(), sheet);
  RunOnSheets(args, {&sheet}, StyleLayout("wall style"),
              [&] { MakeWallStyle(sheet.colour, args.fWallStyleNumber, args.fWallVariant != 0, file); });
}

void MakeWallPattern(BuildArgs& args, iResFile& file) {
  Sheet sheet;
  LoadSheet(args.fWallImageSheet.View(), sheet);
  RunOnSheets(args, {&sheet}, StyleLayout("wall pattern"),
              [&] { MakeWallPattern(sheet.colour, args.fWallPatternNumber, file); });
}

void MakeFloors(BuildArgs& args, iResFile& file) {
  Sheet sheet;
  LoadSheet(args.fFloorImageSheet.View(), sheet);
  RunOnSheets(args, {&sheet}, FloorLayout("floor"),
              [&] { MakeFloors(sheet.colour, file, args.fFloorNumber, args.fFloorShadow != 0, args.fFloorPool != 0); });
}

void MakeWater(BuildArgs& args, iResFile& file) {
  Sheet sheet;
  LoadSheet(args.fFloorImageSheet.View(), sheet);
  RunOnSheets(args, {&sheet}, FloorLayout("water"),
              [&] { MakeWater(sheet.colour, sheet.Depth(), file, args.fWaterNumber); });
}

// The palettes are shared by many sprites, so an artist who retouches a
// sheet's palette refreshes them without cutting the pieces again: the
// first pass takes the wall sheet's palette for the thick walls of both
// forms, the second the floor sheet's for the --floors tile.
void MakePaletteImages(BuildArgs& args, iResFile& file, int which) {
  Sheet sheet;
  if (which == 0) {
    LoadSheet(args.fWallImageSheet.View(), sheet);
    Run(args, [&] {
      WritePalette(file, kThickWallPaletteId);
      WritePalette(file, kTileWallPaletteId);
    });
    return;
  }
  LoadSheet(args.fFloorImageSheet.View(), sheet);
  if (args.fFloorShadow != 0) return;
  Run(args, [&] { WritePalette(file, FloorPaletteId(args.fFloorNumber, false, args.fFloorPool != 0)); });
}

}  // namespace pixmold
