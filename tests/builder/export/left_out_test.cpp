// What markup cannot say is left out and named, and everything else is
// still written: an object built from markup, then given resources no tag
// makes, must export what the build made exactly and name each of the rest.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "builder/export/export_fixture.h"
#include "imaging/sprite2_decoder.h"
#include "imaging/sprite2_runs.h"
#include "records/draw_group.h"
#include "resfile/iff_res_file2.h"
#include "resfile/recon_stream.h"
#include "support/handle_bytes.h"

namespace pixmold {
namespace {

using namespace export_testing;
using testing::Bytes;
using testing::Put;
using testing::Sprite2List;

constexpr ResType kSPR2 = MakeResType("SPR2");
constexpr ResType kDGRP = MakeResType("DGRP");
constexpr ResType kPALT = MakeResType("PALT");

// An SPR2 frame of width x height pixels, every one drawn by one run token
// of the code given (colour only, or depth and colour).
Bytes Sprite2Frame(int width, int height, std::uint16_t code) {
  Bytes frame;
  Put(frame, {{std::uint32_t(width), 2}, {std::uint32_t(height), 2}, {code == 0xC000 ? 1u : 3u, 4}, {7, 2}, {0, 2}});
  Put(frame, {{0, 2}, {0, 2}});
  const int perPixel = code == 0xC000 ? 1 : 2;
  const int runBytes = width * perPixel + (width * perPixel) % 2;
  for (int y = 0; y < height; ++y) {
    Put(frame, {{std::uint32_t(4 + runBytes), 2}, {std::uint32_t(code | width), 2}});
    for (int x = 0; x < width * perPixel; ++x) frame.push_back(static_cast<std::uint8_t>(40 + x));
    if ((width * perPixel) % 2 != 0) frame.push_back(0xB0);
  }
  Put(frame, {{0xA000, 2}});
  return frame;
}

Bytes DrawGroupBytes(DrawGroup& group) {
  ReconStream sizing;
  group.Reconstitute(sizing);
  Bytes bytes(static_cast<std::size_t>(sizing.Position()));
  ReconStream writer = ReconStream::Writer(bytes, false);
  group.Reconstitute(writer);
  return bytes;
}

void Add(const std::string& object, ResType type, ResID id, const Bytes& bytes, const char* name = "Added") {
  IFFResFile2 file;
  ASSERT_EQ(file.OpenFile(CTGString(object)), 0);
  MHandle handle = testing::HandleOf(bytes).Release();
  ASSERT_EQ(file.AddResource(handle, type, id, CTGString(name), true), 0);
  ASSERT_EQ(file.WriteResource(handle), 0);
  ASSERT_EQ(file.CloseFile(), 0);
}

bool Names(const ExportResult& result, const std::string& what, const std::string& why) {
  for (const ExportProblem& problem : result.problems) {
    if (problem.what == what && problem.why.find(why) != std::string::npos) return true;
  }
  return false;
}

TEST(ExportLeftOut, NamesWhatMarkupCannotSayAndWritesTheRestExactly) {
  testing::TempDir dir;
  WriteSheet(dir, {"a", Form::kDepth, 28});
  const std::vector<testing::StoredResource> built =
      BuiltArt(dir, "src",
               dir.Write("src/obj.omk", kSizes + "<sprite id=8 tgafile=a.tga symmetry=radial columns=1 paletteid=7>\n" +
                                            Group(21, Item(8))),
               dir.File("src/"), false);
  ASSERT_FALSE(built.empty());

  const std::string object = dir.File("src/obj.iff");
  Add(object, kSPR2, 5,
      Sprite2List({Sprite2Frame(3, 2, 0x2000), Sprite2Frame(3, 2, 0x2000), Sprite2Frame(2, 2, 0x2000),
                   Sprite2Frame(2, 2, 0x2000), Sprite2Frame(1, 1, 0x2000)},
                  7));
  Add(object, kSPR2, 6,
      Sprite2List({Sprite2Frame(3, 2, 0xC000), Sprite2Frame(3, 2, 0xC000), Sprite2Frame(1, 1, 0xC000)}, 7));
  DrawGroup group;
  {
    ObjResFile file;
    ASSERT_EQ(file.OpenFile(CTGString(dir.File("src/obj"))), 0);
    ASSERT_EQ(group.Load(file, 21), 0);
    file.CloseFile();
  }
  for (DrawGroupImage& image : group.images) image.items.push_back(DrawGroupItem{.spriteId = 77});
  Add(object, kDGRP, 20, DrawGroupBytes(group));
  Add(object, kPALT, 9, testing::FindResource(built, kPALT, 7)->bytes);

  const ExportResult result = Export(dir.File("src/obj"), dir.File("out/"));
  EXPECT_FALSE(result.Exact());
  EXPECT_TRUE(Names(result, "SPR2 5", "5 frames")) << Problems(result);
  EXPECT_TRUE(Names(result, "SPR2 6", "without depth")) << Problems(result);
  EXPECT_TRUE(Names(result, "DGRP 20", "sprite 77")) << Problems(result);
  EXPECT_TRUE(Names(result, "PALT 9", "no sprite tag")) << Problems(result);
  EXPECT_EQ(result.problems.size(), 4u) << Problems(result);
  ExpectExportRebuilds(dir, built, false);
}

// A headline's list and its sprite's list are cut from one sheet, in rows
// of 98 and of 96 pixels. When they disagree about a pixel where the cuts
// meet, the headline must go further down the sheet, where they do not.
TEST(ExportLeftOut, AHeadlineWhoseTwoListsDisagreeMovesDownItsSheet) {
  testing::TempDir dir;
  WriteSheet(dir, {"h", Form::kDepth, 116, 98});
  // One colour of the sprite's first frame changed.
  // Held here: the found resource points into it.
  const std::vector<testing::StoredResource> art = BuiltArt(
      dir, "src", dir.Write("src/obj.omk", "<headline id=300 tgafile=h.tga paletteid=50>\n"), dir.File("src/"), true);
  const StoredResource* sprite = testing::FindResource(art, kSPR2, 300);
  ASSERT_NE(sprite, nullptr);
  Bytes bytes = sprite->bytes;
  Sprite2ListView view;
  ASSERT_TRUE(ParseSprite2List(bytes, view).Ok());
  std::size_t colourAt = 0;
  Sprite2FrameHeader header;
  ASSERT_TRUE(ReadSprite2Header(view.frames[0], header).Ok());
  ASSERT_TRUE(WalkSprite2Runs(view.frames[0], header.width, header.height, [&](const Sprite2Token& run, int, int) {
                if (colourAt == 0) colourAt = static_cast<std::size_t>(run.pixels.data() + 1 - bytes.data());
              }).Ok());
  ASSERT_NE(colourAt, 0u);
  bytes[colourAt] ^= 0x40;
  Add(dir.File("src/obj.iff"), kSPR2, 300, bytes);
  const std::vector<testing::StoredResource> changed = ArtOf(dir.File("src/obj"));

  const ExportResult result = Export(dir.File("src/obj"), dir.File("out/"));
  ASSERT_TRUE(result.Exact()) << Problems(result);
  ExpectExportRebuilds(dir, changed, true);
}

// A name markup cannot quote is left out with the reason.
TEST(ExportLeftOut, ANameMarkupCannotQuoteIsNamed) {
  testing::TempDir dir;
  WriteSheet(dir, {"a", Form::kDepth, 28});
  const std::vector<testing::StoredResource> built = BuiltArt(
      dir, "src",
      dir.Write("src/obj.omk", kSizes + "<sprite id=8 tgafile=a.tga symmetry=radial columns=1>\n" + Group(21, Item(8))),
      dir.File("src/"), false);
  ASSERT_FALSE(built.empty());
  Add(dir.File("src/obj.iff"), kDGRP, 22, testing::FindResource(built, kDGRP, 21)->bytes, "say \"when\"");
  const ExportResult result = Export(dir.File("src/obj"), dir.File("out/"));
  EXPECT_TRUE(Names(result, "DGRP 22", "quote character")) << Problems(result);
  EXPECT_EQ(result.problems.size(), 1u) << Problems(result);
}

}  // namespace
}  // namespace pixmold
