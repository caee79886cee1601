// A whole build with every data pass, and the dump of what it wrote, run as
// a user runs them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "records/family_history.h"
#include "records/tree_table.h"
#include "support/object_file_fixture.h"
#include "support/sheet_images.h"

namespace pixmold {
namespace {

using testing::CliRun;
using testing::ObjdFields;
using testing::ObjdResource;
using testing::Quote;
using testing::StoredResource;

constexpr const char* kMarkup =
    "<catalog guid=42 thumbnail=thumb.bmp cost=120 \"room sort\"=\"Study\" comfort=4 logic=true>\n"
    "<bmpfile id=400 filename=thumb.bmp language=1>\n"
    "<ttab guid=42 name=\"chair menu\"><interaction index=0 name=\"Sit Down\">\n"
    "<slots id=200 name=chair>\n"
    "<slot name=seat surface=true height=table>\n<slot type=headline alt=4>\n<slot type=handle>\n"
    "<slot type=routing name=front south min=0.5 \"opposite facing\">\n"
    "<\"skill table\"><skill index=0 name=Comfort type=a2o>\n"
    "<attributes id=300 name=stats><attribute index=1 label=Softness>\n"
    "<sound id=10 name=creak.wav><sound id=11 name=sit.wav>\n"
    "<headline id=500 name=Sign tgafile=sign.tga>\n";

struct DataBuild {
  DataBuild() {
    testing::MemoryObjectFile start({ObjdResource(128, "Chair", ObjdFields{.guid = 42, .treeTableId = 300})});
    TreeTable table(16);
    table.Add(0, 4096);
    table.Add(0, 4097);
    table.Entries()[0].menuText = "Sit";
    table.Entries()[1].menuText = "Rock";
    EXPECT_EQ(table.Save(start.file, 300, "old menu"), 0);
    FamilyHistory history;
    history.rows.push_back(FamilyHistory::Row{});
    history.rows[0][0] = 12;
    EXPECT_EQ(history.Save(start.file, 1), 0);
    std::vector<StoredResource> resources = start.disk.files["chair.iff"];
    resources.push_back({MakeResType("FWAV"), 1, "", 0, true, {'o', 'l', 'd', 0}});
    testing::WriteObjectFile(object, resources);
    dir.Write("chair.omk", kMarkup);
    dir.Write("pictures/thumb.bmp", "BM-thumb");
    // One headline frame: a large, a medium and a small cell.
    testing::WriteSheetImages(dir, "sign", 116, 98);
  }
  CliRun Run(const std::string& args) const { return testing::RunCli(dir, args); }
  CliRun BuildAll() const {
    return Run("build " + Quote(object) + " --all-passes --no-sprites -q --thumbnails " + Quote(dir.File("pictures")));
  }

  // "TYPE id name", sorted, of every resource of the object file.
  std::vector<std::string> Contents() const {
    std::vector<std::string> rows;
    for (const StoredResource& r : testing::ReadObjectFile(object)) {
      rows.push_back(ResTypeName(r.type) + " " + std::to_string(r.id) + " " + r.name);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
  }

  testing::TempDir dir;
  std::string object = dir.File("chair.iff");
};

TEST(CliObjectData, AllPassesWriteExactlyTheDataResourcesAndDumpReadsThem) {
  DataBuild build;
  CliRun result = build.BuildAll();
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "warning: Interaction \"Rock\", #1 not found in OMK, marking menu text as debug\n");
  EXPECT_EQ(result.out, "DGroupNum\tName\tDescription\n");
  EXPECT_EQ(build.Contents(),
            (std::vector<std::string>{"BMP_ 2000 thumb.bmp", "BMP_ 400 thumb.bmp", "FAMh 1 ", "FWAV 10 ", "FWAV 11 ",
                                      "OBJD 128 Chair", "SLOT 200 ", "SPR# 500 sign", "STR# 129 a2o",
                                      "STR# 257 chair labels", "STR# 300 stats", "TTAB 300 chair menu", "TTAs 300 "}));
  // The summary lists what each pass wrote: the skill tables only the set
  // that holds skills.
  CliRun skills = build.Run("build " + Quote(build.object) + " --skill-tables --no-sprites --json -q");
  EXPECT_EQ(skills.status, 0) << skills.err;
  EXPECT_NE(skills.out.find("\"written\":{\"STR#\":[129]}"), std::string::npos) << skills.out;
  const std::string history = testing::Text(build.dir.File("chair.history.txt"));
  EXPECT_EQ(history.substr(0, 5), "Lot#\t");
  EXPECT_EQ(history.substr(history.find('\n') + 1, 5), "12\t0\t");

  // The dump of what it wrote: one line of each that only a correct reading gives.
  const std::string file = Quote(build.object);
  const std::vector<std::pair<std::string, std::string>> readable = {
      {"OBJD 128", "price: 120\n"},
      {"OBJD 128", "functionTable: [0, 0, 0"},
      {"SLOT 200", "  optimalProximity: 16\n"},
      {"SLOT 200", "storedVersion: 10\n"},
      {"TTAB 300", "    menuText: Sit Down\n"},
      {"TTAB 300", "    comment: !\n"},
      {"TTAs 300", "language: 0\n"},
      {"STR# 257", "      value: front\n"},
      {"FWAV 10", "fileName: creak.wav\n"},
      {"FAMh 1", "    Lot#: 12\n"},
      {"BMP_ 400 --variant 1", "no reader"},
      {"SPR# 500", "version: 503\npaletteId: 50\n"},
      {"SPR# 500", "  #2:\n    width: 15\n    height: 23\n    depth: true\n"},
  };
  for (const auto& [address, line] : readable) {
    CliRun dump = build.Run("dump " + file + " " + address);
    EXPECT_NE((dump.out + dump.err).find(line), std::string::npos) << address << "\n" << dump.out << dump.err;
  }
  CliRun json = build.Run("dump " + file + " SLOT 200 --json");
  EXPECT_EQ(json.status, 0);
  EXPECT_EQ(json.out.substr(0, 40), "{\n \"type\": \"SLOT\",\n \"id\": 200,\n \"name\": ");
  EXPECT_NE(json.out.find("\"facing\": 4"), std::string::npos);
  EXPECT_EQ(build.Run("dump " + file + " SLOT 201").status, 1);
  EXPECT_EQ(build.Run("dump " + file + " BMP_ 400 --variant 1").status, 1);
  EXPECT_EQ(build.Run("dump " + file + " SLO 200").status, 2);

  // The history alone, exported where asked; an object without one fails.
  const std::string exported = build.dir.File("out.txt");
  CliRun alone = build.Run("build " + file + " --no-sprites --history-export " + Quote(exported));
  EXPECT_EQ(alone.status, 0) << alone.err;
  const std::string text = testing::Text(exported);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
  testing::WriteObjectFile(build.object, {ObjdResource(128, "Chair", ObjdFields{.guid = 42})});
  alone = build.Run("build " + file + " --no-sprites --family-history");
  EXPECT_EQ(alone.status, 1);
  EXPECT_EQ(alone.err, "fatal error: history resource not found\n\n");
}

}  // namespace
}  // namespace pixmold
