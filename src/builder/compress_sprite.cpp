#include "builder/compress_sprite.h"

#include <string>
#include <vector>

#include "base/report.h"
#include "base/xassert.h"
#include "builder/build_args.h"
#include "builder/sprite_spec.h"
#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "imaging/palette_resource.h"
#include "imaging/pixel_view.h"
#include "imaging/sprite2_compressor.h"
#include "imaging/sprite2_list_builder.h"
#include "imaging/sprite_lists.h"
#include "resfile/handle_owner.h"
#include "resfile/res_file.h"

namespace pixmold {
namespace {

struct Cells {
  std::vector<Rect> rects;
  std::vector<CellRecord> records;
};

Cells CellsOf(const SpriteSpec& spec) {
  const std::int32_t spritesPerZoom = spec.SpritesPerZoom();
  XASSERT(spritesPerZoom == 1 || spritesPerZoom == 2 || spritesPerZoom == 4, "bad number of sprites per zoom");
  Cells cells;
  const std::int32_t count = spec.SpriteCount();
  cells.rects.resize(static_cast<std::size_t>(count));
  cells.records.resize(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    CellOrigin origin;
    const auto at = static_cast<std::size_t>(i);
    spec.CellRect(i, cells.rects[at], origin, cells.records[at]);
  }
  return cells;
}

// A sheet that changed kind (32-bit to 24-bit, or to "bmpfile") would leave
// the list of the other type under the same id, and whatever draws the
// object would go on showing that one. A headline is the exception: its
// SPR# list under the same id is the SPR# list pass's, made on purpose.
void RemoveListOfOtherType(iResFile& file, ResType type, const SpriteSpec& spec) {
  const ResType other = type == kSprType ? kSpr2Type : kSprType;
  if (other == kSprType && spec.IsHeadline()) return;
  const auto id = static_cast<ResID>(spec.Id());
  MHandle old = file.GetResource(other, id, nullptr);
  if (old == nullptr) return;
  const std::string list = ResTypeName(other) + " " + std::to_string(id);
  if (file.RemoveResource(old) != 0) {
    file.ReleaseAndDispose(old);
    Warning("sprite " + std::to_string(id) + " is now an " + ResTypeName(type) + " list, but the " + list +
            " left by an earlier build could not be removed; remove it with pixmold rm");
    return;
  }
  Warning("sprite " + std::to_string(id) + " is now an " + ResTypeName(type) + " list: removed the " + list +
          " left by an earlier build");
}

void AddSpriteList(iResFile& file, OwnedHandle list, ResType type, const SpriteSpec& spec) {
  RemoveListOfOtherType(file, type, spec);
  MHandle added = list.Release();
  file.AddResource(added, type, static_cast<ResID>(spec.Id()), CTGString(spec.Name()), false);
  file.UpdateFile();
  file.ReleaseAndDispose(added);
  NoteWritten(type, spec.Id());
}

void WritePalette(iResFile& file, std::int32_t paletteId) {
  MHandle palette = NewPaletteResourceHandle(GetGlobalPalette());
  if (palette == nullptr) FatalError("could not add palette to destfile");
  file.AddResource(palette, kPaletteResourceType, static_cast<ResID>(paletteId), CTGString(), false);
  if (file.GetError() != 0) {
    // Refused, so still ours.
    DisposeHandle(palette);
    FatalError("could not add palette to destfile");
  }
  file.WriteResource(palette);
  if (file.GetError() != 0) FatalError("could not write palette to destfile");
  file.UpdateFile();
  if (file.GetError() != 0) FatalError("could not update dest file");
  file.ReleaseAndDispose(palette);
  NoteWritten(kPaletteResourceType, paletteId);
}

// The frames follow the offset table in order; each frame's palette id
// field carries the list's, so a frame read on its own knows its colours.
template <typename Encode>
void WriteSprite2List(iResFile& file, const Offscreen& depth, SpriteSpec& spec, Encode&& encode) {
  const Cells cells = CellsOf(spec);
  std::vector<Rect> trimmed;
  TrimCells(depth, cells.rects, trimmed, spec.ShrinkSides(), true);

  const std::size_t count = cells.rects.size();
  Sprite2ListBuilder list(static_cast<int>(count), static_cast<ResID>(spec.PaletteId()));
  if (!list.Ok()) FatalError("could not allocate memory!");
  for (std::size_t i = 0; i < count; ++i) {
    const CellRecord& record = cells.records[i];
    ReportLine("Compressing row:" + std::to_string(record.row) + " size:" + std::string(record.sizeName) +
               " column:" + std::to_string(record.column) + " into sprite #" + std::to_string(i));
    OwnedHandle frame = encode(cells.rects[i], trimmed[i]);
    if (!frame || list.Append(static_cast<int>(i), frame.Get()) != 0) FatalError("could not allocate memory!");
  }
  AddSpriteList(file, list.Finish(), kSpr2Type, spec);
  spec.SetTrimmedRects(cells.rects, trimmed);
}

void FinishSpec(iResFile& file, const SpriteSpec& spec) {
  if (spec.PaletteId() >= 0) WritePalette(file, spec.PaletteId());
}

}  // namespace

void NoteWritten(ResType type, std::int32_t id) {
  if (BuildArgs* args = CurrentBuildArgs()) args->fWritten.emplace_back(type, static_cast<ResID>(id));
}

void CompressSprite(iResFile& file, Offscreen& colour, Offscreen& depth, SpriteSpec& spec) {
  if (depth.Width() == 0 || depth.Height() == 0) {
    const Cells cells = CellsOf(spec);
    std::vector<Rect> trimmed;
    OwnedHandle list(MakeSpriteList(&colour, nullptr, cells.rects, trimmed, spec.ShrinkSides(),
                                    static_cast<ResID>(spec.PaletteId()), true));
    AddSpriteList(file, std::move(list), kSprType, spec);
    spec.SetTrimmedRects(cells.rects, trimmed);
  } else {
    Sprite2Compressor compressor;
    const PixelView colourView = ViewOf(colour);
    const PixelView depthView = ViewOf(depth);
    WriteSprite2List(file, depth, spec, [&](const Rect& cell, const Rect& rect) {
      return compressor.EncodeZP(colourView, depthView, cell, rect);
    });
  }
  FinishSpec(file, spec);
}

void CompressAlphaSprite(iResFile& file, Offscreen& colour, Offscreen& depth, Offscreen& alpha, SpriteSpec& spec) {
  const int z_width = depth.Width();
  const int z_height = depth.Height();
  XASSERT(z_width != 0 && z_height != 0, "only supports alpha sprites with z at this time");
  Sprite2Compressor compressor;
  const PixelView colourView = ViewOf(colour);
  const PixelView depthView = ViewOf(depth);
  const PixelView alphaView = ViewOf(alpha);
  WriteSprite2List(file, depth, spec, [&](const Rect& cell, const Rect& rect) {
    return compressor.EncodeZPA(colourView, depthView, alphaView, cell, rect, kAlphaBits);
  });
  FinishSpec(file, spec);
}

}  // namespace pixmold
