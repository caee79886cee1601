#include "builder/dgrp_spec.h"

#include <cmath>
#include <string>

#include "base/report.h"
#include "base/xassert.h"
#include "builder/attrib_readers.h"

namespace pixmold {
namespace {

// Object-space positions are scaled in single precision, with the constants
// rounded to single as the game expects them.
constexpr float kOneThird = 1.0f / 3.0f;
const float kTwoRootSix = static_cast<float>(2.0 * std::sqrt(6.0));
constexpr float kSixteenThirds = kOneThird * 16.0f;

constexpr int kDirections = 8;
constexpr int kFirstZoom = 1;
constexpr int kLastZoom = 3;

int WrapDirection(std::int64_t direction) {
  return static_cast<int>(((direction % kDirections) + kDirections) % kDirections);
}

}  // namespace

void DGRPSpec::Read(AttribTable& tag, const SpecList<SpriteSpec>& sprites) {
  ReadCommon(tag);
  fSprites = &sprites;
  std::string ordering;
  if (!ReadString(tag, "ordering", ordering) || ordering == "fixed") {
    fOrdering = Ordering::kFixed;
  } else if (ordering == "obscured") {
    fOrdering = Ordering::kObscured;
  } else {
    KeyFatal(tag, "ordering", "unknown ordering");
  }
}

const SpriteSpec* DGRPSpec::FindSprite(std::int32_t id) const {
  if (fSprites == nullptr) return nullptr;
  for (const SpriteSpec* sprite : *fSprites) {
    if (sprite->Id() == id) return sprite;
  }
  return nullptr;
}

const SpriteUse* DGRPSpec::FindUse(const SpriteSpec* sprite) const {
  for (const auto& use : fSpriteUses) {
    if (use.sprite == sprite) return &use;
  }
  return nullptr;
}

void DGRPSpec::ReadItem(AttribTable& tag) {
  XASSERT(TagName(tag) == "item", "bad tag");
  const AttribEntry* typeEntry = tag.EntryAt(1);
  const std::string_view type = typeEntry ? std::string_view(typeEntry->fName) : std::string_view();
  if (type == "object") {
    TagWarning(tag, "draw group item tag specifying depracated \"object\" type");
    return;
  }
  if (type == "slot") {
    TagWarning(tag, "draw group item tag specifying depracated \"slot\" type");
    return;
  }
  if (type != "sprite") TagFatal(tag, "unknown item type");

  DrawGroupItem base;
  float alt = 0.0f;
  float x = 0.0f;
  float y = 0.0f;
  ReadFloat(tag, "alt", alt);
  ReadFloat(tag, "x", x);
  ReadFloat(tag, "y", y);
  base.altitude = alt * kOneThird * kTwoRootSix;
  base.objectX = x * kSixteenThirds;
  base.objectY = y * kSixteenThirds;
  // Stored the way the sprite's own id is, so the two still match.
  if (!ReadResourceId(tag, "id", base.spriteId)) TagFatal(tag, "id required");
  std::int32_t directionOffset = 0;
  ReadInteger(tag, "direction offset", directionOffset);
  std::int16_t luminous = 0;
  if (ReadBoolean(tag, "luminous", luminous) && luminous) base.flags |= DrawGroupItem::kFlagLuminous;

  const SpriteSpec* sprite = FindSprite(base.spriteId);
  fSpriteUses.push_back({directionOffset, sprite});

  for (int zoom = kFirstZoom; zoom <= kLastZoom; ++zoom) {
    for (int d = 0; d < kDirections; ++d) {
      if (d % 2 != 0 && !(sprite && sprite->HasDiagonals())) continue;
      if (sprite == nullptr) TagFatal(tag, "sprite not found for some dgrp item");
      DrawGroupItem item = base;
      bool mirrored = false;
      sprite->FrameFor(WrapDirection(std::int64_t{d} + directionOffset), zoom, 0, item.frameIndex, mirrored);
      if (mirrored) item.flags |= DrawGroupItem::kFlagMirrored;
      PlaceItem(tag, item, d, zoom);
    }
  }
}

void DGRPSpec::PlaceItem(const AttribTable& tag, const DrawGroupItem& item, int direction, int zoom) {
  const auto z = static_cast<std::uint32_t>(zoom);
  DrawGroupImage* image = fDrawGroup.FindImage(direction, z);
  if (image == nullptr) {
    image = &fDrawGroup.AddImage();
    image->directionMask |= 1u << direction;
    image->zoom = z;
  }

  bool replaced = false;
  for (auto& existing : image->items) {
    if (existing.spriteId == item.spriteId) {
      TagWarning(tag, "overwriting a draw group item");
      existing = item;
      replaced = true;
      break;
    }
  }
  if (!replaced) {
    const bool inFront =
        fOrdering == Ordering::kObscured && (direction == 2 || direction == 4) && image->ItemCount() > 0;
    image->InsertItem(item, inFront ? 0 : -1);
  }

  const DrawGroupImage* found = fDrawGroup.FindImage(direction, z);
  if (found == nullptr) FatalError("list did not show up");
  if (found->items.empty()) FatalError("new item did not show up");
}

void DGRPSpec::SetOffsets(const SpriteSpec& sprite) {
  const SpriteUse* use = FindUse(&sprite);
  // A draw group that never shows the sprite has nothing to update, and may
  // lack the diagonal views the sprite would ask for.
  if (use == nullptr) return;
  for (int zoom = kFirstZoom; zoom <= kLastZoom; ++zoom) {
    for (int d = 0; d < kDirections; ++d) {
      if (d % 2 != 0 && !sprite.HasDiagonals()) continue;
      const ScreenPoint offset = sprite.ScreenOffset(WrapDirection(std::int64_t{d} + use->directionOffset), zoom, 0);
      DrawGroupImage* image = fDrawGroup.FindImage(d, static_cast<std::uint32_t>(zoom));
      if (image == nullptr) FatalError("dir and zoom should be present by now");
      for (auto& item : image->items) {
        if (item.spriteId == sprite.Id()) {
          item.offsetX = offset.x;
          item.offsetY = offset.y;
        }
      }
    }
  }
}

ResErr DGRPSpec::Save(iResFile& file) {
  fDrawGroup.name = std::string(Name());
  return fDrawGroup.Save(file, static_cast<ResID>(Id()));
}

}  // namespace pixmold
