#include "architecture/resource_store.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "architecture/wall_error.h"
#include "architecture_fixture.h"
#include "resfile/mem_handle.h"

namespace pixmold {
namespace {

using Op = testing::MemoryResFile::Op;

OwnedHandle SomeList() {
  OwnedHandle list = OwnedHandle::New(4);
  return list;
}

struct StoreCase {
  const char* what;
  std::function<void(iResFile&)> store;
  Op failing;
  std::string message;
};

TEST(ResourceStore, EachFailedStepNamesItselfWithTheFilesCode) {
  testing::UseTestPalette(false);
  const StoreCase cases[] = {
      {"wall list, add", [](iResFile& f) { WriteWallSprites(f, SomeList(), 129, "x"); }, Op::kAdd,
       "could not add sprites"},
      {"wall list, write", [](iResFile& f) { WriteWallSprites(f, SomeList(), 129, "x"); }, Op::kWrite,
       "could not add write sprites"},
      {"SPR2 list, add", [](iResFile& f) { WriteSpriteList(f, SomeList(), 5); }, Op::kAdd, "could not add sprites"},
      {"palette, add", [](iResFile& f) { WritePalette(f, 5); }, Op::kAdd, "could not add palette to destfile"},
      {"palette, write", [](iResFile& f) { WritePalette(f, 5); }, Op::kWrite, "could not write palette to destfile"},
  };
  const std::size_t handlesBefore = CountLiveHandles();
  for (const StoreCase& c : cases) {
    SCOPED_TRACE(c.what);
    testing::MemoryObject object;
    object.file.FailNext(c.failing, -51);
    try {
      c.store(object.file);
      ADD_FAILURE() << "no WallError";
    } catch (const WallError& error) {
      EXPECT_EQ(error.Message(), c.message);
      EXPECT_EQ(error.Code(), -51);
    }
  }
  // A list the file refused is not left behind.
  EXPECT_EQ(CountLiveHandles(), handlesBefore);
}

TEST(ResourceStore, ListsAreStoredNativeUnderTheirIdAndNameAndLogged) {
  testing::UseTestPalette(false);
  testing::MemoryObject object;
  StoredResources log;
  {
    ScopedStoreLog scope(log);
    WriteWallSprites(object.file, SomeList(), 7, "3:1:1(7)");
    WriteSpriteList(object.file, SomeList(), 5);
    object.file.FailNext(Op::kAdd, -51);
    EXPECT_THROW(WritePalette(object.file, 5), WallError);
  }
  WritePalette(object.file, 6);
  EXPECT_EQ(log, (StoredResources{{kSprListType, 7}, {kSprite2ListType, 5}}));
  const testing::StoredResource* wall = object.Find(kSprListType, 7);
  ASSERT_NE(wall, nullptr);
  EXPECT_EQ(wall->name, "3:1:1(7)");
  EXPECT_TRUE(wall->native);
  ASSERT_NE(object.Find(kSprite2ListType, 5), nullptr);
  EXPECT_EQ(object.Find(kSprite2ListType, 5)->bytes.size(), 4u);
}

}  // namespace
}  // namespace pixmold
