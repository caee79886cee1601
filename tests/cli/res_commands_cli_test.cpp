// pixmold ls, cat, add and rm, run as a pipeline would run them.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "cli_runner.h"
#include "resfile/handle_owner.h"
#include "resfile/iff_res_file.h"

namespace pixmold {
namespace {

using testing::CliRun;
using testing::Quote;

class ResCli : public ::testing::Test {
 protected:
  CliRun Cli(const std::string& args, std::string_view input = {}) { return testing::RunCli(dir, args, input); }
  std::string Path(const char* name) const { return dir.File(name); }

  testing::TempDir dir;
};

const std::string kBinary("\x00\x01\xFF sprite \x00 bytes", 17);

TEST_F(ResCli, AddCreatesAnObjectAndRoutesByType) {
  std::string obj = Path("chair");
  ASSERT_EQ(Cli("add --create " + Quote(obj) + " SPR2 128 --name chair", kBinary).status, 0);
  EXPECT_TRUE(std::filesystem::exists(obj + ".iff"));
  EXPECT_TRUE(std::filesystem::exists(obj + ".spf"));
  ASSERT_EQ(Cli("add " + Quote(obj) + " STR# 128", "strings").status, 0);

  CliRun ls = Cli("ls " + Quote(obj));
  ASSERT_EQ(ls.status, 0) << ls.err;
  EXPECT_NE(ls.out.find("SPR2\t128\t0\t17\tchair.spf\tchair\n"), std::string::npos) << ls.out;
  EXPECT_NE(ls.out.find("STR#\t128\t0\t7\tchair.iff\t\n"), std::string::npos) << ls.out;

  CliRun cat = Cli("cat " + Quote(obj) + " SPR2 128");
  EXPECT_EQ(cat.status, 0);
  EXPECT_EQ(cat.out, kBinary);
}

TEST_F(ResCli, LsJson) {
  std::string file = Path("art.spf");
  ASSERT_EQ(Cli("add --create " + Quote(file) + " BMP_ 300 --name 'thumb \"big\"'", "bmp").status, 0);
  CliRun ls = Cli("ls --json " + Quote(file));
  ASSERT_EQ(ls.status, 0) << ls.err;
  EXPECT_EQ(ls.out, "{\"file\":\"" + file +
                        "\",\"resources\":[\n{\"type\":\"BMP_\",\"id\":300,\"variant\":0,\"name\":\"thumb "
                        "\\\"big\\\"\",\"size\":3,\"component\":\"art.spf\"}\n]}\n");
  std::string empty = Path("empty.iff");
  ASSERT_EQ(Cli("add --create " + Quote(empty) + " STR# 1", "x").status, 0);
  ASSERT_EQ(Cli("rm " + Quote(empty) + " STR# 1").status, 0);
  EXPECT_EQ(Cli("ls --json " + Quote(empty)).out, "{\"file\":\"" + empty + "\",\"resources\":[]}\n");
}

TEST_F(ResCli, AddReplacesAndRmRemoves) {
  std::string file = Path("obj.iff");
  ASSERT_EQ(Cli("add --create " + Quote(file) + " OBJD 128", "first").status, 0);
  ASSERT_EQ(Cli("add " + Quote(file) + " OBJD 128", "second").status, 0);
  EXPECT_EQ(Cli("cat " + Quote(file) + " OBJD 128").out, "second");
  CliRun ls = Cli("ls " + Quote(file));
  EXPECT_EQ(ls.out, "OBJD\t128\t0\t6\tobj.iff\t\n");

  ASSERT_EQ(Cli("rm " + Quote(file) + " OBJD 128").status, 0);
  CliRun cat = Cli("cat " + Quote(file) + " OBJD 128");
  EXPECT_EQ(cat.status, 1);
  EXPECT_EQ(cat.out, "");
  EXPECT_NE(cat.err.find("no resource of that type and id, index or handle (-98)"), std::string::npos) << cat.err;
  CliRun rm = Cli("rm " + Quote(file) + " OBJD 128");
  EXPECT_EQ(rm.status, 1);
  EXPECT_NE(rm.err.find("(-98)"), std::string::npos);
}

TEST_F(ResCli, Variants) {
  std::string file = Path("v.iff");
  ASSERT_EQ(Cli("add --create " + Quote(file) + " DGRP 200", "base").status, 0);
  ASSERT_EQ(Cli("add " + Quote(file) + " DGRP 200 --variant 2", "two").status, 0);
  EXPECT_EQ(Cli("cat " + Quote(file) + " DGRP 200 --variant 2").out, "two");
  EXPECT_EQ(Cli("cat " + Quote(file) + " DGRP 200").out, "base");
  EXPECT_EQ(Cli("cat " + Quote(file) + " DGRP 200 --variant 3").status, 1);
  CliRun ls = Cli("ls " + Quote(file));
  EXPECT_EQ(ls.out, "DGRP\t200\t0\t4\tv.iff\t\nDGRP\t200\t2\t3\tv.iff\t\n");
  ASSERT_EQ(Cli("rm " + Quote(file) + " DGRP 200 --variant 2").status, 0);
  EXPECT_EQ(Cli("ls " + Quote(file)).out, "DGRP\t200\t0\t4\tv.iff\t\n");
}

TEST_F(ResCli, ReadsTheFirstContainerVersion) {
  std::string path = Path("old.iff");
  {
    IFFResFile old;
    ASSERT_EQ(old.OpenWithFlags(CTGString(path), iResFile::kOpenCreate), 0);
    MHandle h = NewHandle(3);
    {
      HandleLock lock(h);
      std::copy_n("abc", 3, lock.Data());
    }
    ASSERT_EQ(old.AddResource(h, MakeResType("SLOT"), 5, "slots", true), 0);
    ASSERT_EQ(old.WriteResource(h), 0);
    old.ReleaseAndDispose(h);
    ASSERT_EQ(old.CloseFile(), 0);
  }
  CliRun ls = Cli("ls " + Quote(path));
  ASSERT_EQ(ls.status, 0) << ls.err;
  EXPECT_EQ(ls.out, "SLOT\t5\t0\t3\told.iff\tslots\n");
  EXPECT_EQ(Cli("cat " + Quote(path) + " SLOT 5").out, "abc");
  CliRun variant = Cli("add " + Quote(path) + " SLOT 5 --variant 1", "x");
  EXPECT_EQ(variant.status, 1);
  EXPECT_NE(variant.err.find("(-91)"), std::string::npos);
  ASSERT_EQ(Cli("add " + Quote(path) + " SLOT 6 --name more", "xy").status, 0);
  EXPECT_EQ(Cli("ls " + Quote(path)).out.find("SLOT\t6\t0\t2\told.iff\tmore\n") != std::string::npos, true);
}

TEST_F(ResCli, LooseDirectoryComponent) {
  std::string obj = Path("lamp");
  ASSERT_EQ(Cli("add --create " + Quote(obj) + " STR# 128", "s").status, 0);
  dir.Write("lamp.dir/#131#shade.SPR", "loose");
  CliRun ls = Cli("ls " + Quote(obj));
  ASSERT_EQ(ls.status, 0) << ls.err;
  EXPECT_NE(ls.out.find("SPR#\t131\t0\t5\tlamp.dir\tshade\n"), std::string::npos) << ls.out;
  EXPECT_EQ(Cli("cat " + Quote(obj) + " SPR# 131").out, "loose");
  EXPECT_EQ(Cli("ls " + Quote(obj + ".dir")).out, "SPR#\t131\t0\t5\tlamp.dir\tshade\n");
  CliRun rm = Cli("rm " + Quote(obj) + " SPR# 131");
  EXPECT_EQ(rm.status, 1);
  EXPECT_NE(rm.err.find("the resource file is not writable (-45)"), std::string::npos) << rm.err;
}

TEST_F(ResCli, TypesWithUnprintableBytes) {
  std::string file = Path("t.iff");
  ASSERT_EQ(Cli("add --create " + Quote(file) + " '\\x00CST' 9", "^a^").status, 0);
  EXPECT_EQ(Cli("ls " + Quote(file)).out, "\\x00CST\t9\t0\t3\tt.iff\t\n");
  EXPECT_EQ(Cli("cat " + Quote(file) + " '\\x00CST' 9").out, "^a^");
}

TEST_F(ResCli, UsageErrorsExitTwo) {
  std::string file = Path("u.iff");
  ASSERT_EQ(Cli("add --create " + Quote(file) + " STR# 1", "x").status, 0);
  struct Case {
    std::string args;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"cat " + Quote(file) + " SPR 1", "a type is four characters"},
      {"cat " + Quote(file) + " SPR#2 1", "a type is four characters"},
      {"cat " + Quote(file) + " 'SP\\q#' 1", "a type is four characters"},
      {"cat " + Quote(file) + " STR# abc", ""},
      {"cat " + Quote(file) + " STR# 40000", ""},
      {"cat " + Quote(file) + " STR# 1 --variant 256", ""},
      {"cat " + Quote(file), ""},
      {"ls", ""},
      {"ls " + Quote(Path("missing")), "no resource file or object named"},
      {"add " + Quote(Path("missing.iff")) + " STR# 1", "--create makes one"},
      {"rm " + Quote(file) + " BMP 1", "a type is four characters"},
  };
  for (const Case& c : cases) {
    CliRun run = Cli(c.args);
    EXPECT_EQ(run.status, 2) << c.args << "\n" << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.args << "\n" << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(Path("missing.iff")));
}

TEST_F(ResCli, FilesThatAreNotContainersFailWithTheLayersCode) {
  std::string junk = dir.Write("junk.iff", std::string(100, 'j'));
  CliRun ls = Cli("ls " + Quote(junk));
  EXPECT_EQ(ls.status, 1);
  EXPECT_NE(ls.err.find("does not start with a known IFF file header (-93)"), std::string::npos) << ls.err;
  EXPECT_NE(ls.err.find("cannot open"), std::string::npos);
  std::string cut = dir.Write("cut.iff", "IFF FILE 2.5");
  CliRun short_ = Cli("cat " + Quote(cut) + " STR# 1");
  EXPECT_EQ(short_.status, 1);
  EXPECT_NE(short_.err.find("(-48)"), std::string::npos) << short_.err;
}

}  // namespace
}  // namespace pixmold
