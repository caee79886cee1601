#include "builder/sprite_spec.h"

#include <gtest/gtest.h>

#include "markup_fixture.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

using testing::FatalOf;
using testing::ReadSizes;
using testing::ReadSprite;

// A cell as "left,top,right,bottom @origin rROW cCOLUMN size", or the fatal message.
std::string CellText(const SpriteSpec& spec, std::int32_t index) {
  Rect r;
  CellOrigin o;
  CellRecord rec;
  const std::string fatal = FatalOf([&] { spec.CellRect(index, r, o, rec); });
  if (!fatal.empty()) return fatal;
  std::ostringstream out;
  out << r.left << ',' << r.top << ',' << r.right << ',' << r.bottom << " @" << o.x << ',' << o.y << " r" << rec.row
      << " c" << rec.column << ' ' << rec.sizeName;
  return out.str();
}

// The frame index ("m" when mirrored) that shows a direction, or the fatal message.
std::string FrameText(const SpriteSpec& spec, int direction, int zoom) {
  std::int32_t index = -1;
  bool mirrored = false;
  const std::string fatal = FatalOf([&] { spec.FrameFor(direction, zoom, 0, index, mirrored); });
  return fatal.empty() ? std::to_string(index) + (mirrored ? "m" : "") : fatal;
}

// The frames of directions 0 to 7 at a zoom; "x" where there is none.
std::string FramesText(const SpriteSpec& spec, int zoom) {
  std::string text;
  for (int d = 0; d < 8; ++d) {
    const std::string frame = FrameText(spec, d, zoom);
    text += (d ? " " : "") + (frame == "logic error. bad direction." ? "x" : frame);
  }
  return text;
}

struct CountCase {
  const char* attributes;
  int perZoom;
  int count;
};

TEST(SpriteSpec, SpritesPerZoomNeverExceedsColumns) {
  const CountCase cases[] = {{"", 4, 12},
                             {"symmetry=bi-lateral", 2, 6},
                             {"symmetry=radial", 1, 3},
                             {"symmetry=radial-flip frames=3", 1, 9},
                             {"symmetry=none columns=2", 2, 6},
                             {"symmetry=bi-lateral columns=1", 1, 3},
                             {"frames=2", 4, 24}};
  for (const auto& c : cases) {
    auto spec = ReadSprite(std::string("<sprite id=1 tgafile=a.tga ") + c.attributes + ">");
    EXPECT_EQ(spec->SpritesPerZoom(), c.perZoom) << c.attributes;
    EXPECT_EQ(spec->SpriteCount(), c.count) << c.attributes;
  }
}

struct CellCase {
  const char* attributes;
  std::string_view sizes;  // "" for no sizes at all
  std::int32_t index;
  const char* expected;
};

TEST(SpriteSpec, CellRectangles) {
  const std::string_view border = "<sizes lwidth=128 lheight=256 mwidth=64 mheight=128 swidth=32 sheight=64 border=3>";
  const CellCase cases[] = {
      {"position=2", testing::kSizes, 0, "0,512,128,768 @-64,32 r2 c0 large"},
      {"position=2", testing::kSizes, 5, "576,512,640,640 @-32,16 r2 c1 medium"},
      {"position=2", testing::kSizes, 11, "864,512,896,576 @-16,8 r2 c3 small"},
      {"position=2", testing::kSizes, 12, "bad sprite count"},
      {"position=2", testing::kSizes, -1, "bad sprite count"},
      {"", border, 0, "3,3,125,253 @-64,35 r0 c0 large"},
      {"", "", 0, "Empty rectangle found for compression -- sizes may not be specified."},
      {"rotation=2", testing::kSizes, 0, "128,0,256,256 @-64,32 r0 c1 large"},
      {"rotation=2", testing::kSizes, 3, "0,0,128,256 @-64,32 r0 c0 large"},
      {"reverse=true", testing::kSizes, 0, "864,0,896,64 @-16,8 r0 c3 unknown"},
      {"position=200", testing::kSizes, 0,
       "sprite cell lies beyond 16-bit sheet coordinates -- check the sizes and the position"},
  };
  for (const auto& c : cases) {
    auto spec = ReadSprite(std::string("<sprite id=1 tgafile=a.tga ") + c.attributes + ">",
                           c.sizes.empty() ? RenderSpec() : ReadSizes(c.sizes));
    EXPECT_EQ(CellText(*spec, c.index), c.expected) << c.attributes << " #" << c.index;
  }
  // A headline is one column of 62 x 94 cells.
  RenderSpec headline;
  headline.ResetHeadlineSizes();
  EXPECT_EQ(CellText(*ReadSprite("<headline id=1 tgafile=h.tga>", headline), 0), "1,1,63,95 @0,96 r0 c0 large");
}

TEST(SpriteSpec, RunningPositionFollowsTheSheet) {
  std::int32_t running = 0;
  SpriteSpec a, b, c, d;
  ReadSprite(a, "<sprite id=1 tgafile=a.tga frames=2>", running);
  ReadSprite(b, "<sprite id=2 tgafile=a.tga>", running, ReadSizes(), &a.FileName());
  ReadSprite(c, "<sprite id=3 tgafile=b.tga>", running, ReadSizes(), &b.FileName());
  ReadSprite(d, "<sprite id=4 tgafile=b.tga position=7>", running, ReadSizes(), &c.FileName());
  EXPECT_EQ((std::vector<int>{a.Position(), b.Position(), c.Position(), d.Position(), running}),
            (std::vector<int>{0, 2, 0, 7, 2}));
}

struct FrameCase {
  const char* attributes;
  int zoom;
  const char* frames;
};

TEST(SpriteSpec, FrameLookupBySymmetry) {
  const FrameCase cases[] = {
      {"", 3, "0 x 1 x 2 x 3 x"},
      {"", 2, "4 x 5 x 6 x 7 x"},
      {"", 1, "8 x 9 x 10 x 11 x"},
      {"symmetry=bi-lateral", 3, "0 x 1 x 1m x 0m x"},
      {"symmetry=bi-lateral", 1, "4 x 5 x 5m x 4m x"},
      {"symmetry=radial", 2, "1 x 1 x 1 x 1 x"},
      {"symmetry=radial-flip", 3, "0 x 0m x 0 x 0m x"},
      {"symmetry=radial-flip pairing=3", 3, "0 x 0 x 0 x 0 x"},
      {"frames=2", 3, "0 12 1 13 2 14 3 15"},
      {"frames=2", 1, "8 20 9 21 10 22 11 23"},
  };
  for (const auto& c : cases) {
    auto spec = ReadSprite(std::string("<sprite id=1 tgafile=a.tga ") + c.attributes + ">");
    EXPECT_EQ(FramesText(*spec, c.zoom), c.frames) << c.attributes << " zoom " << c.zoom;
  }
  auto spec = ReadSprite("<sprite id=1 tgafile=a.tga frames=2>");
  EXPECT_EQ(FrameText(*spec, 8, 3), "logic error. bad direction.");
  EXPECT_EQ(FrameText(*spec, -2, 3), "logic error. bad direction.");
}

TEST(SpriteSpec, ScreenOffsetsFromTrimmedRectangles) {
  auto spec = ReadSprite("<sprite id=1 tgafile=a.tga symmetry=bi-lateral>");
  std::vector<Rect> cells = testing::CellsOf(*spec);
  std::vector<Rect> trimmed = cells;
  // Frame 0 (large, slot 0): trimmed 10 in from the left, 20 up from the bottom, 50 wide.
  trimmed[0] = Rect::Make(cells[0].left + 10, cells[0].top + 5, cells[0].left + 60, cells[0].bottom - 20);
  EXPECT_EQ(FatalOf([&] { spec->ScreenOffset(0, 3, 0); }), "logic error. offsets not initialized");
  spec->SetTrimmedRects(cells, trimmed);
  // origin (-64, 256 - 224 = 32)
  EXPECT_EQ(spec->ScreenOffset(0, 3, 0), (ScreenPoint{-54, 12}));
  // direction 6 is slot 0 mirrored: x = -(-54) - 50 - 1
  EXPECT_EQ(spec->ScreenOffset(6, 3, 0), (ScreenPoint{3, 12}));
}

TEST(SpriteSpec, TrimmedRectanglesAreChecked) {
  auto spec = ReadSprite("<sprite id=1 tgafile=a.tga>");
  const std::vector<Rect> cells = testing::CellsOf(*spec);
  const std::vector<Rect> shorter(cells.begin(), cells.end() - 1);
  const std::vector<Rect> three(cells.begin(), cells.begin() + 3);
  std::vector<Rect> moved = cells;
  moved[4].Offset(1, 0);
  EXPECT_EQ(FatalOf([&] { spec->SetTrimmedRects(cells, shorter); }), "logic error. bad rect count.");
  EXPECT_EQ(FatalOf([&] { spec->SetTrimmedRects(shorter, shorter); }), "unusual rect count");
  EXPECT_EQ(FatalOf([&] { spec->SetTrimmedRects(three, three); }), "rect count not what it should be.");
  EXPECT_EQ(FatalOf([&] { spec->SetTrimmedRects(moved, moved); }), "incorrect rect computation");
  EXPECT_EQ(FatalOf([&] { spec->SetTrimmedRects(cells, cells); }), "");
  EXPECT_EQ(spec->TrimmedRects().size(), 12u);
}

struct ReadErrorCase {
  std::string markup;
  const char* message;
};

TEST(SpriteSpec, ReadErrorsAreLocated) {
  const ReadErrorCase cases[] = {
      {"<sprite tgafile=a.tga>", "line: 1 - id required"},
      {"<sprite id=1\n frames=0>", "line: 2 - negative frames"},
      {"<sprite id=1 frames=-3>", "line: 1 - negative frames"},
      {"<sprite id=1\n\n columns=3>", "line: 3 - columns expected to be 1, 2, or 4"},
      {"<sprite id=1 shrink=maybe>", "line: 1 - unexpected shrink tag value"},
      {"<sprite id=1\n symmetry=round>", "line: 2 - unexpected symmetry value"},
      {"<sprite id=1 rotation=8>", "line: 1 - sprite rotation expected to be >=0 and <=6"},
      {"<sprite id=1 rotation=-2>", "line: 1 - sprite rotation expected to be >=0 and <=6"},
      {"<sprite id=1 rotation=3>", "line: 1 - sprite rotation expected to be an even number"},
      {"<headline id=1\n columns=1>", "line: 2 - headline tag not expecting columns"},
      {"<headline id=1 shrink=top>", "line: 1 - headline tag not expecting shrink"},
      {"<headline id=1 reverse=false>", "line: 1 - headline tag not expecting reverse"},
      {"<headline id=1 symmetry=none>", "line: 1 - headline tag not expecting symmetry"},
      // A bad layout value is named before the headline refuses its key.
      {"<headline id=1 columns=2\n rotation=3>", "line: 2 - sprite rotation expected to be an even number"},
      {"<headline id=1 columns=3 rotation=2>", "line: 1 - columns expected to be 1, 2, or 4"},
      {"<sprite id=1\n tgafile=\"" + std::string(251, 'a') + ".tga\">", "line: 2 - file name too long"},
  };
  for (const auto& c : cases) EXPECT_EQ(FatalOf([&] { ReadSprite(c.markup); }), c.message) << c.markup;
}

TEST(SpriteSpec, FileNames) {
  testing::AssertCapture asserts;
  auto bmp = ReadSprite("<sprite id=1 tgafile=\"\" bmpfile=\"Walls.BMP\" mask=\"m.bmp\">");
  EXPECT_EQ(bmp->FileName(), "Walls.BMP");
  EXPECT_TRUE(bmp->BmpOnly());
  EXPECT_EQ(bmp->MaskName(), "m.bmp");
  EXPECT_EQ(ReadSprite("<sprite id=1 tgafile=\"" + std::string(250, 'a') + ".tga\">")->FileName().size(), 254u);
  // An empty bmpfile is no file, as an empty tgafile is.
  auto none = ReadSprite("<sprite id=1 tgafile=\"\" bmpfile=\"\">");
  EXPECT_EQ(none->FileName(), "");
  EXPECT_FALSE(none->BmpOnly());
  EXPECT_EQ(asserts.Count(), 0u);

  ReadSprite("<sprite id=1 tgafile=\"a.Tga\">");
  EXPECT_TRUE(asserts.Saw("really a tga file next to tgafile tag in omk file?"));
  ReadSprite("<sprite id=1 bmpfile=\"a.png\">");
  EXPECT_TRUE(asserts.Saw("really a bmp file next to bmpfile tag in omk file?"));
}

}  // namespace
}  // namespace pixmold
