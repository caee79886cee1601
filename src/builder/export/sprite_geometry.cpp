#include "builder/export/sprite_geometry.h"

#include <algorithm>
#include <map>

#include "builder/sprite_spec.h"

namespace pixmold {
namespace {

constexpr int kMaxAnchoredBorder = 8;
constexpr int kMaxAnchoredPosition = 16;

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
std::optional<int> ChooseShrink(const SpriteTagPlan& sprite, const CellOrder& order,
                                std::array<SizeGeometry, 3>& sizes) {
  const ListFacts& list = *sprite.list;
  const bool sprite2 = list.IsSprite2();
  const bool anyEmpty = std::any_of(list.frames.begin(), list.frames.end(), IsEmpty);
  bool all = true, top = true, none = !anyEmpty;
  std::array<std::optional<int>, 3> width, bottom, height;
  for (std::size_t i = 0; i < list.frames.size(); ++i) {
    const FrameFacts& f = list.frames[i];
    if (IsEmpty(f)) continue;
    const std::size_t s = CellOfFrame(sprite.shape, order, static_cast<int>(i)).size;
    all = all && f.drawn && f.drawnTop && f.drawnBottom && f.drawnLeft && f.drawnRight;
    const int reach = sprite2 ? f.originY + f.height : f.height;
    if (!width[s]) width[s] = f.width;
    if (!bottom[s]) bottom[s] = reach;
    if (!height[s]) height[s] = f.height;
    const bool atCorner = !sprite2 || (f.originX == 0 && f.originY == 0);
    top = top && f.drawnTop && (!sprite2 || f.originX == 0) && *width[s] == f.width && *bottom[s] == reach;
    none = none && atCorner && *width[s] == f.width && *height[s] == f.height;
  }
  if (all) return SpriteSpec::kShrinkAll;
  for (std::size_t s = 0; s < 3; ++s) {
    int tallest = 0;
    for (std::size_t i = 0; i < list.frames.size(); ++i) {
      if (CellOfFrame(sprite.shape, order, static_cast<int>(i)).size == s)
        tallest = std::max(tallest, sprite2 ? list.frames[i].originY + list.frames[i].height : list.frames[i].height);
    }
    sizes[s].innerWidth = width[s].value_or(1);
    sizes[s].innerHeight = std::max(tallest, 1);
  }
  if (top) return SpriteSpec::kShrinkTop;
  if (none) return 0;
  return std::nullopt;
}

// An empty frame's offset, which its cell's place on the sheet decides.
struct Anchor {
  std::size_t size = 0;
  int column = 0;
  int row = 0;  // within the sprite
  int x = 0;
  int y = 0;
};

// Solves the border, the row, the cell sizes and the free origins of an
// anchored sprite; the fixed origins and least inner sizes are given.
class AnchorSolver {
 public:
  // cornerFree: the sheet's top-left pixel, which the build takes as the
  // background, is clear even where a cell starts at it.
  AnchorSolver(const SpriteGeometry& geometry, const std::vector<Anchor>& anchors, int columns, bool cornerFree)
      : fGeometry(geometry),
        fAnchors(anchors),
        fColumns(columns),
        fCornerFree(cornerFree),
        fExact(geometry.shrink != SpriteSpec::kShrinkAll) {}

  std::optional<RenderSpec> Solve(int& position) const {
    for (int border : {1, 0, 2, 3, 4, 5, 6, 7, kMaxAnchoredBorder}) {
      for (position = 0; position <= kMaxAnchoredPosition; ++position) {
        if (auto sizes = Try(border, position)) return sizes;
      }
    }
    return std::nullopt;
  }

 private:
  std::optional<RenderSpec> Try(int border, int position) const {
    if (border == 0 && position == 0 && !fCornerFree) return std::nullopt;
    RenderSpec sizes;
    sizes.border.fill(border);
    std::array<std::optional<int>, 3> x, y;
    for (std::size_t s = 0; s < 3; ++s) {
      x[s] = fGeometry.sizes[s].xOrigin;
      if (fGeometry.sizes[s].yOriginInside) y[s] = *fGeometry.sizes[s].yOriginInside + 2 * border;
      sizes.width[s] = fGeometry.sizes[s].innerWidth + 2 * border;
      sizes.height[s] = fGeometry.sizes[s].innerHeight + 2 * border;
    }
    const int least = *std::max_element(sizes.height.begin(), sizes.height.end());
    // Rows: an empty frame's y is border - y origin - row x row height.
    std::vector<Line> rows;
    for (const Anchor& anchor : fAnchors) {
      rows.push_back({anchor.size, position + anchor.row, border - anchor.y});
    }
    int rowHeight = fExact ? sizes.height[0] : kFree;
    if (!SolveLines(rows, y, rowHeight, fExact ? sizes.height[0] : least)) return std::nullopt;
    sizes.height[0] = rowHeight == kFree ? least : rowHeight;
    // Columns: an empty frame's x is -x origin - (column x width + the
    // wider sizes' cells + border).
    for (std::size_t s = 0; s < 3; ++s) {
      const int before = s == 0 ? 0 : fColumns * (sizes.width[0] + (s == 2 ? sizes.width[1] : 0));
      std::vector<Line> columns;
      for (const Anchor& anchor : fAnchors) {
        if (anchor.size == s) columns.push_back({s, anchor.column, -anchor.x - border - before});
      }
      int width = fExact ? sizes.width[s] : kFree;
      if (!SolveLines(columns, x, width, sizes.width[s])) return std::nullopt;
      if (width != kFree) sizes.width[s] = width;
    }
    for (std::size_t s = 0; s < 3; ++s) {
      sizes.xOrigin[s] = x[s].value_or(0);
      sizes.yOrigin[s] = y[s].value_or(0);
    }
    return sizes;
  }

  // One equation value = origin[size] + step x unit, as the empty frames
  // give them: the unit is a row height or a cell width (at least `least`),
  // the origins those of the sizes.
  struct Line {
    std::size_t size = 0;
    int step = 0;
    int value = 0;
  };

  static constexpr int kFree = 0;  // a unit not yet known; every unit is at least 1

  // Finds the unit and the free origins so that every line holds; false
  // when none do. A fixed unit or origin stays as it is.
  static bool SolveLines(const std::vector<Line>& lines, std::array<std::optional<int>, 3>& origins, int& unit,
                         int least) {
    auto take = [&](int candidate) {
      if (candidate < least || (unit != kFree && unit != candidate)) return false;
      unit = candidate;
      return true;
    };
    for (const Line& a : lines) {
      if (origins[a.size] && a.step != 0) {
        const int span = a.value - *origins[a.size];
        if (span % a.step != 0 || !take(span / a.step)) return false;
      }
      for (const Line& b : lines) {
        if (b.size != a.size || b.step == a.step || origins[a.size]) continue;
        const int span = a.value - b.value;
        if (span % (a.step - b.step) != 0 || !take(span / (a.step - b.step))) return false;
      }
    }
    const int chosen = unit == kFree ? least : unit;
    for (const Line& line : lines) {
      const int origin = line.value - line.step * chosen;
      if (!origins[line.size]) origins[line.size] = origin;
      if (*origins[line.size] != origin) return false;
    }
    if (unit == kFree && !lines.empty()) unit = chosen;
    return true;
  }

  const SpriteGeometry& fGeometry;
  const std::vector<Anchor>& fAnchors;
  int fColumns;
  bool fCornerFree;
  bool fExact;  // cells not trimmed on every side keep their sizes
};

}  // namespace

FrameCell CellOfFrame(const SpriteShape& shape, const CellOrder& order, int frame) {
  const int perZoom = shape.SpritesPerZoom();
  const int perFrame = perZoom * 3;
  int j = frame % perFrame;
  if (order.reverse) j = perFrame - 1 - j;
  return {static_cast<std::size_t>(j / perZoom), (j % perZoom + order.rotation / 2) % shape.columns, frame / perFrame};
}

namespace {

SpriteGeometry FitWithOrder(const SpriteTagPlan& sprite, std::span<const OffsetConstraint> constraints,
                            const CellOrder& order) {
  SpriteGeometry geometry;
  geometry.order = order;
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
  const std::optional<int> shrink = ChooseShrink(sprite, order, geometry.sizes);
  if (!shrink) {
    geometry.problem = "frames not trimmed to what they draw, in a way no \"shrink\" value gives";
    return geometry;
  }
  geometry.shrink = *shrink;

  const bool sprite2 = list.IsSprite2();
  std::array<std::vector<int>, 3> xs, ys;
  std::vector<Anchor> anchors;
  for (const auto& [frame, constraint] : FirstConstraints(sprite, constraints)) {
    if (frame < 0 || static_cast<std::size_t>(frame) >= list.frames.size()) continue;
    const FrameFacts& f = list.frames[static_cast<std::size_t>(frame)];
    const FrameCell cell = CellOfFrame(sprite.shape, order, frame);
    const std::size_t s = cell.size;
    const int x = PlainX(*constraint, f);
    const int y = constraint->y;
    if (IsEmpty(f)) {
      anchors.push_back({s, cell.column, cell.row, x, y});
      continue;
    }
    int placeX = 0, placeY = 0;
    if (sprite2) {
      placeX = f.originX;
      placeY = f.originY;
    } else if (geometry.shrink == SpriteSpec::kShrinkTop) {
      placeY = geometry.sizes[s].innerHeight - f.height;
    }
    if (sprite2 || geometry.shrink != SpriteSpec::kShrinkAll) {
      xs[s].push_back(placeX - x);
      ys[s].push_back(placeY + f.height - y);
    } else {
      // The leftmost and highest frames touch the cell's edge.
      xs[s].push_back(-x);
      ys[s].push_back(f.height - y);
    }
  }
  for (std::size_t s = 0; s < 3; ++s) {
    if (xs[s].empty()) continue;
    const bool widest = !sprite2 && geometry.shrink == SpriteSpec::kShrinkAll;
    geometry.sizes[s].xOrigin = widest ? *std::max_element(xs[s].begin(), xs[s].end()) : MostCommon(xs[s]);
    geometry.sizes[s].yOriginInside = widest ? *std::max_element(ys[s].begin(), ys[s].end()) : MostCommon(ys[s]);
  }
  if (!anchors.empty()) {
    geometry.anchored = true;
    if (geometry.shrink == 0) {
      geometry.problem = "an empty frame in a sprite whose cells are not trimmed";
      return geometry;
    }
    // The least inner sizes the frames need, before the origins move them.
    for (std::size_t i = 0; i < list.frames.size() && geometry.shrink == SpriteSpec::kShrinkAll; ++i) {
      const FrameFacts& f = list.frames[i];
      const std::size_t s = CellOfFrame(sprite.shape, order, static_cast<int>(i)).size;
      geometry.sizes[s].innerWidth = std::max({geometry.sizes[s].innerWidth, 1, f.originX + f.width});
      geometry.sizes[s].innerHeight = std::max({geometry.sizes[s].innerHeight, 1, f.originY + f.height});
    }
    const FrameFacts& first = list.frames.front();
    const bool cornerFree = IsEmpty(first) || (sprite2 && (first.originX > 0 || first.originY > 0));
    geometry.anchoredSizes =
        AnchorSolver(geometry, anchors, sprite.shape.columns, cornerFree).Solve(geometry.anchoredPosition);
    if (!geometry.anchoredSizes) geometry.problem = "no cell layout puts its empty frames where its draw groups do";
  }
  return geometry;
}

}  // namespace

// A sprite whose draw groups show none of its empty frames lays out as it
// likes; an anchored one may need the columns turned or the order reversed
// to put its empty cells back where they were.
SpriteGeometry FitSpriteGeometry(const SpriteTagPlan& sprite, std::span<const OffsetConstraint> constraints) {
  SpriteGeometry geometry = FitWithOrder(sprite, constraints, {});
  if (!geometry.anchored || geometry.anchoredSizes) return geometry;
  for (bool reverse : {false, true}) {
    for (int rotation = 0; rotation <= 6; rotation += 2) {
      if (rotation == 0 && !reverse) continue;
      if (rotation != 0 && sprite.shape.columns == 1) continue;
      SpriteGeometry turned = FitWithOrder(sprite, constraints, {rotation, reverse});
      if (turned.anchoredSizes) return turned;
    }
  }
  return geometry;
}

void PlaceSpriteFrames(SpriteTagPlan& sprite, const SpriteGeometry& geometry, const RenderSpec& sizes,
                       std::span<const OffsetConstraint> constraints, std::array<int, 3>& innerWidth,
                       std::array<int, 3>& innerHeight) {
  const ListFacts& list = *sprite.list;
  const auto first = FirstConstraints(sprite, constraints);
  sprite.places.assign(list.frames.size(), FramePlace{});
  innerWidth.fill(1);
  innerHeight.fill(1);
  for (std::size_t i = 0; i < list.frames.size(); ++i) {
    const FrameFacts& f = list.frames[i];
    const std::size_t s = CellOfFrame(sprite.shape, geometry.order, static_cast<int>(i)).size;
    FramePlace& place = sprite.places[i];
    if (IsEmpty(f)) continue;
    if (list.IsSprite2()) {
      place = {f.originX, f.originY};
    } else if (geometry.shrink == SpriteSpec::kShrinkTop) {
      place = {0, geometry.sizes[s].innerHeight - f.height};
    } else if (geometry.shrink == SpriteSpec::kShrinkAll) {
      const int xOrigin = sizes.xOrigin[s];
      const int yOrigin = sizes.yOrigin[s] - 2 * sizes.border[s];
      auto found = first.find(static_cast<int>(i));
      if (found != first.end()) {
        place = {xOrigin + PlainX(*found->second, f), yOrigin + found->second->y - f.height};
      } else {
        place = {xOrigin - f.width / 2, yOrigin - f.height};
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
