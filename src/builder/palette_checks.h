// Two mistakes with palette images that a build would otherwise carry out
// in silence, both reported as warnings in every build:
//
// Sprites that share a palette id share one PALT, written after each of
// them from its sheet's palette image, so the last one written wins and the
// others' sprites show its colours. PaletteIdCheck notes the table each
// sprite's PALT was written from and, at the end of the pass, names every
// palette image whose colours differ from the one the PALT kept.
//
// A sheet's colours come from its palette image, not from its TGA, so an
// artist who edits the TGA's colours changes nothing. WarnIfPaletteImageStale
// compares the two over the drawn pixels. It compares 4 x 4 blocks' mean
// colours rather than single pixels: a dithered palette image differs from
// its render pixel by pixel but not block by block, while an edit moves
// whole areas.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "imaging/palette_entry.h"

namespace pixmold {

class Offscreen;

class PaletteIdCheck {
 public:
  // A sprite's PALT under paletteId was written from colours, which came
  // from paletteImage, the palette image of sheet.
  void Note(std::int32_t paletteId, const std::string& sheet, const std::string& paletteImage,
            std::span<const PaletteEntry> colours);
  // One warning per palette image whose colours the PALT did not keep.
  void Warn() const;

 private:
  struct Written {
    std::string sheet;
    std::string paletteImage;
    std::vector<PaletteEntry> colours;
  };
  std::map<std::int32_t, std::vector<Written>> fWritten;
};

// The share of a sheet's drawn pixels (0..1) whose colours its palette
// image does not give; nothing when the TGA cannot be read (the render
// reported that) or has another size than the colour offscreen.
// threads: how many threads walk the sheet at once; the share is the same
// at any count.
std::optional<double> StaleShare(const std::string& tgaPath, const Offscreen& colour,
                                 std::span<const PaletteEntry> palette, int threads = 1);

// True when both files' times are known and later was saved after earlier.
bool SavedAfter(const std::string& later, const std::string& earlier);

// Warns when more than a small share of the sheet's drawn pixels differ,
// unless the palette image was saved after the sheet: then its colours are
// the artist's latest word, not a leftover.
void WarnIfPaletteImageStale(const std::string& tgaPath, const std::string& paletteImage, const Offscreen& colour,
                             std::span<const PaletteEntry> palette, int threads = 1);

}  // namespace pixmold
