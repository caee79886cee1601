// The part of a sprite tag that decides which frame each view shows: its
// symmetry, columns, frames and whether it belongs to a pair group. A stored
// list keeps none of it; only its frame count (three zooms x sprites per
// zoom x frames) and the frame index and mirroring that draw groups store for
// each view are left, and an export must find a tag that gives those back.
//
// Several tags can give one list; the answers come from the build's own
// sprite spec, so the export and the build cannot disagree on them.
#pragma once

#include <map>
#include <memory>
#include <tuple>
#include <vector>

#include "builder/sprite_spec.h"

namespace pixmold {

struct SpriteShape {
  SpriteSymmetry symmetry = SpriteSymmetry::kNone;
  int columns = 4;
  int frames = 1;
  // In a pair group a radial-flip sprite is never mirrored; the export marks
  // a shape paired only where that is what tells shapes apart.
  bool paired = false;

  int SpritesPerZoom() const;
  int FrameCount() const { return SpritesPerZoom() * 3 * frames; }
  bool HasDiagonals() const { return frames == 2; }
  auto Key() const { return std::make_tuple(static_cast<int>(symmetry), columns, frames, paired); }
  friend bool operator==(const SpriteShape& a, const SpriteShape& b) { return a.Key() == b.Key(); }
};

// Every shape whose tag makes exactly frameCount frames, the plainest first:
// one column per sprite of a zoom, no pair group, a symmetry whose views are
// its own before the ones that borrow another zoom's frames.
std::vector<SpriteShape> ShapesWithFrameCount(int frameCount);

// The markup word of a symmetry ("none", "bi-lateral", ...).
const char* SymmetryWord(SpriteSymmetry symmetry);

struct ShapeView {
  std::int32_t index = 0;
  bool mirrored = false;
  friend bool operator==(const ShapeView&, const ShapeView&) = default;
};

// Answers frame lookups with a sprite spec read from a tag of the shape.
class ShapeOracle {
 public:
  ShapeOracle();
  ~ShapeOracle();
  ShapeOracle(const ShapeOracle&) = delete;
  ShapeOracle& operator=(const ShapeOracle&) = delete;

  // The frame of direction 0..7 at zoom 1..3; an odd direction needs a shape
  // with diagonal views.
  ShapeView FrameFor(const SpriteShape& shape, int direction, int zoom);

 private:
  const SpriteSpec& SpecFor(const SpriteShape& shape);

  std::map<decltype(SpriteShape{}.Key()), std::unique_ptr<SpriteSpec>> fSpecs;
};

}  // namespace pixmold
