// Every resource of an open file, in index order: each type, then each of
// its resources, loaded for a visit with what identifies it. Listing,
// copying and checking a file all walk it this way.
#pragma once

#include <cstdint>
#include <functional>

#include "base/ctg_string.h"
#include "resfile/res_file.h"

namespace pixmold {

struct WalkedResource {
  ResType type = 0;
  std::int32_t index = 0;  // within its type, from 1
  ResID id = 0;
  std::uint8_t variant = 0;
  bool native = true;
  CTGString name;
  // Loaded for the visit and released and disposed after it, unless the
  // visit takes it and sets it to null.
  MHandle handle = nullptr;
};

// What becomes of a resource that cannot be loaded: it stops the walk with
// the file's error (kNotFound when the file set none), it is passed over, or
// it is visited with a null handle and the visit decides.
enum class UnreadableResource { kStop, kSkip, kVisit };

// The visit returns kNone to go on; anything else stops the walk with it.
// Unless unreadable resources are skipped, an error the file reports while
// walking its index or releasing a handle stops the walk too.
ResErr ForEachResource(iResFile& file, UnreadableResource unreadable,
                       const std::function<ResErr(WalkedResource&)>& visit);

}  // namespace pixmold
