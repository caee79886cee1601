// From renders to sprites: the demo object as a renderer leaves it
// (truecolour sheets, no palette images), its palettes made from its markup,
// then built. Every drawn pixel of every SPR2 frame must show, through its
// list's PALT, the render's colour within the error the palette maker
// reported for that sheet.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>

#include "builder/run_build.h"
#include "imaging/tga_parser.h"
#include "quantize/markup_palettes.h"
#include "support/build_on_worker.h"
#include "support/decoded_lists.h"
#include "support/demo_object.h"
#include "support/object_file_fixture.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

constexpr ResType kSPR2 = MakeResType("SPR2");
constexpr ResType kPALT = MakeResType("PALT");

struct Render {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> argb;
};

Render ReadRender(const std::string& path) {
  Render render;
  TGAParser tga;
  EXPECT_EQ(tga.Open(path), 0) << path;
  tga.GetSize(render.width, render.height);
  render.argb.resize(std::size_t(render.width) * std::size_t(render.height));
  EXPECT_EQ(tga.RenderTrueColour(render.argb), 0);
  return render;
}

TEST(TruecolourBuild, SpritesShowTheRendersWithinTheReportedError) {
  if (!testing::DemoGeneratorCanRun()) GTEST_SKIP() << "needs /usr/bin/python3 with numpy and PIL";
  testing::TempDir dir;
  ASSERT_EQ(testing::MakeDemoObject(dir.File("data"), dir.File("content"), "tableset",
                                    "--lwidth 64 --lheight 80 --truecolour"),
            "");
  const std::string folder = dir.File("content/Sprites/tableset/");
  const std::string omk = folder + "tableset.omk";
  ASSERT_FALSE(std::filesystem::exists(folder + "tableset_table.bmp"));

  const MarkupPalettes palettes = MakeMarkupPalettes(omk, folder, {}, true);
  ASSERT_EQ(palettes.fault, PaletteFault::kNone) << palettes.message;
  ASSERT_TRUE(palettes.written);
  std::map<std::string, double> maxError;  // by sheet file name
  for (const PaletteRun& run : palettes.runs) {
    for (const SheetResult& sheet : run.sheets) maxError[sheet.sheet.substr(folder.size())] = sheet.maxError;
  }
  // The rug has a palette id of its own; the headline too; the rest share 200.
  ASSERT_EQ(palettes.runs.size(), 3u);
  EXPECT_EQ(palettes.runs[1].paletteIds, std::vector<std::int32_t>{200});
  EXPECT_EQ(palettes.runs[1].sheets.size(), 4u);

  // A sprite build of the object that must end well and warn of nothing.
  const auto build = [&](BuildArgs& args) {
    std::ostringstream report;
    args.fObjectFile = dir.File("data/Objects/tableset.iff");
    args.fOmkFile = omk;
    args.fTgaDirectory = folder;
    args.fMakeSprites = 1;
    args.fReportStream = &report;
    EXPECT_EQ(testing::RunBuildOnWorker(args), 0) << report.str();
    EXPECT_EQ(report.str().find("warning: "), std::string::npos) << report.str();
  };
  BuildArgs args;
  build(args);
  ASSERT_FALSE(::testing::Test::HasFailure());
  const auto resources = testing::ReadObjectFile(std::string(args.fObjectFile.View()));

  std::map<std::string, Render> renders;
  int checked = 0;
  for (const SpriteSpec* spec : args.fContext->sprites) {
    const testing::StoredResource* list = testing::FindResource(resources, kSPR2, static_cast<ResID>(spec->Id()));
    if (list == nullptr) continue;  // the 24-bit rug is an SPR# list
    SCOPED_TRACE(spec->FileName() + " sprite " + std::to_string(spec->Id()));
    const testing::StoredResource* palt =
        testing::FindResource(resources, kPALT, static_cast<ResID>(spec->PaletteId()));
    ASSERT_NE(palt, nullptr);
    if (!renders.contains(spec->FileName())) renders[spec->FileName()] = ReadRender(folder + spec->FileName());
    const Render& render = renders[spec->FileName()];
    const testing::DecodedList decoded = testing::DecodeList(list->bytes, true);
    ASSERT_EQ(decoded.frames.size(), static_cast<std::size_t>(spec->SpriteCount()));
    double worst = 0;
    for (std::size_t i = 0; i < decoded.frames.size(); ++i) {
      Rect cell;
      CellOrigin origin;
      CellRecord record;
      spec->CellRect(static_cast<std::int32_t>(i), cell, origin, record);
      const DecodedSprite& frame = decoded.frames[i];
      for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
          if (!frame.Drawn(x, y)) continue;
          const int sx = cell.left + decoded.headers[i].originX + x, sy = cell.top + decoded.headers[i].originY + y;
          const std::uint32_t source = render.argb[std::size_t(sy) * std::size_t(render.width) + std::size_t(sx)];
          ASSERT_EQ(frame.depth[frame.Index(x, y)], source >> 24) << sx << "," << sy;
          const std::uint8_t* rgb = palt->bytes.data() + 16 + 3 * frame.colour[frame.Index(x, y)];
          const double dr = rgb[0] - double(source >> 16 & 0xFF), dg = rgb[1] - double(source >> 8 & 0xFF),
                       db = rgb[2] - double(source & 0xFF);
          worst = std::max(worst, std::sqrt(dr * dr + dg * dg + db * db));
          ++checked;
        }
      }
    }
    EXPECT_LE(worst, maxError.at(spec->FileName()) + 1e-9);
  }
  EXPECT_GT(checked, 1000);

  // A few colours, fully dithered: far from the render pixel by pixel, yet
  // not out of date.
  PaletteOptions coarse;
  coarse.colours = 24;
  coarse.dither = 1;
  ASSERT_EQ(MakeMarkupPalettes(omk, folder, coarse, true).fault, PaletteFault::kNone);
  // Sheets saved after their palette images, so the build compares them
  // rather than take the palette images as the newer word.
  const auto later = std::filesystem::file_time_type::clock::now() + std::chrono::minutes(1);
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() == ".tga") std::filesystem::last_write_time(entry.path(), later);
  }
  BuildArgs again;
  build(again);
}

}  // namespace
}  // namespace pixmold
