#include "app/object_ids.h"

#include <gtest/gtest.h>

#include "support/object_file_fixture.h"

namespace pixmold {
namespace {

using testing::ObjdFields;
using testing::ObjdResource;

testing::MemoryObjectFile Sample() {
  return testing::MemoryObjectFile({
      ObjdResource(128, "Chair",
                   ObjdFields{.guid = 0xFFFFFFFE,
                              .firstDrawGroupId = 100,
                              .drawGroupCount = 3,
                              .wallStyleId = 300,
                              .catalogStringsId = 2000}),
      ObjdResource(129, "Table part",
                   ObjdFields{.guid = 5,
                              .firstDrawGroupId = 220,
                              .drawGroupCount = 2,
                              .multiTileGroup = 7,
                              .multiTilePart = 1,
                              .wallStyleId = 301}),
      ObjdResource(130, "Table",
                   ObjdFields{.guid = 6,
                              .firstDrawGroupId = 200,
                              .drawGroupCount = 2,
                              .multiTileGroup = 7,
                              .multiTilePart = -1,
                              .catalogStringsId = 2010}),
      ObjdResource(131, "Lamp", ObjdFields{.version = 137, .size = 160, .guid = 8}),
      ObjdResource(132, "Other table part",
                   ObjdFields{.firstDrawGroupId = 400, .drawGroupCount = 1, .multiTileGroup = 8, .multiTilePart = 0}),
  });
}

TEST(ObjectIds, MastersAreSingleTileObjectsAndGroupMasters) {
  testing::MemoryObjectFile object = Sample();
  std::vector<std::string> masters;
  for (const MasterObject& m : ListMasterObjects(object.file)) masters.push_back(std::to_string(m.id) + " " + m.name);
  EXPECT_EQ(masters, (std::vector<std::string>{"128 Chair", "130 Table", "131 Lamp"}));
}

struct IdsCase {
  ResID id;
  std::vector<std::int16_t> drawGroups;
  std::vector<std::int16_t> wallStyles;
  const char* text;
};

TEST(ObjectIds, TextListsTheIdsOfAMasterAndItsGroup) {
  const IdsCase cases[] = {
      {128,
       {100, 101, 102},
       {300},
       "res id : 128\r\nguid : -2\r\ncatalog id : 2000\r\ndg 100\r\ndg 101\r\ndg 102\r\nws 300\r\n"},
      {130,
       {200, 201, 220, 221},
       {301},
       "res id : 130\r\nguid : 6\r\ncatalog id : 2010\r\ndg 200\r\ndg 201\r\ndg 220\r\ndg 221\r\nws 301\r\n"},
      {131, {}, {}, "res id : 131\r\nguid : 8\r\ncatalog id : 0\r\n"},
      {129, {}, {}, "res id : 129\r\nerror, not a master object\r\n"},
  };
  testing::MemoryObjectFile object = Sample();
  for (const auto& c : cases) {
    ObjectIds ids = CollectObjectIds(object.file, c.id);
    EXPECT_TRUE(ids.found) << c.id;
    EXPECT_EQ(ids.drawGroupIds, c.drawGroups) << c.id;
    EXPECT_EQ(ids.wallStyleIds, c.wallStyles) << c.id;
    EXPECT_EQ(ids.text, c.text) << c.id;
  }
  EXPECT_EQ(CollectObjectIds(object.file, 128).name, "Chair");
  EXPECT_FALSE(CollectObjectIds(object.file, 999).found);
}

}  // namespace
}  // namespace pixmold
