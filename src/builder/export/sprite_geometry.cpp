#include "builder/export/sprite_geometry.h"

#include <algorithm>
#include <map>

#include "builder/sprite_spec.h"

namespace pixmold {
namespace {

bool IsEmpty(const FrameFacts& frame) { return frame.width == 0 && frame.height == 0; }

// The first constraint on each frame of the sprite.
std::map<int, const OffsetConstraint*> FirstConstraints(const SpriteTagPlan& sprite,
                                                        std::span<const OffsetConstraint> constraints) {
  std::map<int, const OffsetConstraint*> first;
  for (const OffsetConstraint& constraint : constraints) {
    if (constraint.spriteId == sprite.id) first.emplace(constraint.frame, &constraint);
  }
  return first;
}

// The offset as if the frame were not mirrored.
int PlainX(const OffsetConstraint& constraint, const FrameFacts& frame) {
  return constraint.mirrored ? -constraint.x - frame.width - 1 : constraint.x;
}

int MostCommon(const std::vector<int>& values) {
  std::map<int, int> counts;
  for (int value : values) ++counts[value];
  int best = values.front();
  for (const auto& [value, count] : counts) {
    if (count > counts[best]) best = value;
  }
  return best;
}

// Which trim gives the frames back: every side, the top only, or none.
std::optional<int> ChooseShrink(const SpriteTagPlan& sprite, std::array<SizeGeometry, 3>& sizes) {
  const ListFacts& list = *sprite.list;
  const bool sprite2 = list.IsSprite2();
  const bool anyEmpty = std::any_of(list.frames.begin(), list.frames.end(), IsEmpty);
  bool all = true, top = true, none = !anyEmpty;
  std::array<std::optional<int>, 3> width, bottom, height;
  for (std::size_t i = 0; i < list.frames.size(); ++i) {
    const FrameFacts& f = list.frames[i];
    if (IsEmpty(f)) continue;
    const auto s = static_cast<std::size_t>(SizeOfFrame(sprite.shape, static_cast<int>(i)));
    all = all && f.drawn && f.drawnTop && f.drawnBottom && f.drawnLeft && f.drawnRight;
    const int reach = sprite2 ? f.originY + f.height : f.height;
    if (!width[s]) width[s] = f.width;
    if (!bottom[s]) bottom[s] = reach;
    if (!height[s]) height[s] = f.height;
    const bool atCorner = !sprite2 || (f.originX == 0 && f.originY == 0);
    top = top && f.drawnTop && (!sprite2 || f.originX == 0) && *width[s] == f.width &&
          (sprite2 ? *bottom[s] == reach : true);
    none = none && atCorner && *width[s] == f.width && *height[s] == f.height;
  }
  if (all) return SpriteSpec::kShrinkAll;
  for (std::size_t s = 0; s < 3; ++s) {
    int tallest = 0;
    for (std::size_t i = 0; i < list.frames.size(); ++i) {
      if (static_cast<std::size_t>(SizeOfFrame(sprite.shape, static_cast<int>(i))) == s)
        tallest = std::max(tallest, sprite2 ? list.frames[i].originY + list.frames[i].height : list.frames[i].height);
    }
    sizes[s].innerWidth = width[s].value_or(1);
    sizes[s].innerHeight = std::max(tallest, 1);
  }
  if (top) return SpriteSpec::kShrinkTop;
  if (none) return 0;
  return std::nullopt;
}

}  // namespace

int SizeOfFrame(const SpriteShape& shape, int frame) {
  const int perZoom = shape.SpritesPerZoom();
  return (frame % (perZoom * 3)) / perZoom;
}

SpriteGeometry FitSpriteGeometry(const SpriteTagPlan& sprite, std::span<const OffsetConstraint> constraints) {
  SpriteGeometry geometry;
  const ListFacts& list = *sprite.list;
  for (const FrameFacts& f : list.frames) {
    if (f.originX < 0 || f.originY < 0) {
      geometry.problem = "a frame lies left of or above its cell";
      return geometry;
    }
    if ((f.width == 0) != (f.height == 0)) {
      geometry.problem = "a frame with no width or no height, which a trim never leaves";
      return geometry;
    }
  }
  const std::optional<int> shrink = ChooseShrink(sprite, geometry.sizes);
  if (!shrink) {
    geometry.problem = "frames not trimmed to what they draw, in a way no \"shrink\" value gives";
    return geometry;
  }
  geometry.shrink = *shrink;

  const bool sprite2 = list.IsSprite2();
  std::array<std::vector<int>, 3> xs, ys;
  for (const auto& [frame, constraint] : FirstConstraints(sprite, constraints)) {
    if (frame < 0 || static_cast<std::size_t>(frame) >= list.frames.size()) continue;
    const FrameFacts& f = list.frames[static_cast<std::size_t>(frame)];
    if (IsEmpty(f)) continue;
    const auto s = static_cast<std::size_t>(SizeOfFrame(sprite.shape, frame));
    const int x = PlainX(*constraint, f);
    const int y = constraint->y;
    int placeX = 0, placeY = 0;
    if (sprite2) {
      placeX = f.originX;
      placeY = f.originY;
    } else if (geometry.shrink == SpriteSpec::kShrinkTop) {
      placeY = geometry.sizes[s].innerHeight - f.height;
    }
    if (sprite2 || geometry.shrink != SpriteSpec::kShrinkAll) {
      xs[s].push_back(placeX - x);
      ys[s].push_back(placeY + f.height + 2 * kExportBorder - y);
    } else {
      // The leftmost and highest frames touch the cell's edge.
      xs[s].push_back(-x);
      ys[s].push_back(f.height - y + 2 * kExportBorder);
    }
  }
  for (std::size_t s = 0; s < 3; ++s) {
    if (xs[s].empty()) continue;
    const bool widest = !sprite2 && geometry.shrink == SpriteSpec::kShrinkAll;
    geometry.sizes[s].xOrigin = widest ? *std::max_element(xs[s].begin(), xs[s].end()) : MostCommon(xs[s]);
    geometry.sizes[s].yOrigin = widest ? *std::max_element(ys[s].begin(), ys[s].end()) : MostCommon(ys[s]);
  }
  return geometry;
}

void PlaceSpriteFrames(SpriteTagPlan& sprite, const SpriteGeometry& geometry, const RenderSpec& origins,
                       std::span<const OffsetConstraint> constraints, std::array<int, 3>& innerWidth,
                       std::array<int, 3>& innerHeight) {
  const ListFacts& list = *sprite.list;
  const auto first = FirstConstraints(sprite, constraints);
  sprite.places.assign(list.frames.size(), FramePlace{});
  innerWidth.fill(1);
  innerHeight.fill(1);
  for (std::size_t i = 0; i < list.frames.size(); ++i) {
    const FrameFacts& f = list.frames[i];
    const auto s = static_cast<std::size_t>(SizeOfFrame(sprite.shape, static_cast<int>(i)));
    FramePlace& place = sprite.places[i];
    if (IsEmpty(f)) continue;
    if (list.IsSprite2()) {
      place = {f.originX, f.originY};
    } else if (geometry.shrink == SpriteSpec::kShrinkTop) {
      place = {0, geometry.sizes[s].innerHeight - f.height};
    } else if (geometry.shrink == SpriteSpec::kShrinkAll) {
      const int xOrigin = origins.xOrigin[s];
      const int yOrigin = origins.yOrigin[s];
      auto found = first.find(static_cast<int>(i));
      if (found != first.end()) {
        place = {xOrigin + PlainX(*found->second, f), yOrigin - 2 * kExportBorder + found->second->y - f.height};
      } else {
        place = {xOrigin - f.width / 2, yOrigin - 2 * kExportBorder - f.height};
      }
      place.x = std::max(place.x, 0);
      place.y = std::max(place.y, 0);
    }
    innerWidth[s] = std::max(innerWidth[s], place.x + f.width);
    innerHeight[s] = std::max(innerHeight[s], place.y + f.height);
  }
  if (geometry.shrink != SpriteSpec::kShrinkAll) {
    for (std::size_t s = 0; s < 3; ++s) {
      innerWidth[s] = geometry.sizes[s].innerWidth;
      innerHeight[s] = geometry.sizes[s].innerHeight;
    }
  }
}

}  // namespace pixmold
