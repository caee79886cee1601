#include "builder/export/sheet_painting.h"

#include "builder/export/markup_replay.h"
#include "builder/headline_sprites.h"
#include "builder/sprite_spec.h"
#include "imaging/spr_decoder.h"
#include "imaging/sprite2_decoder.h"

namespace pixmold {

HeadlineCuts HeadlineCutsAt(int frames, int position) {
  MarkupReplay replay("<headline id=0 tgafile=h.tga frames=" + std::to_string(frames) +
                      " position=" + std::to_string(position) + ">");
  HeadlineCuts cuts;
  if (!replay.Fatal().empty() || replay.Context().headlines.Empty()) return cuts;
  cuts.listCells = HeadlineCells(*replay.Context().headlines.First());
  const SpriteSpec& sprite = *replay.Context().sprites.First();
  for (std::int32_t i = 0; i < sprite.SpriteCount(); ++i) {
    Rect cell;
    CellOrigin origin;
    CellRecord record;
    sprite.CellRect(i, cell, origin, record);
    cuts.spriteCells.push_back(cell);
  }
  return cuts;
}

std::string PaintHeadline(const SpriteTagPlan& sprite, const HeadlineCuts& cuts, SheetCanvas& canvas,
                          const ListBytesSource& bytes) {
  const ListFacts& list = *sprite.headlineList;
  const auto listBytes = bytes(list.resource);
  SprListView view;
  if (!listBytes || !ParseSprList(*listBytes, list.order, view).Ok()) return "the list cannot be read again";
  const std::size_t colourFrames = list.frames.size();
  if (cuts.listCells.size() != colourFrames || view.frames.size() < colourFrames) return "the layout does not fit";
  for (std::size_t i = 0; i < colourFrames; ++i) {
    const Rect& cell = cuts.listCells[i];
    // The headline list is trimmed at the top only: each frame ends on its
    // cell's bottom.
    const int y = cell.bottom - list.frames[i].height;
    std::string problem = canvas.PaintSprColour(view.frames[i], list.order, cell.left, y, cell);
    if (problem.empty() && list.depthFrames)
      problem = canvas.PaintSprDepth(view.frames[colourFrames + i], list.order, cell.left, y);
    if (!problem.empty()) return problem;
  }
  if (sprite.list != nullptr) {
    const auto twinBytes = bytes(sprite.list->resource);
    Sprite2ListView twin;
    if (!twinBytes || !ParseSprite2List(*twinBytes, twin).Ok()) return "its SPR2 list cannot be read again";
    if (twin.frames.size() != cuts.spriteCells.size()) return "its SPR2 list does not fit the layout";
    for (std::size_t i = 0; i < twin.frames.size(); ++i) {
      const Rect& cell = cuts.spriteCells[i];
      const FrameFacts& f = sprite.list->frames[i];
      if (f.width == 0 && f.height == 0) continue;
      std::string problem = canvas.PaintSprite2(twin.frames[i], cell.left + f.originX, cell.top + f.originY, cell);
      if (!problem.empty()) return problem;
    }
  }
  return canvas.Conflict();
}

std::string PaintSprite(const SpriteTagPlan& sprite, const SpriteSpec& spec, SheetCanvas& canvas,
                        const ListBytesSource& bytes) {
  const ListFacts& list = *sprite.list;
  const auto listBytes = bytes(list.resource);
  if (!listBytes) return "the list cannot be read again";
  std::vector<std::span<const std::uint8_t>> frames;
  if (list.IsSprite2()) {
    Sprite2ListView view;
    if (!ParseSprite2List(*listBytes, view).Ok()) return "the list cannot be read again";
    frames = std::move(view.frames);
  } else {
    SprListView view;
    if (!ParseSprList(*listBytes, list.order, view).Ok()) return "the list cannot be read again";
    frames = std::move(view.frames);
  }
  if (frames.size() != list.frames.size() || static_cast<std::size_t>(spec.SpriteCount()) != frames.size())
    return "the list changed since it was read";
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const FrameFacts& f = list.frames[i];
    if (f.width == 0 && f.height == 0) continue;
    Rect cell;
    CellOrigin origin;
    CellRecord record;
    spec.CellRect(static_cast<std::int32_t>(i), cell, origin, record);
    const FramePlace& place = sprite.places[i];
    const int x = cell.left + place.x;
    const int y = cell.top + place.y;
    std::string problem = list.IsSprite2() ? canvas.PaintSprite2(frames[i], x, y, cell)
                                           : canvas.PaintSprColour(frames[i], list.order, x, y, cell);
    if (!problem.empty())
      return ArtLabel(list.resource.type, list.resource.id) + " frame " + std::to_string(i) + ": " + problem;
  }
  return canvas.Conflict();
}

}  // namespace pixmold
