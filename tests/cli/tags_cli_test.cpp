#include <gtest/gtest.h>

#include "cli_runner.h"

namespace pixmold {
namespace {

using testing::Quote;
using testing::RunCli;

TEST(TagsCli, DumpsTheTags) {
  testing::TempDir dir;
  const std::string omk = dir.Write("chair.omk", "note <sprite id=3 name=\"Seat A\">\r\n<Item sprite\r\nX=1 =5>");
  const testing::CliRun plain = RunCli(dir, "tags " + Quote(omk));
  EXPECT_EQ(plain.status, 0);
  EXPECT_EQ(plain.out, "<\nsprite\nid=3\nname=\"Seat A\"\n>\n<\nitem\nsprite\nx=15\n>\n");
  EXPECT_EQ(plain.err, "");
  const testing::CliRun lines = RunCli(dir, "tags --lines " + Quote(omk));
  EXPECT_EQ(lines.status, 0);
  EXPECT_EQ(lines.out, "<\n1: sprite\n1: id=3\n1: name=\"Seat A\"\n>\n<\n2: item\n2: sprite\n3: x=15\n>\n");
  EXPECT_EQ(RunCli(dir, "tags " + Quote(dir.Write("empty.omk", ""))).out, "");
}

TEST(TagsCli, UnreadableFileOrNoArgumentExitsTwo) {
  testing::TempDir dir;
  const std::string missing = dir.File("missing.omk");
  const testing::CliRun result = RunCli(dir, "tags " + Quote(missing));
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_NE(result.err.find(missing), std::string::npos) << result.err;
  EXPECT_EQ(RunCli(dir, "tags").status, 2);
}

TEST(CliHelp, EveryCommandDocumentsItself) {
  testing::TempDir dir;
  const std::pair<const char*, const char*> cases[] = {
      {"tags", "NN: "},       {"preview", "SPR2_100_frame003.png"},
      {"ls", "Exit status"},  {"cat", "Exit status"},
      {"add", "Exit status"}, {"rm", "Exit status"},
  };
  for (const auto& [command, text] : cases) {
    const testing::CliRun help = RunCli(dir, std::string(command) + " --help");
    EXPECT_EQ(help.status, 0) << command;
    EXPECT_NE(help.out.find(text), std::string::npos) << command;
  }
}

}  // namespace
}  // namespace pixmold
