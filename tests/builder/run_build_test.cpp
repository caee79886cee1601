#include "builder/run_build.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <thread>

#include "base/stop_request.h"
#include "base/xassert.h"
#include "records/obj_definition.h"
#include "support/build_on_worker.h"
#include "support/object_file_fixture.h"
#include "support/sheet_images.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

using testing::ObjdFields;
using testing::ObjdResource;
using testing::StoredResource;
using testing::WriteObjectFile;

constexpr ResType kDGRP = MakeResType("DGRP");

constexpr const char* kMarkup =
    "<sizes lwidth=16 lheight=24 mwidth=8 mheight=12 swidth=4 sheight=6>\n"
    "<sprite id=100 name=\"Chair\" tgafile=\"chair.tga\">\n"
    "<drawgroup id=100 name=\"Chair\">\n<item sprite id=100>\n"
    "<drawgroup id=101 name=\"Chair - moved\">\n<item sprite id=100 x=1>\n";

constexpr ResType kSPR2 = MakeResType("SPR2");

struct Build {
  Build() {
    WriteObjectFile(objectFile, {ObjdResource(128, "Chair", ObjdFields{.guid = 42})});
    args.fObjectFile = objectFile;
    args.fOmkFile = dir.Write("chair.omk", kMarkup);
    testing::WriteSheetImages(dir, "chair", 112, 24);
    args.fTgaDirectory = dir.Path().string() + "/";
    args.fMakeSprites = 1;
    args.fReportStream = &report;
  }

  // Runs the request on a worker thread, as the dialog does.
  int Run() { return testing::RunBuildOnWorker(args); }

  std::vector<StoredResource> Resources() const { return testing::ReadObjectFile(objectFile); }
  // The object file's resources as "TYPE id", in file order.
  std::string Contents() const { return testing::ResourceList(Resources()); }

  testing::TempDir dir;
  std::string objectFile = dir.File("chair.iff");
  std::ostringstream report;
  BuildArgs args;
};

// A progress report as "stage" or "stage done/total".
std::string StepText(std::string_view stage, int done, int total) {
  std::string step(stage);
  if (total > 0) step.append(" ").append(std::to_string(done)).append("/").append(std::to_string(total));
  return step;
}

// One build writes the sprite and both draw groups, reports its steps and
// prints the draw group report on standard output, and closes the file.
TEST(RunBuild, WritesEveryDrawGroupAndReportsEachStep) {
  Build build;
  std::vector<std::string> steps;
  build.args.fProgress = [&steps](std::string_view stage, int done, int total) {
    steps.push_back(StepText(stage, done, total));
  };
  build.args.fPrintDrawGroupReport = 1;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(build.Run(), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "DGroupNum\tName\tDescription\n0\tChair\t(Chair)\n1\tChair - moved\t(Chair)\n");
  EXPECT_EQ(build.report.str().find("warning"), std::string::npos) << build.report.str();
  std::vector<std::string> names;
  for (const StoredResource& r : build.Resources()) names.push_back(std::to_string(r.id) + " " + r.name);
  EXPECT_EQ(names, (std::vector<std::string>{"128 Chair", "100 Chair", "100 Chair", "101 Chair - moved"}));
  EXPECT_EQ(build.args.fWritten, (std::vector<std::pair<ResType, ResID>>{{kSPR2, 100}, {kDGRP, 100}, {kDGRP, 101}}));
  EXPECT_EQ(steps, (std::vector<std::string>{"opening the object file", "reading markup", "sprites 1/1",
                                             "draw groups 1/2", "draw groups 2/2", "closing the object file"}));
  EXPECT_EQ(CurrentBuildArgs(), nullptr);
  EXPECT_EQ(build.args.fRunning, 0);
}

struct OutcomeCase {
  const char* name;
  std::function<void(Build&)> setUp;
  int status;
  std::string report;  // the whole report after "=", else a part of it
  const char* contents = "OBJD 128";
  std::function<void(Build&)> check = nullptr;
};

// Builds that do less than everything, and fatal errors, which end the build
// before any draw group is written.
TEST(RunBuild, SelectionsAndFatalErrors) {
  const ResType kFWAV = MakeResType("FWAV");
  const OutcomeCase cases[] = {
      {"selected draw groups",
       [](Build& b) {
         b.args.drawGroupIds = {101, 300};
       },
       0, "", "OBJD 128, SPR2 100, DGRP 101"},
      {"no sprites, the markup still read", [](Build& b) { b.args.fMakeSprites = 0; }, 0, "=", "OBJD 128",
       [](Build& b) { EXPECT_EQ(b.args.fContext->drawGroups.Count(), 2); }},
      {"no markup", [](Build& b) { b.args.fOmkFile = ""; }, 0, "=", "OBJD 128",
       [](Build& b) { EXPECT_EQ(b.args.fContext, nullptr); }},
      {"the sound pass replaces the old sounds with the markup's",
       [&](Build& b) {
         WriteObjectFile(b.objectFile, {ObjdResource(128, "Chair", ObjdFields{}),
                                        {kFWAV, 1, "", 0, true, {'a', 0}},
                                        {kFWAV, 2, "", 0, true, {'b', 0}}});
         b.dir.Write("chair.omk", kMarkup + std::string("<sound id=5 name=\"creak.wav\">\n"));
         b.args.fWriteSounds = b.args.fWriteSlots = 1;
         b.args.fMakeSprites = 0;
       },
       0, "=", "OBJD 128, FWAV 5"},
      {"a markup without sound tags leaves the sounds",
       [&](Build& b) {
         WriteObjectFile(b.objectFile, {ObjdResource(128, "Chair", ObjdFields{}),
                                        {kFWAV, 1, "", 0, true, {'a', 0}},
                                        {kFWAV, 2, "", 0, true, {'b', 0}}});
         b.args.fWriteSounds = 1;
         b.args.fMakeSprites = 0;
       },
       0, "=The markup holds no sound tag; the object's sounds are left as they are.\n", "OBJD 128, FWAV 1, FWAV 2"},
      {"no object", [](Build& b) { b.args.fObjectFile = b.dir.File("sofa.iff"); }, 1,
       "=fatal error: could not open object file\n\n"},
      {"no markup file", [](Build& b) { b.args.fOmkFile = b.dir.File("missing.omk"); }, 1,
       "=fatal error: could not open attributes file\n\n"},
      {"no history", [](Build& b) { b.args.fReadFamilyHistory = 1; }, 1,
       "=fatal error: history resource not found\n\n"},
      {"no template", [](Build& b) { b.args.fNewObjectTemplate = b.dir.File("no-template.iff"); }, 1,
       "=fatal error: could not make new object\n\n"},
      {"bad markup",
       [](Build& b) { b.dir.Write("chair.omk", kMarkup + std::string("\n\n\n\n\n<sprit>\n<item sprite id=7>")); }, 1,
       "=warning: line: 12 - unknown tag: sprit\nfatal error: line: 13 - sprite not found for some dgrp item\n\n"},
      {"walls with a pattern", [](Build& b) { b.args.fMakeWalls = b.args.fMakeWallPattern = 1; }, 1, "logic error"},
      // A 216-byte version-137 definition is reported as a broken invariant
      // when the markup pass wraps the file's only object.
      {"a broken invariant on the worker",
       [](Build& b) {
         WriteObjectFile(b.objectFile, {ObjdResource(128, "Chair", ObjdFields{.version = 137, .size = 216})});
       },
       1, "fatal error: XASSERT failure in file ", "OBJD 128",
       [](Build& b) { EXPECT_NE(b.report.str().find("correctly sized def found."), std::string::npos); }},
  };
  for (const OutcomeCase& c : cases) {
    SCOPED_TRACE(c.name);
    Build build;
    c.setUp(build);
    EXPECT_EQ(build.Run(), c.status);
    const std::string report = build.report.str();
    EXPECT_TRUE(c.report.starts_with('=') ? "=" + report == c.report : report.find(c.report) != std::string::npos)
        << report;
    EXPECT_EQ(build.Contents(), c.contents);
    if (c.check) c.check(build);
  }
}

struct PassCase {
  const char* name;
  std::function<void(Build&)> switchOn;
  bool writes;  // checks that the object file can be written first
};

const PassCase kPassCases[] = {
    {"walls", [](Build& b) { b.args.fMakeWalls = 1; }, true},
    {"wall styles", [](Build& b) { b.args.fMakeWallStyle = 1; }, true},
    {"wall patterns", [](Build& b) { b.args.fMakeWallPattern = 1; }, true},
    {"floors", [](Build& b) { b.args.fMakeFloors = 1; }, true},
    {"water sprites", [](Build& b) { b.args.fMakeWater = 1; }, false},
    {"palette images", [](Build& b) { b.args.fMakePaletteImages = 1; }, false},
    {"sprites", [](Build& b) { b.args.fMakeSprites = 1; }, true},
    // Sounds are written only when the markup holds some.
    {"sounds",
     [](Build& b) {
       b.dir.Write("chair.omk", kMarkup + std::string("<sound id=5 name=\"creak.wav\">\n"));
       b.args.fWriteSounds = 1;
     },
     true},
    {"slots", [](Build& b) { b.args.fWriteSlots = 1; }, true},
    {"SPR# sprite lists", [](Build& b) { b.args.fWriteSpriteLists = 1; }, true},
    {"attribute strings", [](Build& b) { b.args.fWriteAttributeStrings = 1; }, true},
    {"skill tables", [](Build& b) { b.args.fWriteSkillTables = 1; }, true},
    {"catalogs", [](Build& b) { b.args.fWriteCatalogs = 1; }, false},
    {"tree tables", [](Build& b) { b.args.fWriteTreeTables = 1; }, false},
    {"bitmaps", [](Build& b) { b.args.fWriteBitmaps = 1; }, false},
};

// The table's first rows: walls, styles, patterns, floors, water, palettes.
constexpr std::size_t kArchitecturePassRows = 6;

TEST(RunBuild, EveryPassRunsAtItsStepAndChecksWritingWhereItWrites) {
  constexpr const char* kNotWritable = "object file not writable";
  for (const PassCase& pass : kPassCases) {
    Build build;
    build.args.fMakeSprites = 0;
    pass.switchOn(build);
    {
      testing::ReadOnlyFiles readOnly("chair.iff");
      build.Run();
    }
    EXPECT_EQ(build.report.str().find(kNotWritable) != std::string::npos, pass.writes) << pass.name;
  }
  // Everything but the architecture passes, which need sheets of their own
  // (their tests build from generated ones): every pass writes what its
  // tags ask for, none says it was left out.
  Build build;
  for (std::size_t row = kArchitecturePassRows; row < std::size(kPassCases); ++row) kPassCases[row].switchOn(build);
  EXPECT_EQ(build.Run(), 0) << build.report.str();
  EXPECT_EQ(build.report.str().find("not written"), std::string::npos) << build.report.str();
}

TEST(RunBuild, ReportGoesToStandardErrorOrTheSharedText) {
  Build build;
  build.args.fReportStream = nullptr;
  build.args.fOmkFile = build.dir.File("missing.omk");
  ::testing::internal::CaptureStderr();
  build.Run();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "fatal error: could not open attributes file\n\n");

  std::string shared;
  std::mutex lock;
  build.args.fReportStream = &build.report;
  build.args.fSyncMessage = &shared;
  build.args.fSyncLock = &lock;
  build.Run();
  EXPECT_EQ(shared, "fatal error: could not open attributes file\n\r\n");
}

// A stop requested during one step (as the command line's SIGINT handler
// does) ends the build at the next resource boundary: what was written
// stays, nothing more is written, and the file is closed whole.
TEST(RunBuild, AStopRequestEndsTheBuildAtTheNextResource) {
  struct StopCase {
    const char* step;
    const char* contents;
  };
  const StopCase cases[] = {
      {"reading markup", "OBJD 128"},
      {"sprites 1/1", "OBJD 128, SPR2 100"},
      {"draw groups 1/2", "OBJD 128, SPR2 100, DGRP 100"},
  };
  for (const StopCase& c : cases) {
    SCOPED_TRACE(c.step);
    Build build;
    build.args.fProgress = [&c](std::string_view stage, int done, int total) {
      if (StepText(stage, done, total) == c.step) RequestStop();
    };
    const int status = build.Run();
    const bool stopped = StopRequested();
    ClearStopRequest();
    EXPECT_TRUE(stopped);
    EXPECT_EQ(status, 1);
    const std::string report = build.report.str();
    EXPECT_TRUE(report.ends_with("fatal error: interrupted\n\n")) << report;
    EXPECT_EQ(build.Contents(), c.contents);
  }
  // The request is the build's own business: a cleared one stops nothing.
  Build after;
  EXPECT_EQ(after.Run(), 0);
}

TEST(RunBuild, ANewObjectFromATemplateGetsAFreshGuid) {
  Build build;
  const std::string templateFile = build.dir.File("template.iff");
  WriteObjectFile(templateFile, {ObjdResource(128, "Template", ObjdFields{.guid = 77})});
  build.objectFile = build.dir.File("made.iff");
  build.args.fObjectFile = build.objectFile;
  build.args.fNewObjectTemplate = templateFile;
  build.args.fNewObjectName = "Made";
  EXPECT_EQ(build.Run(), 0) << build.report.str();
  std::vector<StoredResource> resources = build.Resources();
  ASSERT_EQ(resources.size(), 4u);
  EXPECT_EQ(resources[0].name, "Made");
  EXPECT_EQ(ObjDefinition(resources[0].bytes).TemplateGuid(), 77u);
}

}  // namespace
}  // namespace pixmold
