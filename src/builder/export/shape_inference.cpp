#include "builder/export/shape_inference.h"

#include <algorithm>
#include <bit>
#include <map>
#include <numeric>
#include <optional>
#include <set>

#include "builder/dgrp_spec.h"
#include "builder/export/draw_group_reading.h"
#include "builder/export/markup_float.h"

namespace pixmold {
namespace {

enum class PairKind { kNone, kBiLateral, kRadial };

struct PairEvidence {
  PairKind kind = PairKind::kNone;
  std::vector<std::int32_t> members;  // bi-lateral: {own, partner}; radial: the ids of directions 0, 2, 4, 6
};

// One item of one draw group, with the sprite its tag names.
struct ItemSlot {
  std::size_t group = 0;
  std::size_t item = 0;
  std::int32_t tagSprite = 0;
  PairEvidence pair;
};

struct GroupWork {
  DrawGroupReading reading;
  std::vector<ItemSlot> slots;
};

std::optional<PairEvidence> ReadPairEvidence(const ItemReading& item, std::int32_t& tagSprite, std::string& problem) {
  PairEvidence evidence;
  const auto& views = item.views;
  tagSprite = views[0].shownId;
  if (std::all_of(views.begin(), views.end(), [&](const ViewedItem& v) { return v.shownId == tagSprite; })) {
    return evidence;
  }
  std::set<std::int32_t> plain, mirrored;
  for (const ViewedItem& view : views) (view.mirrored ? mirrored : plain).insert(view.shownId);
  if (plain.size() == 1 && mirrored.size() == 1 && *plain.begin() != *mirrored.begin()) {
    tagSprite = *plain.begin();
    evidence.kind = PairKind::kBiLateral;
    evidence.members = {tagSprite, *mirrored.begin()};
    return evidence;
  }
  std::vector<std::int32_t> byDirection;
  for (int d = 0; d < 8; d += 2) {
    const std::int32_t id = views[static_cast<std::size_t>(ViewSlot(d, 1))].shownId;
    for (int zoom = 2; zoom <= 3; ++zoom) {
      if (views[static_cast<std::size_t>(ViewSlot(d, zoom))].shownId != id) {
        problem = "an item shows different sprites at different zooms";
        return std::nullopt;
      }
    }
    byDirection.push_back(id);
  }
  if (std::set<std::int32_t>(byDirection.begin(), byDirection.end()).size() == 4 && mirrored.empty()) {
    evidence.kind = PairKind::kRadial;
    evidence.members = byDirection;
    tagSprite = byDirection[0];
    return evidence;
  }
  problem = "an item shows other sprites in some views in a way no pair group does";
  return std::nullopt;
}

bool FitsShapeForPair(const SpriteShape& shape, PairKind kind) {
  if (kind == PairKind::kNone) return !shape.paired;
  if (shape.HasDiagonals()) return false;
  if (kind == PairKind::kBiLateral) return shape.symmetry == SpriteSymmetry::kBiLateral && !shape.paired;
  return shape.symmetry == SpriteSymmetry::kRadial || (shape.symmetry == SpriteSymmetry::kRadialFlip && shape.paired);
}

// The shapes a sprite tag may take: those of its list's frame count, and for
// a headline only the one the headline tag fixes.
std::vector<SpriteShape> CandidateShapes(const SpriteTagPlan& sprite) {
  if (sprite.IsHeadline()) {
    SpriteShape shape{SpriteSymmetry::kNone, 1, static_cast<int>(sprite.headlineList->frames.size() / 3)};
    return {shape};
  }
  return ShapesWithFrameCount(static_cast<int>(sprite.list->frames.size()));
}

class Inference {
 public:
  Inference(ArtPlan& plan, ShapeOracle& oracle) : fPlan(plan), fOracle(oracle) {}

  void Run() {
    for (std::size_t i = 0; i < fPlan.sprites.size(); ++i) {
      if (!fPlan.sprites[i].leftOut) fSpriteIndex[fPlan.sprites[i].id] = i;
    }
    fWork.resize(fPlan.drawGroups.size());
    for (std::size_t g = 0; g < fPlan.drawGroups.size(); ++g) {
      if (!fPlan.drawGroups[g].leftOut) ReadGroup(g);
    }
    ChooseShapes();
    FormPairGroups();
    WriteItems();
  }

 private:
  void LeaveOutGroup(std::size_t g, const std::string& why) {
    DrawGroupTagPlan& group = fPlan.drawGroups[g];
    if (group.leftOut) return;
    group.leftOut = true;
    fPlan.LeaveOut(ArtLabel(group.resource.type, group.resource.id), why);
  }

  // Reads the group with the ordering under which every item fits some
  // shape of its sprite: fixed, else obscured. When neither does, the
  // reason is the fixed reading's, the ordering most draw groups have.
  void ReadGroup(std::size_t g) {
    const DrawGroup& stored = fPlan.drawGroups[g].stored;
    std::string firstProblem;
    for (bool obscured : {false, true}) {
      GroupWork work;
      work.reading = ReadDrawGroupItems(stored, obscured);
      std::string problem = work.reading.problem;
      for (std::size_t k = 0; k < work.reading.items.size() && problem.empty(); ++k) problem = MakeSlot(g, k, work);
      if (problem.empty()) {
        fWork[g] = std::move(work);
        fPlan.drawGroups[g].obscured = obscured;
        return;
      }
      if (firstProblem.empty()) firstProblem = problem;
      if (work.reading.items.size() < 2) break;
    }
    LeaveOutGroup(g, firstProblem);
  }

  std::string MakeSlot(std::size_t g, std::size_t k, GroupWork& work) {
    const ItemReading& item = work.reading.items[k];
    ItemSlot slot;
    slot.group = g;
    slot.item = k;
    std::string problem;
    const std::optional<PairEvidence> pair = ReadPairEvidence(item, slot.tagSprite, problem);
    if (!pair) return problem;
    slot.pair = *pair;
    const std::string itemName = "item " + std::to_string(k);
    for (std::int32_t id : pair->kind == PairKind::kNone ? std::vector<std::int32_t>{slot.tagSprite} : pair->members) {
      auto found = fSpriteIndex.find(id);
      if (found == fSpriteIndex.end()) {
        return itemName + " shows sprite " + std::to_string(id) + ", which no sprite tag of the export writes" +
               (fPlan.FindSprite(id) ? " (its list is left out)" : " (the object has no such sprite list)");
      }
    }
    const SpriteTagPlan& sprite = fPlan.sprites[fSpriteIndex.at(slot.tagSprite)];
    bool fits = false;
    for (const SpriteShape& shape : CandidateShapes(sprite)) {
      if (FitsShapeForPair(shape, pair->kind) && FittingOffsets(shape, item, fOracle) != 0) fits = true;
    }
    if (!fits) {
      return itemName + " shows frames of sprite " + std::to_string(slot.tagSprite) +
             " that no symmetry, columns and direction offset give";
    }
    work.slots.push_back(slot);
    return {};
  }

  const ItemReading& ItemOf(const ItemSlot& slot) const { return fWork[slot.group].reading.items[slot.item]; }

  // One shape per sprite: the one that fits the most of its items, the
  // plainest among equals. Items it does not fit take their draw group out.
  void ChooseShapes() {
    std::map<std::int32_t, std::vector<const ItemSlot*>> uses;
    for (const GroupWork& work : fWork) {
      for (const ItemSlot& slot : work.slots) uses[slot.tagSprite].push_back(&slot);
    }
    for (SpriteTagPlan& sprite : fPlan.sprites) {
      if (sprite.leftOut) continue;
      const std::vector<SpriteShape> shapes = CandidateShapes(sprite);
      if (shapes.empty()) continue;
      const auto& slots = uses[sprite.id];
      std::size_t best = 0;
      std::size_t bestCount = 0;
      for (std::size_t s = 0; s < shapes.size(); ++s) {
        std::size_t count = 0;
        for (const ItemSlot* slot : slots) {
          if (FitsShapeForPair(shapes[s], slot->pair.kind) && FittingOffsets(shapes[s], ItemOf(*slot), fOracle) != 0)
            ++count;
        }
        if (count > bestCount) {
          best = s;
          bestCount = count;
        }
      }
      sprite.shape = shapes[best];
      for (const ItemSlot* slot : slots) {
        if (!FitsShapeForPair(sprite.shape, slot->pair.kind) ||
            FittingOffsets(sprite.shape, ItemOf(*slot), fOracle) == 0)
          LeaveOutGroup(slot->group, "its items need sprite " + std::to_string(sprite.id) +
                                         " to have a shape that other draw groups rule out");
      }
    }
  }

  // Gathers the pair evidence of the draw groups still in into groups of
  // sprites; a group that does not hold together takes out every draw group
  // that gave evidence for it.
  void FormPairGroups() {
    std::map<std::int32_t, std::int32_t> parent;
    auto find = [&](std::int32_t id) {
      while (parent.count(id) && parent[id] != id) id = parent[id];
      return id;
    };
    std::vector<const ItemSlot*> evidence;
    for (std::size_t g = 0; g < fWork.size(); ++g) {
      if (fPlan.drawGroups[g].leftOut) continue;
      for (const ItemSlot& slot : fWork[g].slots) {
        if (slot.pair.kind == PairKind::kNone) continue;
        evidence.push_back(&slot);
        for (std::int32_t id : slot.pair.members) parent.emplace(id, id);
        for (std::int32_t id : slot.pair.members) parent[find(id)] = find(slot.pair.members[0]);
      }
    }
    std::map<std::int32_t, std::vector<const ItemSlot*>> byGroup;
    for (const ItemSlot* slot : evidence) byGroup[find(slot->tagSprite)].push_back(slot);

    int nextPairing = 1;
    for (auto& [root, slots] : byGroup) {
      std::set<std::int32_t> members;
      for (auto& [id, up] : parent) {
        if (find(id) == root) members.insert(id);
      }
      std::string problem = CheckPairGroup(slots, members);
      if (problem.empty() && nextPairing > 255) problem = "more pair groups than a markup file can number";
      if (!problem.empty()) {
        for (const ItemSlot* slot : slots) LeaveOutGroup(slot->group, problem);
        continue;
      }
      const int pairing = nextPairing++;
      for (std::int32_t id : members) fPlan.sprites[fSpriteIndex.at(id)].pairing = pairing;
      if (slots.front()->pair.kind == PairKind::kRadial) fPlan.radialCycles.push_back(slots.front()->pair.members);
    }
  }

  std::string CheckPairGroup(const std::vector<const ItemSlot*>& slots, const std::set<std::int32_t>& members) {
    const PairKind kind = slots.front()->pair.kind;
    const std::vector<std::int32_t>& cycle = slots.front()->pair.members;
    for (const ItemSlot* slot : slots) {
      if (slot->pair.kind != kind) return "its sprites stand in for each other in two ways at once";
      if (kind == PairKind::kRadial && !IsRotation(slot->pair.members, cycle))
        return "its radial pair group turns in two different orders";
    }
    if (members.size() != (kind == PairKind::kBiLateral ? 2u : 4u))
      return "a pair group of " + std::to_string(members.size()) + " sprites, which no symmetry allows";
    // Every member takes the group's symmetry; those no item names keep
    // their own frame count.
    for (std::int32_t id : members) {
      SpriteTagPlan& sprite = fPlan.sprites[fSpriteIndex.at(id)];
      if (sprite.IsHeadline()) return "a headline in a pair group";
      std::optional<SpriteShape> shape = MemberShape(sprite, kind);
      if (!shape) return "sprite " + std::to_string(id) + " has a frame count its pair group's symmetry does not give";
      sprite.shape = *shape;
    }
    return {};
  }

  static bool IsRotation(const std::vector<std::int32_t>& a, const std::vector<std::int32_t>& b) {
    for (std::size_t shift = 0; shift < b.size(); ++shift) {
      bool same = true;
      for (std::size_t i = 0; i < a.size() && same; ++i) same = a[i] == b[(i + shift) % b.size()];
      if (same) return true;
    }
    return false;
  }

  std::optional<SpriteShape> MemberShape(const SpriteTagPlan& sprite, PairKind kind) {
    if (FitsShapeForPair(sprite.shape, kind) &&
        sprite.shape.FrameCount() == static_cast<int>(sprite.list->frames.size()))
      return kind == PairKind::kRadial ? SpriteShape{SpriteSymmetry::kRadial, 1, sprite.shape.frames} : sprite.shape;
    for (const SpriteShape& shape : CandidateShapes(sprite)) {
      if (FitsShapeForPair(shape, kind) && !shape.paired) return shape;
    }
    return std::nullopt;
  }

  void WriteItems() {
    for (std::size_t g = 0; g < fWork.size(); ++g) {
      DrawGroupTagPlan& group = fPlan.drawGroups[g];
      if (group.leftOut) continue;
      for (const ItemSlot& slot : fWork[g].slots) {
        const ItemReading& item = ItemOf(slot);
        const SpriteTagPlan& sprite = fPlan.sprites[fSpriteIndex.at(slot.tagSprite)];
        const std::uint8_t offsets = FittingOffsets(sprite.shape, item, fOracle);
        ItemTagPlan tag;
        tag.spriteId = slot.tagSprite;
        tag.directionOffset = std::countr_zero(offsets);
        tag.luminous = (item.base.flags & DrawGroupItem::kFlagLuminous) != 0;
        const std::string problem = PositionTexts(item.base, tag);
        if (!problem.empty()) {
          LeaveOutGroup(g, "item " + std::to_string(slot.item) + ": " + problem);
          break;
        }
        group.items.push_back(std::move(tag));
      }
    }
  }

  static std::string PositionTexts(const DrawGroupItem& base, ItemTagPlan& tag) {
    if ((base.flags & ~(DrawGroupItem::kFlagMirrored | DrawGroupItem::kFlagLuminous)) != 0)
      return "flags " + std::to_string(base.flags) + " that no item tag sets";
    struct Field {
      float stored;
      MarkupScale scale;
      std::string* text;
      const char* key;
    };
    const Field fields[] = {{base.altitude, &DGRPSpec::StoredAltitude, &tag.alt, "alt"},
                            {base.objectX, &DGRPSpec::StoredCoordinate, &tag.x, "x"},
                            {base.objectY, &DGRPSpec::StoredCoordinate, &tag.y, "y"}};
    for (const Field& field : fields) {
      if (std::bit_cast<std::uint32_t>(field.stored) == 0) continue;
      std::optional<std::string> text = MarkupFloatFor(field.stored, field.scale);
      if (!text) return std::string("no \"") + field.key + "\" value gives the stored position";
      *field.text = *text;
    }
    return {};
  }

  ArtPlan& fPlan;
  ShapeOracle& fOracle;
  std::map<std::int32_t, std::size_t> fSpriteIndex;
  std::vector<GroupWork> fWork;
};

}  // namespace

std::uint8_t FittingOffsets(const SpriteShape& shape, const ItemReading& item, ShapeOracle& oracle) {
  if (item.diagonal != shape.HasDiagonals()) return 0;
  std::uint8_t fits = 0;
  for (int offset = 0; offset < 8; ++offset) {
    if (offset % 2 != 0 && !shape.HasDiagonals()) continue;
    bool ok = true;
    for (int zoom = 1; zoom <= 3 && ok; ++zoom) {
      for (int d = 0; d < 8 && ok; ++d) {
        if (d % 2 != 0 && !item.diagonal) continue;
        const auto& views = d % 2 == 0 ? item.views : item.diagonalViews;
        const ViewedItem& stored = views[static_cast<std::size_t>(ViewSlot(d, zoom))];
        const ShapeView view = oracle.FrameFor(shape, (d + offset) % 8, zoom);
        ok = view.index == stored.frameIndex && view.mirrored == stored.mirrored;
      }
    }
    if (ok) fits = static_cast<std::uint8_t>(fits | (1u << offset));
  }
  return fits;
}

SpriteTagPlan* ArtPlan::FindSprite(std::int32_t id) {
  for (SpriteTagPlan& sprite : sprites) {
    if (sprite.id == id) return &sprite;
  }
  return nullptr;
}

void InferShapesAndItems(ArtPlan& plan, ShapeOracle& oracle) { Inference(plan, oracle).Run(); }

}  // namespace pixmold
