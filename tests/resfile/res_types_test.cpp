#include "resfile/res_types.h"

#include <gtest/gtest.h>

namespace pixmold {
namespace {

TEST(ResType, FirstCharacterIsMostSignificant) {
  EXPECT_EQ(MakeResType("OBJD"), 0x4F424A44u);
  EXPECT_EQ(ResTypeName(MakeResType("SPR#")), "SPR#");
  EXPECT_EQ(ParseResType("BMP_"), MakeResType("BMP_"));
  EXPECT_FALSE(ParseResType("SPR"));
  EXPECT_FALSE(ParseResType("SPR#2"));
}

TEST(ResErr, EveryCodeHasItsOwnText) {
  EXPECT_EQ(ResErrText(-49), "no file is open");
  EXPECT_EQ(ResErrText(-98), "no resource of that type and id, index or handle");
  EXPECT_EQ(ResErrText(12345), "unknown error");
}

}  // namespace
}  // namespace pixmold
