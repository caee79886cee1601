#include "builder/target_spec.h"

#include <gtest/gtest.h>

#include "builder/build_args.h"
#include "markup_fixture.h"
#include "resfile/res_file.h"
#include "support/assert_capture.h"
#include "support/object_file_fixture.h"

namespace pixmold {
namespace {

using testing::CapturedReport;
using testing::Dispatch;
using testing::FatalOf;
using testing::MemoryResFile;
using testing::ObjdFields;
using testing::ObjdResource;
using testing::OneTag;

using ObjectFile = testing::MemoryObjectFile;

// A word of the stored definition of object 128.
std::uint16_t StoredWord(const ObjectFile& object, int word) {
  const auto& bytes = object.Find(MakeResType("OBJD"), 128)->bytes;
  return static_cast<std::uint16_t>(bytes[word * 2] | (bytes[word * 2 + 1] << 8));
}

ObjectFile TwoObjects() {
  return ObjectFile({ObjdResource(128, "Chair", ObjdFields{.guid = 0x11111111}),
                     ObjdResource(129, "Chair - Red", ObjdFields{.guid = 0x22222222}),
                     ObjdResource(130, "Chair - Blue", ObjdFields{.guid = 0x22222222})});
}

TEST(TargetSpec, OnlyASingleObjectIsTheDefaultTarget) {
  ObjectFile object({ObjdResource(128, "Chair", ObjdFields{.guid = 7})});
  auto context = Dispatch("<sprite id=1 tgafile=a.tga>", &object.file);
  ASSERT_EQ(context->targets.Count(), 1);
  TargetSpec* target = context->targets.First();
  EXPECT_EQ(target->Id(), 128);
  EXPECT_EQ(target->Name(), "Chair");
  EXPECT_EQ(DefaultTarget(*context), target);
  EXPECT_FALSE(target->Changed());

  ObjectFile two = TwoObjects();
  auto several = Dispatch("", &two.file);
  EXPECT_EQ(several->targets.Count(), 0);
  EXPECT_EQ(DefaultTarget(*several), nullptr);
  ObjectFile none;
  EXPECT_EQ(DefaultTarget(*Dispatch("", &none.file)), nullptr);
}

struct LookupCase {
  const char* markup;
  const char* targets;  // ids of the objects registered, in order
  const char* report;
};

TEST(TargetSpec, LookupsByGuidAndName) {
  const LookupCase cases[] = {
      // Objects up to the first match are registered; the later duplicate is not visited.
      {"<target guid=572662306>", "128 129", ""},  // 0x22222222
      {"<target guid=-5>", "128 129 130", "file: chair.iff \nwarning: could not find object with guid -5\n"},
      {"<target object=\"Chair - Blue\"><target object=\"Chair - Blue\">", "130", ""},
  };
  for (const auto& c : cases) {
    ObjectFile object = TwoObjects();
    CapturedReport report;
    auto context = Dispatch(c.markup, &object.file);
    std::string ids;
    for (TargetSpec* target : context->targets) ids.append(ids.empty() ? "" : " ").append(std::to_string(target->Id()));
    EXPECT_EQ(ids, c.targets) << c.markup;
    EXPECT_EQ(report.Text(), c.report) << c.markup;
    OneTag tag(c.markup);
    // A lookup finds the target registered last, or none after a warning.
    TargetSpec* last = context->targets.Nth(context->targets.Count() - 1);
    EXPECT_EQ(FindTargetFromTag(*context, *tag), *c.report ? nullptr : last) << c.markup;
  }
}

TEST(TargetSpec, LookupStops) {
  const std::pair<const char*, const char*> cases[] = {
      {"\n<target>", "line: 2 - object name or guid required in target spec"},
      {"\n<target name=\"Chair\">", "line: 2 - object name or guid required in target spec"},
      {"<target\n object=\"Sofa\">", "line: 1 - coult not get objd resource for target tag"},
      {"<target\n guid=x>", "line: 2 - long integer value expected for key \"guid\" in tag \"target\""},
  };
  for (const auto& [markup, message] : cases) {
    ObjectFile object = TwoObjects();
    EXPECT_EQ(FatalOf([&] { Dispatch(markup, &object.file); }), message) << markup;
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
  ObjectFile object({ObjdResource(128, "Chair", ObjdFields{.guid = 9, .catalogStringsId = 5})});
  auto context = Dispatch("", &object.file);
  TargetSpec* target = context->targets.First();
  object.disk.files["chair.iff"][0].bytes[82] = 6;  // only a write would restore it
  target->Save();
  EXPECT_EQ(StoredWord(object, ObjDefinition::kCatalogStringsIdWord), 6);

  target->DefinitionForChange().SetWord(ObjDefinition::kCatalogStringsIdWord, 2001);
  EXPECT_TRUE(target->Changed());
  target->Save();
  EXPECT_FALSE(target->Changed());
  EXPECT_FALSE(IsHandleLocked(target->Definition()));
  EXPECT_EQ(StoredWord(object, ObjDefinition::kCatalogStringsIdWord), 2001);

  target->DefinitionForChange();
  object.file.FailNext(MemoryResFile::Op::kWrite, res_error::kShortWrite);
  EXPECT_EQ(FatalOf([&] { target->Save(); }), "could not write object definition");
  testing::AssertCapture asserts;  // a zeroed definition has no version
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
