#include "app/object_ids.h"

#include <gtest/gtest.h>

#include "support/object_definition_fixture.h"

namespace pixmold {
namespace {

using testing::MemoryDisk;
using testing::MemoryResFile;
using testing::ObjdFields;
using testing::ObjdResource;

struct ObjectFile {
  explicit ObjectFile(std::vector<testing::StoredResource> resources) {
    disk.files["objects.iff"] = std::move(resources);
    EXPECT_EQ(file.OpenFile("objects.iff"), 0);
  }
  MemoryDisk disk;
  MemoryResFile file{disk};
};

ObjectFile Sample() {
  return ObjectFile({
      ObjdResource(128, "Chair",
                   ObjdFields{.guid = 0xFFFFFFFE, .firstDrawGroupId = 100, .drawGroupCount = 3, .wallStyleId = 300,
                              .catalogStringsId = 2000}),
      ObjdResource(129, "Table part", ObjdFields{.guid = 5, .firstDrawGroupId = 220, .drawGroupCount = 2,
                                                 .multiTileGroup = 7, .multiTilePart = 1, .wallStyleId = 301}),
      ObjdResource(130, "Table", ObjdFields{.guid = 6, .firstDrawGroupId = 200, .drawGroupCount = 2,
                                            .multiTileGroup = 7, .multiTilePart = -1, .catalogStringsId = 2010}),
      ObjdResource(131, "Lamp", ObjdFields{.version = 137, .size = 160, .guid = 8}),
      ObjdResource(132, "Other table part", ObjdFields{.firstDrawGroupId = 400, .drawGroupCount = 1,
                                                       .multiTileGroup = 8, .multiTilePart = 0}),
  });
}

TEST(ObjectIds, MastersAreSingleTileObjectsAndGroupMasters) {
  ObjectFile object = Sample();
  std::vector<MasterObject> masters = ListMasterObjects(object.file);
  ASSERT_EQ(masters.size(), 3u);
  EXPECT_EQ(masters[0].id, 128);
  EXPECT_EQ(masters[0].name, "Chair");
  EXPECT_EQ(masters[1].id, 130);
  EXPECT_EQ(masters[1].name, "Table");
  EXPECT_EQ(masters[2].id, 131);
}

TEST(ObjectIds, SingleTileText) {
  ObjectFile object = Sample();
  ObjectIds ids = CollectObjectIds(object.file, 128);
  EXPECT_TRUE(ids.found);
  EXPECT_EQ(ids.name, "Chair");
  EXPECT_EQ(ids.drawGroupIds, (std::vector<std::int16_t>{100, 101, 102}));
  EXPECT_EQ(ids.wallStyleIds, std::vector<std::int16_t>{300});
  EXPECT_EQ(ids.text,
            "res id : 128\r\nguid : -2\r\ncatalog id : 2000\r\n"
            "dg 100\r\ndg 101\r\ndg 102\r\nws 300\r\n");
}

TEST(ObjectIds, MultiTileMasterGathersItsGroupSorted) {
  ObjectFile object = Sample();
  ObjectIds ids = CollectObjectIds(object.file, 130);
  EXPECT_EQ(ids.drawGroupIds, (std::vector<std::int16_t>{200, 201, 220, 221}));
  EXPECT_EQ(ids.wallStyleIds, std::vector<std::int16_t>{301});
  EXPECT_EQ(ids.text,
            "res id : 130\r\nguid : 6\r\ncatalog id : 2010\r\n"
            "dg 200\r\ndg 201\r\ndg 220\r\ndg 221\r\nws 301\r\n");
}

TEST(ObjectIds, ObjectsWithoutDrawGroupsAndNonMasters) {
  ObjectFile object = Sample();
  ObjectIds lamp = CollectObjectIds(object.file, 131);
  EXPECT_TRUE(lamp.drawGroupIds.empty());
  EXPECT_EQ(lamp.text, "res id : 131\r\nguid : 8\r\ncatalog id : 0\r\n");

  ObjectIds part = CollectObjectIds(object.file, 129);
  EXPECT_TRUE(part.drawGroupIds.empty());
  EXPECT_EQ(part.text, "res id : 129\r\nerror, not a master object\r\n");

  EXPECT_FALSE(CollectObjectIds(object.file, 999).found);
}

}  // namespace
}  // namespace pixmold
