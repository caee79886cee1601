#include "filelib/file_path.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace pixmold {
namespace {

TEST(PathKey, NormalisesEverySpellingOfAPath) {
  struct Case {
    const char* path;
    const char* key;
  };
  const Case cases[] = {
      {"/a/b/c.iff", "/a/b/c.iff"},
      {"\\a\\b\\c.iff", "/a/b/c.iff"},
      {"/a\\b/c.iff", "/a/b/c.iff"},
      {"/a//b///c.iff", "/a/b/c.iff"},
      {"/a/./b/c.iff", "/a/b/c.iff"},
      {"/a/x/../b/c.iff", "/a/b/c.iff"},
      {"/a/b/", "/a/b"},
      {"/a/b\\", "/a/b"},
      {"/../../a", "/a"},
      {"/", "/"},
      {"\\", "/"},
      {"/Case/Kept", "/Case/Kept"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PathKey(c.path), c.key) << c.path;
  }
}

TEST(PathKey, RelativePathsHangBelowTheWorkingDirectory) {
  std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(PathKey("x/y.omk"), PathKey(cwd + "/x/y.omk"));
  EXPECT_EQ(PathKey(".\\x\\y.omk"), PathKey(cwd + "/x/y.omk"));
  EXPECT_EQ(PathKey(""), PathKey(cwd));
}

TEST(PathKey, ParentsJoinsAndRelatives) {
  EXPECT_EQ(ParentKey("/a/b/c"), "/a/b");
  EXPECT_EQ(ParentKey("/a"), "/");
  EXPECT_EQ(ParentKey("/"), "");
  EXPECT_EQ(ParentKey(""), "");
  EXPECT_EQ(JoinKey("/a", "b\\c.iff"), "/a/b/c.iff");
  EXPECT_EQ(JoinKey("/", "b"), "/b");
  EXPECT_EQ(RelativeTo("/a/b/c", "/a"), "b/c");
  EXPECT_EQ(RelativeTo("/a/b/c", "/"), "a/b/c");
  EXPECT_EQ(RelativeTo("/ab/c", "/a"), "");
  EXPECT_EQ(RelativeTo("/a", "/a"), "");
}

}  // namespace
}  // namespace pixmold
