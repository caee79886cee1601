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

// One step of a session: "$" in the arguments and the expectation stands for
// the test directory. The expectation is the exact standard output after
// "=", else text that standard output or error must hold; a failing step
// writes nothing to standard output.
struct Step {
  std::string args;
  std::string input;
  int status;
  std::string expected;
};

TEST(ResCli, LsCatAddAndRmSession) {
  testing::TempDir dir;
  const std::string binary("\x00\x01\xFF sprite \x00 bytes", 17);
  ASSERT_EQ(testing::RunCli(dir, "add --create " + dir.File("lamp") + " STR# 128", "s").status, 0);
  dir.Write("lamp.dir/#131#shade.SPR", "loose");
  dir.Write("junk.iff", std::string(100, 'j'));
  dir.Write("cut.iff", "IFF FILE 2.5");
  {
    IFFResFile old;
    ASSERT_EQ(old.OpenWithFlags(CTGString(dir.File("old.iff")), iResFile::kOpenCreate), 0);
    MHandle h = NewHandle(3);
    std::copy_n("abc", 3, HandleLock(h).Data());
    ASSERT_EQ(old.AddResource(h, MakeResType("SLOT"), 5, "slots", true), 0);
    ASSERT_EQ(old.WriteResource(h), 0);
    old.ReleaseAndDispose(h);
    ASSERT_EQ(old.CloseFile(), 0);
  }
  const Step steps[] = {
      // An object's resources are routed to its parts by type.
      {"add --create $chair SPR2 128 --name chair", binary, 0, ""},
      {"add $chair STR# 128", "strings", 0, ""},
      {"ls $chair", "", 0, "SPR2\t128\t0\t17\tchair.spf\tchair\n"},
      {"ls $chair", "", 0, "STR#\t128\t0\t7\tchair.iff\t\n"},
      {"cat $chair SPR2 128", "", 0, "=" + binary},
      {"add --create $art.spf BMP_ 300 --name 'thumb \"big\"'", "bmp", 0, ""},
      {"ls --json $art.spf", "", 0,
       "={\"file\":\"$art.spf\",\"resources\":[{\"type\":\"BMP_\",\"id\":300,\"variant\":0,\"name\":\"thumb "
       "\\\"big\\\"\",\"size\":3,\"component\":\"art.spf\"}]}\n"},
      // add replaces, rm removes.
      {"add --create $obj.iff OBJD 128", "first", 0, ""},
      {"add $obj.iff OBJD 128", "second", 0, ""},
      {"cat $obj.iff OBJD 128", "", 0, "=second"},
      {"ls $obj.iff", "", 0, "=OBJD\t128\t0\t6\tobj.iff\t\n"},
      {"rm $obj.iff OBJD 128", "", 0, ""},
      {"ls --json $obj.iff", "", 0, "={\"file\":\"$obj.iff\",\"resources\":[]}\n"},
      {"cat $obj.iff OBJD 128", "", 1, "no resource of that type and id, index or handle (-98)"},
      {"rm $obj.iff OBJD 128", "", 1, "(-98)"},
      // Variants.
      {"add --create $v.iff DGRP 200", "base", 0, ""},
      {"add $v.iff DGRP 200 --variant 2", "two", 0, ""},
      {"cat $v.iff DGRP 200 --variant 2", "", 0, "=two"},
      {"cat $v.iff DGRP 200", "", 0, "=base"},
      {"cat $v.iff DGRP 200 --variant 3", "", 1, ""},
      {"ls $v.iff", "", 0, "=DGRP\t200\t0\t4\tv.iff\t\nDGRP\t200\t2\t3\tv.iff\t\n"},
      {"rm $v.iff DGRP 200 --variant 2", "", 0, ""},
      {"ls $v.iff", "", 0, "=DGRP\t200\t0\t4\tv.iff\t\n"},
      // A loose directory part is read-only.
      {"ls $lamp", "", 0, "SPR#\t131\t0\t5\tlamp.dir\tshade\n"},
      {"cat $lamp SPR# 131", "", 0, "=loose"},
      {"ls $lamp.dir", "", 0, "=SPR#\t131\t0\t5\tlamp.dir\tshade\n"},
      {"rm $lamp SPR# 131", "", 1, "the resource file is not writable (-45)"},
      // Types with unprintable bytes are escaped.
      {"add --create $t.iff '\\x00CST' 9", "^a^", 0, ""},
      {"ls $t.iff", "", 0, "=\\x00CST\t9\t0\t3\tt.iff\t\n"},
      {"cat $t.iff '\\x00CST' 9", "", 0, "=^a^"},
      // The first container version is read and written, without variants.
      {"ls $old.iff", "", 0, "=SLOT\t5\t0\t3\told.iff\tslots\n"},
      {"cat $old.iff SLOT 5", "", 0, "=abc"},
      {"add $old.iff SLOT 5 --variant 1", "x", 1, "(-91)"},
      {"add $old.iff SLOT 6 --name more", "xy", 0, ""},
      {"ls $old.iff", "", 0, "SLOT\t6\t0\t2\told.iff\tmore\n"},
      // Files that are not containers fail with the layer's code.
      {"ls $junk.iff", "", 1, "pixmold ls: $junk.iff: not a resource file: it does not start with an IFF file header"},
      {"cat $cut.iff STR# 1", "", 1, "$cut.iff: not a resource file: 12 bytes, less than the 64-byte file header"},
      // Usage errors.
      {"cat $t.iff SPR 1", "", 2, "a type is four characters"},
      {"cat $t.iff SPR#2 1", "", 2, "a type is four characters"},
      {"cat $t.iff 'SP\\q#' 1", "", 2, "a type is four characters"},
      {"rm $t.iff BMP 1", "", 2, "a type is four characters"},
      {"cat $t.iff STR# abc", "", 2, ""},
      {"cat $t.iff STR# 40000", "", 2, ""},
      {"cat $t.iff STR# 1 --variant 256", "", 2, ""},
      {"cat $t.iff", "", 2, ""},
      {"ls", "", 2, ""},
      {"ls $missing", "", 2, "no resource file or object named"},
      {"add $missing.iff STR# 1", "", 2, "--create makes one"},
  };
  for (const Step& step : steps) {
    const CliRun run = testing::RunCli(dir, testing::Expand(step.args, dir), step.input);
    const std::string expected = testing::Expand(step.expected, dir);
    EXPECT_EQ(run.status, step.status) << step.args << "\n" << run.err;
    EXPECT_TRUE(expected.starts_with('=') ? "=" + run.out == expected
                                          : (run.out + run.err).find(expected) != std::string::npos)
        << step.args << "\nout: " << run.out << "\nerr: " << run.err;
    EXPECT_TRUE(step.status == 0 || run.out.empty()) << step.args;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing.iff")));
}

}  // namespace
}  // namespace pixmold
