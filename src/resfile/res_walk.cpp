#include "resfile/res_walk.h"

namespace pixmold {
namespace {

ResErr ErrorOr(iResFile& file, ResErr fallback) {
  return file.GetError() != res_error::kNone ? file.GetError() : fallback;
}

}  // namespace

ResErr ForEachResource(iResFile& file, UnreadableResource unreadable,
                       const std::function<ResErr(WalkedResource&)>& visit) {
  const bool stop = unreadable != UnreadableResource::kSkip;
  const std::int32_t types = file.CountTypes();
  if (stop && file.GetError() != res_error::kNone) return file.GetError();
  for (std::int32_t t = 1; t <= types; ++t) {
    const ResType type = file.GetIndType(t);
    if (stop && file.GetError() != res_error::kNone) return file.GetError();
    const std::int32_t count = file.CountResources(type);
    for (std::int32_t i = 1; i <= count; ++i) {
      WalkedResource resource;
      resource.type = type;
      resource.index = i;
      resource.handle = file.GetIndResource(type, i, nullptr);
      if (resource.handle != nullptr) {
        file.GetResID(resource.handle, resource.id);
        file.GetResName(resource.handle, resource.name);
        resource.variant = file.GetResVariant(resource.handle);
        resource.native = file.IsResourceNative(resource.handle);
      } else if (unreadable == UnreadableResource::kStop) {
        return ErrorOr(file, res_error::kNotFound);
      } else if (unreadable == UnreadableResource::kSkip) {
        continue;
      }
      const ResErr visited = visit(resource);
      if (resource.handle != nullptr) file.ReleaseAndDispose(resource.handle);
      if (visited != res_error::kNone) return visited;
      if (stop && file.GetError() != res_error::kNone) return file.GetError();
    }
  }
  return res_error::kNone;
}

}  // namespace pixmold
