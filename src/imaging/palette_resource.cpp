#include "imaging/palette_resource.h"

#include <algorithm>

#include "imaging/byte_reader.h"
#include "imaging/pal_wrap.h"
#include "resfile/res_file.h"

namespace pixmold {

namespace {

void PutU32LE(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

}  // namespace

std::vector<std::uint8_t> EncodePaletteResource(const PalWrap& palette) {
  std::vector<std::uint8_t> out;
  out.reserve(kPaletteResourceSize);
  PutU32LE(out, kPaletteResourceVersion);
  PutU32LE(out, 256);
  PutU32LE(out, 0);
  PutU32LE(out, 0);
  const auto colours = palette.GetColourTable();
  for (std::size_t i = 0; i < 256; ++i) {
    const PaletteEntry entry = i < colours.size() ? colours[i] : PaletteEntry{};
    out.push_back(entry.red);
    out.push_back(entry.green);
    out.push_back(entry.blue);
  }
  return out;
}

std::optional<PaletteResource> DecodePaletteResource(std::span<const std::uint8_t> bytes) {
  ByteReader reader(bytes);
  PaletteResource resource;
  if (!reader.ReadU32LE(resource.mVersion) || !reader.ReadU32LE(resource.mCount) ||
      !reader.Skip(kPaletteResourceHeaderSize - 8)) {
    return std::nullopt;
  }
  const std::uint32_t stored = std::min<std::uint32_t>(resource.mCount, 256);
  for (std::uint32_t i = 0; i < stored; ++i) {
    for (std::uint8_t& component : resource.mColours[i]) {
      if (!reader.ReadU8(component)) return std::nullopt;
    }
  }
  return resource;
}

MHandle NewPaletteResourceHandle(const PalWrap& palette) {
  const std::vector<std::uint8_t> bytes = EncodePaletteResource(palette);
  MHandle h = NewHandle(static_cast<std::uint32_t>(bytes.size()));
  if (!h) return nullptr;
  std::copy(bytes.begin(), bytes.end(), HLock(h));
  HUnlock(h);
  return h;
}

bool LoadPaletteResource(iResFile& file, ResID id, PalWrap& palette) {
  MHandle h = file.GetResource(kPaletteResourceType, id, nullptr);
  if (!h) return false;
  const std::span<const std::uint8_t> bytes(HLock(h), static_cast<std::size_t>(GetHandleSize(h)));
  const std::optional<PaletteResource> resource = DecodePaletteResource(bytes);
  HUnlock(h);
  file.ReleaseAndDispose(h);
  return resource && palette.SetFromResource(*resource);
}

}  // namespace pixmold
