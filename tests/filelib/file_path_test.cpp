#include "filelib/file_path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

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
  const std::pair<std::string, std::string> cases[] = {
      {ParentKey("/a/b/c"), "/a/b"},
      {ParentKey("/a"), "/"},
      {ParentKey("/"), ""},
      {ParentKey(""), ""},
      {JoinKey("/a", "b\\c.iff"), "/a/b/c.iff"},
      {JoinKey("/", "b"), "/b"},
      {std::string(RelativeTo("/a/b/c", "/a")), "b/c"},
      {std::string(RelativeTo("/a/b/c", "/")), "a/b/c"},
      {std::string(RelativeTo("/ab/c", "/a")), ""},
      {std::string(RelativeTo("/a", "/a")), ""},
  };
  for (const auto& [got, want] : cases) EXPECT_EQ(got, want);
}

}  // namespace
}  // namespace pixmold
