// Paints the frames of a sheet's sprite lists into a canvas, each frame in
// its cell at the place the layout chose, and lays out a headline's two cuts.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "builder/export/art_plan.h"
#include "builder/export/sheet_canvas.h"

namespace pixmold {

class SpriteSpec;

// The bytes of a list, fetched again from the object file.
using ListBytesSource = std::function<std::optional<std::vector<std::uint8_t>>(const ArtResource&)>;

// The cells a headline tag of that many frames at that position cuts: the
// headline list's (three per frame, rows of 98) and its sprite's (rows of 96,
// inside the border), as the build computes them.
struct HeadlineCuts {
  std::vector<Rect> listCells;
  std::vector<Rect> spriteCells;
};
HeadlineCuts HeadlineCutsAt(int frames, int position);

// Both lists of a headline tag; the canvas should pin, so that a place the
// two cuts disagree on is a conflict. Empty when all went in.
std::string PaintHeadline(const SpriteTagPlan& sprite, const HeadlineCuts& cuts, SheetCanvas& canvas,
                          const ListBytesSource& bytes);

// The frames of a sprite tag's list into the cells of the spec the build
// reads from its tag.
std::string PaintSprite(const SpriteTagPlan& sprite, const SpriteSpec& spec, SheetCanvas& canvas,
                        const ListBytesSource& bytes);

}  // namespace pixmold
