// The round trip an export exists for: an object built from markup and
// sheets made here, exported, and a fresh object built from nothing but the
// exported markup and sheets must hold every sprite list, palette and draw
// group byte for byte as the first did. The cases walk what a sprite tag and
// a drawgroup tag can say, one feature at a time.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "builder/export/export_fixture.h"

namespace pixmold {
namespace {

using namespace export_testing;
using testing::StoredResource;

struct RoundTripCase {
  std::string name;
  std::string markup;
  std::vector<SheetSource> sheets;
  bool spriteLists = false;  // the object has a headline
  bool greyRamp = false;     // no palette gives a sheet its colours
};

const RoundTripCase kCases[] = {
    {"NoSymmetryFourColumns",
     kSizes + "<sprite id=100 name=\"Four\" tgafile=a.tga symmetry=none columns=4 paletteid=7>\n" +
         Group(10, Item(100)) + Group(11, Item(100, " \"direction offset\"=2")),
     {{"a"}}},
    // Views of these borrow frames of another zoom, which no draw group
    // can show; the lists stand alone.
    {"NoSymmetryFewerColumns",
     kSizes + "<sprite id=100 tgafile=a.tga symmetry=none columns=2 paletteid=7>\n" +
         "<sprite id=101 tgafile=b.tga symmetry=none columns=1 paletteid=7>\n" +
         "<sprite id=102 tgafile=c.tga symmetry=bi-lateral columns=1 paletteid=7>\n",
     {{"a", Form::kDepth, 56}, {"b", Form::kDepth, 28}, {"c", Form::kDepth, 28}}},
    {"BiLateral",
     kSizes + "<sprite id=100 tgafile=a.tga symmetry=bi-lateral columns=2 paletteid=7>\n" +
         "<sprite id=101 tgafile=b.tga symmetry=bi-lateral columns=4>\n" +
         Group(10, Item(100, " \"direction offset\"=-2") + Item(101)),
     {{"a", Form::kDepth, 56}, {"b"}},
     false,
     true},
    {"RadialAndRadialFlip",
     kSizes + "<sprite id=100 tgafile=a.tga symmetry=radial columns=1 paletteid=7>\n" +
         "<sprite id=101 tgafile=b.tga symmetry=radial-flip columns=1 paletteid=7>\n" +
         Group(10, Item(100) + Item(101, " \"direction offset\"=2")),
     {{"a", Form::kDepth, 28}, {"b", Form::kDepth, 28}}},
    {"DiagonalViews",
     kSizes + "<sprite id=100 tgafile=a.tga symmetry=none frames=2 paletteid=7>\n" +
         "<sprite id=101 tgafile=b.tga symmetry=bi-lateral columns=2 frames=2 paletteid=7>\n" +
         "<sprite id=102 tgafile=c.tga symmetry=radial columns=1 paletteid=7>\n" +
         Group(10, Item(102) + Item(100, " \"direction offset\"=1") + Item(101)) + Group(11, Item(101)),
     {{"a", Form::kDepth, 112, 48}, {"b", Form::kDepth, 56, 48}, {"c", Form::kDepth, 28}}},
    {"AnimationFrames",
     kSizes + "<sprite id=100 tgafile=a.tga symmetry=none columns=4 frames=3 paletteid=7>\n" + Group(10, Item(100)),
     {{"a", Form::kDepth, 112, 72}}},
    {"RotationAndReverse",
     kSizes + "<sprite id=100 tgafile=a.tga symmetry=none rotation=2 paletteid=7>\n" +
         "<sprite id=101 tgafile=b.tga symmetry=bi-lateral columns=4 rotation=4 paletteid=7>\n" +
         "<sprite id=102 tgafile=c.tga symmetry=none reverse=true paletteid=7>\n" +
         Group(10, Item(100) + Item(101) + Item(102)),
     {{"a"}, {"b"}, {"c"}}},
    {"SharedSheet",
     kSizes + "<sprite id=100 tgafile=s.tga symmetry=none paletteid=7>\n" +
         "<sprite id=101 tgafile=s.tga symmetry=bi-lateral columns=2 frames=2 paletteid=7>\n" +
         "<sprite id=102 tgafile=s.tga symmetry=radial columns=1 position=5 paletteid=7>\n" +
         Group(10, Item(100) + Item(101) + Item(102)),
     {{"s", Form::kDepth, 112, 144}}},
    {"AlphaFrames",
     kSizes + "<sprite id=100 tgafile=a.tga symmetry=none paletteid=7>\n" + Group(10, Item(100)),
     {{"a", Form::kAlpha}}},
    {"ColourOnlyLists",
     kSizes + "<sprite id=100 tgafile=a.tga symmetry=bi-lateral columns=2 paletteid=8>\n" +
         "<sprite id=101 bmpfile=b.bmp symmetry=none paletteid=9>\n" + Group(10, Item(100) + Item(101)),
     {{"a", Form::kColour, 56}, {"b", Form::kBmpOnly}}},
    {"HeadlineWithDepth",
     kSizes + "<headline id=300 name=\"Idea\" tgafile=h.tga frames=2 paletteid=50>\n" +
         "<sprite id=100 tgafile=a.tga paletteid=7>\n" + Group(10, Item(100)),
     {{"h", Form::kDepth, 116, 196}, {"a"}},
     true},
    {"HeadlineWithoutDepth", "<headline id=300 tgafile=h.tga>\n", {{"h", Form::kColour, 116, 98}}, true, true},
    {"BiLateralPairGroup",
     kSizes + "<sprite id=100 tgafile=a.tga symmetry=bi-lateral columns=2 pairing=3 paletteid=7>\n" +
         "<sprite id=101 tgafile=a.tga symmetry=bi-lateral columns=2 pairing=3 paletteid=7>\n" + Group(10, Item(100)) +
         Group(11, Item(101, " \"direction offset\"=2"), " ordering=obscured"),
     {{"a", Form::kDepth, 56, 48}}},
    {"RadialPairGroup",
     kSizes + "<sprite id=100 tgafile=a.tga symmetry=radial columns=1 pairing=1 paletteid=7>\n" +
         "<sprite id=103 tgafile=a.tga symmetry=radial columns=1 pairing=1 paletteid=7>\n" +
         "<sprite id=101 tgafile=a.tga symmetry=radial columns=1 pairing=1 paletteid=7>\n" +
         "<sprite id=102 tgafile=a.tga symmetry=radial columns=1 pairing=1 paletteid=7>\n" +
         "<sprite id=110 tgafile=b.tga symmetry=radial-flip columns=1 pairing=2 paletteid=7>\n" +
         "<sprite id=111 tgafile=b.tga symmetry=radial-flip columns=1 pairing=2 paletteid=7>\n" +
         "<sprite id=112 tgafile=b.tga symmetry=radial-flip columns=1 pairing=2 paletteid=7>\n" +
         "<sprite id=113 tgafile=b.tga symmetry=radial-flip columns=1 pairing=2 paletteid=7>\n" + Group(11, Item(112)) +
         Group(10, Item(101)),
     {{"a", Form::kDepth, 28, 96}, {"b", Form::kDepth, 28, 96}}},
    {"NoPalette", kSizes + "<sprite id=100 tgafile=a.tga>\n" + Group(10, Item(100)), {{"a"}}, false, true},
    {"ItemAttributes",
     kSizes + "<sprite id=100 tgafile=a.tga paletteid=7>\n<sprite id=101 tgafile=b.tga symmetry=radial paletteid=7>\n" +
         "<sprite id=102 tgafile=c.tga symmetry=bi-lateral paletteid=7>\n" +
         Group(10, Item(100, " alt=1.7 x=-0.25 y=3") + Item(101, " luminous=true alt=0.1") + Item(102, " y=0.3"),
               " ordering=obscured"),
     {{"a"}, {"b"}, {"c"}}},
    {"ShrinkTopAndNone",
     kSizes + "<sprite id=100 tgafile=a.tga shrink=top paletteid=7>\n" +
         "<sprite id=101 tgafile=b.tga shrink=false symmetry=radial columns=1 paletteid=7>\n" +
         Group(10, Item(100) + Item(101)),
     {{"a"}, {"b", Form::kDepth, 28}}},
    {"SizesChangeBetweenSprites",
     kSizes + "<sprite id=100 tgafile=a.tga paletteid=7>\n" +
         "<sizes lwidth=20 lheight=30 mwidth=10 mheight=14 swidth=6 sheight=8 border=2>\n" +
         "<sprite id=101 tgafile=b.tga paletteid=7>\n" + Group(10, Item(100) + Item(101)),
     {{"a"}, {"b", Form::kDepth, 144, 30}}},
    // Nothing drawn in the small cells but the first: their frames are
    // empty, and the second sprite's lie a row down.
    {"EmptySmallCells",
     kSizes + "<sprite id=100 tgafile=s.tga paletteid=7>\n<sprite id=101 tgafile=s.tga paletteid=7>\n" +
         Group(10, Item(100) + Item(101)),
     {{"s", Form::kDepth, 112, 48, 3, 100}}},
    // Over two frames, nothing drawn right of the large cells: the medium
    // and small cells are empty in both rows, so their row height comes
    // from the two rows' empty frames alone.
    {"EmptyCellsOverTwoFrames",
     kSizes + "<sprite id=100 tgafile=s.tga frames=2 paletteid=7>\n" + Group(10, Item(100)),
     {{"s", Form::kDepth, 112, 48, 3, 72}}},
    {"MaskedSheet",
     kSizes + "<sprite id=100 tgafile=a.tga mask=m.bmp paletteid=7>\n" + Group(10, Item(100)),
     {{"a"}, {"m", Form::kBmpOnly, 112, 24, 2}}},
};

void PrintTo(const RoundTripCase& tripCase, std::ostream* out) { *out << tripCase.name; }

std::string CaseName(const ::testing::TestParamInfo<RoundTripCase>& info) { return info.param.name; }

class ExportRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(ExportRoundTrip, RebuildsEveryListPaletteAndDrawGroupByteForByte) {
  const RoundTripCase& tripCase = GetParam();
  testing::TempDir dir;
  for (const SheetSource& sheet : tripCase.sheets) WriteSheet(dir, sheet);
  const std::vector<StoredResource> original =
      BuiltArt(dir, "src", dir.Write("src/obj.omk", tripCase.markup), dir.File("src/"), tripCase.spriteLists);
  ASSERT_FALSE(original.empty());

  const ExportResult result = Export(dir.File("src/obj"), dir.File("out/"));
  ASSERT_TRUE(result.Exact()) << Problems(result);
  bool greyWarned = false;
  for (const ExportProblem& warning : result.warnings) greyWarned |= warning.why.ends_with("holds a grey ramp");
  EXPECT_EQ(greyWarned, tripCase.greyRamp);
  ExpectExportRebuilds(dir, original, tripCase.spriteLists);
}

INSTANTIATE_TEST_SUITE_P(Cases, ExportRoundTrip, ::testing::ValuesIn(kCases), CaseName);

}  // namespace
}  // namespace pixmold
