#include "imaging/draw_group_compositor.h"

#include <algorithm>
#include <cstdint>
#include <set>

#include "imaging/palette_resource.h"
#include "resfile/handle_owner.h"
#include "resfile/res_file.h"

namespace pixmold {
namespace {

constexpr int kAlphaBits = 5;
constexpr int kFullAlpha = (1 << kAlphaBits) - 1;
constexpr std::uint8_t kNoDepth = 255;

struct Placement {
  const PreviewFrame* frame = nullptr;
  const PreviewPalette* palette = nullptr;
  std::int64_t left = 0;
  std::int64_t top = 0;
  bool mirrored = false;
};

std::string TypeName(ResType type) { return ResTypeName(type); }

// Straight-alpha "over": the source covers the fraction alpha255 / 255 of
// what lies beneath.
void Blend(std::uint8_t* dst, const std::array<std::uint8_t, 3>& rgb, int alpha255) {
  const int below = dst[3] * (255 - alpha255) / 255;
  const int outAlpha = alpha255 + below;
  if (outAlpha == 0) return;
  for (int c = 0; c < 3; ++c) {
    dst[c] = static_cast<std::uint8_t>((rgb[static_cast<std::size_t>(c)] * alpha255 + dst[c] * below) / outAlpha);
  }
  dst[3] = static_cast<std::uint8_t>(outAlpha);
}

void Draw(const Placement& placement, ComposedView& view) {
  const DecodedSprite& pixels = placement.frame->pixels;
  const auto canvasWidth = static_cast<std::size_t>(view.colour.width);
  for (int y = 0; y < pixels.height; ++y) {
    const auto row = static_cast<std::size_t>(placement.top + y) * canvasWidth;
    for (int x = 0; x < pixels.width; ++x) {
      const std::size_t source = pixels.Index(placement.mirrored ? pixels.width - 1 - x : x, y);
      const PixelKind kind = pixels.kind[source];
      if (kind == PixelKind::kClear) continue;
      const std::size_t target = row + static_cast<std::size_t>(placement.left + x);
      const std::uint8_t depth = pixels.depth[source];
      if (depth != kNoDepth) {
        if (depth > view.depth.pixels[target]) continue;
        view.depth.pixels[target] = depth;
      }
      const auto& rgb = (*placement.palette)[pixels.colour[source]];
      std::uint8_t* dst = &view.colour.pixels[4 * target];
      if (kind == PixelKind::kAlpha) {
        const int stored = std::min<int>(pixels.alpha[source], kFullAlpha);
        Blend(dst, rgb, (stored * 255 + kFullAlpha / 2) / kFullAlpha);
      } else {
        dst[0] = rgb[0];
        dst[1] = rgb[1];
        dst[2] = rgb[2];
        dst[3] = 255;
      }
    }
  }
}

}  // namespace

DrawGroupCompositor::DrawGroupCompositor(iResFile& file, const SpriteDecodeLimits& limits)
    : fFile(file), fLimits(limits) {}

std::string DrawGroupCompositor::Load(ResID drawGroupId) {
  fGroup = DrawGroup{};
  fLoaded = false;
  const ResErr err = fGroup.Load(fFile, drawGroupId);
  if (err != 0) return "no DGRP " + std::to_string(drawGroupId) + " (error " + std::to_string(err) + ")";
  fLoaded = true;
  return {};
}

bool DrawGroupCompositor::HasView(int direction, int zoom) const {
  if (!fLoaded || direction < 0 || direction > 7 || zoom < 1 || zoom > 3) return false;
  return fGroup.FindImage(direction, static_cast<std::uint32_t>(zoom)) != nullptr;
}

void DrawGroupCompositor::ForgetListsNotShown() {
  std::set<std::int32_t> shown;
  for (const DrawGroupImage& image : fGroup.images) {
    for (const DrawGroupItem& item : image.items) shown.insert(item.spriteId);
  }
  std::erase_if(fLists, [&](const auto& entry) { return !shown.contains(entry.first); });
}

std::optional<std::vector<std::uint8_t>> DrawGroupCompositor::ResourceBytes(ResType type, ResID id) {
  MHandle handle = fFile.GetResource(type, id, nullptr);
  if (handle == nullptr) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  {
    HandleLock lock(handle);
    if (lock.Data() != nullptr) bytes.assign(lock.Data(), lock.Data() + lock.Size());
  }
  fFile.ReleaseAndDispose(handle);
  return bytes;
}

const DrawGroupCompositor::List& DrawGroupCompositor::SpriteList(std::int32_t spriteId) {
  if (auto found = fLists.find(spriteId); found != fLists.end()) return found->second;
  List& list = fLists[spriteId];
  if (spriteId < INT16_MIN || spriteId > INT16_MAX) return list;
  // The build writes SPR2 for sheets with depth and SPR# for the others, so
  // an id names one or the other; SPR2 is the one the game prefers.
  for (ResType type : {kSprite2Type, kSpriteType}) {
    auto bytes = ResourceBytes(type, static_cast<ResID>(spriteId));
    if (!bytes) continue;
    list.exists = true;
    list.type = type;
    const SpriteDecodeStatus status = DecodePreviewList(type, *bytes, list.frames, fLimits);
    if (!status.Ok()) list.problem = status.error + " (at byte " + std::to_string(status.offset) + ")";
    break;
  }
  return list;
}

const DrawGroupCompositor::Palette& DrawGroupCompositor::PaletteFor(std::int32_t paletteId) {
  if (auto found = fPalettes.find(paletteId); found != fPalettes.end()) return found->second;
  Palette& palette = fPalettes[paletteId];
  palette.colours = GreyRampPalette();
  if (paletteId < 0 || paletteId > INT16_MAX) return palette;
  auto bytes = ResourceBytes(kPaletteResourceType, static_cast<ResID>(paletteId));
  if (!bytes) return palette;
  auto resource = DecodePaletteResource(*bytes);
  if (!resource || resource->mVersion != kPaletteResourceVersion || resource->mCount == 0) return palette;
  palette.colours = PaletteFromResource(*resource);
  palette.found = true;
  return palette;
}

std::string DrawGroupCompositor::Compose(int direction, int zoom, ComposedView& out) {
  out = ComposedView{};
  if (!fLoaded) return "no draw group loaded";
  if (direction < 0 || direction > 7) return "direction " + std::to_string(direction) + " is not 0..7";
  if (zoom < 1 || zoom > 3) return "zoom " + std::to_string(zoom) + " is not 1..3";
  const DrawGroupImage* image = fGroup.FindImage(direction, static_cast<std::uint32_t>(zoom));
  if (image == nullptr) {
    return "the draw group has no view for direction " + std::to_string(direction) + " at zoom " + std::to_string(zoom);
  }

  // The reference point is always inside, so an empty view is one pixel.
  std::int64_t minX = 0, minY = 0, maxX = 1, maxY = 1;
  std::vector<Placement> placements;
  std::set<std::int32_t> greyLists;
  for (std::size_t i = 0; i < image->items.size(); ++i) {
    const DrawGroupItem& item = image->items[i];
    const std::string label = "item " + std::to_string(i) + ": ";
    const List& list = SpriteList(item.spriteId);
    const std::string listName = TypeName(list.type) + " " + std::to_string(item.spriteId);
    if (!list.exists) {
      out.notes.push_back(label + "no SPR2 or SPR# " + std::to_string(item.spriteId));
      continue;
    }
    if (!list.problem.empty()) {
      out.notes.push_back(label + listName + " cannot be decoded: " + list.problem);
      continue;
    }
    const auto& frames = list.frames.frames;
    if (item.frameIndex < 0 || static_cast<std::size_t>(item.frameIndex) >= frames.size()) {
      out.notes.push_back(label + listName + " has no frame " + std::to_string(item.frameIndex) + " (it holds " +
                          std::to_string(frames.size()) + ")");
      continue;
    }
    const Palette& palette = PaletteFor(list.frames.paletteId);
    if (!palette.found && greyLists.insert(item.spriteId).second) {
      out.notes.push_back(listName + " shown in grey: no PALT " + std::to_string(list.frames.paletteId));
    }
    const PreviewFrame& frame = frames[static_cast<std::size_t>(item.frameIndex)];
    ++out.itemsDrawn;
    if (frame.pixels.width == 0 || frame.pixels.height == 0) continue;
    Placement placement{&frame, &palette.colours, item.offsetX, std::int64_t{item.offsetY} - frame.pixels.height,
                        (item.flags & DrawGroupItem::kFlagMirrored) != 0};
    minX = std::min(minX, placement.left);
    minY = std::min(minY, placement.top);
    maxX = std::max(maxX, placement.left + frame.pixels.width);
    maxY = std::max(maxY, std::int64_t{item.offsetY});
    placements.push_back(placement);
  }

  const std::int64_t width = maxX - minX;
  const std::int64_t height = maxY - minY;
  if (width > fLimits.maxWidth || height > fLimits.maxHeight || width * height > fLimits.maxPixels) {
    return "the view would span " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels, more than a preview may";
  }
  out.referenceX = static_cast<int>(-minX);
  out.referenceY = static_cast<int>(-minY);
  const auto pixelCount = static_cast<std::size_t>(width * height);
  out.colour =
      PreviewImage{static_cast<int>(width), static_cast<int>(height), 4, std::vector<std::uint8_t>(4 * pixelCount, 0)};
  out.depth = PreviewImage{static_cast<int>(width), static_cast<int>(height), 1,
                           std::vector<std::uint8_t>(pixelCount, kNoDepth)};
  for (Placement& placement : placements) {
    placement.left -= minX;
    placement.top -= minY;
    Draw(placement, out);
  }
  return {};
}

}  // namespace pixmold
