// Exporting from the command line or the dialog: the object named as an
// artist names it, a folder that must be new or empty, and a failed write
// that leaves no half a set of files behind.
#include "app/art_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "builder/export/export_fixture.h"
#include "filelib/ctg_file_manager.h"
#include "filelib/io_faults.h"
#include "resfile/obj_res_file.h"
#include "support/handle_bytes.h"

namespace pixmold {
namespace {

using namespace export_testing;

// A built object of one sprite and one draw group, DIR/src/obj: its data
// in obj.iff, its art in obj.spf.
class ArtExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteSheet(fDir, {"a", Form::kDepth, 28});
    fDir.Write("src/obj.omk",
               kSizes + "<sprite id=8 tgafile=a.tga symmetry=radial columns=1 paletteid=7>\n" + Group(21, Item(8)));
    ObjResFile parts;
    ASSERT_EQ(parts.CreateFile(CTGString(fDir.File("src/obj"))), 0);
    ASSERT_EQ(parts.OpenFile(CTGString(fDir.File("src/obj"))), 0);
    const testing::StoredResource definition = testing::ObjdResource(128, "Thing", {});
    MHandle handle = testing::HandleOf(definition.bytes).Release();
    ASSERT_EQ(parts.AddResource(handle, definition.type, definition.id, CTGString(definition.name), true), 0);
    ASSERT_EQ(parts.CloseFile(), 0);
    ASSERT_EQ(Build(fDir.File("src/obj.iff"), fDir.File("src/obj.omk"), fDir.File("src/"), false), 0);
  }

  // The built object into DIR/out, unless told otherwise.
  ArtExportRequest Request() const {
    ArtExportRequest request;
    request.object = fDir.File("src/obj");
    request.directory = fDir.File("out");
    return request;
  }
  ArtExportRequest Into(const std::string& directory, bool force = false) const {
    ArtExportRequest request = Request();
    request.directory = directory;
    request.force = force;
    return request;
  }
  ArtExportOutcome Run(const ArtExportRequest& request) { return ExportArt(request, CTGFileManager::Get().Files()); }

  std::size_t FilesIn(const std::string& directory) const {
    if (!std::filesystem::exists(directory)) return 0;
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(directory), {}));
  }

  testing::TempDir fDir;
};

TEST_F(ArtExportTest, TakesTheObjectByEitherPartOrBaseName) {
  for (const std::string object : {"src/obj", "src/obj.iff"}) {
    const std::string out = fDir.File("out-" + std::to_string(object.size()));
    ArtExportRequest request = Into(out);
    request.object = fDir.File(object);
    const ArtExportOutcome outcome = Run(request);
    EXPECT_EQ(outcome.status, ArtExportStatus::kExact) << object << ": " << outcome.message;
    EXPECT_TRUE(std::filesystem::exists(out + "/obj.omk")) << object;
    EXPECT_EQ(outcome.result.drawGroups, std::vector<std::int32_t>{21});
  }
}

TEST_F(ArtExportTest, RefusesWhatItCannotCarryOutAsAsked) {
  fDir.Write("used/old.tga", "old");
  struct Case {
    const char* what;
    ArtExportRequest request;
    const char* message;
  };
  ArtExportRequest missing = Request();
  missing.object = fDir.File("src/nothing");
  ArtExportRequest unknownGroup = Request();
  unknownGroup.drawGroupIds = {22};
  const Case cases[] = {
      {"a folder with files", Into(fDir.File("used")), "not empty"},
      {"no such object", missing, "no object file"},
      {"no such draw group", unknownGroup, "no DGRP 22"},
      {"a file for a folder", Into(fDir.File("src/obj.omk")), "not a folder"},
  };
  for (const Case& refused : cases) {
    const ArtExportOutcome outcome = Run(refused.request);
    EXPECT_EQ(outcome.status, ArtExportStatus::kRefused) << refused.what;
    EXPECT_NE(outcome.message.find(refused.message), std::string::npos) << refused.what << ": " << outcome.message;
  }
  EXPECT_EQ(FilesIn(fDir.File("used")), 1u);
  EXPECT_EQ(Run(Into(fDir.File("used"), true)).status, ArtExportStatus::kExact);
  EXPECT_GT(FilesIn(fDir.File("used")), 1u);
}

// Every write fails once in turn: each export fails, naming the file, and
// leaves none of its files behind.
TEST_F(ArtExportTest, AFailedWriteLeavesNoFilesBehind) {
  for (int n = 1;; ++n) {
    const std::string out = fDir.File("out" + std::to_string(n));
    IoFaults faults;
    faults.FailNth(IoOp::kWrite, n);
    const ArtExportOutcome outcome = Run(Into(out));
    if (!faults.Fired()) {
      EXPECT_EQ(outcome.status, ArtExportStatus::kExact);
      EXPECT_GT(n, 3);
      break;
    }
    EXPECT_EQ(outcome.status, ArtExportStatus::kFailed) << n;
    EXPECT_NE(outcome.message.find("cannot write " + out), std::string::npos) << outcome.message;
    EXPECT_EQ(FilesIn(out), 0u) << "write " << n;
  }
}

}  // namespace
}  // namespace pixmold
