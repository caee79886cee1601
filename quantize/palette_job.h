// Makes the palette images of a set of truecolour sheets: one palette for
// all of them (sheets that share a palette id must share their colours),
// then for each sheet its palette image, the 8-bit BMP beside it from which
// the build takes the sheet's colours. The command line's `palette` command
// and the dialog's "Make palettes" both run it.
//
// Entries of the palette, in order of precedence: entries the options
// reserve keep their colours (those of the --from palette, else those the
// first sheet's current palette image has, else black) and no drawn pixel
// takes them; one entry holds the colour of the undrawn background, which
// no drawn pixel takes either, so that the build's clear colour (a sheet's
// top-left pixel) is never a colour of the art; the remaining entries below
// the colour count hold the quantizer's colours, or with --from the given
// palette's.
//
// Nothing is written until every sheet has been read and mapped, and then
// all palette images are replaced together (replace_files.h).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/palette_entry.h"

namespace pixmold {

class FileSystem;

struct ReserveRange {
  int first = 0;
  int last = 0;
};

// "I..J" or "I", with 0 <= I <= J <= 255; nothing otherwise.
std::optional<ReserveRange> ParseReserveRange(std::string_view text);

struct PaletteOptions {
  int colours = 256;  // 2..256: entries 0..colours-1 may be used
  float dither = 0;   // 0..1, Floyd-Steinberg strength
  std::vector<ReserveRange> reserve = {};
  std::string fromPalette = {};  // map onto this palette image's colours instead
};

struct SheetResult {
  std::string sheet;
  std::string paletteImage;
  int width = 0;
  int height = 0;
  std::int64_t drawnPixels = 0;  // pixels that count (sheet_input.h)
  int coloursUsed = 0;           // distinct entries those pixels take
  double meanError = 0;          // distance in RGB between a pixel and its entry's colour
  double maxError = 0;
  double squaredError = 0;            // summed over pixels and channels
  std::vector<std::uint8_t> indices;  // the palette image's pixels, top row first

  // Peak signal to noise ratio of the counted pixels in dB; infinite when exact.
  double Psnr() const;
};

// kUsage and kUnsupportedSheet are the user's to fix on the command line
// (exit status 2); kUnreadable and kWriteFailed are failures (1).
enum class PaletteFault { kNone, kUsage, kUnsupportedSheet, kUnreadable, kWriteFailed };

struct PaletteRun {
  std::vector<std::int32_t> paletteIds;  // the ids that share this palette, when known
  PaletteFault fault = PaletteFault::kNone;
  std::string message;  // for a fault: what and where, for the user
  std::array<PaletteEntry, 256> palette{};
  int coloursUsed = 0;  // distinct entries any pixel of any sheet takes
  std::vector<SheetResult> sheets;
  bool written = false;
};

// Reads and maps every sheet; writes nothing.
PaletteRun MakePalettes(const std::vector<std::string>& sheets, const PaletteOptions& options);

struct WriteOutcome {
  bool ok = true;
  std::string message;  // for the user: which file, and what was left changed
};

// Replaces the palette image of every sheet of every run, all or none, and
// marks the runs written.
WriteOutcome WritePaletteImages(std::span<PaletteRun> runs, FileSystem& files);

// "SHEET: N drawn pixels, C colours, mean error M, max error X -> IMAGE"
// for each sheet, then "palette: U of N colours used" (with the palette ids
// when known).
std::vector<std::string> ReportLines(const PaletteRun& run, int colours);

}  // namespace pixmold
