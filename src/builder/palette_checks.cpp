#include "builder/palette_checks.h"

#include <algorithm>
#include <cstdio>

#include "base/report.h"
#include "filelib/ctg_file_manager.h"
#include "imaging/offscreen.h"
#include "imaging/tga_parser.h"
#include "imaging/true_colour_sheet.h"

namespace pixmold {
namespace {

constexpr int kBlock = 4;
// Block means further apart than this (a distance in RGB) are different
// colours: well beyond what quantizing to a palette of a few dozen colours
// moves them, well below what recolouring a part does.
constexpr double kFarApart = 48;
// Shares up to this are touch-ups not worth a warning.
constexpr double kSmallShare = 0.02;

struct BlockSums {
  std::int64_t count = 0;
  std::int64_t sheet[3] = {};
  std::int64_t image[3] = {};
};

bool EndsWithTga(const std::string& path) {
  return path.size() >= 4 && (path.ends_with(".tga") || path.ends_with(".TGA"));
}

std::string Percent(double share) {
  char text[16];
  std::snprintf(text, sizeof text, "%.1f%%", share * 100);
  return text;
}

}  // namespace

void PaletteIdCheck::Note(std::int32_t paletteId, const std::string& sheet, const std::string& paletteImage,
                          std::span<const PaletteEntry> colours) {
  fWritten[paletteId].push_back({sheet, paletteImage, {colours.begin(), colours.end()}});
}

void PaletteIdCheck::Warn() const {
  for (const auto& [id, written] : fWritten) {
    const Written& kept = written.back();
    std::vector<std::string> named;
    for (const Written& other : written) {
      if (other.paletteImage == kept.paletteImage || other.colours == kept.colours) continue;
      if (std::find(named.begin(), named.end(), other.paletteImage) != named.end()) continue;
      named.push_back(other.paletteImage);
      const std::string ids = std::to_string(id);
      // A "bmpfile" sprite's sheet is its palette image; nothing to remake.
      const bool truecolour = EndsWithTga(other.sheet) && EndsWithTga(kept.sheet);
      Warning("palette id " + ids + ": the palette images " + other.paletteImage + " and " + kept.paletteImage +
              " have different colours; PALT " + ids + " keeps those of " + kept.paletteImage +
              " (written last), so the sprites of " + other.sheet + " show wrong colours; give the sheets one palette" +
              (truecolour ? " with: pixmold palette " + other.sheet + " " + kept.sheet : std::string()));
    }
  }
}

std::optional<double> StaleShare(const std::string& tgaPath, const Offscreen& colour,
                                 std::span<const PaletteEntry> palette) {
  if (palette.size() < 256) return std::nullopt;
  TGAParser tga;
  if (tga.Open(tgaPath) != 0) return std::nullopt;
  int width = 0, height = 0;
  tga.GetSize(width, height);
  if (width != colour.Width() || height != colour.Height() || width == 0 || height == 0) return std::nullopt;
  std::vector<std::uint32_t> argb(std::size_t(width) * std::size_t(height));
  try {
    if (tga.RenderTrueColour(argb) != 0) return std::nullopt;
  } catch (const TgaReadError&) {
    return std::nullopt;
  }
  const bool hasDepth = !tga.Is24Bit();

  std::int64_t drawn = 0, differing = 0;
  std::vector<BlockSums> blocks(std::size_t(width + kBlock - 1) / kBlock);
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* row = &argb[std::size_t(y) * std::size_t(width)];
    for (int x = 0; x < width; ++x) {
      if (!DrawnInSheet(row[x], argb[0], hasDepth)) continue;
      const PaletteEntry& shown = palette[colour.PixelAt(x, y)];
      BlockSums& block = blocks[std::size_t(x / kBlock)];
      ++block.count;
      block.sheet[0] += row[x] >> 16 & 0xFF, block.sheet[1] += row[x] >> 8 & 0xFF, block.sheet[2] += row[x] & 0xFF;
      block.image[0] += shown.red, block.image[1] += shown.green, block.image[2] += shown.blue;
    }
    if (y % kBlock != kBlock - 1 && y != height - 1) continue;
    for (BlockSums& block : blocks) {
      if (block.count != 0) {
        double distance2 = 0;
        for (int c = 0; c < 3; ++c) {
          const double d = double(block.sheet[c] - block.image[c]) / double(block.count);
          distance2 += d * d;
        }
        drawn += block.count;
        if (distance2 > kFarApart * kFarApart) differing += block.count;
      }
      block = BlockSums{};
    }
  }
  if (drawn == 0) return 0.0;
  return double(differing) / double(drawn);
}

bool SavedAfter(const std::string& later, const std::string& earlier) {
  FileSystem& files = CTGFileManager::Get().Files();
  const std::optional<std::int64_t> laterTime = files.ModifiedTime(later);
  const std::optional<std::int64_t> earlierTime = files.ModifiedTime(earlier);
  return laterTime && earlierTime && *laterTime > *earlierTime;
}

void WarnIfPaletteImageStale(const std::string& tgaPath, const std::string& paletteImage, const Offscreen& colour,
                             std::span<const PaletteEntry> palette) {
  // A palette image saved after its sheet was recoloured on purpose (the
  // way to recolour an exported object): the sheet is what is old, and
  // remaking the palette image from it would undo the artist's work.
  if (SavedAfter(paletteImage, tgaPath)) return;
  const std::optional<double> share = StaleShare(tgaPath, colour, palette);
  if (!share || *share <= kSmallShare) return;
  Warning("palette image " + paletteImage + " is out of date: " + Percent(*share) + " of the drawn pixels of " +
          tgaPath + " show other colours in it, and the build takes a sheet's colours from its palette image; " +
          "remake it with: pixmold palette " + tgaPath);
}

}  // namespace pixmold
