// Storing the architecture passes' sprite lists and palettes in the object
// file. Each resource is added, written and the file updated at once, so
// that what a pass has stored survives a later failure of the same pass;
// the first failure raises WallError with the file's error code.
#pragma once

#include <string_view>
#include <utility>
#include <vector>

#include "resfile/handle_owner.h"
#include "resfile/res_file.h"

namespace pixmold {

inline constexpr ResType kSprListType = MakeResType("SPR#");
inline constexpr ResType kSprite2ListType = MakeResType("SPR2");

// Collects the type and id of every resource stored while it lives (the
// build's summary of what it wrote). One build runs at a time, so one log
// at a time is active; an inner log hides an outer one for its scope.
using StoredResources = std::vector<std::pair<ResType, ResID>>;
class ScopedStoreLog {
 public:
  explicit ScopedStoreLog(StoredResources& log);
  ~ScopedStoreLog();
  ScopedStoreLog(const ScopedStoreLog&) = delete;
  ScopedStoreLog& operator=(const ScopedStoreLog&) = delete;

 private:
  StoredResources* fPrevious;
};

// An SPR# wall list, kept in the compressor's native byte order.
void WriteWallSprites(iResFile& file, OwnedHandle list, ResID id, std::string_view name);
// An SPR2 list, without a name.
void WriteSpriteList(iResFile& file, OwnedHandle list, ResID id);
// The global palette as a PALT resource with an empty name.
void WritePalette(iResFile& file, ResID id);

// The same three steps for water, whose failures are reported through
// XASSERT and let the pass go on.
void WriteWaterSprites(iResFile& file, OwnedHandle list, ResID id);
void WriteWaterPalette(iResFile& file, ResID id);

}  // namespace pixmold
