#include "build/sprite_spec.h"

#include <gtest/gtest.h>

#include "markup_fixture.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

using testing::FatalOf;
using testing::OneTag;

constexpr const char* kSizes = "<sizes lwidth=128 lheight=256 mwidth=64 mheight=128 swidth=32 sheight=64>";

RenderSpec Sizes(std::string_view markup = kSizes) {
  RenderSpec sizes;
  OneTag tag(markup);
  sizes.ReadSizes(*tag);
  return sizes;
}

// SpriteSpec is not copyable; tests read into a spec they own.
void ReadInto(SpriteSpec& spec, std::string_view markup, std::int32_t& running, const RenderSpec& sizes,
              const std::string* previous = nullptr, bool headline = false) {
  OneTag tag(markup);
  spec.Read(*tag, running, sizes, previous, headline);
}

TEST(SpriteSpec, DefaultsAndDerivedCounts) {
  SpriteSpec spec;
  std::int32_t running = 0;
  ReadInto(spec, "<sprite id=100 name=\"Chair\" tgafile=\"chair.tga\">", running, Sizes());
  EXPECT_EQ(spec.Id(), 100);
  EXPECT_EQ(spec.Name(), "Chair");
  EXPECT_EQ(spec.FileName(), "chair.tga");
  EXPECT_FALSE(spec.BmpOnly());
  EXPECT_EQ(spec.Columns(), 4);
  EXPECT_EQ(spec.Frames(), 1);
  EXPECT_EQ(spec.ShrinkSides(), 15);
  EXPECT_EQ(spec.PaletteId(), -1);
  EXPECT_EQ(spec.Symmetry(), SpriteSymmetry::kNone);
  EXPECT_EQ(spec.SpritesPerZoom(), 4);
  EXPECT_EQ(spec.SpriteCount(), 12);
  EXPECT_FALSE(spec.HasDiagonals());
  EXPECT_EQ(running, 1);
}

struct CountCase {
  const char* attributes;
  int perZoom;
  int count;
};

TEST(SpriteSpec, SpritesPerZoomNeverExceedsColumns) {
  const CountCase cases[] = {
      {"symmetry=bi-lateral", 2, 6},         {"symmetry=radial", 1, 3},
      {"symmetry=radial-flip frames=3", 1, 9}, {"symmetry=none columns=2", 2, 6},
      {"symmetry=bi-lateral columns=1", 1, 3}, {"frames=2", 4, 24},
  };
  for (const auto& c : cases) {
    SpriteSpec spec;
    std::int32_t running = 0;
    ReadInto(spec, std::string("<sprite id=1 tgafile=a.tga ") + c.attributes + ">", running, Sizes());
    EXPECT_EQ(spec.SpritesPerZoom(), c.perZoom) << c.attributes;
    EXPECT_EQ(spec.SpriteCount(), c.count) << c.attributes;
  }
}

TEST(SpriteSpec, CellRectanglesWalkLargeMediumSmall) {
  SpriteSpec spec;
  std::int32_t running = 0;
  ReadInto(spec, "<sprite id=1 tgafile=a.tga position=2>", running, Sizes());
  Rect cell;
  CellOrigin origin;
  CellRecord record;
  spec.CellRect(5, cell, origin, record);
  EXPECT_EQ(cell, Rect::Make(576, 512, 640, 640));
  EXPECT_EQ(origin, (CellOrigin{-32, 16}));
  EXPECT_EQ(record.row, 2);
  EXPECT_EQ(record.column, 1);
  EXPECT_EQ(record.sizeName, "medium");
  spec.CellRect(0, cell, origin, record);
  EXPECT_EQ(cell, Rect::Make(0, 512, 128, 768));
  EXPECT_EQ(origin, (CellOrigin{-64, 32}));
  EXPECT_EQ(record.sizeName, "large");
  spec.CellRect(11, cell, origin, record);
  EXPECT_EQ(cell, Rect::Make(864, 512, 896, 576));
  EXPECT_EQ(record.sizeName, "small");
  EXPECT_EQ(FatalOf([&] { spec.CellRect(12, cell, origin, record); }), "bad sprite count");
  EXPECT_EQ(FatalOf([&] { spec.CellRect(-1, cell, origin, record); }), "bad sprite count");
}

TEST(SpriteSpec, BorderInsetsAndEmptyCellsAreFatal) {
  SpriteSpec spec;
  std::int32_t running = 0;
  ReadInto(spec, "<sprite id=1 tgafile=a.tga>", running,
           Sizes("<sizes lwidth=128 lheight=256 mwidth=64 mheight=128 swidth=32 sheight=64 border=3>"));
  Rect cell;
  CellOrigin origin;
  CellRecord record;
  spec.CellRect(0, cell, origin, record);
  EXPECT_EQ(cell, Rect::Make(3, 3, 125, 253));

  SpriteSpec unsized;
  running = 0;
  ReadInto(unsized, "<sprite id=1 tgafile=a.tga>", running, RenderSpec());
  EXPECT_EQ(FatalOf([&] { unsized.CellRect(0, cell, origin, record); }),
            "Empty rectangle found for compression -- sizes may not be specified.");
}

TEST(SpriteSpec, HeadlineSizesGiveA62By94LargeCell) {
  RenderSpec sizes;
  sizes.ResetHeadlineSizes();
  SpriteSpec spec;
  std::int32_t running = 0;
  ReadInto(spec, "<headline id=1 tgafile=h.tga>", running, sizes, nullptr, true);
  EXPECT_EQ(spec.Columns(), 1);
  EXPECT_EQ(spec.ShrinkSides(), 1);
  Rect cell;
  CellOrigin origin;
  CellRecord record;
  spec.CellRect(0, cell, origin, record);
  EXPECT_EQ(cell.Width(), 62);
  EXPECT_EQ(cell.Height(), 94);
}

TEST(SpriteSpec, RotationShiftsColumns) {
  SpriteSpec spec;
  std::int32_t running = 0;
  ReadInto(spec, "<sprite id=1 tgafile=a.tga rotation=2>", running, Sizes());
  Rect cell;
  CellOrigin origin;
  CellRecord record;
  spec.CellRect(0, cell, origin, record);
  EXPECT_EQ(record.column, 1);
  spec.CellRect(3, cell, origin, record);
  EXPECT_EQ(record.column, 0);
}

TEST(SpriteSpec, ReverseWalksCellsBackwards) {
  SpriteSpec spec;
  std::int32_t running = 0;
  ReadInto(spec, "<sprite id=1 tgafile=a.tga reverse=true>", running, Sizes());
  Rect cell;
  CellOrigin origin;
  CellRecord record;
  spec.CellRect(0, cell, origin, record);
  EXPECT_EQ(record.sizeName, "unknown");
  EXPECT_EQ(record.column, 3);
  EXPECT_EQ(cell.Height(), 64);  // the last small cell
}

TEST(SpriteSpec, RunningPositionFollowsTheSheet) {
  RenderSpec sizes = Sizes();
  std::int32_t running = 0;
  SpriteSpec a, b, c, d;
  ReadInto(a, "<sprite id=1 tgafile=a.tga frames=2>", running, sizes);
  ReadInto(b, "<sprite id=2 tgafile=a.tga>", running, sizes, &a.FileName());
  ReadInto(c, "<sprite id=3 tgafile=b.tga>", running, sizes, &b.FileName());
  ReadInto(d, "<sprite id=4 tgafile=b.tga position=7>", running, sizes, &c.FileName());
  EXPECT_EQ(a.Position(), 0);
  EXPECT_EQ(b.Position(), 2);
  EXPECT_EQ(c.Position(), 0);
  EXPECT_EQ(d.Position(), 7);
  EXPECT_EQ(running, 2);
}

struct FrameCase {
  const char* attributes;
  int direction;
  int zoom;
  std::int32_t index;
  bool mirrored;
};

TEST(SpriteSpec, FrameLookupBySymmetry) {
  const FrameCase cases[] = {
      {"", 4, 3, 2, false},
      {"", 4, 1, 10, false},
      {"", 6, 2, 7, false},
      {"symmetry=bi-lateral", 0, 3, 0, false},
      {"symmetry=bi-lateral", 2, 3, 1, false},
      {"symmetry=bi-lateral", 4, 3, 1, true},
      {"symmetry=bi-lateral", 6, 3, 0, true},
      {"symmetry=bi-lateral", 6, 1, 4, true},
      {"symmetry=radial", 6, 2, 1, false},
      {"symmetry=radial-flip", 2, 3, 0, true},
      {"symmetry=radial-flip", 4, 3, 0, false},
      {"symmetry=radial-flip pairing=3", 2, 3, 0, false},
      {"frames=2", 1, 3, 12, false},
      {"frames=2", 7, 1, 23, false},
  };
  for (const auto& c : cases) {
    SpriteSpec spec;
    std::int32_t running = 0;
    ReadInto(spec, std::string("<sprite id=1 tgafile=a.tga ") + c.attributes + ">", running, Sizes());
    std::int32_t index = -1;
    bool mirrored = !c.mirrored;
    spec.FrameFor(c.direction, c.zoom, 0, index, mirrored);
    EXPECT_EQ(index, c.index) << c.attributes << " d" << c.direction << " z" << c.zoom;
    EXPECT_EQ(mirrored, c.mirrored) << c.attributes << " d" << c.direction;
  }
}

TEST(SpriteSpec, OddDirectionsNeedDiagonals) {
  SpriteSpec spec;
  std::int32_t running = 0;
  ReadInto(spec, "<sprite id=1 tgafile=a.tga>", running, Sizes());
  std::int32_t index = 0;
  bool mirrored = false;
  EXPECT_EQ(FatalOf([&] { spec.FrameFor(1, 3, 0, index, mirrored); }), "logic error. bad direction.");
  EXPECT_EQ(FatalOf([&] { spec.FrameFor(8, 3, 0, index, mirrored); }), "logic error. bad direction.");
  EXPECT_EQ(FatalOf([&] { spec.FrameFor(-2, 3, 0, index, mirrored); }), "logic error. bad direction.");
}

std::vector<Rect> CellsOf(const SpriteSpec& spec) {
  std::vector<Rect> cells;
  for (std::int32_t i = 0; i < spec.SpriteCount(); ++i) {
    Rect cell;
    CellOrigin origin;
    CellRecord record;
    spec.CellRect(i, cell, origin, record);
    cells.push_back(cell);
  }
  return cells;
}

TEST(SpriteSpec, ScreenOffsetsFromTrimmedRectangles) {
  SpriteSpec spec;
  std::int32_t running = 0;
  ReadInto(spec, "<sprite id=1 tgafile=a.tga symmetry=bi-lateral>", running, Sizes());
  std::vector<Rect> cells = CellsOf(spec);
  std::vector<Rect> trimmed = cells;
  // Frame 0 (large, slot 0): trimmed 10 in from the left, 20 up from the bottom, 50 wide.
  trimmed[0] = Rect::Make(cells[0].left + 10, cells[0].top + 5, cells[0].left + 60, cells[0].bottom - 20);
  EXPECT_EQ(FatalOf([&] { spec.ScreenOffset(0, 3, 0); }), "logic error. offsets not initialized");
  spec.SetTrimmedRects(cells, trimmed);
  // origin (-64, 256 - 224 = 32)
  EXPECT_EQ(spec.ScreenOffset(0, 3, 0), (ScreenPoint{-54, 12}));
  // direction 6 is slot 0 mirrored: x = -(-54) - 50 - 1
  EXPECT_EQ(spec.ScreenOffset(6, 3, 0), (ScreenPoint{3, 12}));
}

TEST(SpriteSpec, TrimmedRectanglesAreChecked) {
  SpriteSpec spec;
  std::int32_t running = 0;
  ReadInto(spec, "<sprite id=1 tgafile=a.tga>", running, Sizes());
  std::vector<Rect> cells = CellsOf(spec);
  std::vector<Rect> shorter(cells.begin(), cells.end() - 1);
  EXPECT_EQ(FatalOf([&] { spec.SetTrimmedRects(cells, shorter); }), "logic error. bad rect count.");
  EXPECT_EQ(FatalOf([&] { spec.SetTrimmedRects(shorter, shorter); }), "unusual rect count");
  std::vector<Rect> three(cells.begin(), cells.begin() + 3);
  EXPECT_EQ(FatalOf([&] { spec.SetTrimmedRects(three, three); }), "rect count not what it should be.");
  std::vector<Rect> moved = cells;
  moved[4].Offset(1, 0);
  EXPECT_EQ(FatalOf([&] { spec.SetTrimmedRects(moved, moved); }), "incorrect rect computation");
  EXPECT_EQ(FatalOf([&] { spec.SetTrimmedRects(cells, cells); }), "");
  EXPECT_EQ(spec.TrimmedRects().size(), 12u);
}

struct ReadErrorCase {
  const char* markup;
  bool headline;
  const char* message;
};

TEST(SpriteSpec, ReadErrorsAreLocated) {
  const ReadErrorCase cases[] = {
      {"<sprite tgafile=a.tga>", false, "line: 1 - id required"},
      {"<sprite id=1\n frames=0>", false, "line: 2 - negative frames"},
      {"<sprite id=1 frames=-3>", false, "line: 1 - negative frames"},
      {"<sprite id=1\n\n columns=3>", false, "line: 3 - columns expected to be 1, 2, or 4"},
      {"<sprite id=1 shrink=maybe>", false, "line: 1 - unexpected shrink tag value"},
      {"<sprite id=1\n symmetry=round>", false, "line: 2 - unexpected symmetry value"},
      {"<sprite id=1 rotation=8>", false, "line: 1 - sprite rotation expected to be >=0 and <=6"},
      {"<sprite id=1 rotation=-2>", false, "line: 1 - sprite rotation expected to be >=0 and <=6"},
      {"<sprite id=1 rotation=3>", false, "line: 1 - sprite rotation expected to be an even number"},
      {"<sprite id=1 reverse=1>", false,
       "line: 1 - boolean value for key \"reverse\" in tag \"sprite\" expected to be true or false"},
      {"<headline id=1\n columns=1>", true, "line: 2 - headline tag not expecting columns"},
      {"<headline id=1 shrink=top>", true, "line: 1 - headline tag not expecting shrink"},
      {"<headline id=1 reverse=false>", true, "line: 1 - headline tag not expecting reverse"},
      {"<headline id=1 symmetry=none>", true, "line: 1 - headline tag not expecting symmetry"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FatalOf([&] {
                std::int32_t running = 0;
                SpriteSpec spec;
                ReadInto(spec, c.markup, running, Sizes(), nullptr, c.headline);
              }),
              c.message)
        << c.markup;
  }
}

TEST(SpriteSpec, FileNames) {
  testing::AssertCapture asserts;
  std::int32_t running = 0;
  SpriteSpec bmp;
  ReadInto(bmp, "<sprite id=1 tgafile=\"\" bmpfile=\"Walls.BMP\" mask=\"m.bmp\">", running, Sizes());
  EXPECT_EQ(bmp.FileName(), "Walls.BMP");
  EXPECT_TRUE(bmp.BmpOnly());
  EXPECT_EQ(bmp.MaskName(), "m.bmp");
  EXPECT_EQ(asserts.Count(), 0u);

  SpriteSpec odd;
  ReadInto(odd, "<sprite id=1 tgafile=\"a.Tga\">", running, Sizes());
  EXPECT_TRUE(asserts.Saw("really a tga file next to tgafile tag in omk file?"));
  asserts.Clear();
  SpriteSpec oddBmp;
  ReadInto(oddBmp, "<sprite id=1 bmpfile=\"a.png\">", running, Sizes());
  EXPECT_TRUE(asserts.Saw("really a bmp file next to bmpfile tag in omk file?"));

  const std::string longName = std::string(251, 'a') + ".tga";
  EXPECT_EQ(FatalOf([&] {
              SpriteSpec spec;
              ReadInto(spec, "<sprite id=1\n tgafile=\"" + longName + "\">", running, Sizes());
            }),
            "line: 2 - file name too long");
  const std::string fits = std::string(250, 'a') + ".tga";
  SpriteSpec ok;
  ReadInto(ok, "<sprite id=1 tgafile=\"" + fits + "\">", running, Sizes());
  EXPECT_EQ(ok.FileName().size(), 254u);
}

TEST(SpriteSpec, CellsBeyondSixteenBitCoordinatesAreFatal) {
  SpriteSpec spec;
  std::int32_t running = 0;
  ReadInto(spec, "<sprite id=1 tgafile=a.tga position=200>", running, Sizes());
  Rect cell;
  CellOrigin origin;
  CellRecord record;
  EXPECT_EQ(FatalOf([&] { spec.CellRect(0, cell, origin, record); }),
            "sprite cell lies beyond 16-bit sheet coordinates -- check the sizes and the position");
}

}  // namespace
}  // namespace pixmold
