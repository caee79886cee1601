#include "builder/export/art_resources.h"

#include <algorithm>

#include "resfile/handle_owner.h"
#include "resfile/res_file.h"

namespace pixmold {
namespace {

std::string TypeText(ResType type) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) text.push_back(static_cast<char>((type >> shift) & 0xFF));
  return text;
}

}  // namespace

std::vector<ArtResource> ListArtResources(iResFile& file, ResType type, std::uint8_t variant) {
  std::vector<ArtResource> found;
  const std::int32_t count = file.CountResources(type);
  for (std::int32_t i = 1; i <= count; ++i) {
    MHandle h = file.GetIndResource(type, i, nullptr);
    if (h == nullptr) continue;
    ArtResource resource;
    resource.type = type;
    file.GetResID(h, resource.id);
    CTGString name;
    file.GetResName(h, name);
    resource.name = name.Str();
    const bool wanted = file.GetResVariant(h) == variant;
    file.ReleaseAndDispose(h);
    // Two entries of one id and variant cannot both be reached by id.
    const bool seen =
        std::any_of(found.begin(), found.end(), [&](const ArtResource& r) { return r.id == resource.id; });
    if (wanted && !seen) found.push_back(std::move(resource));
  }
  std::sort(found.begin(), found.end(), [](const ArtResource& a, const ArtResource& b) { return a.id < b.id; });
  return found;
}

std::optional<ArtBytes> LoadArtBytes(iResFile& file, ResType type, ResID id, std::uint8_t variant) {
  MHandle h = file.GetVariantResource(type, id, variant, nullptr);
  if (h == nullptr) return std::nullopt;
  if (variant != 0 && file.GetResVariant(h) != variant) {
    file.ReleaseAndDispose(h);
    return std::nullopt;
  }
  ArtBytes out;
  out.native = file.IsResourceNative(h);
  {
    HandleLock lock(h);
    if (lock.Data() != nullptr) out.bytes.assign(lock.Data(), lock.Data() + lock.Size());
  }
  file.ReleaseAndDispose(h);
  return out;
}

std::string ArtLabel(ResType type, ResID id) { return TypeText(type) + " " + std::to_string(id); }

}  // namespace pixmold
