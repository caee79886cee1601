#include "builder/picture_resource.h"

#include "base/report.h"
#include "resfile/flat_file.h"
#include "resfile/handle_owner.h"
#include "resfile/res_file.h"

namespace pixmold {

std::string PicturePath(std::string_view directory, std::string_view fileName) {
  std::string path(directory);
  if (!path.empty() && path.back() != '/' && path.back() != '\\') path += '/';
  path += fileName;
  return path;
}

ResErr AddPictureResource(std::string_view directory, std::string_view fileName, iResFile& destination, ResType type,
                          ResID id, std::uint8_t language) {
  const std::string path = PicturePath(directory, fileName);
  FlatFile picture;
  std::int32_t size = 0;
  if (picture.Open(path) != 0 || picture.GetSize(size) != 0) {
    Warning("could not open bmpfile");
    Warning(path);
    return -1;
  }
  OwnedHandle handle = OwnedHandle::New(static_cast<std::uint32_t>(size));
  if (!handle) {
    Warning("could not allocate image handle");
    return MemError();
  }
  {
    HandleLock lock(handle.Get());
    if (picture.Read(lock.Data(), size) != 0) {
      Warning("could not read bmp file");
      return -1;
    }
  }
  picture.Close();
  // Files without languages keep names only through the plain add.
  const ResErr added =
      language == 0 ? destination.AddResource(handle.Get(), type, id, CTGString(fileName), true)
                    : destination.AddVariantResource(handle.Get(), type, id, CTGString(fileName), language, true);
  if (added != 0) {
    Warning("coult not add bmp resource");
    return destination.GetError();
  }
  MHandle written = handle.Release();
  if (destination.WriteResource(written) != 0) {
    Warning("coult not write bmp resource");
    return destination.GetError();
  }
  destination.ReleaseAndDispose(written);
  return res_error::kNone;
}

}  // namespace pixmold
