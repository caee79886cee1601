// The build, objects and new-object commands, run as a user runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "records/obj_definition.h"
#include "support/object_file_fixture.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

using testing::ObjdFields;
using testing::ObjdResource;

// Sprite rendering is not part of this version; the build says so.
#define NO_SPRITES_WARNING "warning: sprites not written: this version of pixmold does not generate them yet\n"

constexpr ResType kDGRP = MakeResType("DGRP");

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  quoted += '\'';
  return quoted;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

struct Cli {
  Result Run(const std::vector<std::string>& args) const {
    std::string command = std::string("TERM=dumb ") + PIXMOLD_CLI_PATH;
    for (const auto& arg : args) {
      command += ' ';
      command += Quote(arg);
    }
    command += " >";
    command += Quote(dir.File("out.txt"));
    command += " 2>";
    command += Quote(dir.File("err.txt"));
    Result result;
    const int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    result.out = Slurp(dir.File("out.txt"));
    result.err = Slurp(dir.File("err.txt"));
    return result;
  }

  std::string Object(const std::string& name = "chair") const {
    const std::string path = dir.File(name + ".iff");
    testing::WriteObjectFile(path, {ObjdResource(128, "Chair", ObjdFields{.guid = 42, .firstDrawGroupId = 100,
                                                                         .drawGroupCount = 2})});
    dir.Write(name + ".omk",
              "<sizes lwidth=128 lheight=256 mwidth=64 mheight=128 swidth=32 sheight=64>\n"
              "<sprite id=100 tgafile=\"chair.tga\">\n"
              "<drawgroup id=100 name=\"Chair\"><item sprite id=100>\n"
              "<drawgroup id=101 name=\"Chair 2\"><item sprite id=100>\n"
              "<sprit>\n");
    return path;
  }

  testing::TempDir dir;
};

TEST(CliBuild, BuildsWithTheMarkupBesideTheObject) {
  Cli cli;
  const std::string object = cli.Object();
  Result result = cli.Run({"build", object});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "warning: line: 5 - unknown tag: sprit\n" NO_SPRITES_WARNING);
  EXPECT_EQ(result.out, "");
  auto resources = testing::ReadObjectFile(object);
  EXPECT_NE(testing::FindResource(resources, kDGRP, 100), nullptr);
  EXPECT_NE(testing::FindResource(resources, kDGRP, 101), nullptr);
}

TEST(CliBuild, JsonSummary) {
  Cli cli;
  const std::string object = cli.Object();
  Result result = cli.Run({"build", object, "--json", "--draw-groups", "101", "-q"});
  EXPECT_EQ(result.status, 0);
  std::string expected = "{\"object\":\"";
  expected += object;
  expected +=
      "\",\"ok\":true,\"dryRun\":false,\"written\":{\"DGRP\":[101]},"
      "\"warnings\":[{\"text\":\"unknown tag: sprit\",\"line\":5},"
      "{\"text\":\"sprites not written: this version of pixmold does not generate them yet\",\"line\":null}],\"fatal\":null}\n";
  EXPECT_EQ(result.out, expected);
  EXPECT_EQ(result.err, "warning: line: 5 - unknown tag: sprit\n" NO_SPRITES_WARNING);
}

TEST(CliBuild, FatalErrorsExitOneAndNameTheProblem) {
  Cli cli;
  Result missing = cli.Run({"build", cli.dir.File("sofa.iff"), "--json"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "fatal error: could not open object file\n\n");
  EXPECT_NE(missing.out.find("\"ok\":false"), std::string::npos);
  EXPECT_NE(missing.out.find("\"fatal\":\"could not open object file\""), std::string::npos);

  const std::string object = cli.Object();
  Result noMarkup = cli.Run({"build", object, "--omk", cli.dir.File("none.omk")});
  EXPECT_EQ(noMarkup.status, 1);
  EXPECT_EQ(noMarkup.err, "fatal error: could not open attributes file\n\n");
  EXPECT_EQ(testing::ReadObjectFile(object).size(), 1u);

  cli.dir.Write("junk.omk", "<drawgroup id=1>\n<item sprite\n id=5>");
  Result junk = cli.Run({"build", object, "--omk", cli.dir.File("junk.omk")});
  EXPECT_EQ(junk.status, 1);
  EXPECT_EQ(junk.err, "fatal error: line: 2 - sprite not found for some dgrp item\n\n");
}

TEST(CliBuild, UsageErrorsExitTwo) {
  Cli cli;
  const std::string object = cli.Object();
  EXPECT_EQ(cli.Run({"build"}).status, 2);
  Result badIds = cli.Run({"build", object, "--draw-groups", "100,x"});
  EXPECT_EQ(badIds.status, 2);
  EXPECT_NE(badIds.err.find("--draw-groups: \"x\" is not a resource id"), std::string::npos);
  EXPECT_EQ(cli.Run({"build", object, "--draw-groups", "40000"}).status, 2);
  EXPECT_EQ(cli.Run({"build", object, "--walls", "--wall-style"}).status, 2);
  EXPECT_EQ(cli.Run({"build", std::string(300, 'a')}).status, 2);
  EXPECT_EQ(cli.Run({"build", object, "--report", cli.dir.File("no/such/dir/report.txt")}).status, 2);
}

TEST(CliBuild, DryRunLeavesTheObjectFileAlone) {
  Cli cli;
  const std::string object = cli.Object();
  const std::string before = Slurp(object);
  Result result = cli.Run({"build", object, "--dry-run", "--json", "-q"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("\"dryRun\":true,\"written\":{\"DGRP\":[100,101]}"), std::string::npos) << result.out;
  EXPECT_EQ(Slurp(object), before);
}

TEST(CliBuild, ReportFileHoldsTheArgumentsAndTheReport) {
  Cli cli;
  const std::string object = cli.Object();
  const std::string report = cli.dir.File("report.txt");
  Result result = cli.Run({"build", object, "--report", report});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  std::string expected = "***\nArguments:\nObject file = ";
  expected += object;
  expected += "\nOMK File=";
  expected += cli.dir.File("chair.omk");
  expected += "\nTGA directory=";
  expected += cli.dir.Path().string();
  expected += "/\n***\nwarning: line: 5 - unknown tag: sprit\n" NO_SPRITES_WARNING;
  EXPECT_EQ(Slurp(report), expected);
}

TEST(CliBuild, FindsInputsInTheDataAndContentTrees) {
  Cli cli;
  testing::TempDir data;
  testing::TempDir content;
  std::filesystem::create_directories(data.Path() / "Objects" / "seating");
  const std::string base = (data.Path() / "Objects" / "seating" / "Chair").string();
  testing::WriteObjectFile(base + ".iff", {ObjdResource(128, "Chair", ObjdFields{})});
  data.Write("Objects/seating/Chair.spf", "");
  std::filesystem::remove(base + ".spf");
  testing::WriteObjectFile(base + ".spf", {});
  content.Write("Sprites/chairs/chair.omk",
                "<sizes lwidth=8 lheight=8 mwidth=4 mheight=4 swidth=2 sheight=2>"
                "<sprite id=1 tgafile=a.tga><drawgroup id=300><item sprite id=1>");
  Result result = cli.Run({"build", "--data", data.Path().string(), "--content", content.Path().string(), "chair"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_NE(testing::FindResource(testing::ReadObjectFile(base + ".iff"), kDGRP, 300), nullptr);
  EXPECT_EQ(cli.Run({"build", "--data", data.Path().string(), "sofa"}).status, 2);
}

TEST(CliObjects, ListsMastersWithTheirIds) {
  Cli cli;
  const std::string object = cli.dir.File("things.iff");
  testing::WriteObjectFile(
      object, {ObjdResource(128, "Chair", ObjdFields{.guid = 5, .firstDrawGroupId = 100, .drawGroupCount = 2,
                                                     .wallStyleId = 9, .catalogStringsId = 2000}),
               ObjdResource(129, "Table part",
                            ObjdFields{.firstDrawGroupId = 210, .drawGroupCount = 1, .multiTileGroup = 3,
                                       .multiTilePart = 1}),
               ObjdResource(130, "Table", ObjdFields{.guid = 6, .firstDrawGroupId = 200, .drawGroupCount = 1,
                                                     .multiTileGroup = 3, .multiTilePart = -1})});
  Result result = cli.Run({"objects", object});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out,
            "Chair\nres id : 128\nguid : 5\ncatalog id : 2000\ndg 100\ndg 101\nws 9\n"
            "\nTable\nres id : 130\nguid : 6\ncatalog id : 0\ndg 200\ndg 210\n");
  EXPECT_EQ(cli.Run({"objects", cli.dir.File("none.iff")}).status, 2);
}

TEST(CliNewObject, CopiesATemplateWithAFreshGuid) {
  Cli cli;
  const std::string source = cli.dir.File("template.iff");
  testing::WriteObjectFile(source, {ObjdResource(128, "Template", ObjdFields{.guid = 77})});
  const std::string made = cli.dir.File("made.iff");
  Result result = cli.Run({"new-object", source, made, "--name", "Made"});
  EXPECT_EQ(result.status, 0) << result.err;
  auto resources = testing::ReadObjectFile(made);
  ASSERT_EQ(resources.size(), 1u);
  EXPECT_EQ(resources[0].name, "Made");
  std::vector<std::uint8_t> bytes = resources[0].bytes;
  EXPECT_EQ(ObjDefinition(bytes).TemplateGuid(), 77u);
  EXPECT_EQ(cli.Run({"new-object", source, made}).status, 1);
}

}  // namespace
}  // namespace pixmold
