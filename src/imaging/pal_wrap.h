// A palette of up to 256 colours, and the one process-wide global palette
// that every offscreen of a build refers to.
//
// With the system-colour flag the first and last ten entries are the
// display's reserved colours, so pixels may only map to entries 10..245 (the
// usable range); without it all 256 are usable. The nearest-colour search
// answers from a NearestColourIndex that starts over whenever the colours
// change; its answers are those of the plain linear search, only faster.
//
// A palette without a colour table (cleared, or never loaded) maps a colour
// to its red value. The build relies on that to render a grey alpha image
// into an offscreen as plain bytes.
//
// Offscreens count their references, so destroying a palette that is still
// referred to is reported; the global palette may die with one reference
// left, since it outlives the build that made its offscreens.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "imaging/nearest_colour_index.h"
#include "imaging/palette_entry.h"

namespace pixmold {

struct PaletteResource;

class PalWrap {
 public:
  static constexpr int kMaxColours = 256;
  static constexpr int kPaletteCount = 5;
  static constexpr std::size_t kTypeTableSize = 512;

  PalWrap();
  virtual ~PalWrap();
  PalWrap(const PalWrap&) = delete;
  PalWrap& operator=(const PalWrap&) = delete;

  // Takes 256 colours. With the system-colour flag, entries 0..9 and
  // 246..255 become the display's reserved colours.
  void SetFromColours(std::span<const PaletteEntry, kMaxColours> colours, bool systemColours);
  // Palette files are 768 bytes of triples or BMP images; anything longer
  // than this is refused as no palette file ("could not open file").
  static constexpr std::uint64_t kMaxPaletteFileBytes = std::uint64_t{64} << 20;

  // Reads 256 colours from an 8-bit BMP's palette or a raw file of 256
  // (red, green, blue) triples; false (palette unchanged) when that fails.
  bool LoadFromFile(const std::string& path, bool systemColours);
  static bool ReadPaletteFile(const std::string& path, std::array<PaletteEntry, kMaxColours>& out);
  // The stored palette resource; false (and no colours) when its version or
  // count is wrong.
  bool SetFromResource(const PaletteResource& resource);
  // Drops the colour table: from then on colours map to their red value.
  void ClearColours();

  // The colour table, empty when there is none.
  std::span<const PaletteEntry> GetColourTable() const { return fColours; }
  int GetColoursUsed() const { return mColorsUsed; }
  bool HasSystemColours() const { return fSystemColours; }
  int GetFirstUsable() const { return fSystemColours ? kSystemColourCount : 0; }
  int GetLastUsable() const { return fSystemColours ? kMaxColours - 1 - kSystemColourCount : kMaxColours - 1; }
  // One 0x00RRGGBB value per colour.
  std::span<const std::uint32_t> GetPackedColours() const { return fPacked; }

  // The usable index whose colour is nearest (see NearestColourIndex).
  std::uint8_t FindNearest(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const {
    if (fColours.empty()) return red;
    if (!fNearestCurrent) MakeNearestIndex();
    return fNearest->Find(red, green, blue);
  }
  // The first usable index of exactly this colour, else the nearest.
  std::uint8_t FindColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const {
    return FindNearest(red, green, blue);
  }
  // The plain linear search, kept as the reference the fast path must match.
  std::uint8_t FindNearestBySearch(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const;

  void AddRef() { ++mRefCount; }
  void ReleaseRef();
  int GetRefCount() const { return mRefCount; }

  // Kept for the renderers that shade with the palette; the build reads
  // neither, but keeps their ranges honest.
  void SetOtherAmbient(float value);
  float GetOtherAmbient() const { return mOtherAmbientValue; }
  std::span<std::uint8_t, kTypeTableSize> GetTypeTable(int type);

  // The display's reserved colours (first ten, then last ten).
  static const std::array<PaletteEntry, 20>& SystemColours();
  static constexpr int kSystemColourCount = 10;

 private:
  void MakeNearestIndex() const;
  void ColoursChanged();

  std::vector<PaletteEntry> fColours;
  int mColorsUsed = 0;
  bool fSystemColours = false;
  int mRefCount = 0;
  float mOtherAmbientValue = 0.3f;
  std::vector<std::uint32_t> fPacked;
  std::array<std::array<std::uint8_t, kTypeTableSize>, kPaletteCount> fTypeTables{};
  // Kept across colour changes (Reset reuses its memory); current once it
  // has been reset for the present colours.
  mutable std::unique_ptr<NearestColourIndex> fNearest;
  mutable bool fNearestCurrent = false;
};

// The one palette of the process. Used by the build's worker thread only.
PalWrap& GetGlobalPalette();

}  // namespace pixmold
