#include "quantize/palette_job.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <set>
#include <tuple>
#include <unordered_map>

#include "filelib/replace_files.h"
#include "imaging/bmp_colour_table.h"
#include "imaging/bmp_writer.h"
#include "imaging/image_file.h"
#include "quantize/liq_quantizer.h"
#include "quantize/sheet_input.h"

namespace pixmold {
namespace {

constexpr int kEntries = 256;

// Where each colour of the mapping goes: the palette entry a drawn pixel
// may take, and its colour.
struct Candidates {
  std::vector<int> entries;
  std::vector<Rgb> colours;
};

struct Layout {
  std::array<PaletteEntry, kEntries> palette{};
  std::optional<int> background;  // the undrawn pixels' entry
  Candidates candidates;          // filled by the quantizer or from --from
};

Rgb RgbOf(std::uint32_t argb) { return {std::uint8_t(argb >> 16), std::uint8_t(argb >> 8), std::uint8_t(argb)}; }
PaletteEntry EntryOf(Rgb c) { return {c.red, c.green, c.blue, 0}; }
Rgb RgbOf(const PaletteEntry& e) { return {e.red, e.green, e.blue}; }

int Distance2(Rgb a, Rgb b) {
  const int dr = a.red - b.red, dg = a.green - b.green, db = a.blue - b.blue;
  return dr * dr + dg * dg + db * db;
}

void Fail(PaletteRun& run, PaletteFault fault, std::string message) {
  run.fault = fault;
  run.message = std::move(message);
}

bool EndsWithTga(std::string_view path) {
  if (path.size() < 5) return false;
  std::string extension(path.substr(path.size() - 4));
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::size_t slash = path.find_last_of('/');
  return extension == ".tga" && (slash == std::string_view::npos || path.size() - slash > 5);
}

// Option mistakes, in the words of the command line's options.
std::string OptionProblem(const std::vector<std::string>& sheets, const PaletteOptions& options) {
  if (sheets.empty()) return "no sheets named";
  if (options.colours < 2 || options.colours > kEntries) return "--colours must lie in 2..256";
  if (!(options.dither >= 0 && options.dither <= 1)) return "--dither must lie in 0..1";
  for (const ReserveRange& range : options.reserve) {
    if (range.last >= options.colours) {
      return "--reserve " + std::to_string(range.first) + ".." + std::to_string(range.last) +
             " lies outside the palette's " + std::to_string(options.colours) + " colours";
    }
  }
  std::set<std::string> seen;
  for (const std::string& sheet : sheets) {
    if (!EndsWithTga(sheet)) return sheet + ": a sheet's name must end in .tga (its palette image takes .bmp)";
    if (!seen.insert(sheet).second) return sheet + ": named twice";
  }
  return "";
}

// The colour table of a palette image, or the reason it has none.
std::optional<BmpColourTable> ReadColourTable(const std::string& path, std::string& reason) {
  const auto bytes = ReadImageFile(path);
  if (!bytes) {
    reason = "cannot be read";
    return std::nullopt;
  }
  BmpColourTable table = ReadBmpColourTable(*bytes);
  reason = ColourTableProblemText(table);
  if (!reason.empty()) return std::nullopt;
  return table;
}

// Entries below the colour count that no range reserves.
std::vector<int> UsableEntries(int count, const std::vector<ReserveRange>& reserve) {
  std::vector<int> usable;
  for (int i = 0; i < count; ++i) {
    const bool reserved =
        std::any_of(reserve.begin(), reserve.end(), [i](const ReserveRange& r) { return i >= r.first && i <= r.last; });
    if (!reserved) usable.push_back(i);
  }
  return usable;
}

// The background's colour: the top-left pixel of the first sheet that has
// nothing drawn there.
std::optional<Rgb> BackgroundColour(const std::vector<SheetInput>& sheets) {
  for (const SheetInput& sheet : sheets) {
    if (!sheet.TopLeftDrawn()) return RgbOf(sheet.argb[0]);
  }
  return std::nullopt;
}

// The weight of every colour that counts, over all sheets. Large sets are
// counted in a table of every colour, small ones in a map. The table comes
// from calloc, so only the pages of colours that occur are ever touched,
// and it is read back through the list of colours met.
std::vector<WeightedColour> Histogram(const std::vector<SheetInput>& sheets) {
  std::size_t pixels = 0;
  for (const SheetInput& sheet : sheets) pixels += sheet.Pixels();
  std::vector<WeightedColour> colours;
  const auto add = [](std::uint32_t& total, std::uint8_t weight) {
    total = total > std::numeric_limits<std::uint32_t>::max() - weight ? std::numeric_limits<std::uint32_t>::max()
                                                                       : total + weight;
  };
  if (pixels > (std::size_t{1} << 20)) {
    const std::unique_ptr<std::uint32_t[], decltype(&std::free)> table(
        static_cast<std::uint32_t*>(std::calloc(std::size_t{1} << 24, sizeof(std::uint32_t))), &std::free);
    if (!table) throw std::bad_alloc();
    std::vector<std::uint32_t> met;
    for (const SheetInput& sheet : sheets) {
      for (std::size_t i = 0; i < sheet.Pixels(); ++i) {
        if (sheet.weight[i] == 0) continue;
        std::uint32_t& total = table[sheet.argb[i] & 0xFFFFFF];
        if (total == 0) met.push_back(sheet.argb[i] & 0xFFFFFF);
        add(total, sheet.weight[i]);
      }
    }
    std::sort(met.begin(), met.end());
    for (std::uint32_t rgb : met) colours.push_back({RgbOf(rgb), table[rgb]});
    return colours;
  }
  std::unordered_map<std::uint32_t, std::uint32_t> table;
  for (const SheetInput& sheet : sheets) {
    for (std::size_t i = 0; i < sheet.Pixels(); ++i) {
      if (sheet.weight[i] != 0) add(table[sheet.argb[i] & 0xFFFFFF], sheet.weight[i]);
    }
  }
  for (const auto& [rgb, weight] : table) colours.push_back({RgbOf(rgb), weight});
  // The map's order depends on the standard library; the quantizer's result
  // should not.
  std::sort(colours.begin(), colours.end(), [](const WeightedColour& a, const WeightedColour& b) {
    return std::tie(a.colour.red, a.colour.green, a.colour.blue) <
           std::tie(b.colour.red, b.colour.green, b.colour.blue);
  });
  return colours;
}

// Reserved entries keep the colours of the sheet's current palette image,
// so that running the command again does not lose them.
void KeepReservedColours(const PaletteOptions& options, const std::string& paletteImage, Layout& layout) {
  std::string reason;
  const auto current = ReadColourTable(paletteImage, reason);
  if (!current) return;
  for (const ReserveRange& range : options.reserve) {
    for (int i = range.first; i <= range.last; ++i) layout.palette[i] = current->colours[i];
  }
}

bool PlanNewPalette(PaletteRun& run, const std::vector<SheetInput>& sheets, const PaletteOptions& options,
                    Layout& layout) {
  KeepReservedColours(options, sheets.front().paletteImage, layout);
  std::vector<int> free = UsableEntries(options.colours, options.reserve);
  if (const auto background = BackgroundColour(sheets); background && !free.empty()) {
    layout.background = free.front();
    layout.palette[free.front()] = EntryOf(*background);
    free.erase(free.begin());
  }
  if (free.size() < 2) {
    Fail(run, PaletteFault::kUsage,
         "--colours " + std::to_string(options.colours) +
             " leaves fewer than 2 entries for colours once the reserved and background entries are set aside");
    return false;
  }
  const std::vector<Rgb> chosen = ChooseColours(Histogram(sheets), static_cast<int>(free.size()));
  for (std::size_t i = 0; i < chosen.size(); ++i) {
    layout.palette[free[i]] = EntryOf(chosen[i]);
    layout.candidates.entries.push_back(free[i]);
    layout.candidates.colours.push_back(chosen[i]);
  }
  return true;
}

bool PlanGivenPalette(PaletteRun& run, const std::vector<SheetInput>& sheets, const PaletteOptions& options,
                      Layout& layout) {
  std::string reason;
  const auto table = ReadColourTable(options.fromPalette, reason);
  if (!table) {
    Fail(run, PaletteFault::kUnreadable, options.fromPalette + ": " + reason);
    return false;
  }
  layout.palette = table->colours;
  std::vector<int> free =
      UsableEntries(std::min<int>(options.colours, static_cast<int>(table->count)), options.reserve);
  if (const auto background = BackgroundColour(sheets); background && !free.empty()) {
    const auto nearest = std::min_element(free.begin(), free.end(), [&](int a, int b) {
      return Distance2(RgbOf(layout.palette[a]), *background) < Distance2(RgbOf(layout.palette[b]), *background);
    });
    layout.background = *nearest;
    free.erase(nearest);
  }
  for (int entry : free) {
    const Rgb colour = RgbOf(layout.palette[entry]);
    const auto& known = layout.candidates.colours;
    if (std::find(known.begin(), known.end(), colour) != known.end()) continue;
    layout.candidates.entries.push_back(entry);
    layout.candidates.colours.push_back(colour);
  }
  if (layout.candidates.entries.empty()) {
    Fail(run, PaletteFault::kUsage,
         options.fromPalette +
             ": no entry is left for drawn pixels once the reserved and background entries are "
             "set aside");
    return false;
  }
  return true;
}

// Maps one sheet and measures how far each counted pixel moved.
SheetResult MapSheet(const SheetInput& sheet, const Layout& layout, float dither) {
  SheetResult result;
  result.sheet = sheet.path;
  result.paletteImage = sheet.paletteImage;
  result.width = sheet.width;
  result.height = sheet.height;
  result.indices.assign(sheet.Pixels(), 0);
  if (!layout.candidates.colours.empty()) {
    const std::vector<std::uint8_t> mapped =
        MapOntoColours(sheet.argb, sheet.drawn, sheet.width, sheet.height, layout.candidates.colours, dither);
    for (std::size_t i = 0; i < mapped.size(); ++i) {
      result.indices[i] = static_cast<std::uint8_t>(layout.candidates.entries[mapped[i]]);
    }
  }
  const std::uint8_t undrawn =
      sheet.TopLeftDrawn() || !layout.background ? result.indices[0] : static_cast<std::uint8_t>(*layout.background);
  std::array<bool, kEntries> used{};
  double totalError = 0;
  for (std::size_t i = 0; i < sheet.Pixels(); ++i) {
    if (!sheet.drawn[i]) result.indices[i] = undrawn;
    if (sheet.weight[i] == 0) continue;
    const int d2 = Distance2(RgbOf(sheet.argb[i]), RgbOf(layout.palette[result.indices[i]]));
    const double error = std::sqrt(static_cast<double>(d2));
    totalError += error;
    result.maxError = std::max(result.maxError, error);
    result.squaredError += d2;
    ++result.drawnPixels;
    used[result.indices[i]] = true;
  }
  result.coloursUsed = static_cast<int>(std::count(used.begin(), used.end(), true));
  if (result.drawnPixels > 0) result.meanError = totalError / static_cast<double>(result.drawnPixels);
  return result;
}

}  // namespace

std::optional<ReserveRange> ParseReserveRange(std::string_view text) {
  const auto number = [](std::string_view digits, int& out) {
    if (digits.empty()) return false;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), out);
    return error == std::errc() && end == digits.data() + digits.size() && out >= 0 && out < kEntries;
  };
  ReserveRange range;
  const std::size_t dots = text.find("..");
  if (dots == std::string_view::npos) {
    if (!number(text, range.first)) return std::nullopt;
    range.last = range.first;
    return range;
  }
  if (!number(text.substr(0, dots), range.first) || !number(text.substr(dots + 2), range.last) ||
      range.last < range.first) {
    return std::nullopt;
  }
  return range;
}

double SheetResult::Psnr() const {
  if (drawnPixels == 0 || squaredError == 0) return std::numeric_limits<double>::infinity();
  const double meanSquared = squaredError / (3.0 * static_cast<double>(drawnPixels));
  return 10.0 * std::log10(255.0 * 255.0 / meanSquared);
}

PaletteRun MakePalettes(const std::vector<std::string>& sheetPaths, const PaletteOptions& options) {
  PaletteRun run;
  if (std::string problem = OptionProblem(sheetPaths, options); !problem.empty()) {
    Fail(run, PaletteFault::kUsage, problem);
    return run;
  }
  std::vector<SheetInput> sheets(sheetPaths.size());
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    const SheetLoad load = LoadSheet(sheetPaths[i], sheets[i]);
    if (load.fault == SheetFault::kNone) continue;
    Fail(run, load.fault == SheetFault::kUnsupported ? PaletteFault::kUnsupportedSheet : PaletteFault::kUnreadable,
         load.message);
    return run;
  }
  Layout layout;
  const bool planned = options.fromPalette.empty() ? PlanNewPalette(run, sheets, options, layout)
                                                   : PlanGivenPalette(run, sheets, options, layout);
  if (!planned) return run;
  run.palette = layout.palette;
  std::array<bool, kEntries> used{};
  for (SheetInput& sheet : sheets) {
    run.sheets.push_back(MapSheet(sheet, layout, options.dither));
    for (std::uint8_t index : run.sheets.back().indices) used[index] = true;
    sheet = SheetInput{};  // its pixels are no longer needed
  }
  run.coloursUsed = static_cast<int>(std::count(used.begin(), used.end(), true));
  return run;
}

WriteOutcome WritePaletteImages(std::span<PaletteRun> runs, FileSystem& files) {
  std::vector<FileReplacement> replacements;
  for (const PaletteRun& run : runs) {
    for (const SheetResult& sheet : run.sheets) {
      replacements.push_back({sheet.paletteImage, EncodeBmp8(sheet.width, sheet.height, sheet.indices, run.palette)});
    }
  }
  const ReplaceOutcome outcome = ReplaceFiles(files, replacements);
  if (!outcome.ok) {
    const bool noneChanged = outcome.step != "rename" || outcome.failedPath == replacements.front().path;
    return {false,
            outcome.failedPath + ": cannot be written (" + outcome.step + " failed); " +
                (noneChanged ? "no palette image was changed" : "the palette images named before it were replaced")};
  }
  for (PaletteRun& run : runs) run.written = true;
  return {};
}

std::vector<std::string> ReportLines(const PaletteRun& run, int colours) {
  const auto fixed = [](double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return std::string(text);
  };
  std::vector<std::string> lines;
  for (const SheetResult& sheet : run.sheets) {
    lines.push_back(sheet.sheet + ": " + std::to_string(sheet.drawnPixels) + " drawn pixels, " +
                    std::to_string(sheet.coloursUsed) + " colours, mean error " + fixed(sheet.meanError) +
                    ", max error " + fixed(sheet.maxError) + " -> " + sheet.paletteImage);
  }
  std::string ids;
  for (std::int32_t id : run.paletteIds) ids += (ids.empty() ? " " : ", ") + std::to_string(id);
  lines.push_back("palette" + ids + ": " + std::to_string(run.coloursUsed) + " of " + std::to_string(colours) +
                  " colours used");
  return lines;
}

}  // namespace pixmold
