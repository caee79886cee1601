#include "app/build_inputs.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace pixmold {
namespace {

TEST(BuildInputs, PathPieces) {
  EXPECT_EQ(PathLeaf("a/b\\c.iff"), "c.iff");
  EXPECT_EQ(PathStem("a/b/chair.iff"), "chair");
  EXPECT_EQ(PathStem("a.b/chair"), "chair");
  EXPECT_EQ(PathStem(".hidden"), ".hidden");
  EXPECT_EQ(WithTrailingSeparator("dir"), "dir/");
  EXPECT_EQ(WithTrailingSeparator("dir\\"), "dir\\");
  EXPECT_EQ(WithTrailingSeparator(""), "");
}

TEST(BuildInputs, FindsObjectsAndMarkupAsTheDialogDoes) {
  testing::TempDir data;
  for (const char* file : {"Objects/chairs/Chair.spf", "Objects/chairs/Chair.iff", "Objects/lamp.SPF", "Objects/a.txt"})
    data.Write(file, "x");
  testing::TempDir content;
  for (const char* file : {"Sprites/b/chair.OMK", "Sprites/a/lamp.omk", "Sprites/c/table.omk"})
    content.Write(file, "x");

  const std::string dataDir = data.Path().string();
  EXPECT_EQ(ScanObjectFiles(dataDir),
            (std::vector<std::string>{dataDir + "/Objects/chairs/Chair", dataDir + "/Objects/lamp"}));
  EXPECT_EQ(FindObjectFile(dataDir, "chair"), dataDir + "/Objects/chairs/Chair");
  EXPECT_EQ(FindObjectFile(dataDir, "sofa"), std::nullopt);

  const std::vector<std::string> markup = ScanMarkupFiles(content.Path().string());
  ASSERT_EQ(markup.size(), 3u);
  const std::optional<MarkupLocation> found = FindMarkupFor(markup, "Chair");
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->omkFile, content.Path().string() + "/Sprites/b/chair.OMK");
  EXPECT_EQ(found->imageDirectory, content.Path().string() + "/Sprites/b/");
  EXPECT_FALSE(FindMarkupFor(markup, "sofa").has_value());
  EXPECT_TRUE(ScanObjectFiles("").empty());
  EXPECT_TRUE(ScanForExtension(dataDir + "/missing", ".spf").empty());
}

TEST(BuildInputs, ReadOnlyObjectFilesShowOnlyWhenAllAreAsked) {
  testing::TempDir data;
  data.Write("Objects/b/Zed.spf", "x");
  const std::string locked = data.Write("Objects/apple.spf", "x");
  data.Write("Objects/Mango.Spf", "x");
  std::filesystem::permissions(locked, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  const std::string objects = data.Path().string() + "/Objects/";
  EXPECT_EQ(ScanObjectFiles(data.Path().string(), true),
            (std::vector<std::string>{objects + "apple", objects + "b/Zed", objects + "Mango"}));
  EXPECT_EQ(ScanObjectFiles(data.Path().string() + "/", false),
            (std::vector<std::string>{objects + "b/Zed", objects + "Mango"}));
}

}  // namespace
}  // namespace pixmold
