// The build command run as a user runs it: its report, its JSON summary and its report file.
#include <gtest/gtest.h>

#include "cli_runner.h"
#include "support/object_file_fixture.h"
#include "support/res_type_names.h"
#include "support/sheet_images.h"

namespace pixmold {
namespace {

using testing::CliRun;
using testing::FindResource;
using testing::ObjdFields;
using testing::ObjdResource;
using testing::Quote;
using testing::ReadObjectFile;

#define WARNINGS "warning: line: 5 - unknown tag: sprit\n"

struct Cli {
  Cli() {
    testing::WriteObjectFile(
        object, {ObjdResource(128, "Chair", ObjdFields{.guid = 42, .firstDrawGroupId = 100, .drawGroupCount = 2})});
    dir.Write("chair.omk",
              "<sizes lwidth=16 lheight=24 mwidth=8 mheight=12 swidth=4 sheight=6>\n"
              "<sprite id=100 tgafile=\"chair.tga\">\n"
              "<drawgroup id=100 name=\"Chair\"><item sprite id=100>\n"
              "<drawgroup id=101 name=\"Chair 2\"><item sprite id=100>\n<sprit>\n");
    testing::WriteSheetImages(dir, "chair", 112, 24);
  }
  CliRun Run(const std::string& args) const { return testing::RunCli(dir, args); }

  testing::TempDir dir;
  std::string object = dir.File("chair.iff");
};

// The report goes to standard error as it is written, or into the report
// file after the arguments; a rebuild reports the same. Either way the build
// ends with one line of totals on standard error, terminal or not.
TEST(CliBuild, BuildsWithTheMarkupBesideTheObjectAndReports) {
  Cli cli;
  CliRun result = cli.Run("build " + Quote(cli.object));
  EXPECT_EQ(result.status, 0) << result.err;
  const std::string totals = "pixmold: built " + cli.object + ": 3 resources written, 1 warning, ";
  const std::size_t end = result.err.rfind(totals);
  ASSERT_NE(end, std::string::npos) << result.err;
  const std::string reported = result.err.substr(0, end);
  EXPECT_TRUE(reported.starts_with(WARNINGS "Generating sprite 100, ...\nRendering file chair.tga...\n")) << reported;
  EXPECT_TRUE(reported.ends_with("Compressing row:0 size:small column:3 into sprite #11\n")) << reported;
  EXPECT_TRUE(result.err.ends_with(" s\n") && result.err.find('\n', end) == result.err.size() - 1) << result.err;
  EXPECT_EQ(result.out, "");
  const auto resources = ReadObjectFile(cli.object);
  EXPECT_TRUE(FindResource(resources, kDGRP, 100) && FindResource(resources, kDGRP, 101));

  const std::string report = cli.dir.File("report.txt");
  CliRun toFile = cli.Run("build " + Quote(cli.object) + " --report " + Quote(report));
  EXPECT_EQ(toFile.status, 0);
  EXPECT_TRUE(toFile.err.starts_with(totals) && toFile.err.find('\n') == toFile.err.size() - 1) << toFile.err;
  EXPECT_EQ(testing::Text(report), "***\nArguments:\nObject file = " + cli.object +
                                       "\nOMK File=" + cli.dir.File("chair.omk") +
                                       "\nTGA directory=" + cli.dir.Path().string() + "/\n***\n" + reported);
}

TEST(CliBuild, JsonSummaryOfASuccessAndAFailure) {
  Cli cli;
  CliRun result = cli.Run("build " + Quote(cli.object) + " --json --draw-groups 101 -q");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "{\"object\":\"" + cli.object +
                            "\",\"ok\":true,\"dryRun\":false,\"written\":{\"DGRP\":[101],\"SPR2\":[100]},"
                            "\"warnings\":[{\"text\":\"unknown tag: sprit\",\"line\":5}],\"fatal\":null}\n");
  EXPECT_EQ(result.err, WARNINGS);
  EXPECT_EQ(FindResource(ReadObjectFile(cli.object), kDGRP, 100), nullptr);

  CliRun missing = cli.Run("build " + Quote(cli.dir.File("sofa.iff")) + " --json");
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(
      missing.out.ends_with("\"ok\":false,\"dryRun\":false,\"written\":{},\"warnings\":[],"
                            "\"fatal\":\"could not open object file\"}\n"))
      << missing.out;

  // Markup is bytes: UTF-8 goes through as it is, a stray byte shows as
  // U+FFFD with the exact bytes beside it.
  const std::string odd = cli.dir.Write("odd.omk", "<caf\xE9><st\xC3\xBChl>");
  CliRun latin = cli.Run("build " + Quote(cli.object) + " --omk " + Quote(odd) + " --json -q");
  EXPECT_EQ(latin.status, 0);
  EXPECT_NE(latin.out.find("{\"text\":\"unknown tag: caf\xEF\xBF\xBD\",\"textBytes\":"
                           "\"756e6b6e6f776e207461673a20636166e9\",\"line\":1}"),
            std::string::npos)
      << latin.out;
  EXPECT_NE(latin.out.find("{\"text\":\"unknown tag: st\xC3\xBChl\",\"line\":1}"), std::string::npos) << latin.out;

  // A palette two sprites share is written with each, and listed once.
  testing::WriteSheetImages(cli.dir, "chair2", 112, 24);
  const std::string shared = cli.dir.Write(
      "shared.omk",
      "<sizes lwidth=16 lheight=24 mwidth=8 mheight=12 swidth=4 sheight=6>\n"
      "<sprite id=100 tgafile=\"chair.tga\" paletteid=9>\n<sprite id=101 tgafile=\"chair2.tga\" paletteid=9>\n");
  CliRun palettes = cli.Run("build " + Quote(cli.object) + " --omk " + Quote(shared) + " --json -q");
  EXPECT_NE(palettes.out.find("\"written\":{\"PALT\":[9],\"SPR2\":[100,101]}"), std::string::npos) << palettes.out;
}

}  // namespace
}  // namespace pixmold
