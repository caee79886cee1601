#include "base/ptr_list.h"

#include <gtest/gtest.h>

#include <vector>

namespace pixmold {
namespace {

TEST(PtrList, AppendAndPrependIgnoreNullAndDuplicates) {
  int a = 1, b = 2, c = 3;
  PtrList<int> list;
  EXPECT_TRUE(list.Append(&a));
  EXPECT_TRUE(list.Append(&b));
  EXPECT_FALSE(list.Append(&a));
  EXPECT_FALSE(list.Append(nullptr));
  EXPECT_TRUE(list.Prepend(&c));
  EXPECT_FALSE(list.Prepend(&b));
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Nth(0), &c);
  EXPECT_EQ(list.Nth(1), &a);
  EXPECT_EQ(list.Nth(2), &b);
  EXPECT_EQ(list.Nth(3), nullptr);
  EXPECT_EQ(list.Nth(-1), nullptr);
}

TEST(PtrList, PrependOnlyHoldsNewestFirstAndIteratorEndsWithNull) {
  std::vector<int> values(4);
  PtrList<int> list;
  for (auto& v : values) list.Prepend(&v);
  PtrList<int>::Iterator it(list);
  std::vector<int*> seen;
  for (; it.Current(); it.Advance()) seen.push_back(it.Current());
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen.front(), &values[3]);
  EXPECT_EQ(seen.back(), &values[0]);
  it.Advance();
  EXPECT_EQ(it.Current(), nullptr);
  it.Reset();
  EXPECT_EQ(it.Current(), &values[3]);
  list.RemoveAll();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_TRUE(list.Empty());
}

}  // namespace
}  // namespace pixmold
