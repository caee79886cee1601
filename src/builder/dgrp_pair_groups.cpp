// Pair groups: sprites that share a "pairing" number are one object drawn as
// separate sprites per direction (a bi-lateral pair, or four radial views).
// A draw group names only one member; here every view of it is rewritten to
// the member that shows that direction.
#include <array>

#include "base/report.h"
#include "builder/dgrp_spec.h"

namespace pixmold {
namespace {

constexpr int kMaxPairGroups = 256;

std::vector<const SpriteSpec*> MembersOf(const SpecList<SpriteSpec>& sprites, std::int32_t pairing) {
  std::vector<const SpriteSpec*> members;
  for (const SpriteSpec* sprite : sprites) {
    if (sprite->Pairing() == pairing) members.push_back(sprite);
  }
  return members;
}

}  // namespace

void DGRPSpec::ApplyPairGroups(const SpecList<SpriteSpec>& sprites, const SpecList<DGRPSpec>& drawGroups) {
  std::array<bool, kMaxPairGroups> seen{};
  for (const SpriteSpec* sprite : sprites) {
    const std::int32_t pairing = sprite->Pairing();
    if (pairing == 0) continue;
    if (pairing < 0 || pairing >= kMaxPairGroups) FatalError("code error, too many pair groups");
    if (seen[static_cast<std::size_t>(pairing)]) continue;
    seen[static_cast<std::size_t>(pairing)] = true;

    const std::vector<const SpriteSpec*> members = MembersOf(sprites, pairing);
    if (members.size() < 2) FatalError("could not find more than one sprite for a pair group");

    for (DGRPSpec* group : drawGroups) {
      const SpriteUse* used = nullptr;
      for (const SpriteSpec* member : members) {
        const SpriteUse* use = group->FindUse(member);
        if (use == nullptr) continue;
        if (used != nullptr) FatalError("draw group uses two sprites from same pair group");
        used = use;
      }
      if (used == nullptr) continue;
      const SpriteUse chosen = *used;
      for (const SpriteSpec* member : members) {
        if (member != chosen.sprite) group->fSpriteUses.push_back({chosen.directionOffset, member});
      }
      group->ResolvePairGroup(members);
    }
  }
}

void DGRPSpec::ResolvePairGroup(const std::vector<const SpriteSpec*>& members) {
  const SpriteSymmetry symmetry = members.front()->Symmetry();
  const std::size_t count = members.size();
  switch (symmetry) {
    case SpriteSymmetry::kBiLateral:
      if (count != 2) FatalError("two sprites expected for bi-laterally symmetric pair group");
      break;
    case SpriteSymmetry::kRadial:
    case SpriteSymmetry::kRadialFlip:
      if (count != 4) FatalError("four sprites expected for radially symmetric pair group");
      break;
    case SpriteSymmetry::kNone: FatalError("illegal symmetry on a paired sprite");
  }
  for (const SpriteSpec* member : members) {
    if (member->HasDiagonals()) FatalError("pairing found for diagonal sprites");
    if (member->Symmetry() != symmetry) FatalError("different symmetries for paired sprites");
    if (FindUse(member) == nullptr) FatalError("no embedded sprite");
  }

  for (int zoom = 1; zoom <= 3; ++zoom) {
    for (int d = 0; d < 8; d += 2) {
      DrawGroupImage* image = fDrawGroup.FindImage(d, static_cast<std::uint32_t>(zoom));
      if (image == nullptr) FatalError("dir and zoom should be present by now");
      for (auto& item : image->items) {
        if (symmetry == SpriteSymmetry::kBiLateral) {
          if ((item.flags & DrawGroupItem::kFlagMirrored) == 0) continue;
          if (item.spriteId == members[0]->Id()) {
            item.spriteId = members[1]->Id();
          } else if (item.spriteId == members[1]->Id()) {
            item.spriteId = members[0]->Id();
          }
          continue;
        }
        for (std::size_t i = 0; i < count; ++i) {
          if (item.spriteId == members[i]->Id()) {
            item.spriteId = members[(i + static_cast<std::size_t>(d / 2)) % count]->Id();
            break;
          }
        }
      }
    }
  }
}

}  // namespace pixmold
