// A "drawgroup" tag and the "item" tags after it become one draw group: every
// item is placed in every view (direction and zoom) with the frame of its
// sprite that shows that view, mirrored where the sprite's symmetry says so.
// Screen offsets are filled in later, once the sprite pass has trimmed the
// frames. Sprites of a pair group stand for one another in different
// directions; after all tags are read the draw groups that use one member are
// rewritten to show the right member in each view.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "builder/generic_spec.h"
#include "builder/spec_list.h"
#include "builder/sprite_spec.h"
#include "records/draw_group.h"
#include "resfile/res_types.h"

namespace pixmold {

class iResFile;

// An item's sprite in one draw group, with the direction offset it is seen at.
struct SpriteUse {
  std::int32_t directionOffset = 0;
  const SpriteSpec* sprite = nullptr;
};

class DGRPSpec : public GenericSpec {
 public:
  enum class Ordering { kFixed = 0, kObscured = 1 };

  // Base attributes and "ordering"; item ids are looked up in sprites.
  void Read(AttribTable& tag, const SpecList<SpriteSpec>& sprites);
  // One "item" tag, placed in every view.
  void ReadItem(AttribTable& tag);

  // Copies each frame's screen offset into the items that use the sprite.
  void SetOffsets(const SpriteSpec& sprite);

  // Names the draw group after the spec and writes it as DGRP under its id.
  ResErr Save(iResFile& file);

  // An item's "alt", "x" and "y" as the draw group stores them.
  static float StoredAltitude(float alt);
  static float StoredCoordinate(float coordinate);

  // Resolves every pair group of the sprites against every draw group.
  static void ApplyPairGroups(const SpecList<SpriteSpec>& sprites, const SpecList<DGRPSpec>& drawGroups);
  // The tab-separated list of draw groups and the sprites of their first view.
  static void Report(std::ostream& out, const SpecList<DGRPSpec>& drawGroups);

  Ordering GetOrdering() const { return fOrdering; }
  const std::vector<SpriteUse>& SpriteUses() const { return fSpriteUses; }
  const DrawGroup& Group() const { return fDrawGroup; }
  // The first use of the sprite in this draw group, or null.
  const SpriteUse* FindUse(const SpriteSpec* sprite) const;

 private:
  void PlaceItem(const AttribTable& tag, const DrawGroupItem& item, int direction, int zoom);
  void ResolvePairGroup(const std::vector<const SpriteSpec*>& members);
  const SpriteSpec* FindSprite(std::int32_t id) const;

  Ordering fOrdering = Ordering::kFixed;
  const SpecList<SpriteSpec>* fSprites = nullptr;
  std::vector<SpriteUse> fSpriteUses;
  DrawGroup fDrawGroup;
};

}  // namespace pixmold
