#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "support/temp_dir.h"

namespace pixmold {
namespace {

struct RunResult {
  int status;
  std::string out;
};

// Runs the command line with the arguments (already shell-quoted); standard
// error goes to err.
RunResult RunCli(const std::string& args, const std::string& errFile) {
  std::string command = std::string("'") + PIXMOLD_CLI_PATH + "' " + args + " 2>'" + errFile + "'";
  RunResult result{-1, {}};
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
  int raw = pclose(pipe);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return result;
}

std::string ReadText(const std::string& path) {
  auto bytes = testing::ReadAll(path);
  return std::string(bytes.begin(), bytes.end());
}

TEST(TagsCli, DumpsTheTags) {
  testing::TempDir dir;
  std::string omk = dir.Write("chair.omk", "note <sprite id=3 name=\"Seat A\">\r\n<Item sprite\r\nX=1 =5>");
  std::string err = dir.File("err.txt");

  RunResult plain = RunCli("tags '" + omk + "'", err);
  EXPECT_EQ(plain.status, 0);
  EXPECT_EQ(plain.out, "<\nsprite\nid=3\nname=\"Seat A\"\n>\n<\nitem\nsprite\nx=15\n>\n");
  EXPECT_EQ(ReadText(err), "");

  RunResult lines = RunCli("tags --lines '" + omk + "'", err);
  EXPECT_EQ(lines.status, 0);
  EXPECT_EQ(lines.out, "<\n1: sprite\n1: id=3\n1: name=\"Seat A\"\n>\n<\n2: item\n2: sprite\n3: x=15\n>\n");
}

TEST(TagsCli, EmptyFileListsNothing) {
  testing::TempDir dir;
  std::string omk = dir.Write("empty.omk", "");
  RunResult result = RunCli("tags '" + omk + "'", dir.File("err.txt"));
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "");
}

TEST(TagsCli, UnreadableFileExitsTwoNamingIt) {
  testing::TempDir dir;
  std::string missing = dir.File("missing.omk");
  std::string err = dir.File("err.txt");
  RunResult result = RunCli("tags '" + missing + "'", err);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_NE(ReadText(err).find(missing), std::string::npos) << ReadText(err);
}

TEST(TagsCli, MissingArgumentIsAUsageError) {
  testing::TempDir dir;
  RunResult result = RunCli("tags", dir.File("err.txt"));
  EXPECT_EQ(result.status, 2);
}

TEST(TagsCli, HelpDescribesTheLineFormat) {
  testing::TempDir dir;
  RunResult result = RunCli("tags --help", dir.File("err.txt"));
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.out.find("--lines"), std::string::npos);
  EXPECT_NE(result.out.find("NN: "), std::string::npos);
}

}  // namespace
}  // namespace pixmold
