#include "build/target_spec.h"

#include <gtest/gtest.h>

#include "build/build_args.h"
#include "markup_fixture.h"
#include "resfile/res_file.h"
#include "support/object_definition_fixture.h"

namespace pixmold {
namespace {

using testing::CapturedReport;
using testing::Dispatch;
using testing::FatalOf;
using testing::MemoryDisk;
using testing::MemoryResFile;
using testing::ObjdFields;
using testing::ObjdResource;
using testing::OneTag;

struct ObjectFile {
  explicit ObjectFile(std::vector<testing::StoredResource> resources) {
    disk.files["chair.iff"] = std::move(resources);
    EXPECT_EQ(file.OpenFile("chair.iff"), 0);
  }
  MemoryDisk disk;
  MemoryResFile file{disk};
};

ObjectFile TwoObjects() {
  return ObjectFile({ObjdResource(128, "Chair", ObjdFields{.guid = 0x11111111}),
                     ObjdResource(129, "Chair - Red", ObjdFields{.guid = 0x22222222}),
                     ObjdResource(130, "Chair - Blue", ObjdFields{.guid = 0x22222222})});
}

TEST(TargetSpec, TheOnlyObjectIsTheDefaultTarget) {
  ObjectFile object({ObjdResource(128, "Chair", ObjdFields{.guid = 7})});
  auto context = Dispatch("<sprite id=1 tgafile=a.tga>", &object.file);
  ASSERT_EQ(context->targets.Count(), 1);
  TargetSpec* target = context->targets.First();
  EXPECT_EQ(target->Id(), 128);
  EXPECT_EQ(target->Name(), "Chair");
  EXPECT_EQ(DefaultTarget(*context), target);
  EXPECT_FALSE(target->Changed());
}

TEST(TargetSpec, SeveralObjectsHaveNoDefault) {
  ObjectFile object = TwoObjects();
  auto context = Dispatch("", &object.file);
  EXPECT_EQ(context->targets.Count(), 0);
  EXPECT_EQ(DefaultTarget(*context), nullptr);
  ObjectFile none({});
  EXPECT_EQ(DefaultTarget(*Dispatch("", &none.file)), nullptr);
}

TEST(TargetSpec, GuidLookupVisitsObjectsInIndexOrder) {
  ObjectFile object = TwoObjects();
  auto context = Dispatch("<target guid=572662306>", &object.file);  // 0x22222222
  // Both objects up to the first match are registered; the later duplicate is not visited.
  ASSERT_EQ(context->targets.Count(), 2);
  EXPECT_EQ(context->targets.Nth(1)->Id(), 129);
  OneTag tag("<target guid=572662306>");
  EXPECT_EQ(FindTargetFromTag(*context, *tag), context->targets.Nth(1));
  EXPECT_EQ(context->targets.Count(), 2);
}

TEST(TargetSpec, UnknownGuidWarnsWithTheFileName) {
  ObjectFile object = TwoObjects();
  CapturedReport report;
  auto context = Dispatch("<target guid=-5>", &object.file);
  EXPECT_EQ(report.Text(), "file: chair.iff \nwarning: could not find object with guid -5\n");
  EXPECT_EQ(context->targets.Count(), 3);
}

TEST(TargetSpec, NameLookupAndSharedTargets) {
  ObjectFile object = TwoObjects();
  auto context = Dispatch("<target object=\"Chair - Blue\"><target object=\"Chair - Blue\">", &object.file);
  ASSERT_EQ(context->targets.Count(), 1);
  EXPECT_EQ(context->targets.First()->Id(), 130);
}

struct StopCase {
  const char* markup;
  const char* message;
};

TEST(TargetSpec, LookupStops) {
  const StopCase cases[] = {
      {"\n<target>", "line: 2 - object name or guid required in target spec"},
      {"\n<target name=\"Chair\">", "line: 2 - object name or guid required in target spec"},
      {"<target\n object=\"Sofa\">", "line: 1 - coult not get objd resource for target tag"},
      {"<target\n guid=x>", "line: 2 - long integer value expected for key \"guid\" in tag \"target\""},
  };
  for (const auto& c : cases) {
    ObjectFile object = TwoObjects();
    EXPECT_EQ(FatalOf([&] { Dispatch(c.markup, &object.file); }), c.message) << c.markup;
  }
}

TEST(TargetSpec, OldDefinitionsAreUpgradedWhenWrapped) {
  ObjectFile object({ObjdResource(128, "Chair", ObjdFields{.version = 137, .size = 160, .guid = 9})});
  auto context = Dispatch("", &object.file);
  TargetSpec* target = context->targets.First();
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(GetHandleSize(target->Definition()), 216);
  HandleLock lock = target->DefinitionForReading();
  EXPECT_EQ(ObjDefinition(lock.Bytes()).Version(), 138);
  EXPECT_EQ(ObjDefinition(lock.Bytes()).Guid(), 9u);
}

TEST(TargetSpec, SavingWritesOnlyAChangedDefinition) {
  ObjectFile object({ObjdResource(128, "Chair", ObjdFields{.guid = 9})});
  auto context = Dispatch("", &object.file);
  TargetSpec* target = context->targets.First();
  target->Save();
  EXPECT_EQ(object.disk.Find("chair.iff", MakeResType("OBJD"), 128)->bytes[82], 0);

  target->DefinitionForChange().SetWord(ObjDefinition::kCatalogStringsIdWord, 2001);
  EXPECT_TRUE(target->Changed());
  target->Save();
  EXPECT_FALSE(target->Changed());
  EXPECT_FALSE(IsHandleLocked(target->Definition()));
  const auto& stored = object.disk.Find("chair.iff", MakeResType("OBJD"), 128)->bytes;
  EXPECT_EQ(stored[82] | (stored[83] << 8), 2001);
}

TEST(TargetSpec, SaveFailures) {
  ObjectFile object({ObjdResource(128, "Chair", ObjdFields{.guid = 9})});
  auto context = Dispatch("", &object.file);
  TargetSpec* target = context->targets.First();
  target->DefinitionForChange();
  object.file.FailNext(MemoryResFile::Op::kWrite, res_error::kShortWrite);
  EXPECT_EQ(FatalOf([&] { target->Save(); }), "could not write object definition");

  OwnedHandle definition = OwnedHandle::New(216);
  TargetSpec detached;
  detached.Initialise(nullptr, definition.Get());
  detached.DefinitionForChange();
  EXPECT_EQ(FatalOf([&] { detached.Save(); }), "no file to save to");
  EXPECT_EQ(FatalOf([] { TargetSpec().DefinitionForChange(); }), "no definition to save");
}

TEST(TargetSpec, ProcessWideLookupsNeedARunningBuild) {
  OneTag tag("<target object=\"Chair\">");
  EXPECT_EQ(FindTargetFromTag(*tag), nullptr);
  EXPECT_EQ(DefaultTarget(), nullptr);

  ObjectFile object({ObjdResource(128, "Chair", ObjdFields{.guid = 9})});
  BuildArgs args;
  args.fContext = std::make_unique<BuildContext>(&object.file);
  ScopedCurrentBuildArgs current(args);
  EXPECT_EQ(FindTargetFromTag(*tag)->Id(), 128);
  EXPECT_EQ(DefaultTarget(), args.fContext->targets.First());
}

}  // namespace
}  // namespace pixmold
