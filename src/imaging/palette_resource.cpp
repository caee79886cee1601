#include "imaging/palette_resource.h"

#include <algorithm>

#include "base/byte_cursor.h"
#include "imaging/pal_wrap.h"
#include "resfile/res_file.h"

namespace pixmold {

std::vector<std::uint8_t> EncodePaletteResource(const PalWrap& palette) {
  std::vector<std::uint8_t> out;
  out.reserve(kPaletteResourceSize);
  out.resize(kPaletteResourceHeaderSize);
  StoreU32(out, 0, kPaletteResourceVersion, ByteOrder::kLittle);
  StoreU32(out, 4, 256, ByteOrder::kLittle);
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
  ByteCursor reader(bytes, ByteOrder::kLittle);
  PaletteResource resource;
  resource.mVersion = reader.U32();
  resource.mCount = reader.U32();
  if (!reader.Skip(kPaletteResourceHeaderSize - 8)) return std::nullopt;
  const std::uint32_t stored = std::min<std::uint32_t>(resource.mCount, 256);
  for (std::uint32_t i = 0; i < stored; ++i) {
    for (std::uint8_t& component : resource.mColours[i]) component = reader.U8();
  }
  if (reader.Failed()) return std::nullopt;
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
