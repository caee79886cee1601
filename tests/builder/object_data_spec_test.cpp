// The tags that fill an object's data: slots, attributes, skills, sounds,
// catalog values and pictures, and tree table renames.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "builder/build_args.h"
#include "builder/output_passes.h"
#include "builder/picture_resource.h"
#include "markup_fixture.h"
#include "records/obj_definition.h"
#include "records/tree_table.h"
#include "resfile/handle_owner.h"
#include "support/object_file_fixture.h"
#include "support/res_type_names.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

using testing::CapturedReport;
using testing::FatalOf;
using testing::ObjdFields;
using testing::ObjdResource;
using testing::OneTag;
using testing::StoredResource;

std::vector<std::string> Values(const StringSet& set) {
  std::vector<std::string> values;
  for (int i = 1; i <= set.Count(); ++i) values.emplace_back(set.Value(i).value_or("-"));
  return values;
}

struct SlotCase {
  const char* markup;
  SlotDescriptor expected;
};

TEST(SlotsSpec, SlotTagsBecomeDescriptors) {
  const std::vector<SlotCase> cases = {
      {"<slot x=1.5>", {.type = 0, .x = 1.5f, .maxSize = 100}},
      {"<slot type=headline y=2 alt=0.5>", {.type = 1, .y = 2, .alt = 0.5f}},
      {"<slot type=handle \"maximum size\"=3>", {.type = 2}},
      {"<slot type=\"contained object\" \"maximum size\"=40 surface=true height=\"low table\">",
       {.type = 0, .maxSize = 40, .surfaceFlags = 1, .heightCode = 2}},
      {"<slot \"maximum size\"=abc height=\"end table\">", {.type = 0, .maxSize = 100, .heightCode = 8}},
      {"<slot type=routing min=0.5 gradient=1.5 standing=2 sitting=junk north west \"ignore rooms\" "
       "\"facing not required\">",
       {.type = 3, .standing = 2, .flags = 0x841, .minProximity = 8, .gradient = 0.09375f, .facing = -3}},
      {"<slot type=routing max=2.99 optimal=-0.5 resolution=0.25 target=4 \"opposite facing\" "
       "\"facing not required\" \"average object location\">",
       {.type = 3,
        .flags = 0x10000,
        .target = 4,
        .maxProximity = 47,
        .optimalProximity = -8,
        .facing = 4,
        .resolution = 4}},
      {"<slot type=seat \"maximum size\"=5>", {}},
  };
  for (const SlotCase& c : cases) {
    SlotsSpec spec;
    OneTag tag(c.markup);
    spec.ReadSlot(*tag);
    ASSERT_EQ(spec.Slots().slots.size(), 1u) << c.markup;
    EXPECT_EQ(spec.Slots().slots[0], c.expected) << c.markup;
  }
}

TEST(SlotsSpec, LabelsFillTheGapsAndSizesWarn) {
  CapturedReport report;
  auto context = testing::Dispatch(
      "<slots id=200 name=chair>\n<slot name=seat>\n<slot type=routing>\n<slot>\n"
      "<slot\n\"maximum size\"=150 name=back>\n<slot \"maximum size\"=-1 height=tall>");
  const SlotsSpec& spec = *context->slots.First();
  EXPECT_EQ(spec.Strings().Name(), "chair labels");
  EXPECT_EQ(Values(spec.Strings()), (std::vector<std::string>{"seat", "1", "2", "back"}));
  EXPECT_EQ(report.Text(),
            "warning: line: 6 - size value in slot tag grater than maximum value\n"
            "warning: line: 7 - negative size value in slot tag\n"
            "warning: line: 7 - unknown slot height found\n");
  EXPECT_EQ(spec.Slots().slots[3].maxSize, 150);

  SlotsSpec counted;
  for (const char* markup : {"<slot>", "<slot type=routing>", "<slot>", "<slot type=routing>"}) {
    OneTag tag(markup);
    const int number = counted.ReadSlot(*tag);
    EXPECT_EQ(number, static_cast<int>(counted.Slots().slots.size() - 1) / 2) << markup;
  }
}

TEST(StringTags, SkillsAttributesAndSoundsReadAndStop) {
  auto context = testing::Dispatch(
      "<\"skill table\"><skill index=2 name=\"Cook\" type=xxc2oyy><skill index=0 name=\"Bake\" type=c2c>"
      "<skill index=1 name=\"Talk\" type=a2o><attributes id=300 name=stats><attribute index=1 label=\"Speed\">");
  const SkillTable& skills = *context->skillTables.First();
  EXPECT_EQ(Values(skills.Set(1)), (std::vector<std::string>{"Bake", "1", "Cook"}));
  EXPECT_EQ(Values(skills.Set(0)), (std::vector<std::string>{"0", "Talk"}));
  EXPECT_EQ(Values(context->attrStrings.First()->Strings()), (std::vector<std::string>{"0", "Speed"}));
  EXPECT_EQ(context->attrStrings.First()->Strings().Name(), "stats");

  const std::pair<const char*, const char*> stops[] = {
      {"<\"skill table\">\n<skill name=a type=a2a>", "line: 2 - index required for skill"},
      {"<\"skill table\"><skill index=1 type=a2a>", "line: 1 - name required for skill"},
      {"<\"skill table\"><skill index=1 name=a>", "line: 1 - type required for skill"},
      {"<\"skill table\"><skill index=1 name=a type=a2b>", "line: 1 - unknown skill type a2b found."},
      {"<attributes name=x>", "line: 1 - id required"},
      {"<attributes id=1><attribute label=x>", "line: 1 - index required for attributes"},
      {"<attributes id=1><attribute index=0>", "line: 1 - label required for attrributes"},
      {"<sound id=1 name=\"\">", "line: 1 - name required for sounds"},
      {"<sound id=1>", "line: 1 - name required for sounds"},
      {"<bmpfile id=1>", "line: 1 - filename required for bmpfile tag"},
      {"<catalog bmpfile=a.bmp>", "line: 1 - could not resolve target for catalog tag"},
      {"<ttab name=x>", "line: 1 - guid required for tree table"},
  };
  for (const auto& [markup, message] : stops) EXPECT_EQ(FatalOf([&] { testing::Dispatch(markup); }), message);

  CapturedReport report;
  testing::Dispatch("<\"skill table\" name=x id=3>");
  EXPECT_EQ(report.Text(),
            "warning: line: 1 - ignored name x for skill table\nwarning: line: 1 - ignored id 3 for skill table\n");
}

TEST(StringTags, SkillTableReplacesItsSetsAndEmptyOnesDisappear) {
  testing::MemoryObjectFile object({{kSTR, 131, "old", 0, true, {0, 0}}, {kSTR, 132, "old", 0, true, {0, 0}}});
  auto context =
      testing::Dispatch("<\"skill table\"><skill index=0 name=Cook type=a2o><skill index=0 name=Nap type=c2o>");
  context->skillTables.First()->Save(object.file);
  std::vector<std::string> sets;
  for (const StoredResource& r : object.disk.files["chair.iff"]) {
    if (r.type == kSTR) sets.push_back(std::to_string(r.id) + " " + r.name);
  }
  EXPECT_EQ(sets, (std::vector<std::string>{"129 a2o", "130 c2o"}));
}

TEST(StringTags, SavingMergesIntoOtherLanguages) {
  StringSet french;
  french.Init(nullptr, 0, kSTR, false, 2);
  french.SetValue(1, "Vitesse", 2);
  french.SetValue(1, "Old", 0);
  testing::MemoryObjectFile object({{kSTR, 300, "", 0, true, *french.EncodeAllLanguages()}});
  auto context = testing::Dispatch("<attributes id=300 name=stats><attribute index=0 label=\"Speed\">");
  ASSERT_EQ(context->attrStrings.First()->Save(object.file), 0);
  StringSet back;
  back.Init(&object.file, 300, kSTR, false, 0);
  ASSERT_EQ(back.Load(true, false), 0);
  EXPECT_EQ(back.Value(1, 0).value_or("-"), "Speed");
  EXPECT_EQ(back.Value(1, 2).value_or("-"), "Vitesse");
  EXPECT_EQ(back.Name(), "stats");
}

// The catalog words a tag sets, in one line: catalog strings id, price, self
// depreciating, room sort, function sort, hunger and fun ratings, skill
// flags and popup id.
std::string CatalogWords(const ObjDefinition& values) {
  using D = ObjDefinition;
  std::string words;
  for (int word : std::initializer_list<int>{D::kCatalogStringsIdWord, D::kPriceWord, D::kSelfDepreciatingWord,
                                             D::kRoomSortWord, D::kFunctionSortWord, D::kRatingHungerWord,
                                             D::kRatingHungerWord + 5, D::kSkillFlagsWord, D::kPopupIdWord})
    words.append(words.empty() ? "" : " ").append(std::to_string(values.Word(word)));
  return words;
}

TEST(CatalogSpec, ValuesDefaultFromTheDefinitionExceptRatingsAndSkills) {
  const ObjdFields chair{.guid = 42,
                         .catalogStringsId = 0,
                         .price = 250,
                         .selfDepreciating = 1,
                         .roomSort = 8,
                         .ratingHunger = 5,
                         .skillFlags = 0xFF};
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"bmpfile=t.bmp", "2000 250 1 8 0 0 0 0 0", ""},
      {"thumbnail=t.bmp id=x cost=99 \"standard depreciation\"=1 \"room sort\"=\"\" \"function sort\"=\"Lighting\" "
       "hunger=3 fun=-2 cook=true study=true \"popup id\"=7",
       "2000 99 0 0 128 3 65534 65 0", ""},
      {"bmpfile=t.bmp id=3000 \"standard depreciation\"=0 \"room sort\"=kitchen \"function sort\"=\"Seat\" "
       "\"popup bmpfile\"=p.bmp \"popup id\"=12",
       "3000 250 1 0 0 0 0 0 12",
       "warning: line: 1 - no valid room sort value\nwarning: line: 1 - no valid function sort value\n"},
      {"guid=42 bmpfile=t.bmp \"room sort\"=\"Dining Room\"", "2000 250 1 32 0 0 0 0 0", ""},
  };
  for (const auto& [attributes, words, warnings] : cases) {
    SCOPED_TRACE(attributes);
    testing::MemoryObjectFile object({ObjdResource(128, "Chair", chair)});
    testing::RunningBuild build(&object.file);
    CapturedReport report;
    build.Dispatch(std::string("<catalog ") + attributes + ">");
    EXPECT_EQ(report.Text(), warnings);
    EXPECT_EQ(CatalogWords(build.Context().catalogs.First()->Values()), words);
  }
  testing::MemoryObjectFile object({ObjdResource(128, "Chair", chair)});
  testing::RunningBuild build(&object.file);
  EXPECT_EQ(FatalOf([&] { build.Dispatch("<catalog bmpfile=t.bmp \"popup bmpfile\"=p.bmp>"); }),
            "line: 1 - popup id required for catalog with popup bmp file");
  EXPECT_EQ(FatalOf([&] { build.Dispatch("<catalog popup=p.bmp>"); }),
            "line: 1 - bmpfile or thumbnail required for catalog tag");
}

TEST(CatalogSpec, SaveAddsPicturesAndWritesTheDefinition) {
  testing::TempDir dir;
  dir.Write("thumb.bmp", "BMthumb");
  dir.Write("pop.bmp", "BMpop");
  testing::MemoryObjectFile object({ObjdResource(128, "Chair", ObjdFields{.price = 10, .ratingHunger = 4})});
  testing::RunningBuild build(&object.file);
  build.args.fTgaDirectory = dir.Path().string();
  build.Dispatch(
      "<catalog bmpfile=missing.bmp id=2100>"
      "<catalog bmpfile=thumb.bmp id=2100 cost=75 comfort=6 \"popup bmpfile\"=pop.bmp \"popup id\"=2101>");
  CapturedReport report;
  WriteCatalogs(build.args, object.file, build.Context());
  // Newest first: the earlier tag saves last and its values win; its
  // picture is missing, so the later tag's thumbnail stays.
  EXPECT_EQ(report.Text(), "warning: could not open bmpfile\nwarning: " + dir.File("missing.bmp") + "\n");
  const StoredResource* thumb = object.Find(kBMP, 2100);
  ASSERT_TRUE(thumb != nullptr && object.Find(kBMP, 2101) != nullptr);
  EXPECT_EQ(thumb->name + " " + std::string(thumb->bytes.begin(), thumb->bytes.end()), "thumb.bmp BMthumb");
  std::vector<std::uint8_t> definition = object.Find(kOBJD, 128)->bytes;
  const ObjDefinition saved(definition);
  EXPECT_EQ((std::vector<int>{saved.Word(ObjDefinition::kPriceWord), saved.Word(ObjDefinition::kRatingHungerWord),
                              saved.Word(ObjDefinition::kPopupIdWord), saved.CatalogStringsId()}),
            (std::vector<int>{10, 0, 0, 2100}));
}

TEST(PictureResource, PathsAndTags) {
  EXPECT_EQ(PicturePath("", "a.bmp"), "a.bmp");
  EXPECT_EQ(PicturePath("dir", "a.bmp"), "dir/a.bmp");
  EXPECT_EQ(PicturePath("dir/", "a.bmp"), "dir/a.bmp");
  EXPECT_EQ(PicturePath("dir\\", "a.bmp"), "dir\\a.bmp");

  testing::TempDir dir;
  dir.Write("a.bmp", "one");
  dir.Write("b.bmp", "two");
  testing::MemoryObjectFile object;
  auto context = testing::Dispatch("<bmpfile id=5 filename=a.bmp><bmpfile id=5 filename=b.bmp>");
  BuildArgs args;
  args.fTgaDirectory = dir.Path().string();
  WriteBitmaps(args, object.file, *context);
  ASSERT_NE(object.Find(kBMP, 5), nullptr);
  EXPECT_EQ(object.Find(kBMP, 5)->name, "a.bmp");
}

TEST(TreeTableSpec, RenamesMentionedInteractionsAndMarksTheRestDebug) {
  TreeTable table(16);
  for (std::uint16_t tree : {4096, 4097, 4098}) table.Add(0, tree);
  testing::MemoryObjectFile object({ObjdResource(128, "Chair", ObjdFields{.guid = 7, .treeTableId = 300})});
  table.Entries()[0].menuText = "Sit";
  table.Entries()[1].menuText = "Nap";
  table.Entries()[2].menuText = "Kick";
  ASSERT_EQ(table.Save(object.file, 300, "old name"), 0);
  StringSet comments;
  comments.Init(&object.file, 300, TreeTable::kStringsType, false, 0);
  ASSERT_EQ(comments.Load(false, false), 0);
  comments.SetComment(1, "!!");
  ASSERT_EQ(comments.Save(), 0);

  testing::RunningBuild build(&object.file);
  CapturedReport report;
  build.Dispatch(
      "<ttab guid=7 name=ignored><interaction index=2 name=x>"
      "<ttab guid=7 name=\"chair menu\">\n<interaction index=0 name=\"Sit Down\">\n<interaction index=1 name=\"Doze\">"
      "\n<interaction index=9 name=Fly>");
  EXPECT_EQ(report.Text(), "warning: line: 4 - interaction #9 not found in existing tree table\n");
  ASSERT_EQ(build.Context().treeTables.Count(), 2);
  TreeTableSpec& latest = *build.Context().treeTables.First();
  EXPECT_EQ(latest.Mentioned(), (std::vector<std::int32_t>{0, 1, 9}));
  latest.Save();
  EXPECT_EQ(report.Text().substr(report.Text().find('\n') + 1),
            "warning: Interaction \"Kick\", #2 not found in OMK, marking menu text as debug\n");
  EXPECT_EQ(object.Find(TreeTable::kType, 300)->name, "chair menu");
  StringSet menus;
  menus.Init(&object.file, 300, TreeTable::kStringsType, false, 0);
  ASSERT_EQ(menus.Load(false, false), 0);
  EXPECT_EQ(Values(menus), (std::vector<std::string>{"Sit Down", "Doze", "Kick"}));
  EXPECT_EQ(menus.Comment(1).value_or("-"), "");
  EXPECT_EQ(menus.Comment(3).value_or("-"), "!");

  testing::MemoryObjectFile bare({ObjdResource(128, "Chair", ObjdFields{.guid = 7})});
  testing::RunningBuild without(&bare.file);
  CapturedReport missing;
  without.Dispatch("<ttab guid=7>");
  EXPECT_EQ(missing.Text(), "warning: Could not load existing tree table\n");
  EXPECT_EQ(FatalOf([&] { without.Context().treeTables.First()->Save(); }), "couldn't save tree table");
}

}  // namespace
}  // namespace pixmold
