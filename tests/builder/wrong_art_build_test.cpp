// Slips an artist makes in the first hour that once built wrong art without
// a word and exited 0: each build here is checked by what the object file
// holds afterwards, not only by what the report says.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "builder/build_args.h"
#include "imaging/sprite2_decoder.h"
#include "records/tree_table.h"
#include "resfile/string_set.h"
#include "support/build_on_worker.h"
#include "support/object_file_fixture.h"
#include "support/record_bytes.h"
#include "support/res_type_names.h"
#include "support/sheet_images.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

using testing::ObjdFields;
using testing::ObjdResource;
using testing::StoredResource;

constexpr const char* kSizes = "<sizes lwidth=16 lheight=24 mwidth=8 mheight=12 swidth=4 sheight=6>\n";

// A chair object (GUID 42, tree table 300) with 32-bit sheets, chair.tga and
// the headline's idea.tga, and their palette images, built in process on a
// worker as the command line builds it.
struct Build {
  explicit Build(std::vector<StoredResource> extra = {}) {
    extra.insert(extra.begin(), ObjdResource(128, "Chair", ObjdFields{.guid = 42, .treeTableId = 300}));
    testing::WriteObjectFile(objectFile, extra);
    testing::WriteSheetImages(dir, "chair", 112, 24);
    testing::WriteSheetImages(dir, "idea", 112, 96);  // one headline frame
    args.fObjectFile = objectFile;
    args.fTgaDirectory = dir.Path().string() + "/";
    args.fMakeSprites = 1;
    args.fReportStream = &report;
  }
  int Run(const std::string& markup) {
    args.fOmkFile = dir.Write("chair.omk", markup);
    return testing::RunBuildOnWorker(args);
  }
  std::vector<StoredResource> Resources() const { return testing::ReadObjectFile(objectFile); }
  std::string Contents() const { return testing::ResourceList(Resources()); }

  testing::TempDir dir;
  std::string objectFile = dir.File("chair.iff");
  std::ostringstream report;
  BuildArgs args;
};

StoredResource Stale(ResType type, ResID id) { return {type, id, "old", 0, true, {1, 2, 3, 4}}; }

// A sheet that changes kind replaces the list of the other type under its
// id, so nothing keeps drawing the old one; a headline's SPR# list is the
// SPR# list pass's and stays beside its SPR2.
TEST(WrongArt, ASheetThatChangesKindLeavesOnlyTheNewList) {
  struct Case {
    const char* name;
    StoredResource old;
    std::string markup;
    const char* contents;
    const char* warning;  // "" for none
  };
  const Case cases[] = {
      {"32-bit sheet now a bmpfile", Stale(kSPR2, 100),
       std::string(kSizes) + "<sprite id=100 name=\"Chair\" bmpfile=\"chair.bmp\">\n", "OBJD 128, SPR# 100",
       "warning: sprite 100 is now an SPR# list: removed the SPR2 100 left by an earlier build\n"},
      {"24-bit sheet now 32-bit", Stale(kSPR, 100),
       std::string(kSizes) + "<sprite id=100 name=\"Chair\" tgafile=\"chair.tga\">\n", "OBJD 128, SPR2 100",
       "warning: sprite 100 is now an SPR2 list: removed the SPR# 100 left by an earlier build\n"},
      {"another id is left alone", Stale(kSPR, 101),
       std::string(kSizes) + "<sprite id=100 name=\"Chair\" tgafile=\"chair.tga\">\n", "OBJD 128, SPR# 101, SPR2 100",
       ""},
      {"a headline keeps its SPR# list", Stale(kSPR, 300), "<headline id=300 name=\"Idea\" tgafile=\"idea.tga\">\n",
       "OBJD 128, SPR# 300, SPR2 300", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Build build({c.old});
    ASSERT_EQ(build.Run(c.markup), 0) << build.report.str();
    EXPECT_EQ(build.Contents(), c.contents);
    const std::string report = build.report.str();
    if (*c.warning != 0) {
      EXPECT_NE(report.find(c.warning), std::string::npos) << report;
    } else {
      EXPECT_EQ(report.find("warning"), std::string::npos) << report;
    }
  }
}

// Ids are stored in 16 bits: the sprite, its item, its palette and the draw
// group all land on the low 16 bits, still matching one another and the
// draw group selection, and each is named at its tag's line.
TEST(WrongArt, IdsBeyondSixteenBitsAreStoredAsTheirLowBitsAndNamed) {
  Build build;
  build.args.drawGroupIds = {0};
  ASSERT_EQ(build.Run(std::string(kSizes) + "<sprite id=70000 name=\"Chair\" tgafile=\"chair.tga\" paletteid=70000>\n"
                                            "<drawgroup id=65536 name=\"Chair\">\n"
                                            "<item sprite id=70000>\n"),
            0)
      << build.report.str();
  EXPECT_EQ(build.Contents(), "OBJD 128, SPR2 4464, PALT 4464, DGRP 0");
  const std::string report = build.report.str();
  for (const char* warning : {"warning: line: 2 - id 70000 does not fit in 16 bits; it is stored as 4464\n",
                              "warning: line: 2 - paletteid 70000 does not fit in 16 bits; it is stored as 4464\n",
                              "warning: line: 3 - id 65536 does not fit in 16 bits; it is stored as 0\n",
                              "warning: line: 4 - id 70000 does not fit in 16 bits; it is stored as 4464\n"}) {
    EXPECT_NE(report.find(warning), std::string::npos) << warning << report;
  }
  const std::vector<StoredResource> resources = build.Resources();
  const StoredResource* list = testing::FindResource(resources, kSPR2, 4464);
  ASSERT_NE(list, nullptr);
  Sprite2ListView view;
  ASSERT_TRUE(ParseSprite2List(list->bytes, view).Ok());
  EXPECT_EQ(view.paletteId, 4464);
}

// The palette id field of every SPR2 frame holds its list's palette id, and
// a PALT is stored with the native flag clear.
TEST(WrongArt, SpriteFramesCarryTheirListsPaletteId) {
  Build build;
  ASSERT_EQ(build.Run(std::string(kSizes) + "<sprite id=100 tgafile=\"chair.tga\" paletteid=7>\n"), 0)
      << build.report.str();
  const std::vector<StoredResource> resources = build.Resources();
  const StoredResource* list = testing::FindResource(resources, kSPR2, 100);
  ASSERT_NE(list, nullptr);
  Sprite2ListView view;
  ASSERT_TRUE(ParseSprite2List(list->bytes, view).Ok());
  ASSERT_EQ(view.frames.size(), 12u);
  for (const auto& frame : view.frames) {
    DecodedSprite pixels;
    Sprite2FrameHeader header;
    ASSERT_TRUE(DecodeSprite2Frame(frame, pixels, &header).Ok());
    EXPECT_EQ(header.paletteId, 7);
  }
  const StoredResource* palette = testing::FindResource(resources, kPALT, 7);
  ASSERT_NE(palette, nullptr);
  EXPECT_FALSE(palette->native);
}

// An index a string set cannot hold used to drop the label and exit 0; it
// ends the build at the tag's line, and the table is not written.
TEST(WrongArt, ABadIndexEndsTheBuildAndWritesNoTable) {
  struct Case {
    const char* markup;
    void (*switchOn)(BuildArgs&);
  };
  const Case cases[] = {
      {"<attributes id=300 name=\"Wear\">\n<attribute index=-1 label=\"Worn\">\n",
       [](BuildArgs& a) { a.fWriteAttributeStrings = 1; }},
      {"<attributes id=300 name=\"Wear\">\n<attribute index=65535 label=\"Worn\">\n",
       [](BuildArgs& a) { a.fWriteAttributeStrings = 1; }},
      {"<\"skill table\">\n<skill index=-2 name=\"Cooking\" type=a2o>\n",
       [](BuildArgs& a) { a.fWriteSkillTables = 1; }},
      {"<\"skill table\">\n<skill index=65535 name=\"Cooking\" type=a2o>\n",
       [](BuildArgs& a) { a.fWriteSkillTables = 1; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.markup);
    Build build;
    build.args.fMakeSprites = 0;
    c.switchOn(build.args);
    EXPECT_EQ(build.Run(c.markup), 1);
    EXPECT_EQ(build.report.str(), "fatal error: line: 2 - bad index\n\n");
    EXPECT_EQ(build.Contents(), "OBJD 128");
  }
  // An index in range is placed.
  Build build;
  build.args.fMakeSprites = 0;
  build.args.fWriteAttributeStrings = 1;
  ASSERT_EQ(build.Run("<attributes id=300 name=\"Wear\">\n<attribute index=2 label=\"Worn\">\n"), 0)
      << build.report.str();
  EXPECT_EQ(build.Contents(), "OBJD 128, STR# 300");
}

// A version-7 tree table kept its menu texts in the string table in entry
// order. Saved again it keeps each text on its own interaction, wherever
// that interaction's string index points, instead of looking the texts up
// by string index as a current table's are.
TEST(WrongArt, AVersion7TreeTableKeepsEachInteractionsText) {
  testing::RecordBytes record;
  record.U16(2).U16(7);
  // Tree 4096 with string index 2, then tree 4097 with string index 0.
  for (auto [tree, stringIndex] : {std::pair{4096u, 2u}, std::pair{4097u, 0u}}) {
    record.U16(tree).U16(0).U32(0).U32(0).U32(stringIndex).U32(3).F32(0).U32(50).U32(0xFFFFFFFF);
  }
  StringSet texts;
  texts.Init(nullptr, 0, TreeTable::kStringsType, false, 0);
  texts.SetValue(1, "Sit");
  texts.SetValue(2, "Nap");
  Build build({{TreeTable::kType, 300, "Chair interactions", 0, true, record.bytes},
               {TreeTable::kStringsType, 300, "", 0, true, *texts.EncodeAllLanguages()}});
  build.args.fMakeSprites = 0;
  build.args.fWriteTreeTables = 1;
  // No interaction tags: a name given there would replace the text read.
  ASSERT_EQ(build.Run("<ttab guid=42 name=\"Chair interactions\">\n"), 0) << build.report.str();
  EXPECT_NE(build.report.str().find("warning: old tree table found"), std::string::npos) << build.report.str();

  const std::vector<StoredResource> resources = build.Resources();
  const StoredResource* stored = testing::FindResource(resources, TreeTable::kStringsType, 300);
  ASSERT_NE(stored, nullptr);
  StringSet saved;
  saved.Init(nullptr, 300, TreeTable::kStringsType, false, 0);
  ASSERT_EQ(saved.LoadBytes(stored->bytes, false, true), 0);
  // Value stringIndex + 1 of each interaction.
  EXPECT_EQ(saved.Value(1).value_or("(none)"), "Nap");
  EXPECT_EQ(saved.Value(3).value_or("(none)"), "Sit");
}

}  // namespace
}  // namespace pixmold
