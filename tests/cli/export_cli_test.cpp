// pixmold export as a user runs it, on the generated demo object: what
// "Start from an existing object" in the README promises (export, then a
// fresh object built from the export holds the same art), and the exit
// statuses and messages of its refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "imaging/image_bytes.h"
#include "support/demo_object.h"

namespace pixmold {
namespace {

using testing::CliRun;
using testing::Quote;
using testing::RunCli;

class ExportCli : public ::testing::Test {
 protected:
  void SetUp() override { MakeAndBuild("--lwidth 64 --lheight 80"); }

  void MakeAndBuild(const std::string& generatorArguments) {
    if (!testing::DemoGeneratorCanRun()) GTEST_SKIP() << "the demo generator needs python3-numpy and python3-pil";
    ASSERT_EQ(testing::MakeDemoObject(fDir.File("data"), fDir.File("content"), "tableset", generatorArguments), "");
    const CliRun built = Run("build " + Quote(Object() + ".iff") + " --spr-lists --quiet --omk " +
                             Quote(fDir.File("content/Sprites/tableset/tableset.omk")));
    ASSERT_EQ(built.status, 0) << built.err;
  }

  std::string Object() const { return fDir.File("data/Objects/tableset"); }
  CliRun Run(const std::string& args, std::string_view input = {}) const { return RunCli(fDir, args, input); }

  // "TYPE ID" of every sprite list, palette and draw group of an object,
  // sorted: a build writes them in its tags' order.
  std::vector<std::string> Art(const std::string& object) const {
    std::vector<std::string> art;
    std::istringstream lines(Run("ls " + Quote(object)).out);
    for (std::string type, id, rest; lines >> type >> id && std::getline(lines, rest);) {
      if (type == "SPR2" || type == "SPR#" || type == "PALT" || type == "DGRP") art.push_back(type + " " + id);
    }
    std::sort(art.begin(), art.end());
    return art;
  }

  std::string Bytes(const std::string& object, const std::string& resource) const {
    const std::size_t space = resource.find(' ');
    return Run("cat " + Quote(object) + " " + Quote(resource.substr(0, space)) + " " + resource.substr(space + 1)).out;
  }

  testing::TempDir fDir;
};

// The demo at two sizes: cells that hold every view, and cells so small
// that every frame is empty and each offset says where its cell lay.
class ExportCliRoundTrip : public ExportCli, public ::testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override { MakeAndBuild(GetParam()); }
};

INSTANTIATE_TEST_SUITE_P(DemoSizes, ExportCliRoundTrip,
                         ::testing::Values("--lwidth 64 --lheight 80", "--lwidth 16 --lheight 24 --slopwidth 0"));

TEST_P(ExportCliRoundTrip, AFreshObjectBuiltFromTheExportHoldsTheSameArt) {
  const CliRun exported = Run("export " + Quote(Object()) + " -o " + Quote(fDir.File("out")));
  ASSERT_EQ(exported.status, 0) << exported.err;
  EXPECT_NE(exported.out.find(fDir.File("out/tableset.omk")), std::string::npos) << exported.out;
  EXPECT_NE(exported.err.find("exported exactly"), std::string::npos) << exported.err;

  const std::string copy = fDir.File("copy/tableset");
  std::filesystem::create_directories(fDir.File("copy"));
  ASSERT_EQ(Run("add " + Quote(copy) + " OBJD 128 --create", Bytes(Object(), "OBJD 128")).status, 0);
  const CliRun rebuilt = Run("build " + Quote(copy + ".iff") + " --omk " + Quote(fDir.File("out/tableset.omk")) +
                             " --images " + Quote(fDir.File("out")) + " --spr-lists --quiet");
  ASSERT_EQ(rebuilt.status, 0) << rebuilt.err;
  const std::vector<std::string> art = Art(Object());
  ASSERT_GT(art.size(), 10u);
  EXPECT_EQ(Art(copy), art);
  for (const std::string& resource : art) EXPECT_TRUE(Bytes(copy, resource) == Bytes(Object(), resource)) << resource;
}

TEST_F(ExportCli, ExitStatusesAndMessages) {
  fDir.Write("used/old.tga", "old");
  struct Case {
    const char* args;
    int status;
    const char* err;
  };
  const Case cases[] = {
      {"$data/Objects/tableset -o $used", 2, "not empty (--force exports into it all the same)"},
      {"$data/Objects/tableset -o $used --force -q", 0, ""},
      {"$data/Objects/nothing -o $none", 2, "no object file or container named"},
      {"$data/Objects/tableset -o $groups --draw-groups 999", 2, "has no DGRP 999"},
      {"$data/Objects/tableset -o $groups --draw-groups ten", 2, "--draw-groups: \"ten\" is not a resource id"},
      {"$data/Objects/tableset -o $variant --variant 1", 0, "0 sprite lists, 0 draw groups and 0 palettes"},
  };
  for (const Case& c : cases) {
    const CliRun run = Run("export " + testing::Expand(c.args, fDir));
    EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.err;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << c.args << "\n" << run.err;
  }
  EXPECT_EQ(Run("export $data/Objects/tableset -o $quiet -q").out, "");
}

TEST_F(ExportCli, DrawGroupsTakeTheSpritesTheyShowAndJsonSaysWhat) {
  const CliRun run = Run("export " + Quote(Object()) + " -o " + Quote(fDir.File("out")) + " --draw-groups 102 --json");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\"exact\":true"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"drawGroups\":[102]"), std::string::npos) << run.out;
  // The shadow and the mirrored chair, and the chair that stands in for it.
  for (const char* sprite : {"\"id\":201", "\"id\":204", "\"id\":205"}) {
    EXPECT_NE(run.out.find(sprite), std::string::npos) << sprite << "\n" << run.out;
  }
  for (const char* sprite : {"\"id\":200", "\"id\":202", "\"id\":300"}) {
    EXPECT_EQ(run.out.find(sprite), std::string::npos) << sprite << "\n" << run.out;
  }
  EXPECT_EQ(run.out.back(), '\n');
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1);
}

// A list whose frame count no sprite tag makes is left out and named, with
// exit status 1; the rest is written.
TEST_F(ExportCli, WhatCannotBeExpressedIsNamedAndTheRestWritten) {
  using testing::Put;
  testing::Bytes frame;
  Put(frame, {{1, 2}, {1, 2}, {3, 4}, {0, 2}, {0, 2}, {0, 2}, {0, 2}, {6, 2}, {0x2001, 2}, {0x3F40, 2}, {0xA000, 2}});
  const testing::Bytes list = testing::Sprite2List({frame, frame, frame, frame, frame}, -1);
  ASSERT_EQ(Run("add " + Quote(Object()) + " SPR2 55",
                std::string_view(reinterpret_cast<const char*>(list.data()), list.size()))
                .status,
            0);
  const CliRun run = Run("export " + Quote(Object()) + " -o " + Quote(fDir.File("out")));
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find("not exact: SPR2 55: 5 frames"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find(fDir.File("out/tableset.omk")), std::string::npos) << run.out;
}

// new-object exports the template's art beside the copy, its target tag
// naming the copy, so the copy builds at once; it replaces no file.
TEST_F(ExportCli, NewObjectWritesMarkupThatBuildsTheCopyAtOnce) {
  const std::string copy = fDir.File("copy/oak");
  std::filesystem::create_directories(fDir.File("copy"));
  const CliRun made = Run("new-object " + Quote(Object() + ".iff") + " " + Quote(copy + ".iff") + " --name Oak");
  ASSERT_EQ(made.status, 0) << made.err;
  const std::string markup = testing::Text(copy + ".omk");
  EXPECT_NE(markup.find("<target object=\"Oak\">"), std::string::npos) << markup;
  EXPECT_TRUE(std::filesystem::exists(fDir.File("copy/oak_202.tga")));
  EXPECT_TRUE(std::filesystem::exists(fDir.File("copy/oak_202.bmp")));

  const CliRun built = Run("build " + Quote(copy + ".iff") + " --spr-lists --quiet");
  ASSERT_EQ(built.status, 0) << built.err;
  for (const std::string& resource : Art(Object())) {
    EXPECT_TRUE(Bytes(copy, resource) == Bytes(Object(), resource)) << resource;
  }

  std::filesystem::remove(copy + ".iff");
  std::filesystem::remove(copy + ".spf");
  const CliRun again = Run("new-object " + Quote(Object() + ".iff") + " " + Quote(copy + ".iff") + " --name Oak");
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("oak.omk: already exists"), std::string::npos) << again.err;
  EXPECT_FALSE(std::filesystem::exists(copy + ".iff"));
}

}  // namespace
}  // namespace pixmold
