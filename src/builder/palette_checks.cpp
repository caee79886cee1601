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
// Rows a thread takes at once: whole blocks, enough to be worth handing out.
constexpr int kBandRows = 16 * kBlock;
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

// The sums of one band of kBlock rows, block by block, and what the closed
// bands came to. Each row is added in a loop of its own, with nothing it
// writes that its reads could alias: it runs over every pixel of a build.
class StaleBlocks {
 public:
  StaleBlocks(int width, std::span<const PaletteEntry> palette, bool hasDepth)
      : fWidth(width),
        fPalette(palette.data()),
        fHasDepth(hasDepth),
        fBlocks(std::size_t(width + kBlock - 1) / kBlock) {}

  void AddRow(const std::uint32_t* sheet, const std::uint8_t* colours) {
    if (!fHaveTopLeft) {
      fTopLeft = sheet[0];
      fHaveTopLeft = true;
    }
    const std::uint32_t topLeft = fTopLeft;
    const bool hasDepth = fHasDepth;
    const PaletteEntry* palette = fPalette;
    BlockSums* blocks = fBlocks.data();
    for (int start = 0; start < fWidth; start += kBlock) {
      // One block's share of the row is summed apart and added once.
      const int end = std::min(fWidth, start + kBlock);
      int count = 0;
      int sums[6] = {};
      for (int x = start; x < end; ++x) {
        const std::uint32_t pixel = sheet[x];
        if (!DrawnInSheet(pixel, topLeft, hasDepth)) continue;
        const PaletteEntry& shown = palette[colours[x]];
        ++count;
        sums[0] += pixel >> 16 & 0xFF, sums[1] += pixel >> 8 & 0xFF, sums[2] += pixel & 0xFF;
        sums[3] += shown.red, sums[4] += shown.green, sums[5] += shown.blue;
      }
      if (count == 0) continue;
      BlockSums& block = blocks[start / kBlock];
      block.count += count;
      for (int c = 0; c < 3; ++c) {
        block.sheet[c] += sums[c];
        block.image[c] += sums[3 + c];
      }
    }
  }

  void CloseBlocks() {
    for (BlockSums& block : fBlocks) {
      if (block.count != 0) {
        double distance2 = 0;
        for (int c = 0; c < 3; ++c) {
          const double d = double(block.sheet[c] - block.image[c]) / double(block.count);
          distance2 += d * d;
        }
        fDrawn += block.count;
        if (distance2 > kFarApart * kFarApart) fDiffering += block.count;
      }
      block = BlockSums{};
    }
  }

  std::int64_t Drawn() const { return fDrawn; }
  std::int64_t Differing() const { return fDiffering; }

 private:
  int fWidth;
  const PaletteEntry* fPalette;
  bool fHasDepth;
  std::vector<BlockSums> fBlocks;
  std::uint32_t fTopLeft = 0;
  bool fHaveTopLeft = false;
  std::int64_t fDrawn = 0;
  std::int64_t fDiffering = 0;
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
                                 std::span<const PaletteEntry> palette, int threads) {
  if (palette.size() < 256) return std::nullopt;
  TGAParser tga;
  if (tga.Open(tgaPath) != 0) return std::nullopt;
  int width = 0, height = 0;
  tga.GetSize(width, height);
  if (width != colour.Width() || height != colour.Height() || width == 0 || height == 0) return std::nullopt;
  const bool hasDepth = !tga.Is24Bit();

  // The sheet is walked a row at a time from the file's own bytes: a copy of
  // the whole render would cost more than the check. Bands of whole blocks
  // go to the threads, each summing its own, and the sums are whole
  // numbers: the share is the same at any number of threads. A sheet
  // without depth tells drawn pixels by the top-left one, which only the
  // first band sees, so it is walked on one thread.
  const int used = hasDepth ? std::clamp(threads, 1, (height + kBandRows - 1) / kBandRows) : 1;
  std::vector<StaleBlocks> stale(std::size_t(used), StaleBlocks(width, palette, hasDepth));
  try {
    if (tga.VisitTrueColourRows(
            [&](int y, std::span<const std::uint32_t> row, int slot) {
              StaleBlocks& blocks = stale[std::size_t(slot)];
              blocks.AddRow(row.data(), colour.Row(y));
              if (y % kBlock == kBlock - 1 || y == height - 1) blocks.CloseBlocks();
            },
            used, kBandRows) != 0) {
      return std::nullopt;
    }
  } catch (const TgaReadError&) {
    return std::nullopt;
  }
  std::int64_t drawn = 0, differing = 0;
  for (const StaleBlocks& band : stale) {
    drawn += band.Drawn();
    differing += band.Differing();
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
                             std::span<const PaletteEntry> palette, int threads) {
  // A palette image saved after its sheet was recoloured on purpose (the
  // way to recolour an exported object): the sheet is what is old, and
  // remaking the palette image from it would undo the artist's work.
  if (SavedAfter(paletteImage, tgaPath)) return;
  const std::optional<double> share = StaleShare(tgaPath, colour, palette, threads);
  if (!share || *share <= kSmallShare) return;
  Warning("palette image " + paletteImage + " is out of date: " + Percent(*share) + " of the drawn pixels of " +
          tgaPath + " show other colours in it, and the build takes a sheet's colours from its palette image; " +
          "remake it with: pixmold palette " + tgaPath);
}

}  // namespace pixmold
