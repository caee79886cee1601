#include "architecture/resource_store.h"

#include "architecture/wall_error.h"
#include "base/stop_request.h"
#include "base/xassert.h"
#include "imaging/pal_wrap.h"
#include "imaging/palette_resource.h"

namespace pixmold {
namespace {

StoredResources* gStoreLog = nullptr;

// Every stored resource is a boundary where an interrupted build may stop.
void Logged(ResType type, ResID id) {
  if (gStoreLog != nullptr) gStoreLog->emplace_back(type, id);
  StopHereIfRequested();
}

struct StoreMessages {
  std::string_view add;
  std::string_view write;
  std::string_view update;
};

constexpr StoreMessages kSpriteMessages = {"could not add sprites", "could not add write sprites",
                                           "could not update file"};
constexpr StoreMessages kPaletteMessages = {"could not add palette to destfile", "could not write palette to destfile",
                                            "could not update dest file"};

// A failed step leaves the handle with whoever holds it: with us before the
// file has taken it, with the file afterwards.
void Store(iResFile& file, OwnedHandle resource, ResType type, ResID id, std::string_view name, bool native,
           const StoreMessages& messages) {
  MHandle handle = resource.Get();
  if (file.AddResource(handle, type, id, CTGString(name), native) != 0) {
    throw WallError(messages.add, file.GetError());
  }
  resource.Release();
  if (file.WriteResource(handle) != 0) throw WallError(messages.write, file.GetError());
  if (file.UpdateFile() != 0) throw WallError(messages.update, file.GetError());
  file.ReleaseAndDispose(handle);
  Logged(type, id);
}

// Water goes on past a failure, so each step is only reported.
void StoreReporting(iResFile& file, OwnedHandle resource, ResType type, ResID id, bool native,
                    const StoreMessages& messages) {
  MHandle handle = resource.Get();
  if (file.AddResource(handle, type, id, CTGString(), native) != 0) {
    XASSERT_FAIL("false", messages.add);
    return;
  }
  resource.Release();
  if (file.WriteResource(handle) != 0) XASSERT_FAIL("false", messages.write);
  if (file.UpdateFile() != 0) XASSERT_FAIL("false", messages.update);
  file.ReleaseAndDispose(handle);
  Logged(type, id);
}

OwnedHandle PaletteHandle() {
  OwnedHandle palette(NewPaletteResourceHandle(GetGlobalPalette()));
  if (!palette) throw WallError("could not add palette to destfile", MemError());
  return palette;
}

}  // namespace

ScopedStoreLog::ScopedStoreLog(StoredResources& log) : fPrevious(gStoreLog) { gStoreLog = &log; }
ScopedStoreLog::~ScopedStoreLog() { gStoreLog = fPrevious; }

void WriteWallSprites(iResFile& file, OwnedHandle list, ResID id, std::string_view name) {
  Store(file, std::move(list), kSprListType, id, name, true, kSpriteMessages);
}

void WriteSpriteList(iResFile& file, OwnedHandle list, ResID id) {
  Store(file, std::move(list), kSprite2ListType, id, {}, true, kSpriteMessages);
}

// Palettes are added with the native flag clear in every pass, as the sprite
// pass adds them, so one palette id never comes out two ways.
void WritePalette(iResFile& file, ResID id) {
  Store(file, PaletteHandle(), kPaletteResourceType, id, {}, false, kPaletteMessages);
}

void WriteWaterSprites(iResFile& file, OwnedHandle list, ResID id) {
  StoreReporting(file, std::move(list), kSprite2ListType, id, false, kSpriteMessages);
}

void WriteWaterPalette(iResFile& file, ResID id) {
  StoreReporting(file, PaletteHandle(), kPaletteResourceType, id, false, kPaletteMessages);
}

}  // namespace pixmold
