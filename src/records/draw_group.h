// A draw group (DGRP) tells the game how to draw an object: for every view
// direction and zoom level, an ordered list of sprite items, each naming a
// sprite resource, one of its frames, a screen offset, a position in object
// space and flags. One image may serve several directions (its direction
// mask), but the build gives every (direction, zoom) pair its own image.
//
// Stored records come in two layouts: 20003 and later (32-bit fields, the
// layout this system writes, as 20004) and an older 16-bit layout that is
// only ever read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "resfile/res_types.h"

namespace pixmold {

class iResFile;
class ReconStream;

struct DrawGroupItem {
  static constexpr std::uint32_t kFlagMirrored = 1;
  static constexpr std::uint32_t kFlagLuminous = 4;

  std::int32_t spriteId = 0;
  std::int32_t frameIndex = 0;
  std::int32_t offsetX = 0;
  std::int32_t offsetY = 0;
  float altitude = 0.0f;
  float objectX = 0.0f;
  float objectY = 0.0f;
  std::uint32_t flags = 0;

  friend bool operator==(const DrawGroupItem&, const DrawGroupItem&) = default;
};

class DrawGroupImage {
 public:
  std::vector<DrawGroupItem> items;  // drawing order: first drawn first
  std::uint32_t directionMask = 0;   // bit d serves view direction d
  std::uint32_t zoom = 0;            // 1..3; an old record may sign-extend a stray byte

  bool ServesDirection(int direction) const {
    return direction >= 0 && direction < 32 && (directionMask & (1u << direction)) != 0;
  }

  // The item at index, or null with the report "bad item requested".
  DrawGroupItem* Item(int index);
  int ItemCount() const { return static_cast<int>(items.size()); }

  // A negative position appends; 0..count-1 inserts before that item; a
  // position at or past the count reports "no such position" and inserts
  // nothing (so inserting at 0 into an empty image is refused).
  void InsertItem(const DrawGroupItem& item, int position);
};

class DrawGroup {
 public:
  static constexpr std::uint16_t kVersion = 20004;
  static constexpr std::uint16_t kFirstNewLayout = 20003;
  static constexpr std::uint16_t kFirstObjectPosition = 20004;
  static constexpr std::uint16_t kFirstOldAltitude = 20001;
  static constexpr std::int16_t kOldSpriteItemType = -3;

  std::vector<DrawGroupImage> images;  // creation order
  std::string name;

  // The first image serving the direction at the zoom, or null.
  DrawGroupImage* FindImage(int direction, std::uint32_t zoom);
  const DrawGroupImage* FindImage(int direction, std::uint32_t zoom) const;

  // Appends an empty image; the caller sets its direction bit and zoom.
  DrawGroupImage& AddImage();

  // True when some item names the sprite, comparing ids as 16-bit values.
  bool UsesSprite(std::int32_t spriteId) const;

  // Reads DGRP `id` of the file (and its name); 0 or the file's error.
  ResErr Load(iResFile& file, ResID id);
  // Writes the draw group as DGRP `id` under its name; 0 or the file's error.
  ResErr Save(iResFile& file, ResID id);

  // Reads, writes or measures the stored record, whose first word is its
  // version; it always writes version 20004. Reading a damaged record keeps
  // what was intact.
  void Reconstitute(ReconStream& stream);

 private:
  void ReconstituteOldLayout(ReconStream& stream, std::uint16_t version);
};

}  // namespace pixmold
