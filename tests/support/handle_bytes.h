// Records reach their readers in handles: tests make a handle of the bytes
// they wrote and read a handle's bytes back.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "resfile/handle_owner.h"

namespace pixmold::testing {

inline OwnedHandle HandleOf(std::span<const std::uint8_t> bytes) {
  OwnedHandle handle = OwnedHandle::New(static_cast<std::uint32_t>(bytes.size()));
  HandleLock lock(handle.Get());
  std::copy(bytes.begin(), bytes.end(), lock.Data());
  return handle;
}

// The bytes a handle holds (none for a null handle).
inline std::vector<std::uint8_t> Contents(const OwnedHandle& handle) {
  if (!handle) return {};
  HandleLock lock(handle.Get());
  return {lock.Data(), lock.Data() + lock.Size()};
}

}  // namespace pixmold::testing
