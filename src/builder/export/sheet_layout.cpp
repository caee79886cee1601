#include "builder/export/sheet_layout.h"

#include <algorithm>
#include <climits>

#include "builder/export/sheet_canvas.h"
#include "builder/export/sheet_painting.h"
#include "builder/export/sprite_geometry.h"
#include "builder/sprite_spec.h"

namespace pixmold {
namespace {

constexpr int kComfortableSheetHeight = 8192;
constexpr int kMaxSheetSide = 32767;
constexpr int kNoPaletteSource = INT_MIN;
constexpr int kMaxHeadlineRow = 64;
constexpr int kHeadlinePaletteId = 50;

std::array<PaletteEntry, 256> GreyRamp() {
  std::array<PaletteEntry, 256> grey{};
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<std::uint8_t>(i);
    grey[static_cast<std::size_t>(i)] = {v, v, v, 0};
  }
  return grey;
}

// The PALT whose colours the sprite's sheet shows: the one its list names,
// else the one with the list's own id.
int PaletteSource(const ArtPlan& plan, const SpriteTagPlan& sprite) {
  auto usable = [&](std::int32_t id) {
    auto found = plan.storedPalettes.find(id);
    return found != plan.storedPalettes.end() && found->second.colours.has_value();
  };
  if (sprite.paletteId >= 0 && usable(sprite.paletteId)) return sprite.paletteId;
  if (sprite.IsHeadline() && usable(kHeadlinePaletteId)) return kHeadlinePaletteId;
  if (usable(sprite.id)) return sprite.id;
  return kNoPaletteSource;
}

SheetKind KindOf(const SpriteTagPlan& sprite) {
  if (sprite.IsHeadline()) return SheetKind::kHeadline;
  if (!sprite.list->IsSprite2()) return SheetKind::kColour;
  return sprite.list->alpha ? SheetKind::kDepthAlpha : SheetKind::kDepth;
}

// A sprite on its way to a sheet.
struct Placing {
  std::size_t sprite = 0;
  SpriteGeometry geometry;
  int paletteSource = kNoPaletteSource;
  int rowEstimate = 0;
};

struct Group {
  SheetKind kind = SheetKind::kDepth;
  int paletteSource = kNoPaletteSource;
  std::uint8_t clearColour = 0;
  std::bitset<256> drawnColours;
  bool exact = false;  // a sprite not trimmed on every side: its cells are its own
  std::array<std::optional<int>, 3> xOrigin, yOrigin;
  int height = 0;
  std::vector<Placing> members;
};

bool OriginsAgree(const std::array<std::optional<int>, 3>& a, const std::array<SizeGeometry, 3>& sizes, bool y) {
  for (std::size_t s = 0; s < 3; ++s) {
    const std::optional<int>& b = y ? sizes[s].yOriginInside : sizes[s].xOrigin;
    if (a[s] && b && *a[s] != *b) return false;
  }
  return true;
}

bool Joins(const Group& group, const SpriteTagPlan& sprite, const Placing& placing) {
  if (group.exact || placing.geometry.shrink != SpriteSpec::kShrinkAll || placing.geometry.anchoredSizes) return false;
  if (group.kind != KindOf(sprite) || group.paletteSource != placing.paletteSource) return false;
  if (group.height + placing.rowEstimate > kComfortableSheetHeight) return false;
  if (sprite.list->IsSprite2() && group.clearColour != sprite.list->clearColour) return false;
  if (!sprite.list->IsSprite2() && (group.drawnColours | sprite.list->drawnColours).all()) return false;
  return OriginsAgree(group.xOrigin, placing.geometry.sizes, false) &&
         OriginsAgree(group.yOrigin, placing.geometry.sizes, true);
}

void Join(Group& group, const SpriteTagPlan& sprite, Placing placing) {
  for (std::size_t s = 0; s < 3; ++s) {
    if (!group.xOrigin[s]) group.xOrigin[s] = placing.geometry.sizes[s].xOrigin;
    if (!group.yOrigin[s]) group.yOrigin[s] = placing.geometry.sizes[s].yOriginInside;
  }
  group.height += placing.rowEstimate;
  if (!sprite.list->IsSprite2()) group.drawnColours |= sprite.list->drawnColours;
  group.members.push_back(std::move(placing));
}

int RowEstimate(const SpriteTagPlan& sprite) {
  int tallest = 1;
  for (const FrameFacts& frame : sprite.list->frames) {
    tallest = std::max(tallest, (sprite.list->IsSprite2() ? frame.originY : frame.height) + frame.height);
  }
  return sprite.shape.frames * (tallest + 2 * kExportBorder);
}

std::uint8_t FirstUndrawn(const std::bitset<256>& drawn) {
  for (int i = 0; i < 256; ++i) {
    if (!drawn.test(static_cast<std::size_t>(i))) return static_cast<std::uint8_t>(i);
  }
  return 0;
}

class Layout {
 public:
  Layout(ArtPlan& plan, std::span<const OffsetConstraint> constraints, const std::string& baseName,
         const ListBytesSource& bytes)
      : fPlan(plan), fConstraints(constraints), fStem(SheetStem(baseName)), fBytes(bytes) {}

  std::vector<std::int32_t> Run() {
    std::vector<Group> groups;
    for (std::size_t i = 0; i < fPlan.sprites.size(); ++i) {
      SpriteTagPlan& sprite = fPlan.sprites[i];
      if (sprite.leftOut) continue;
      if (sprite.IsHeadline()) {
        LayOutHeadline(i);
        continue;
      }
      Placing placing{i, FitSpriteGeometry(sprite, fConstraints), PaletteSource(fPlan, sprite), RowEstimate(sprite)};
      if (!placing.geometry.problem.empty()) {
        LeaveOut(sprite, placing.geometry.problem);
        continue;
      }
      auto found =
          std::find_if(groups.begin(), groups.end(), [&](const Group& group) { return Joins(group, sprite, placing); });
      if (found == groups.end()) {
        Group group;
        group.kind = KindOf(sprite);
        group.paletteSource = placing.paletteSource;
        group.clearColour = sprite.list->clearColour;
        group.exact = placing.geometry.shrink != SpriteSpec::kShrinkAll || placing.geometry.anchoredSizes;
        groups.push_back(std::move(group));
        found = groups.end() - 1;
      }
      Join(*found, sprite, std::move(placing));
    }
    for (Group& group : groups) MakeSheet(group);
    return fLeftOut;
  }

 private:
  void LeaveOut(SpriteTagPlan& sprite, const std::string& why) {
    sprite.leftOut = true;
    fPlan.LeaveOut(ArtLabel(sprite.IsHeadline() ? kExportSpriteType : sprite.list->resource.type, sprite.id), why);
    fLeftOut.push_back(sprite.id);
  }

  SheetPlan NewSheet(SheetKind kind, int paletteSource, const std::string& name) {
    SheetPlan sheet;
    sheet.kind = kind;
    sheet.fileName = name + ".tga";
    sheet.depth = kind != SheetKind::kColour;
    sheet.alpha = kind == SheetKind::kDepthAlpha;
    if (paletteSource == kNoPaletteSource) {
      sheet.colours = GreyRamp();
      // The indices come back exactly, but an artist opening the sheet would
      // otherwise take the greys for the object's colours.
      fPlan.Warn(sheet.fileName, "no palette of the object gives its colours; its palette image holds a grey ramp");
    } else {
      sheet.colours = *fPlan.storedPalettes.at(paletteSource).colours;
    }
    return sheet;
  }

  void MakeSheet(Group& group) {
    const SpriteGeometry& lone = group.members.front().geometry;
    if (lone.anchoredSizes) {
      MakeAnchoredSheet(group);
      return;
    }
    RenderSpec sizes;
    sizes.border.fill(kExportBorder);
    for (std::size_t s = 0; s < 3; ++s) {
      sizes.xOrigin[s] = group.xOrigin[s].value_or(0);
      sizes.yOrigin[s] = group.yOrigin[s].value_or(0) + 2 * kExportBorder;
    }
    std::array<int, 3> width{1, 1, 1}, height{1, 1, 1};
    for (Placing& member : group.members) {
      std::array<int, 3> innerWidth{}, innerHeight{};
      PlaceSpriteFrames(fPlan.sprites[member.sprite], member.geometry, sizes, fConstraints, innerWidth, innerHeight);
      for (std::size_t s = 0; s < 3; ++s) {
        width[s] = std::max(width[s], innerWidth[s]);
        height[s] = std::max(height[s], innerHeight[s]);
      }
    }
    for (std::size_t s = 0; s < 3; ++s) {
      sizes.width[s] = width[s] + 2 * kExportBorder;
      sizes.height[s] = height[s] + 2 * kExportBorder;
    }
    // A row is as tall as its large cells; trimmed sprites let the large
    // cells grow so that no smaller cell reaches into the next row.
    const int tallest = *std::max_element(sizes.height.begin(), sizes.height.end());
    if (group.exact && tallest > sizes.height[0]) {
      LeaveOut(fPlan.sprites[group.members.front().sprite], "its medium or small cells are taller than its large ones");
      return;
    }
    sizes.height[0] = tallest;
    FinishSheet(group, sizes, 0);
  }

  // The solved sizes stand; the frames must fit them.
  void MakeAnchoredSheet(Group& group) {
    const Placing& member = group.members.front();
    SpriteTagPlan& sprite = fPlan.sprites[member.sprite];
    const RenderSpec& sizes = *member.geometry.anchoredSizes;
    std::array<int, 3> innerWidth{}, innerHeight{};
    PlaceSpriteFrames(sprite, member.geometry, sizes, fConstraints, innerWidth, innerHeight);
    for (std::size_t s = 0; s < 3; ++s) {
      if (innerWidth[s] > sizes.width[s] - 2 * sizes.border[s] ||
          innerHeight[s] > sizes.height[s] - 2 * sizes.border[s]) {
        LeaveOut(sprite, "no cell layout puts its empty frames where its draw groups do");
        return;
      }
    }
    FinishSheet(group, sizes, member.geometry.anchoredPosition);
  }

  void FinishSheet(Group& group, const RenderSpec& sizes, int firstRow) {
    const SpriteTagPlan& first = fPlan.sprites[group.members.front().sprite];
    SheetPlan sheet = NewSheet(group.kind, group.paletteSource, fStem + "_" + std::to_string(first.id));
    sheet.background = first.list->IsSprite2() ? group.clearColour : FirstUndrawn(group.drawnColours);
    int row = firstRow;
    for (const Placing& member : group.members) {
      SpriteTagPlan& sprite = fPlan.sprites[member.sprite];
      sprite.sizes = sizes;
      sprite.shrink = member.geometry.shrink;
      sprite.rotation = member.geometry.order.rotation;
      sprite.reverse = member.geometry.order.reverse;
      sprite.position = row;
      sprite.sheet = static_cast<int>(fPlan.sheets.size());
      row += sprite.shape.frames;
      const int rowWidth = sprite.shape.columns * (sizes.width[0] + sizes.width[1] + sizes.width[2]);
      sheet.width = std::max(sheet.width, rowWidth);
      sheet.sprites.push_back(member.sprite);
    }
    sheet.height = row * sizes.height[0];
    if (sheet.width > kMaxSheetSide || sheet.height > kMaxSheetSide ||
        std::int64_t{sheet.width} * sheet.height > kMaxExportPixels) {
      for (const Placing& member : group.members) {
        LeaveOut(fPlan.sprites[member.sprite], "its cells do not fit on one sheet");
      }
      return;
    }
    fPlan.sheets.push_back(std::move(sheet));
  }

  // --- headlines ----------------------------------------------------------

  std::string CheckHeadlineFrames(const SpriteTagPlan& sprite, const HeadlineCuts& cuts) {
    const ListFacts& list = *sprite.headlineList;
    for (std::size_t i = 0; i < list.frames.size(); ++i) {
      const FrameFacts& f = list.frames[i];
      const Rect& cell = cuts.listCells[i];
      if (f.width != cell.Width() || f.height > cell.Height() || (f.height > 0 && !f.drawnTop))
        return "its frames are not cut as a headline's";
    }
    if (sprite.list == nullptr) return {};
    for (std::size_t i = 0; i < sprite.list->frames.size(); ++i) {
      const FrameFacts& f = sprite.list->frames[i];
      const Rect& cell = cuts.spriteCells[i];
      const bool empty = f.width == 0 && f.height == 0;
      if (!empty && (f.originX != 0 || f.width != cell.Width() || f.originY + f.height != cell.Height() || !f.drawnTop))
        return "its SPR2 list is not cut as a headline's sprite";
    }
    return {};
  }

  void LayOutHeadline(std::size_t index) {
    SpriteTagPlan& sprite = fPlan.sprites[index];
    const int frames = sprite.shape.frames;
    const bool depth = sprite.headlineList->depthFrames;
    if (sprite.list != nullptr && !depth) {
      LeaveOut(sprite, "a headline list without depth cannot stand beside an SPR2 list of its id");
      return;
    }
    std::bitset<256> drawn = sprite.headlineList->drawnColours;
    const std::uint8_t background = sprite.list ? sprite.list->clearColour : FirstUndrawn(drawn);
    if (drawn.test(background)) {
      LeaveOut(sprite, "its list draws with the clear colour of its SPR2 list");
      return;
    }
    std::string problem;
    for (int position = 0; position <= kMaxHeadlineRow; ++position) {
      const HeadlineCuts cuts = HeadlineCutsAt(frames, position);
      if (cuts.listCells.size() != sprite.headlineList->frames.size()) {
        problem = "its frames do not fit the headline layout";
        break;
      }
      if (problem = CheckHeadlineFrames(sprite, cuts); !problem.empty()) break;
      const int width = std::max(cuts.listCells.back().right, cuts.spriteCells.back().right);
      const int height = (position + frames) * 98;
      SheetCanvas canvas(width, height, background, sprite.list && sprite.list->alpha, true);
      problem = PaintHeadline(sprite, cuts, canvas, fBytes);
      if (problem.empty()) {
        SheetPlan sheet = NewSheet(SheetKind::kHeadline, PaletteSource(fPlan, sprite),
                                   fStem + "_headline_" + std::to_string(sprite.id));
        sheet.depth = depth;
        sheet.alpha = sprite.list && sprite.list->alpha;
        sheet.width = width;
        sheet.height = height;
        sheet.background = background;
        sheet.sprites.push_back(index);
        sprite.position = position;
        sprite.sheet = static_cast<int>(fPlan.sheets.size());
        fPlan.sheets.push_back(std::move(sheet));
        return;
      }
    }
    LeaveOut(sprite, problem);
  }

  ArtPlan& fPlan;
  std::span<const OffsetConstraint> fConstraints;
  std::string fStem;
  const ListBytesSource& fBytes;
  std::vector<std::int32_t> fLeftOut;
};

}  // namespace

std::string SheetStem(std::string_view baseName) {
  std::string stem;
  for (char c : baseName.substr(0, 200)) {
    const bool plain =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
    stem.push_back(plain ? c : '_');
  }
  if (stem.empty() || stem.find_first_not_of('.') == std::string::npos) stem = "object" + stem;
  return stem;
}

Rect PlannedTrim(const SpriteTagPlan& sprite, int frame, const Rect& cell) {
  if (sprite.list == nullptr || frame < 0 || static_cast<std::size_t>(frame) >= sprite.list->frames.size()) return cell;
  const FrameFacts& f = sprite.list->frames[static_cast<std::size_t>(frame)];
  if (f.width == 0 && f.height == 0) return Rect{};
  if (sprite.IsHeadline()) {
    return Rect::Make(cell.left + f.originX, cell.top + f.originY, cell.left + f.originX + f.width,
                      cell.top + f.originY + f.height);
  }
  const FramePlace& place = sprite.places[static_cast<std::size_t>(frame)];
  return Rect::Make(cell.left + place.x, cell.top + place.y, cell.left + place.x + f.width,
                    cell.top + place.y + f.height);
}

std::vector<std::int32_t> LayOutSheets(ArtPlan& plan, std::span<const OffsetConstraint> constraints,
                                       const std::string& baseName, const ListBytesSource& bytes) {
  return Layout(plan, constraints, baseName, bytes).Run();
}

}  // namespace pixmold
