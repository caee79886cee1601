// The stored forms of a draw group. Records of version 20003 and later hold
// 32-bit fields (20004 adds the object-space position of each item); older
// records hold 16-bit fields and a type per item, of which only sprite items
// (type -3) mean anything now. Floats are stored as their four bytes in
// memory order and are never swapped, unlike the integers around them.
#include <cstdint>

#include "records/draw_group.h"
#include "resfile/handle_owner.h"
#include "resfile/recon_stream.h"
#include "resfile/res_file.h"

namespace pixmold {
namespace {

constexpr ResType kDrawGroupType = MakeResType("DGRP");

void ReconstituteItem(ReconStream& stream, DrawGroupItem& item, std::uint16_t version) {
  stream.Value(item.spriteId);
  stream.Value(item.frameIndex);
  stream.Value(item.offsetX);
  stream.Value(item.offsetY);
  stream.Value(item.altitude);
  stream.Value(item.flags);
  if (version >= DrawGroup::kFirstObjectPosition) {
    stream.Value(item.objectX);
    stream.Value(item.objectY);
  }
}

}  // namespace

void DrawGroup::Reconstitute(ReconStream& stream) {
  std::uint16_t version = kVersion;
  stream.Value(version);
  if (!stream.IsReading()) version = kVersion;
  if (version < kFirstNewLayout) {
    ReconstituteOldLayout(stream, version);
    return;
  }

  auto imageCount = static_cast<std::uint32_t>(images.size());
  stream.Count(imageCount);
  if (stream.IsReading()) images.resize(imageCount);
  for (DrawGroupImage& image : images) {
    stream.Value(image.directionMask);
    stream.Value(image.zoom);
    auto itemCount = static_cast<std::uint32_t>(image.items.size());
    stream.Count(itemCount);
    if (stream.IsReading()) image.items.resize(itemCount);
    for (DrawGroupItem& item : image.items) ReconstituteItem(stream, item, version);
  }
}

void DrawGroup::ReconstituteOldLayout(ReconStream& stream, std::uint16_t version) {
  // Only a reading stream gets here: writing and sizing always use 20004.
  images.clear();
  std::int16_t imageCount = 0;
  stream.Value(imageCount);
  for (std::int16_t i = 0; i < imageCount && !stream.Failed(); ++i) {
    DrawGroupImage& image = images.emplace_back();
    std::int16_t itemCount = 0;
    std::int8_t mask = 0;
    std::int8_t zoom = 0;
    stream.Value(itemCount);
    stream.Value(mask);
    stream.Value(zoom);
    image.directionMask = static_cast<std::uint32_t>(static_cast<std::int32_t>(mask));
    image.zoom = static_cast<std::uint32_t>(static_cast<std::int32_t>(zoom));
    for (std::int16_t j = 0; j < itemCount && !stream.Failed(); ++j) {
      std::int16_t type = 0;
      std::int16_t spriteId = 0;
      std::int16_t frameIndex = 0;
      std::int16_t flags = 0;
      std::int16_t offsetX = 0;
      std::int16_t offsetY = 0;
      float altitude = 0.0f;
      stream.Value(type);
      stream.Value(spriteId);
      stream.Value(frameIndex);
      stream.Value(flags);
      stream.Value(offsetX);
      stream.Value(offsetY);
      if (version >= kFirstOldAltitude) stream.Value(altitude);
      if (type != kOldSpriteItemType || stream.Failed()) continue;
      DrawGroupItem item;
      item.spriteId = spriteId;
      item.frameIndex = frameIndex;
      item.flags = static_cast<std::uint32_t>(static_cast<std::int32_t>(flags));
      item.offsetX = offsetX;
      item.offsetY = offsetY;
      item.altitude = altitude;
      image.items.push_back(item);
    }
  }
}

ResErr DrawGroup::Load(iResFile& file, ResID id) {
  MHandle handle = file.GetResource(kDrawGroupType, id, nullptr);
  if (handle == nullptr) return file.GetError();
  CTGString resourceName;
  file.GetResName(handle, resourceName);
  name = resourceName.Str();
  const bool swap = !file.IsResourceNative(handle);
  {
    HandleLock lock(handle);
    ReconStream stream = ReconStream::Reader(lock.Bytes(), swap);
    Reconstitute(stream);
  }
  file.ReleaseAndDispose(handle);
  return file.GetError();
}

ResErr DrawGroup::Save(iResFile& file, ResID id) {
  ReconStream sizing;
  Reconstitute(sizing);
  OwnedHandle handle = OwnedHandle::New(static_cast<std::uint32_t>(sizing.Position()));
  if (!handle) return res_error::kOutOfMemory;
  {
    HandleLock lock(handle.Get());
    ReconStream writer = ReconStream::Writer(lock.Bytes(), false);
    Reconstitute(writer);
  }
  MHandle added = handle.Release();
  ResErr err = file.AddResource(added, kDrawGroupType, id, CTGString(name), true);
  if (err != 0) {
    DisposeHandle(added);
    return err;
  }
  return file.WriteResource(added);
}

}  // namespace pixmold
