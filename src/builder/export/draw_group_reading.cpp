#include "builder/export/draw_group_reading.h"

#include <bit>
#include <cstring>

namespace pixmold {
namespace {

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool SameBase(const DrawGroupItem& a, const DrawGroupItem& b) {
  return SameBits(a.altitude, b.altitude) && SameBits(a.objectX, b.objectX) && SameBits(a.objectY, b.objectY) &&
         (a.flags & ~DrawGroupItem::kFlagMirrored) == (b.flags & ~DrawGroupItem::kFlagMirrored);
}

ViewedItem Viewed(const DrawGroupItem& item) {
  return {item.spriteId, item.frameIndex, (item.flags & DrawGroupItem::kFlagMirrored) != 0};
}

struct Views {
  std::array<const DrawGroupImage*, 2 * kViewSlots> images{};  // [diagonal * 12 + slot]
  std::string problem;

  const DrawGroupImage*& At(int direction, int zoom) {
    return images[static_cast<std::size_t>((direction % 2) * kViewSlots + ViewSlot(direction, zoom))];
  }
};

// Every image serves one direction at one zoom, as the build makes them.
Views IndexViews(const DrawGroup& group) {
  Views views;
  for (const DrawGroupImage& image : group.images) {
    if (std::popcount(image.directionMask) != 1 || image.directionMask > 0x80u) {
      views.problem = "an image serves directions a drawgroup tag never gives one image";
      return views;
    }
    if (image.zoom < 1 || image.zoom > 3) {
      views.problem = "an image at zoom " + std::to_string(image.zoom);
      return views;
    }
    const int direction = std::countr_zero(image.directionMask);
    const DrawGroupImage*& slot = views.At(direction, static_cast<int>(image.zoom));
    if (slot != nullptr) {
      views.problem = "two images for one direction and zoom";
      return views;
    }
    slot = &image;
  }
  return views;
}

}  // namespace

DrawGroupReading ReadDrawGroupItems(const DrawGroup& group, bool obscured) {
  DrawGroupReading reading;
  reading.obscured = obscured;
  if (group.images.empty()) return reading;
  Views views = IndexViews(group);
  if (!views.problem.empty()) {
    reading.problem = views.problem;
    return reading;
  }
  bool anyDiagonal = false;
  bool allDiagonal = true;
  for (int zoom = 1; zoom <= 3; ++zoom) {
    for (int d = 0; d < 8; ++d) {
      const bool present = views.At(d, zoom) != nullptr;
      if (d % 2 == 0 && !present) {
        reading.problem = "no image for direction " + std::to_string(d) + " at zoom " + std::to_string(zoom);
        return reading;
      }
      if (d % 2 != 0) {
        anyDiagonal = anyDiagonal || present;
        allDiagonal = allDiagonal && present;
      }
    }
  }
  if (anyDiagonal && !allDiagonal) {
    reading.problem = "diagonal images for some zooms or directions only";
    return reading;
  }

  const int count = views.At(0, 1)->ItemCount();
  for (int zoom = 1; zoom <= 3; ++zoom) {
    for (int d = 0; d < 8; d += 2) {
      if (views.At(d, zoom)->ItemCount() != count) {
        reading.problem = "views with different numbers of items";
        return reading;
      }
    }
  }
  reading.items.resize(static_cast<std::size_t>(count));
  for (int k = 0; k < count; ++k) {
    ItemReading& item = reading.items[static_cast<std::size_t>(k)];
    item.base = views.At(0, 1)->items[static_cast<std::size_t>(k)];
    item.base.flags &= ~DrawGroupItem::kFlagMirrored;
    item.base.spriteId = 0;
    item.base.frameIndex = 0;
    item.base.offsetX = item.base.offsetY = 0;
    for (int zoom = 1; zoom <= 3; ++zoom) {
      for (int d = 0; d < 8; d += 2) {
        const bool reversed = obscured && (d == 2 || d == 4);
        const DrawGroupItem& stored = views.At(d, zoom)->items[static_cast<std::size_t>(reversed ? count - 1 - k : k)];
        if (!SameBase(stored, item.base)) {
          reading.problem = "item " + std::to_string(k) + " differs between views in more than its frame";
          return reading;
        }
        item.views[static_cast<std::size_t>(ViewSlot(d, zoom))] = Viewed(stored);
      }
    }
  }
  if (!anyDiagonal) return reading;

  // The diagonal views hold the items of diagonal sprites in tag order, and
  // a diagonal sprite is never in a pair group, so its id names it.
  const DrawGroupImage& first = *views.At(1, 1);
  std::size_t next = 0;
  for (int j = 0; j < first.ItemCount(); ++j) {
    const std::int32_t id = first.items[static_cast<std::size_t>(j)].spriteId;
    while (next < reading.items.size() && reading.items[next].views[0].shownId != id) ++next;
    if (next == reading.items.size()) {
      reading.problem = "a diagonal view shows an item the main views do not";
      return reading;
    }
    ItemReading& item = reading.items[next++];
    item.diagonal = true;
    for (int zoom = 1; zoom <= 3; ++zoom) {
      for (int d = 1; d < 8; d += 2) {
        const DrawGroupImage& image = *views.At(d, zoom);
        if (image.ItemCount() != first.ItemCount()) {
          reading.problem = "diagonal views with different numbers of items";
          return reading;
        }
        const DrawGroupItem& stored = image.items[static_cast<std::size_t>(j)];
        if (!SameBase(stored, item.base) || stored.spriteId != id) {
          reading.problem = "a diagonal item differs between views in more than its frame";
          return reading;
        }
        item.diagonalViews[static_cast<std::size_t>(ViewSlot(d, zoom))] = Viewed(stored);
      }
    }
  }
  return reading;
}

}  // namespace pixmold
