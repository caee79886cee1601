#include "records/sound_info.h"

#include <algorithm>
#include <cstring>

#include "base/xassert.h"
#include "resfile/handle_owner.h"
#include "resfile/res_file.h"

namespace pixmold {

std::string SoundInfo::NameFromBytes(std::span<const std::uint8_t> bytes) {
  auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
  return std::string(bytes.begin(), end);
}

bool SoundInfo::Load(iResFile& file, ResID wanted) {
  MHandle handle = file.GetResource(kType, wanted, nullptr);
  if (handle == nullptr) return false;
  {
    HandleLock lock(handle);
    fileName = NameFromBytes(lock.Bytes());
  }
  file.GetResID(handle, id);
  file.ReleaseAndDispose(handle);
  return true;
}

bool SoundInfo::Save(iResFile& file) const {
  OwnedHandle handle = OwnedHandle::New(static_cast<std::uint32_t>(fileName.size() + 1));
  if (!handle) {
    XASSERT_FAIL("h", "out of memory");
    return false;
  }
  {
    HandleLock lock(handle.Get());
    std::memcpy(lock.Data(), fileName.c_str(), fileName.size() + 1);
  }
  if (file.AddResource(handle.Get(), kType, id, CTGString(), true) != 0) return false;
  MHandle added = handle.Release();
  if (file.WriteResource(added) != 0) return false;
  file.ReleaseAndDispose(added);
  return file.GetError() == 0;
}

}  // namespace pixmold
