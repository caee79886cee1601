#include "records/draw_group.h"

#include "base/xassert.h"

namespace pixmold {

DrawGroupItem* DrawGroupImage::Item(int index) {
  if (index < 0 || index >= ItemCount()) {
    XASSERT_FAIL("index >= 0 && index < count", "bad item requested");
    return nullptr;
  }
  return &items[static_cast<std::size_t>(index)];
}

void DrawGroupImage::InsertItem(const DrawGroupItem& item, int position) {
  if (position < 0) {
    items.push_back(item);
    return;
  }
  if (position >= ItemCount()) {
    XASSERT_FAIL("position < count", "no such position");
    return;
  }
  items.insert(items.begin() + position, item);
}

DrawGroupImage* DrawGroup::FindImage(int direction, std::uint32_t zoom) {
  for (auto& image : images) {
    if (image.ServesDirection(direction) && image.zoom == zoom) return &image;
  }
  return nullptr;
}

const DrawGroupImage* DrawGroup::FindImage(int direction, std::uint32_t zoom) const {
  return const_cast<DrawGroup*>(this)->FindImage(direction, zoom);
}

DrawGroupImage& DrawGroup::AddImage() { return images.emplace_back(); }

bool DrawGroup::UsesSprite(std::int32_t spriteId) const {
  const auto wanted = static_cast<std::int16_t>(spriteId);
  for (const auto& image : images) {
    for (const auto& item : image.items) {
      if (static_cast<std::int16_t>(item.spriteId) == wanted) return true;
    }
  }
  return false;
}

}  // namespace pixmold
