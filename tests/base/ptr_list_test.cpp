#include "base/ptr_list.h"

#include <gtest/gtest.h>

#include <vector>

namespace pixmold {
namespace {

TEST(PtrList, AppendAndPrependIgnoreNullAndDuplicatesAndIteratorEndsWithNull) {
  int a = 1, b = 2, c = 3;
  PtrList<int> list;
  EXPECT_TRUE(list.Append(&a));
  EXPECT_TRUE(list.Append(&b));
  EXPECT_FALSE(list.Append(&a));
  EXPECT_FALSE(list.Append(nullptr));
  EXPECT_TRUE(list.Prepend(&c));
  EXPECT_FALSE(list.Prepend(&b));
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Nth(3), nullptr);
  EXPECT_EQ(list.Nth(-1), nullptr);
  PtrList<int>::Iterator it(list);
  std::vector<int*> seen;
  for (; it.Current(); it.Advance()) seen.push_back(it.Current());
  EXPECT_EQ(seen, (std::vector<int*>{&c, &a, &b}));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(list.Nth(i), seen[static_cast<std::size_t>(i)]);
  it.Advance();
  EXPECT_EQ(it.Current(), nullptr);
  it.Reset();
  EXPECT_EQ(it.Current(), &c);
  list.RemoveAll();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_TRUE(list.Empty());
}

}  // namespace
}  // namespace pixmold
