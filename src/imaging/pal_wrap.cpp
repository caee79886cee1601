#include "imaging/pal_wrap.h"

#include <algorithm>

#include "base/byte_cursor.h"
#include "base/xassert.h"
#include "imaging/bmp_format.h"
#include "imaging/image_file.h"
#include "imaging/palette_resource.h"

namespace pixmold {

namespace {

const PalWrap* gGlobalPalette = nullptr;

// The 8-bit display palette reserves its first and last ten entries for
// these static colours.
constexpr std::array<PaletteEntry, 20> kSystemColours = {{
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},   {0, 0, 128, 0},
    {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0}, {192, 220, 192, 0}, {166, 202, 240, 0},
    {255, 251, 240, 0}, {160, 160, 164, 0}, {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},
    {255, 255, 0, 0},   {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
}};

// The headers and largest colour table of a BMP; a raw palette is shorter.
constexpr std::size_t kPaletteFileHead = kBmpFileHeaderSize + kBmpLargestInfoHeaderSize + 4 * PalWrap::kMaxColours;

}  // namespace

PalWrap::PalWrap() = default;

PalWrap::~PalWrap() {
  if (!((mRefCount == 0) || ((mRefCount == 1) && (this == gGlobalPalette)))) {
    XASSERT_FAIL("(mRefCount == 0) || ((mRefCount == 1) && (this == GetGlobalPalette()))",
                 "Deleting PalWrap object with non-zero refcount");
  }
  if (this == gGlobalPalette) gGlobalPalette = nullptr;
}

const std::array<PaletteEntry, 20>& PalWrap::SystemColours() { return kSystemColours; }

void PalWrap::ColoursChanged() {
  fNearestCurrent = false;
  fPacked.clear();
  for (const PaletteEntry& e : fColours) {
    fPacked.push_back((std::uint32_t{e.red} << 16) | (std::uint32_t{e.green} << 8) | e.blue);
  }
}

void PalWrap::MakeNearestIndex() const {
  const int last = std::min(GetLastUsable(), static_cast<int>(fColours.size()) - 1);
  if (fNearest) {
    fNearest->Reset(fColours, GetFirstUsable(), last);
  } else {
    fNearest = std::make_unique<NearestColourIndex>(fColours, GetFirstUsable(), last);
  }
  fNearestCurrent = true;
}

void PalWrap::SetFromColours(std::span<const PaletteEntry, kMaxColours> colours, bool systemColours) {
  mColorsUsed = kMaxColours;
  fSystemColours = systemColours;
  fColours.assign(colours.begin(), colours.end());
  for (int i = 0; i < kMaxColours; ++i) {
    PaletteEntry& entry = fColours[static_cast<std::size_t>(i)];
    if (!systemColours) {
      entry.flags = kPaletteReserved | kPaletteNoCollapse;
    } else if (i < kSystemColourCount) {
      entry = kSystemColours[static_cast<std::size_t>(i)];
    } else if (i >= kMaxColours - kSystemColourCount) {
      entry = kSystemColours[static_cast<std::size_t>(i - (kMaxColours - 2 * kSystemColourCount))];
    } else {
      entry.flags = kPaletteNoCollapse;
    }
  }
  ColoursChanged();
}

bool PalWrap::LoadFromFile(const std::string& path, bool systemColours) {
  std::array<PaletteEntry, kMaxColours> colours{};
  if (!ReadPaletteFile(path, colours)) return false;
  SetFromColours(colours, systemColours);
  return true;
}

bool PalWrap::ReadPaletteFile(const std::string& path, std::array<PaletteEntry, kMaxColours>& out) {
  out.fill(PaletteEntry{});
  // Only the headers and the colour table are read, however long the file.
  std::int64_t fileSize = 0;
  const auto bytes = ReadImageFilePrefix(path, kPaletteFileHead, &fileSize);
  if (!bytes || static_cast<std::uint64_t>(fileSize) > kMaxPaletteFileBytes) {
    XASSERT_FAIL("false", "could not open file");
    return false;
  }
  ByteCursor reader(*bytes, ByteOrder::kLittle);
  std::uint32_t colourCount = 0;
  if (ProbeBmpPalette(reader, colourCount)) {
    // The probe has reported a count above 256; only 256 entries exist.
    const std::uint32_t wanted = std::min<std::uint32_t>(colourCount, kMaxColours);
    for (std::uint32_t i = 0; i < wanted; ++i) {
      const std::uint8_t blue = reader.U8(), green = reader.U8(), red = reader.U8();
      reader.Skip(1);
      if (reader.Failed()) {
        XASSERT_FAIL("quads_read == colorCount", "unexpected eof");
        return false;
      }
      out[i] = PaletteEntry{red, green, blue, 0};
    }
    return true;
  }
  for (PaletteEntry& entry : out) {
    entry.red = reader.U8();
    entry.green = reader.U8();
    entry.blue = reader.U8();
    if (reader.Failed()) {
      XASSERT_FAIL("readCnt", "unexpected EOF");
      return false;
    }
  }
  return true;
}

bool PalWrap::SetFromResource(const PaletteResource& resource) {
  fColours.clear();
  mColorsUsed = 0;
  fSystemColours = false;
  ColoursChanged();
  if (resource.mCount == 0 || resource.mCount > kMaxColours) {
    XASSERT_FAIL("mColorsUsed > 0 && mColorsUsed <= 256", "mColorsUsed out of range...");
    return false;
  }
  if (resource.mVersion != kPaletteResourceVersion) {
    XASSERT_FAIL("inRsrc->mVersion == 1", "unknown palette version");
    return false;
  }
  mColorsUsed = static_cast<int>(resource.mCount);
  fColours.resize(resource.mCount);
  for (std::uint32_t i = 0; i < resource.mCount; ++i) {
    fColours[i] = PaletteEntry{resource.mColours[i][0], resource.mColours[i][1], resource.mColours[i][2], 0};
  }
  ColoursChanged();
  return true;
}

void PalWrap::ClearColours() {
  fColours.clear();
  mColorsUsed = 0;
  ColoursChanged();
}

std::uint8_t PalWrap::FindNearestBySearch(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const {
  if (fColours.empty()) return red;
  return NearestColourIndex::Search(fColours, GetFirstUsable(), GetLastUsable(), red, green, blue);
}

void PalWrap::ReleaseRef() {
  XASSERT(mRefCount > 0, "releasing an unreferenced palette");
  if (mRefCount > 0) --mRefCount;
}

void PalWrap::SetOtherAmbient(float value) {
  mOtherAmbientValue = value;
  if (!(mOtherAmbientValue >= 0 && mOtherAmbientValue <= 1.0f)) {
    XASSERT_FAIL("mOtherAmbientValue >= 0 && mOtherAmbientValue <= 1.0", "ambient out of range");
  }
}

std::span<std::uint8_t, PalWrap::kTypeTableSize> PalWrap::GetTypeTable(int type) {
  if (!(type >= 0 && type < kPaletteCount)) {
    XASSERT_FAIL("inType >= 0 && inType < kPaletteCount", "bad palette type");
    type = 0;
  }
  return fTypeTables[static_cast<std::size_t>(type)];
}

PalWrap& GetGlobalPalette() {
  static PalWrap global;
  gGlobalPalette = &global;
  return global;
}

}  // namespace pixmold
