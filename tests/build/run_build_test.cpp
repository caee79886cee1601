#include "build/run_build.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "base/xassert.h"
#include "records/draw_group.h"
#include "records/obj_definition.h"
#include "support/object_file_fixture.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

using testing::ObjdFields;
using testing::ObjdResource;
using testing::ReadObjectFile;
using testing::StoredResource;
using testing::WriteObjectFile;

constexpr ResType kDGRP = MakeResType("DGRP");
constexpr ResType kOBJD = MakeResType("OBJD");

constexpr const char* kMarkup =
    "<sizes lwidth=128 lheight=256 mwidth=64 mheight=128 swidth=32 sheight=64>\n"
    "<sprite id=100 name=\"Chair\" tgafile=\"chair.tga\">\n"
    "<drawgroup id=100 name=\"Chair\">\n"
    "<item sprite id=100>\n"
    "<drawgroup id=101 name=\"Chair - moved\">\n"
    "<item sprite id=100 x=1>\n";

struct Build {
  Build() {
    objectFile = dir.File("chair.iff");
    WriteObjectFile(objectFile, {ObjdResource(128, "Chair", ObjdFields{.guid = 42})});
    omkFile = dir.Write("chair.omk", kMarkup);
    args.fObjectFile = objectFile;
    args.fOmkFile = omkFile;
    args.fTgaDirectory = dir.Path().string() + "/";
    args.fMakeSprites = 1;
    args.fReportStream = &report;
  }

  // Runs the request on a worker thread, as the dialog does.
  int Run() {
    int status = -1;
    std::thread worker([&] {
      ScopedWorkerThread scope;
      args.fRunning = 1;
      status = RunBuild(args);
      args.fRunning = 0;
    });
    worker.join();
    return status;
  }

  std::vector<StoredResource> Resources() const { return ReadObjectFile(objectFile); }

  testing::TempDir dir;
  std::string objectFile;
  std::string omkFile;
  std::ostringstream report;
  BuildArgs args;
};

TEST(RunBuild, WritesEveryDrawGroupAndClosesTheFile) {
  Build build;
  EXPECT_EQ(build.Run(), 0);
  EXPECT_EQ(build.report.str(), "warning: sprites not written: this version of pixmold does not generate them yet\n");
  std::vector<StoredResource> resources = build.Resources();
  const StoredResource* first = testing::FindResource(resources, kDGRP, 100);
  const StoredResource* second = testing::FindResource(resources, kDGRP, 101);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first->name, "Chair");
  EXPECT_EQ(second->name, "Chair - moved");
  EXPECT_EQ(build.args.fWritten,
            (std::vector<std::pair<ResType, ResID>>{{kDGRP, ResID{100}}, {kDGRP, ResID{101}}}));
  EXPECT_EQ(CurrentBuildArgs(), nullptr);
  EXPECT_EQ(build.args.fRunning, 0);
  EXPECT_EQ(build.args.fContext->drawGroups.Count(), 2);
}

TEST(RunBuild, ASelectionWritesOnlyItsDrawGroups) {
  Build build;
  build.args.drawGroupIds = {101, 300};
  EXPECT_EQ(build.Run(), 0);
  std::vector<StoredResource> resources = build.Resources();
  EXPECT_EQ(testing::FindResource(resources, kDGRP, 100), nullptr);
  EXPECT_NE(testing::FindResource(resources, kDGRP, 101), nullptr);
}

TEST(RunBuild, WithoutSpritesNoDrawGroupIsWritten) {
  Build build;
  build.args.fMakeSprites = 0;
  EXPECT_EQ(build.Run(), 0);
  EXPECT_EQ(testing::FindResource(build.Resources(), kDGRP, 100), nullptr);
  EXPECT_EQ(build.args.fContext->drawGroups.Count(), 2);
}

TEST(RunBuild, AMissingObjectFileIsFatal) {
  Build build;
  build.args.fObjectFile = build.dir.File("sofa.iff");
  EXPECT_EQ(build.Run(), 1);
  EXPECT_EQ(build.report.str(), "fatal error: could not open object file\n\n");
}

TEST(RunBuild, AnUnopenableMarkupFileIsFatalAndTheObjectStaysReadable) {
  Build build;
  build.args.fOmkFile = build.dir.File("missing.omk");
  EXPECT_EQ(build.Run(), 1);
  EXPECT_EQ(build.report.str(), "fatal error: could not open attributes file\n\n");
  EXPECT_NE(testing::FindResource(build.Resources(), kOBJD, 128), nullptr);
}

TEST(RunBuild, NoMarkupPathOnlyOpensTheObjectFile) {
  Build build;
  build.args.fOmkFile = "";
  EXPECT_EQ(build.Run(), 0);
  EXPECT_EQ(build.args.fContext, nullptr);
  EXPECT_EQ(build.Resources().size(), 1u);
}

TEST(RunBuild, AReadOnlyObjectFileStopsBeforeAnyDrawGroup) {
  Build build;
  {
    testing::ReadOnlyFiles readOnly("chair.iff");
    EXPECT_EQ(build.Run(), 1);
  }
  EXPECT_EQ(build.report.str(), "fatal error: object file not writable...did you check it out of SourceSafe?\n\n");
  EXPECT_EQ(testing::FindResource(build.Resources(), kDGRP, 100), nullptr);
}

TEST(RunBuild, MarkupErrorsAreLocatedAndEndTheBuild) {
  Build build;
  build.dir.Write("chair.omk", std::string(kMarkup) + "\n\n\n\n\n<sprit id=1>\n<item sprite id=7>\n");
  EXPECT_EQ(build.Run(), 1);
  EXPECT_EQ(build.report.str(),
            "warning: line: 12 - unknown tag: sprit\n"
            "fatal error: line: 13 - sprite not found for some dgrp item\n\n");
  // Nothing was written: the fatal error came before the sprite pass.
  EXPECT_EQ(testing::FindResource(build.Resources(), kDGRP, 100), nullptr);
}

TEST(RunBuild, JunkMarkupNeverCrashes) {
  Build build;
  std::string junk;
  for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 7919) % 251 + 1);
  build.dir.Write("chair.omk", junk);
  const int status = build.Run();
  EXPECT_TRUE(status == 0 || status == 1);
  EXPECT_NE(testing::FindResource(build.Resources(), kOBJD, 128), nullptr);
}

TEST(RunBuild, ABrokenInvariantOnTheWorkerEndsTheBuild) {
  Build build;
  // A 216-byte version-137 definition is reported as a broken invariant when
  // the markup pass wraps the file's only object.
  WriteObjectFile(build.objectFile, {ObjdResource(128, "Chair", ObjdFields{.version = 137, .size = 216})});
  EXPECT_EQ(build.Run(), 1);
  const std::string report = build.report.str();
  EXPECT_EQ(report.rfind("fatal error: XASSERT failure in file ", 0), 0u) << report;
  EXPECT_NE(report.find("correctly sized def found."), std::string::npos) << report;
}

TEST(RunBuild, ReportWithoutAStreamGoesToStandardError) {
  Build build;
  build.args.fReportStream = nullptr;
  build.args.fOmkFile = build.dir.File("missing.omk");
  ::testing::internal::CaptureStderr();
  build.Run();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "fatal error: could not open attributes file\n\n");
}

TEST(RunBuild, TheSharedMessageTextGetsEveryLine) {
  Build build;
  std::string shared;
  std::mutex lock;
  build.args.fSyncMessage = &shared;
  build.args.fSyncLock = &lock;
  build.args.fOmkFile = build.dir.File("missing.omk");
  build.Run();
  EXPECT_EQ(shared, "fatal error: could not open attributes file\n\r\n");
}

TEST(RunBuild, FamilyHistoryMustExistWhenAskedFor) {
  Build build;
  build.args.fReadFamilyHistory = 1;
  EXPECT_EQ(build.Run(), 1);
  EXPECT_EQ(build.report.str(), "fatal error: history resource not found\n\n");
}

TEST(RunBuild, TheSoundPassRemovesOldSounds) {
  Build build;
  StoredResource sound;
  sound.type = MakeResType("FWAV");
  sound.id = 1;
  sound.bytes = {'a', 0};
  StoredResource another = sound;
  another.id = 2;
  WriteObjectFile(build.objectFile, {ObjdResource(128, "Chair", ObjdFields{}), sound, another});
  build.args.fWriteSounds = 1;
  EXPECT_EQ(build.Run(), 0);
  EXPECT_EQ(testing::FindResource(build.Resources(), MakeResType("FWAV"), 1), nullptr);
  EXPECT_EQ(testing::FindResource(build.Resources(), MakeResType("FWAV"), 2), nullptr);
}

TEST(RunBuild, TheDrawGroupReportGoesToStandardOutput) {
  Build build;
  build.args.fPrintDrawGroupReport = 1;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(build.Run(), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "DGroupNum\tName\tDescription\n0\tChair\t(Chair)\n1\tChair - moved\t(Chair)\n");
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
  const StoredResource* objd = testing::FindResource(resources, kOBJD, 128);
  ASSERT_NE(objd, nullptr);
  EXPECT_EQ(objd->name, "Made");
  std::vector<std::uint8_t> bytes = objd->bytes;
  ObjDefinition def(bytes);
  EXPECT_EQ(def.TemplateGuid(), 77u);
  EXPECT_NE(testing::FindResource(resources, kDGRP, 100), nullptr);

  Build again;
  again.args.fNewObjectTemplate = build.dir.File("no-template.iff");
  EXPECT_EQ(again.Run(), 1);
  EXPECT_EQ(again.report.str(), "fatal error: could not make new object\n\n");
}

}  // namespace
}  // namespace pixmold
