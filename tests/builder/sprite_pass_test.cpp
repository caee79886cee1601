// The sprite pass end to end: sheets, palette images, alpha images and masks
// written here byte by byte, a real build, then every frame written decoded
// and held against its cell of the source images.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "base/xassert.h"
#include "builder/run_build.h"
#include "filelib/ctg_file_manager.h"
#include "imaging/decoded_sprite.h"
#include "imaging/image_bytes.h"
#include "imaging/spr_decoder.h"
#include "imaging/sprite2_decoder.h"
#include "records/draw_group.h"
#include "resfile/recon_stream.h"
#include "support/build_on_worker.h"
#include "support/decoded_lists.h"
#include "support/object_file_fixture.h"
#include "support/res_type_names.h"
#include "support/transfer_counter.h"

namespace pixmold {
namespace {

using testing::Bmp8;
using testing::StoredResource;
using testing::Tga;

constexpr std::uint8_t kClearIndex = 5;

// Cells 16 x 24, 8 x 12 and 4 x 6 with a border of 1: a sheet row is 112
// pixels wide and 24 high.
constexpr const char* kSizes =
    "<sizes lwidth=16 lheight=24 mwidth=8 mheight=12 swidth=4 sheight=6 border=1 "
    "lxorigin=8 lyorigin=4 mxorigin=4 myorigin=2 sxorigin=2 syorigin=1>\n";
constexpr int kSheetWidth = 112;

std::uint32_t Hash(std::uint32_t seed, int x, int y) {
  std::uint32_t h =
      seed * 0x9E3779B9u ^ static_cast<std::uint32_t>(x) * 0x85EBCA6Bu ^ static_cast<std::uint32_t>(y) * 0xC2B2AE35u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  return h ^ (h >> 13);
}

// A rendered sheet: a sparse scatter of drawn pixels (never the top-left
// one, which the pass takes as the background), each with its own palette
// index, depth and coverage.
struct PassSheet {
  std::uint32_t seed = 1;
  int rows = 1;
  int width = kSheetWidth;
  int height = 0;  // rows of 24 when 0
  // A drawn pixel on row 1 without depth, whose neighbours are all at depth
  // 0: the depth clean-up finds nothing to take, reports it and throws it
  // away.
  int lonelyX = -1;
  bool Ring(int x, int y) const { return lonelyX >= 0 && std::abs(x - lonelyX) <= 1 && std::abs(y - 1) <= 1; }
  bool Lonely(int x, int y) const { return x == lonelyX && y == 1; }
  bool Drawn(int x, int y) const { return Ring(x, y) || ((x | y) != 0 && Hash(seed, x, y) % 5 == 0); }
  std::uint8_t Index(int x, int y) const {
    return Drawn(x, y) ? static_cast<std::uint8_t>(20 + (Hash(seed, x, y) >> 8) % 200) : kClearIndex;
  }
  std::uint8_t Depth(int x, int y) const {
    if (Ring(x, y)) return Lonely(x, y) ? 255 : 0;
    return Drawn(x, y) ? static_cast<std::uint8_t>(10 + (Hash(seed, x, y) >> 16) % 200) : 255;
  }
  std::uint8_t Coverage(int x, int y) const {
    static constexpr std::uint8_t kLevels[] = {255, 255, 128, 40, 4};
    return Drawn(x, y) ? kLevels[(Hash(seed, x, y) >> 4) % 5] : 0;
  }
  int Height() const { return height != 0 ? height : rows * 24; }
};

// What the pass should make of one sheet pixel.
struct Expected {
  bool drawn = false;
  std::uint8_t colour = 0, depth = 255, alpha = 0;
  PixelKind kind = PixelKind::kClear;
};

enum class Mode { kDepth, kAlpha, kColourOnly };

class SpriteBuild {
 public:
  SpriteBuild() {
    testing::WriteObjectFile(fObjectFile, {testing::ObjdResource(128, "Chair", testing::ObjdFields{.guid = 42})});
    fArgs.fObjectFile = fObjectFile;
    fArgs.fTgaDirectory = Directory();
    fArgs.fMakeSprites = 1;
    fArgs.fReportStream = &fReport;
    fArgs.fObserver = [this](ReportKind kind, std::string_view text, std::optional<int>) {
      if (kind == ReportKind::kInputProblem) fInputProblem = text;
    };
  }

  std::string Directory() const { return fDir.Path().string() + "/"; }
  // A 32-bit sheet (24-bit when depth is off) and its palette image.
  void AddSheet(const std::string& base, const PassSheet& sheet, bool depth = true, const std::string& tgaName = "",
                const std::string& bmpName = "") {
    fSheets[base] = sheet;
    if (!depth) fFlat.insert(base);
    const int height = sheet.Height();
    fDir.Write(tgaName.empty() ? base + ".tga" : tgaName,
               AsChars(Tga(sheet.width, height, depth ? 32 : 24, [&](int x, int y) {
                 return std::uint32_t{sheet.Depth(x, y)} << 24 | testing::BmpHeaderColour(sheet.Index(x, y));
               })));
    AddPaletteImage(bmpName.empty() ? base + ".bmp" : bmpName, sheet);
  }
  void AddPaletteImage(const std::string& name, const PassSheet& sheet) {
    fSheets.emplace(name.substr(0, name.size() - 4), sheet);
    fDir.Write(name, AsChars(Bmp8(sheet.width, sheet.Height(), [&](int x, int y) { return sheet.Index(x, y); })));
  }
  // A grey 24-bit image whose red value is the coverage.
  void AddAlphaImage(const std::string& base) {
    const PassSheet sheet = fSheets.at(base);
    fDir.Write(base + "alpha.tga", AsChars(Tga(kSheetWidth, sheet.Height(), 24, [&](int x, int y) {
                 return std::uint32_t{sheet.Coverage(x, y)} * 0x010101u;
               })));
    fAlpha.insert(base);
  }
  // An 8-bit mask whose background (top-left) index 0 clears the sheet
  // beneath it from row `fromRow`; index 1 keeps it.
  void AddMask(const std::string& name, const std::string& base, int fromRow, int height,
               bool (*clears)(int x, int y)) {
    fDir.Write(name, AsChars(Bmp8(kSheetWidth, height, [&](int x, int y) {
                 return static_cast<std::uint8_t>(clears(x, y) || (x | y) == 0 ? 0 : 1);
               })));
    fMasks[base] = {fromRow, height, clears};
  }

  int Run(const std::string& markup) {
    fArgs.fOmkFile = fDir.Write("chair.omk", kSizes + markup);
    const int status = testing::RunBuildOnWorker(fArgs);
    fResources = testing::ReadObjectFile(fObjectFile);
    return status;
  }

  std::string Report() const { return fReport.str(); }
  // The report's lines that start with the prefix, the image directory
  // written as "DIR/".
  std::vector<std::string> ReportLines(const std::string& prefix) const {
    std::vector<std::string> lines;
    std::istringstream in(fReport.str());
    for (std::string line; std::getline(in, line);) {
      if (line.starts_with(prefix)) lines.push_back(WithDir(line));
    }
    return lines;
  }
  // "PATH: REASON" for the input file a fatal error blamed, "" for none.
  std::string InputProblem() const { return WithDir(fInputProblem); }
  const StoredResource* Find(ResType type, ResID id) const { return testing::FindResource(fResources, type, id); }
  std::string Contents() const { return testing::ResourceList(fResources); }

  Expected At(const SpriteSpec& spec, Mode mode, int x, int y) const {
    const std::string base = spec.FileName().substr(0, spec.FileName().size() - 4);
    const PassSheet& sheet = fSheets.at(base);
    Expected pixel;
    pixel.drawn = mode == Mode::kColourOnly ? sheet.Index(x, y) != kClearIndex : sheet.Depth(x, y) != 255;
    if (auto mask = fMasks.find(base); mask != fMasks.end()) {
      const MaskInfo& info = mask->second;
      if (y >= info.fromRow && y < info.fromRow + info.height && info.clears(x, y - info.fromRow)) pixel.drawn = false;
    }
    const std::uint8_t alpha = static_cast<std::uint8_t>(sheet.Coverage(x, y) >> 3);
    if (mode == Mode::kAlpha && alpha == 0) pixel.drawn = false;
    if (!pixel.drawn) return pixel;
    pixel.colour = sheet.Index(x, y);
    if (mode == Mode::kColourOnly) {
      pixel.kind = PixelKind::kColour;
      return pixel;
    }
    pixel.depth = sheet.Depth(x, y);
    pixel.kind = mode == Mode::kAlpha && alpha != 31 ? PixelKind::kAlpha : PixelKind::kDepth;
    if (pixel.kind == PixelKind::kAlpha) pixel.alpha = alpha;
    return pixel;
  }

  // The drawn pixels' bounding box inside the cell.
  Rect Trimmed(const SpriteSpec& spec, Mode mode, const Rect& cell) const {
    Rect box;
    bool any = false;
    for (int y = cell.top; y < cell.bottom; ++y) {
      for (int x = cell.left; x < cell.right; ++x) {
        if (!At(spec, mode, x, y).drawn) continue;
        box = any ? UnionRect(box, Rect::Make(x, y, x + 1, y + 1)) : Rect::Make(x, y, x + 1, y + 1);
        any = true;
      }
    }
    return box;
  }

  // The mode a spec's sprite is made in: colour only from a palette image
  // alone or a 24-bit sheet, with alpha when an alpha image lies beside it.
  Mode ModeOf(const SpriteSpec& spec) const {
    const std::string base = spec.FileName().substr(0, spec.FileName().size() - 4);
    if (spec.BmpOnly() || fFlat.contains(base)) return Mode::kColourOnly;
    return fAlpha.contains(base) ? Mode::kAlpha : Mode::kDepth;
  }

  // A cell with nothing drawn trims to the all-zero rectangle, whose frame
  // is empty with origin 0.
  struct Frame {
    DecodedSprite pixels;
    Rect cell, box;
  };
  // Decodes every frame of the spec's list and checks it against its cell;
  // returns the frames for the draw group checks.
  std::vector<Frame> CheckSprite(const SpriteSpec& spec) const {
    const Mode mode = ModeOf(spec);
    std::vector<Frame> frames;
    const StoredResource* stored = Find(mode == Mode::kColourOnly ? kSPR : kSPR2, static_cast<ResID>(spec.Id()));
    EXPECT_NE(stored, nullptr) << spec.Id();
    if (stored == nullptr) return frames;
    const testing::DecodedList list = testing::DecodeList(stored->bytes, mode != Mode::kColourOnly, ByteOrder::kBig);
    EXPECT_EQ(list.version, mode == Mode::kColourOnly ? 502 : 1000);
    EXPECT_EQ(list.paletteId, spec.PaletteId());
    EXPECT_EQ(list.frames.size(), static_cast<std::size_t>(spec.SpriteCount()));
    for (std::size_t i = 0; i < list.frames.size(); ++i) {
      SCOPED_TRACE("frame " + std::to_string(i));
      Rect cell;
      CellOrigin origin;
      CellRecord record;
      spec.CellRect(static_cast<std::int32_t>(i), cell, origin, record);
      const Rect box = Trimmed(spec, mode, cell);
      Frame frame{list.frames[i], cell, box};
      if (mode != Mode::kColourOnly) {
        const Sprite2FrameHeader& header = list.headers[i];
        const bool empty = box.IsEmpty();
        EXPECT_EQ(std::tuple(header.flags, header.paletteId, header.clearColour),
                  std::tuple(mode == Mode::kAlpha ? 7u : 3u, static_cast<std::int16_t>(spec.PaletteId()),
                             std::uint16_t{kClearIndex}));
        EXPECT_EQ(ScreenPoint(header.originX, header.originY),
                  empty ? ScreenPoint() : ScreenPoint(box.left - cell.left, box.top - cell.top));
      }
      EXPECT_EQ(std::pair(frame.pixels.width, frame.pixels.height), std::pair(box.Width(), box.Height()));
      if (frame.pixels.width != box.Width() || frame.pixels.height != box.Height()) continue;
      int wrong = 0;
      for (int y = 0; y < box.Height(); ++y) {
        for (int x = 0; x < box.Width(); ++x) {
          const Expected want = At(spec, mode, box.left + x, box.top + y);
          const std::size_t at = frame.pixels.Index(x, y);
          const bool same = frame.pixels.kind[at] == want.kind &&
                            (!want.drawn || (frame.pixels.colour[at] == want.colour &&
                                             (mode == Mode::kColourOnly || frame.pixels.depth[at] == want.depth) &&
                                             frame.pixels.alpha[at] == want.alpha));
          wrong += same ? 0 : 1;
        }
      }
      EXPECT_EQ(wrong, 0);
      frames.push_back(std::move(frame));
    }
    return frames;
  }

  using Sprites = std::map<std::int32_t, std::pair<const SpriteSpec*, std::vector<Frame>>>;
  // Checks every spec's sprite; returns the frames by sprite id for the draw
  // group checks.
  Sprites CheckSprites() const {
    Sprites sprites;
    for (const SpriteSpec* spec : fArgs.fContext->sprites) {
      SCOPED_TRACE(spec->Id());
      sprites[spec->Id()] = {spec, CheckSprite(*spec)};
    }
    return sprites;
  }

  // Every item of the draw group placed where its frame's trimmed box puts
  // it relative to the object's reference point.
  void CheckDrawGroup(ResID id, const Sprites& sprites) {
    const StoredResource* stored = Find(kDGRP, id);
    ASSERT_NE(stored, nullptr) << id;
    DrawGroup group;
    ReconStream reader = ReconStream::Reader(stored->bytes, false);
    group.Reconstitute(reader);
    int checked = 0;
    for (const DrawGroupImage& image : group.images) {
      for (const DrawGroupItem& item : image.items) {
        const auto& [spec, frames] = sprites.at(item.spriteId);
        ASSERT_LT(static_cast<std::size_t>(item.frameIndex), frames.size());
        const Frame& frame = frames[static_cast<std::size_t>(item.frameIndex)];
        const int size = (item.frameIndex % spec->SpritesPerFrame()) / spec->SpritesPerZoom();
        EXPECT_EQ(size, 3 - static_cast<int>(image.zoom));
        const RenderSpec& sizes = spec->Sizes();
        const auto s = static_cast<std::size_t>(size);
        int x = -sizes.xOrigin[s] + frame.box.left - frame.cell.left;
        const int y = sizes.height[s] - sizes.yOrigin[s] + frame.box.bottom - frame.cell.bottom;
        if (item.flags & DrawGroupItem::kFlagMirrored) x = -x - frame.box.Width() - 1;
        EXPECT_EQ(item.offsetX, x) << "draw group " << id << " sprite " << item.spriteId << " zoom " << image.zoom;
        EXPECT_EQ(item.offsetY, y) << "draw group " << id << " sprite " << item.spriteId << " zoom " << image.zoom;
        ++checked;
      }
    }
    EXPECT_GT(checked, 0);
  }

  const SpriteSpec& Spec(std::int32_t id) const {
    for (const SpriteSpec* spec : fArgs.fContext->sprites) {
      if (spec->Id() == id) return *spec;
    }
    throw std::runtime_error("no sprite spec " + std::to_string(id));
  }

  const PassSheet& SheetNamed(const std::string& base) const { return fSheets.at(base); }

  testing::TempDir fDir;
  std::string fObjectFile = fDir.File("chair.iff");
  std::ostringstream fReport;
  BuildArgs fArgs;
  std::vector<StoredResource> fResources;

 private:
  struct MaskInfo {
    int fromRow = 0;
    int height = 0;
    bool (*clears)(int x, int y) = nullptr;
  };
  static std::span<const unsigned char> AsChars(const testing::Bytes& bytes) { return {bytes.data(), bytes.size()}; }

  std::string WithDir(std::string line) const {
    for (std::size_t at; (at = line.find(Directory())) != std::string::npos;)
      line.replace(at, Directory().size(), "DIR/");
    return line;
  }

  std::string fInputProblem;
  std::map<std::string, PassSheet> fSheets;
  std::set<std::string> fAlpha;
  std::set<std::string> fFlat;
  std::map<std::string, MaskInfo> fMasks;
};

// Colour and depth from a 32-bit sheet, the same with an alpha image, and
// colour alone from a 24-bit one; draw groups over all three, one item seen
// at a direction offset.
void AddEveryKindOfSheet(SpriteBuild& build) {
  build.AddSheet("chair", {.seed = 1, .rows = 3});
  build.AddSheet("lamp", {.seed = 2});
  build.AddAlphaImage("lamp");
  build.AddSheet("flat", {.seed = 3}, false);
}
constexpr const char* kEveryKindMarkup =
    "<sprite id=100 name=\"Seat\" tgafile=chair.tga paletteid=7>\n"
    "<sprite id=101 name=\"Back\" tgafile=chair.tga symmetry=bi-lateral frames=2>\n"
    "<sprite id=102 name=\"Lamp\" tgafile=lamp.tga>\n<sprite id=103 name=\"Flat\" tgafile=flat.tga paletteid=0>\n"
    "<drawgroup id=200 name=\"Chair\">\n<item sprite id=100>\n<item sprite id=101 \"direction offset\"=2>\n"
    "<drawgroup id=201 name=\"Lamp\">\n<item sprite id=102>\n<item sprite id=103>\n";

TEST(SpritePass, EveryFrameAndDrawGroupItemMatchesTheSheets) {
  SpriteBuild build;
  AddEveryKindOfSheet(build);
  ASSERT_EQ(build.Run(kEveryKindMarkup), 0) << build.Report();

  const SpriteBuild::Sprites sprites = build.CheckSprites();
  build.CheckDrawGroup(200, sprites);
  build.CheckDrawGroup(201, sprites);

  // A palette of the sheet's palette image under each palette id given, 0
  // among them.
  for (ResID id : {7, 0}) {
    const StoredResource* palette = build.Find(kPALT, id);
    ASSERT_NE(palette, nullptr);
    ASSERT_EQ(palette->bytes.size(), 784u);
    std::vector<std::uint8_t> expected = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 256; ++i) {
      expected.insert(expected.end(), {static_cast<std::uint8_t>(i / 2), static_cast<std::uint8_t>(255 - i),
                                       static_cast<std::uint8_t>(i)});
    }
    EXPECT_EQ(palette->bytes, expected);
  }
  EXPECT_EQ(build.Find(kPALT, -1), nullptr);

  // One progress line per SPR2 frame, none for the SPR# list.
  EXPECT_EQ(build.ReportLines("Compressing row:").size(), 12u + 12u + 12u);
  EXPECT_EQ(build.ReportLines("Compressing row:")[12], "Compressing row:1 size:large column:0 into sprite #0");
  EXPECT_EQ(build.ReportLines("Generating sprite ").front(), "Generating sprite 100, Seat...");
  const std::vector<std::pair<ResType, ResID>> written = {{kSPR2, 100}, {kPALT, 7}, {kSPR2, 101}, {kSPR2, 102},
                                                          {kSPR, 103},  {kPALT, 0}, {kDGRP, 200}, {kDGRP, 201}};
  EXPECT_EQ(build.fArgs.fWritten, written);
  EXPECT_EQ(build.Report().find("warning"), std::string::npos) << build.Report();
}

// What a build leaves, with the folder it ran in taken out of the report.
struct ThreadedOutcome {
  int status = 0;
  std::string report;
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> resources;
  bool operator==(const ThreadedOutcome&) const = default;
};

// The error stream's lines (the depth clean-up's) go into the report, so a
// test sees where they fall among its lines.
ThreadedOutcome BuildOnThreads(int threads, void (*setUp)(SpriteBuild&), const std::string& markup) {
  SpriteBuild build;
  setUp(build);
  build.fArgs.fThreads = threads;
  ThreadedOutcome outcome;
  std::streambuf* const errors = std::cerr.rdbuf(build.fReport.rdbuf());
  outcome.status = build.Run(markup);
  std::cerr.rdbuf(errors);
  outcome.report = build.Report();
  for (std::size_t at; (at = outcome.report.find(build.Directory())) != std::string::npos;) {
    outcome.report.replace(at, build.Directory().size(), "DIR/");
  }
  for (const StoredResource& resource : build.fResources) {
    outcome.resources.emplace_back(testing::ResourceList({resource}), resource.bytes);
  }
  return outcome;
}

// Frames are encoded on as many threads as asked and put together in cell
// order, and the palette check sums the bands of the sheet each thread
// walked, so the object file and the report are the same at every count.
TEST(SpritePass, EveryThreadCountWritesTheSameObjectAndReport) {
  struct ThreadCase {
    const char* name;
    void (*setUp)(SpriteBuild&);
    const char* markup;
    int status;
    const char* says;
  };
  const ThreadCase cases[] = {
      {"depth, alpha and colour-only sheets with draw groups", AddEveryKindOfSheet, kEveryKindMarkup, 0,
       "Compressing row:0 size:large column:0 into sprite #0"},
      // The stale palette check walks the sheet in bands on the threads.
      {"a palette image out of date with its sheet",
       [](SpriteBuild& b) {
         // The palette image first: one saved after its sheet is taken
         // for a deliberate recolouring and not reported.
         b.AddPaletteImage("stale.bmp", {.seed = 13, .rows = 4});
         b.AddSheet("stale", {.seed = 12, .rows = 4}, true, "", "unused.bmp");
       },
       "<sprite id=400 name=\"Stale\" tgafile=stale.tga frames=4>\n", 0, "is out of date"},
      // A list's write warns; beside the build, it runs while the next
      // sheet is read, whose lines and clean-up message must still follow
      // the warning.
      {"a list of the other kind left by an earlier build",
       [](SpriteBuild& b) {
         testing::WriteObjectFile(
             b.fObjectFile, {testing::ObjdResource(128, "Chair", testing::ObjdFields{.guid = 42}),
                             StoredResource{.type = MakeResType("SPR#"), .id = 101, .name = "Old", .bytes = {1, 2}}});
         b.AddSheet("chair", {.seed = 1, .rows = 3});
         b.AddSheet("lamp", {.seed = 2, .lonelyX = 5});
       },
       "<sprite id=100 name=\"Seat\" tgafile=chair.tga paletteid=7>\n"
       "<sprite id=101 name=\"Back\" tgafile=chair.tga>\n<sprite id=102 name=\"Lamp\" tgafile=lamp.tga>\n",
       0,
       "warning: sprite 101 is now an SPR2 list: removed the SPR# 101 left by an earlier build\nGenerating sprite 102"},
      // A sheet that cannot be read after lists were written: the same
      // lists stay and the report stops at the same line.
      {"a missing sheet after two lists",
       [](SpriteBuild& b) {
         b.AddSheet("chair", {.seed = 1, .rows = 3});
         b.AddSheet("lamp", {.seed = 2});
       },
       "<sprite id=100 name=\"Seat\" tgafile=chair.tga paletteid=7>\n<sprite id=102 name=\"Lamp\" tgafile=lamp.tga>\n"
       "<sprite id=103 name=\"Gone\" tgafile=gone.tga>\n",
       1, "gone"},
  };
  for (const ThreadCase& c : cases) {
    SCOPED_TRACE(c.name);
    const ThreadedOutcome alone = BuildOnThreads(1, c.setUp, c.markup);
    EXPECT_EQ(alone.status, c.status) << alone.report;
    EXPECT_NE(alone.report.find(c.says), std::string::npos) << alone.report;
    EXPECT_FALSE(alone.resources.empty());
    for (const int threads : {2, 3, 8}) {
      SCOPED_TRACE(std::to_string(threads) + " threads");
      const ThreadedOutcome spread = BuildOnThreads(threads, c.setUp, c.markup);
      EXPECT_EQ(spread.status, alone.status);
      EXPECT_EQ(spread.report, alone.report);
      EXPECT_TRUE(spread.resources == alone.resources);
    }
  }
}

// A rebuild of unchanged art finds every list already in the object and
// writes nothing, yet reports every frame as the first build did. After one
// sheet changes, only what came from it is written again.
TEST(SpritePass, ARebuildWritesOnlyWhatChanged) {
  for (const int threads : {1, 2}) {
    SCOPED_TRACE(std::to_string(threads) + " threads");
    SpriteBuild build;
    AddEveryKindOfSheet(build);
    build.fArgs.fThreads = threads;
    ASSERT_EQ(build.Run(kEveryKindMarkup), 0) << build.Report();
    const std::string firstReport = build.Report();
    const std::vector<StoredResource> first = build.fResources;
    std::size_t listBytes = 0;
    for (const StoredResource& resource : first) listBytes += resource.bytes.size();

    auto rebuild = [&] {
      build.fReport.str("");
      build.fArgs.fWritten.clear();
      testing::TransferCounter counter(CTGFileManager::Get());
      EXPECT_EQ(build.Run(kEveryKindMarkup), 0) << build.Report();
      // Every sheet's alpha image is looked for; the folder is listed once.
      EXPECT_EQ(counter.lists, 1);
      return counter.written;
    };
    EXPECT_EQ(rebuild(), 0);
    EXPECT_EQ(build.Report(), firstReport);
    ASSERT_EQ(build.fResources.size(), first.size());
    for (std::size_t i = 0; i < first.size(); ++i) {
      EXPECT_EQ(testing::ResourceList({build.fResources[i]}), testing::ResourceList({first[i]}));
      EXPECT_TRUE(build.fResources[i].bytes == first[i].bytes) << testing::ResourceList({first[i]});
    }

    build.AddSheet("lamp", {.seed = 9});
    build.AddAlphaImage("lamp");
    const std::int64_t written = rebuild();
    EXPECT_GT(written, 0);
    EXPECT_LT(written, static_cast<std::int64_t>(listBytes) / 2);
    for (const StoredResource& before : first) {
      const StoredResource* after = build.Find(before.type, before.id);
      ASSERT_NE(after, nullptr);
      const bool fromLamp = (before.type == kSPR2 && before.id == 102) || (before.type == kDGRP && before.id == 201);
      EXPECT_EQ(after->bytes == before.bytes, !fromLamp) << testing::ResourceList({before});
    }
  }
}

bool ClearsLeftHalf(int x, int) { return x < kSheetWidth / 2; }

struct EdgeCase {
  const char* name;
  void (*setUp)(SpriteBuild&);
  const char* markup;
  int status;
  // Report lines starting "Rendering file" or "warning" or "fatal", and
  // "input: PATH: REASON" for the file a fatal error blames.
  std::vector<std::string> lines;
};

TEST(SpritePass, EdgeCases) {
  const EdgeCase cases[] = {
      {"a sheet is rendered again only when the spec names another one",
       [](SpriteBuild& b) {
         b.AddSheet("a", {.seed = 4, .rows = 3});
         b.AddSheet("b", {.seed = 5});
       },
       "<sprite id=1 tgafile=a.tga><sprite id=2 tgafile=a.tga><sprite id=3 tgafile=b.tga>"
       "<sprite id=4 tgafile=a.tga position=2>",
       0,
       {"Rendering file a.tga...", "Rendering file b.tga...", "Rendering file a.tga..."}},
      {"a missing palette image names its full path",
       [](SpriteBuild& b) { b.AddSheet("a", {}, true, "a.tga", "other.bmp"); },
       "<sprite id=1 tgafile=a.tga>",
       1,
       {"fatal error: BMP file DIR/a.bmp required.  Could not obtain palette.",
        "input: DIR/a.bmp: no such file; every sheet needs its 8-bit palette image beside it (the sheet's name with "
        ".bmp)"}},
      {"a misspelt sheet name blames the sheet, not only its palette image",
       [](SpriteBuild& b) { b.AddSheet("a", {}); },
       "<sprite id=1 tgafile=b.tga>",
       1,
       {"fatal error: BMP file DIR/b.bmp required.  Could not obtain palette.",
        "input: DIR/b.tga: no such file, nor its palette image DIR/b.bmp; check the sheet's name (tgafile) in the "
        "markup"}},
      {"a tag naming no sheet blames the markup",
       [](SpriteBuild& b) { b.AddSheet("a", {}); },
       "<sprite id=2>",
       1,
       {"fatal error: BMP file DIR/ required.  Could not obtain palette.",
        "input: DIR/chair.omk: sprite 2 names no sheet; give its tag a tgafile (or a bmpfile)"}},
      {"a sheet named outside the image folder is refused before anything is read",
       [](SpriteBuild& b) { b.AddSheet("a", {}); },
       "<sprite id=1 tgafile=../a.tga>",
       1,
       {"fatal error: line: 2 - tgafile \"../a.tga\" leaves the image folder: file names in markup are relative to "
        "their folder and may not leave it (--allow-outside-names lifts this)"}},
      {"a sheet too small for its cells says what they need",
       [](SpriteBuild& b) { b.AddSheet("a", {.width = 100}); },
       "<sprite id=1 tgafile=a.tga>",
       1,
       {"Rendering file a.tga...",
        "fatal error: tga file too small for some sprite position...did you export all frames?",
        "input: DIR/a.tga: 100 x 24, but sprite 1's cells need 111 x 23; did you export all frames?"}},
      {"a bmpfile spec takes its colours from the palette image alone",
       [](SpriteBuild& b) { b.AddPaletteImage("pic.bmp", {.seed = 6}); },
       "<sprite id=1 bmpfile=pic.bmp>",
       0,
       {"Rendering file pic.bmp..."}},
      {"a mask clears the sheet where it shows its background",
       [](SpriteBuild& b) {
         b.AddSheet("a", {.seed = 7, .rows = 2});
         b.AddMask("m.bmp", "a", 24, 24, ClearsLeftHalf);
       },
       "<sprite id=1 tgafile=a.tga position=1 mask=m.bmp>",
       0,
       {"Rendering file a.tga..."}},
      {"a mask below the sheet's end is refused",
       [](SpriteBuild& b) {
         b.AddSheet("a", {.seed = 7, .rows = 2});
         b.AddMask("m.bmp", "a", 24, 48, ClearsLeftHalf);
       },
       "<sprite id=1 tgafile=a.tga position=1 mask=m.bmp>",
       1,
       {"Rendering file a.tga...", "fatal error: mask too large or sprite file too small",
        "input: DIR/m.bmp: the mask is 112 x 48; laid from row 24 (sprite 1's position) it needs a sheet of at least "
        "112 x 72, but DIR/a.tga is 112 x 48"}},
      {"names differing in letter case are found, with a warning",
       [](SpriteBuild& b) { b.AddSheet("chair", {.seed = 8}, true, "Chair.TGA", "CHAIR.BMP"); },
       "<sprite id=1 tgafile=chair.tga>",
       0,
       {"warning: no file DIR/chair.bmp, using DIR/CHAIR.BMP whose name differs only in letter case",
        "Rendering file chair.tga...",
        "warning: no file DIR/chair.tga, using DIR/Chair.TGA whose name differs only in letter case"}},
      {"two names differing only in letter case are ambiguous",
       [](SpriteBuild& b) {
         b.AddSheet("chair", {.seed = 8}, true, "chair.tga", "Chair.bmp");
         b.AddPaletteImage("CHAIR.bmp", {.seed = 8});
       },
       "<sprite id=1 tgafile=chair.tga>",
       1,
       {"fatal error: several files match DIR/chair.bmp ignoring letter case: DIR/CHAIR.bmp DIR/Chair.bmp"}},
  };
  for (const EdgeCase& c : cases) {
    SCOPED_TRACE(c.name);
    SpriteBuild build;
    c.setUp(build);
    EXPECT_EQ(build.Run(c.markup), c.status) << build.Report();
    std::vector<std::string> lines;
    for (const char* prefix : {"Rendering file", "warning", "fatal"}) {
      for (const std::string& line : build.ReportLines(prefix)) lines.push_back(line);
    }
    if (!build.InputProblem().empty()) lines.push_back("input: " + build.InputProblem());
    std::vector<std::string> expected = c.lines;
    std::sort(lines.begin(), lines.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(lines, expected);
    // A sprite made is made whole; a failed build writes nothing.
    if (c.status == 0) build.CheckSprites();
    EXPECT_TRUE(c.status == 0 || build.Contents() == "OBJD 128") << build.Contents();
  }
}

// A headline's list: three cells per frame at a fixed pitch of 98 rows,
// trimmed at the top only, on the headline palette. Checks every colour
// frame of the stored list against the sheet; returns the list's version.
int CheckHeadlineList(const SpriteBuild& build, ResID id, const std::string& base, int position, int frames) {
  const StoredResource* stored = build.Find(kSPR, id);
  EXPECT_NE(stored, nullptr) << id;
  if (stored == nullptr) return 0;
  const testing::DecodedList list = testing::DecodeList(stored->bytes, false, ByteOrder::kBig);
  EXPECT_EQ(list.paletteId, 50);
  const std::size_t colourFrames = 3 * static_cast<std::size_t>(frames);
  EXPECT_EQ(list.frames.size(), list.version == 503 ? 2 * colourFrames : colourFrames) << id;
  if (list.frames.size() < colourFrames) return list.version;
  const PassSheet& sheet = build.SheetNamed(base);
  const Rect cells[] = {Rect::Make(1, 1, 65, 97), Rect::Make(67, 1, 99, 49), Rect::Make(101, 1, 116, 24)};
  for (std::size_t i = 0; i < colourFrames; ++i) {
    SCOPED_TRACE(std::to_string(id) + " frame " + std::to_string(i));
    Rect rect = cells[i % 3];
    rect.Offset(0, (position + static_cast<int>(i / 3)) * 98);
    while (rect.top < rect.bottom) {
      bool drawn = false;
      for (int x = rect.left; x < rect.right; ++x) drawn = drawn || sheet.Index(x, rect.top) != kClearIndex;
      if (drawn) break;
      ++rect.top;
    }
    testing::ExpectFrameShows(list.frames[i], rect, [&sheet](int x, int y) {
      return sheet.Index(x, y) == kClearIndex ? -1 : int{sheet.Index(x, y)};
    });
  }
  return list.version;
}

// The sprite pass cuts a headline's sheet by the headline sizes like any
// sprite; only the SPR# list pass writes the headline lists, newest tag
// first, loading a sheet the headlines share once.
TEST(SpritePass, HeadlineListsAreWrittenByTheSpriteListPass) {
  SpriteBuild build;
  build.AddSheet("sign", {.seed = 11, .width = 116, .height = 3 * 98});
  const std::string markup =
      "<headline id=500 name=\"Sign\" tgafile=sign.tga>\n<headline id=501 name=\"Sign 2\" tgafile=sign.tga frames=2>";
  ASSERT_EQ(build.Run(markup), 0) << build.Report();
  build.CheckSprite(build.Spec(500));
  EXPECT_EQ(build.Contents(), "OBJD 128, SPR2 500, SPR2 501");

  build.fArgs.fMakeSprites = 0;
  build.fArgs.fWriteSpriteLists = 1;
  build.fArgs.fWritten.clear();
  build.fReport.str("");
  ASSERT_EQ(build.Run(markup), 0) << build.Report();
  EXPECT_EQ(CheckHeadlineList(build, 500, "sign", 0, 1), 503);
  EXPECT_EQ(CheckHeadlineList(build, 501, "sign", 1, 2), 503);
  EXPECT_EQ(build.Find(kSPR, 501)->name, "Sign 2");
  const std::vector<std::pair<ResType, ResID>> written = {{kSPR, 501}, {kSPR, 500}};
  EXPECT_EQ(build.fArgs.fWritten, written);
  EXPECT_EQ(build.ReportLines("Rendering file"), (std::vector<std::string>{"Rendering file sign.tga..."}));
  EXPECT_EQ(build.ReportLines("Generating sprite list"),
            (std::vector<std::string>{"Generating sprite list 501, Sign 2...", "Generating sprite list 500, Sign..."}));
}

struct SpriteListCase {
  const char* name;
  void (*setUp)(SpriteBuild&);
  const char* markup;
  bool readOnly;
  // The report's fatal line; empty when the build succeeds.
  std::string fatal;
  int version;  // of the list written for id 1 when the build succeeds
  // "PATH: REASON" for the input file the fatal error blames.
  std::string input = {};
};

TEST(SpritePass, SpriteListPassEdgeCases) {
  const SpriteListCase cases[] = {
      {"a 24-bit sheet gives colour frames only",
       [](SpriteBuild& b) { b.AddSheet("h", {.seed = 12, .width = 116, .height = 98}, false); },
       "<headline id=1 tgafile=h.tga>", false, "", 502},
      {"a bmpfile headline reads its picture alone",
       [](SpriteBuild& b) { b.AddPaletteImage("h.bmp", {.seed = 13, .width = 116, .height = 98}); },
       "<headline id=1 bmpfile=h.bmp>", false, "", 502},
      {"a missing sheet is named", [](SpriteBuild& b) { b.AddPaletteImage("h.bmp", {.width = 116, .height = 98}); },
       "<headline id=1 tgafile=h.tga>", false, "fatal error: cant make walls without tga : DIR/h.tga", 0,
       "DIR/h.tga: no such file"},
      {"a missing palette image is named",
       [](SpriteBuild& b) { b.AddSheet("h", {.width = 116, .height = 98}, true, "h.tga", "other.bmp"); },
       "<headline id=1 tgafile=h.tga>", false, "fatal error: cant make walls without tga : DIR/h.bmp", 0,
       "DIR/h.bmp: no such file"},
      {"a headline naming no file", [](SpriteBuild&) {}, "<headline id=1>", false,
       "fatal error: cant make walls without tga", 0,
       "DIR/chair.omk: headline 1 names no sheet; give its tag a tgafile (or a bmpfile)"},
      {"frames past the sheet's end", [](SpriteBuild& b) { b.AddSheet("h", {.width = 116, .height = 98}); },
       "<headline id=1 tgafile=h.tga frames=2>", false,
       "fatal error: tga file too small for some sprite position...did you export all frames?", 0,
       "DIR/h.tga: 116 x 98, but headline 1's cells need 116 x 195; did you export all frames?"},
      {"a read-only object file", [](SpriteBuild& b) { b.AddSheet("h", {.width = 116, .height = 98}); },
       "<headline id=1 tgafile=h.tga>", true,
       "fatal error: object file not writable...did you check it out of SourceSafe?", 0},
  };
  for (const SpriteListCase& c : cases) {
    SCOPED_TRACE(c.name);
    SpriteBuild build;
    build.fArgs.fMakeSprites = 0;
    build.fArgs.fWriteSpriteLists = 1;
    c.setUp(build);
    std::optional<testing::ReadOnlyFiles> readOnly;
    if (c.readOnly) readOnly.emplace("chair.iff");
    const int status = build.Run(c.markup);
    readOnly.reset();
    if (!c.fatal.empty()) {
      EXPECT_EQ(status, 1);
      EXPECT_EQ(build.ReportLines("fatal"), std::vector<std::string>{c.fatal});
      EXPECT_EQ(build.InputProblem(), c.input);
      EXPECT_EQ(build.Contents(), "OBJD 128");
      continue;
    }
    EXPECT_EQ(status, 0) << build.Report();
    EXPECT_EQ(build.Contents(), "OBJD 128, SPR# 1");
    EXPECT_EQ(CheckHeadlineList(build, 1, "h", 0, 1), c.version);
  }
}

// Only the sprites that a selected draw group shows are made.
TEST(SpritePass, ADrawGroupSelectionLimitsTheSprites) {
  SpriteBuild build;
  build.AddSheet("a", {.seed = 9, .rows = 2});
  build.fArgs.drawGroupIds = {301};
  EXPECT_EQ(build.Run("<sprite id=1 tgafile=a.tga><sprite id=2 tgafile=a.tga>"
                      "<drawgroup id=300><item sprite id=1><drawgroup id=301><item sprite id=2>"),
            0)
      << build.Report();
  EXPECT_EQ(build.Contents(), "OBJD 128, SPR2 2, DGRP 301");
  EXPECT_EQ(build.ReportLines("Generating sprite"), (std::vector<std::string>{"Generating sprite 2, ..."}));
}

}  // namespace
}  // namespace pixmold
