// The object generator under tools/ is what the demo, the end-to-end checks
// and the large benchmarks build, so its sheets must be cut exactly where the
// markup it writes says: these tests run it on a small object and read its
// output with the build's own markup pass and image readers.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>

#include "builder/headline_sprites.h"
#include "imaging/offscreen.h"
#include "imaging/tga_parser.h"
#include "markup_fixture.h"
#include "support/demo_object.h"
#include "support/object_file_fixture.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

// The depth channel of a 32-bit sheet; none for a 24-bit one.
struct DemoSheet {
  int width = 0, height = 0;
  bool depth = false;
  Offscreen alpha;
  std::uint8_t At(int x, int y) const { return alpha.Row(y)[x]; }
};

void ReadSheet(const std::string& path, DemoSheet& sheet) {
  TGAParser parser;
  ASSERT_EQ(parser.Open(path), 0) << path;
  parser.GetSize(sheet.width, sheet.height);
  sheet.depth = !parser.Is24Bit();
  if (!sheet.depth) return;
  ASSERT_TRUE(sheet.alpha.Create(Rect::Make(0, 0, sheet.width, sheet.height)));
  ASSERT_EQ(parser.Render(nullptr, &sheet.alpha), 0);
}

struct Generated {
  testing::TempDir dir;
  // The generator's object definition: its markup names it by GUID too.
  testing::MemoryObjectFile object{{testing::ObjdResource(128, "Demo Table Set", {.guid = 0x87654321})}};
  // The markup is read as inside a build, where data tags find their object.
  testing::RunningBuild build{&object.file};
  BuildContext* context = &build.Context();
  std::map<std::string, DemoSheet> sheets;

  void Make(const std::string& arguments) {
    ASSERT_EQ(testing::MakeDemoObject(dir.File("data"), dir.File("content"), "tableset", arguments), "");
    const auto bytes = testing::ReadAll(Folder() + "tableset.omk");
    // The data tags warn about what only the real object file holds (its
    // tree table); any fault in the sprite and draw group tags is fatal.
    testing::CapturedReport report;
    build.Dispatch(std::string(bytes.begin(), bytes.end()));
    for (SpriteSpec* sprite : context->sprites) {
      if (!sheets.contains(sprite->FileName())) ReadSheet(Folder() + sprite->FileName(), sheets[sprite->FileName()]);
    }
  }
  std::string Folder() const { return dir.File("content/Sprites/tableset/"); }
};

TEST(DemoGenerator, SheetsHoldExactlyTheCellsTheMarkupCutsAndEveryCellIsDrawn) {
  if (!testing::DemoGeneratorCanRun()) GTEST_SKIP() << "needs /usr/bin/python3 with numpy and PIL";
  Generated generated;
  generated.Make("--lwidth 64 --lheight 80 --extra-sheets 1 --extra-frames 2");
  BuildContext& context = *generated.context;
  ASSERT_EQ(context.sprites.Count(), 9);  // seven parts, the headline, one extra sheet
  EXPECT_EQ(context.drawGroups.Count(), 4);
  ASSERT_EQ(context.headlines.Count(), 1);

  // Every cell the build cuts from each sheet, border included.
  std::map<std::string, std::vector<Rect>> cutRects;
  for (SpriteSpec* sprite : context.sprites) {
    const std::string& file = sprite->FileName();
    SCOPED_TRACE(file + " sprite " + std::to_string(sprite->Id()));
    const std::string base = generated.Folder() + file.substr(0, file.size() - 4);
    EXPECT_TRUE(std::filesystem::exists(base + ".bmp"));
    EXPECT_EQ(std::filesystem::exists(base + "alpha.tga"), sprite->Name() == "Shadow");
    const DemoSheet& sheet = generated.sheets[file];
    EXPECT_EQ(sheet.depth, sprite->Name() != "Rug");
    const std::vector<Rect> cells =
        sprite->IsHeadline() ? HeadlineCells(*context.headlines.First()) : testing::CellsOf(*sprite);
    for (const Rect& cell : cells) {
      const int border = sprite->Sizes().border[0];
      cutRects[file].push_back(
          Rect::Make(cell.left - border, cell.top - border, cell.right + border, cell.bottom + border));
      if (!sheet.depth) continue;
      long drawn = 0;
      for (int y = cell.top; y < cell.bottom; ++y)
        for (int x = cell.left; x < cell.right; ++x) drawn += sheet.At(x, y) < 255 ? 1 : 0;
      EXPECT_GT(drawn, 0) << "cell " << cell.left << "," << cell.top;
    }
  }
  for (const auto& [file, sheet] : generated.sheets) {
    SCOPED_TRACE(file);
    int right = 0, bottom = 0;
    std::vector<bool> inCell(static_cast<std::size_t>(sheet.width) * static_cast<std::size_t>(sheet.height));
    const auto cellAt = [&](int x, int y) { return inCell[static_cast<std::size_t>(y * sheet.width + x)]; };
    for (const Rect& rect : cutRects[file]) {
      right = std::max<int>(right, rect.right);
      bottom = std::max<int>(bottom, rect.bottom);
      for (int y = rect.top; y < std::min<int>(rect.bottom, sheet.height); ++y)
        for (int x = rect.left; x < std::min<int>(rect.right, sheet.width); ++x) cellAt(x, y) = true;
    }
    EXPECT_EQ(sheet.width, right);
    EXPECT_EQ(sheet.height, bottom);
    if (!sheet.depth) continue;
    long outside = 0;
    for (int y = 0; y < sheet.height; ++y)
      for (int x = 0; x < sheet.width; ++x) outside += sheet.At(x, y) < 255 && !cellAt(x, y);
    EXPECT_EQ(outside, 0) << "pixels drawn outside every cell";
  }
}

TEST(DemoGenerator, ARoundPartCentredOnTheObjectLandsOnTheReferencePointAtEveryZoom) {
  if (!testing::DemoGeneratorCanRun()) GTEST_SKIP() << "needs /usr/bin/python3 with numpy and PIL";
  Generated generated;
  generated.Make("--lwidth 136 --lheight 96");
  SpriteSpec* shadow = nullptr;
  for (SpriteSpec* sprite : generated.context->sprites)
    if (sprite->Name() == "Shadow") shadow = sprite;
  ASSERT_NE(shadow, nullptr);
  const DemoSheet& sheet = generated.sheets[shadow->FileName()];
  const std::vector<Rect> cells = testing::CellsOf(*shadow);
  std::vector<Rect> trimmed;
  for (const Rect& cell : cells) {
    Rect box = Rect::Make(cell.right, cell.bottom, cell.left, cell.top);
    for (int y = cell.top; y < cell.bottom; ++y) {
      for (int x = cell.left; x < cell.right; ++x) {
        if (sheet.At(x, y) == 255) continue;
        box = Rect::Make(std::min<int>(box.left, x), std::min<int>(box.top, y), std::max<int>(box.right, x + 1),
                         std::max<int>(box.bottom, y + 1));
      }
    }
    trimmed.push_back(box);
  }
  shadow->SetTrimmedRects(cells, trimmed);
  for (int zoom = 1; zoom <= 3; ++zoom) {
    // The frame is drawn from offset.x rightwards and up from offset.y; the
    // disc's centre must come out at the reference point.
    const Rect& box = trimmed[static_cast<std::size_t>(3 - zoom)];
    const ScreenPoint offset = shadow->ScreenOffset(0, zoom, 0);
    const int width = box.right - box.left, height = box.bottom - box.top;
    EXPECT_NEAR(offset.x + width / 2.0, 0.0, 1.0) << "zoom " << zoom;
    EXPECT_NEAR(offset.y - height / 2.0, 0.0, 1.0) << "zoom " << zoom;
    EXPECT_GT(width, 8 << (zoom - 1));
  }
}

}  // namespace
}  // namespace pixmold
