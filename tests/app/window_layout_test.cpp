#include "app/window_layout.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "support/temp_dir.h"

namespace pixmold {
namespace {

std::string Text(const WindowLayout& layout) {
  std::ostringstream text;
  text << layout.width << "x" << layout.height << " columns";
  for (int size : layout.columns) text << " " << size;
  text << " rows";
  for (int size : layout.rows) text << " " << size;
  return text.str();
}

TEST(WindowLayout, KeptBesideTheSavedDirectories) {
  std::map<std::string, std::string> environment{{"HOME", "/home/artist"}};
  auto lookup = [&](const char* name) { return environment[name]; };
  EXPECT_EQ(WindowLayoutPath(lookup), "/home/artist/.config/pixmold/Pixmold.layout");
  environment["XDG_CONFIG_HOME"] = "/cfg/";
  EXPECT_EQ(WindowLayoutPath(lookup), "/cfg/pixmold/Pixmold.layout");
  environment.clear();
  EXPECT_EQ(WindowLayoutPath(lookup), "");
  EXPECT_FALSE(WriteWindowLayout("", WindowLayout{800, 600, {}, {}}));
}

TEST(WindowLayout, WrittenLayoutReadsBack) {
  testing::TempDir root;
  const std::string path = root.File("config/pixmold/Pixmold.layout");
  EXPECT_FALSE(ReadWindowLayout(path).has_value());
  ASSERT_TRUE(WriteWindowLayout(path, WindowLayout{1280, 720, {560, 712}, {240, 400}}));
  const std::optional<WindowLayout> read = ReadWindowLayout(path);
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(Text(*read), "1280x720 columns 560 712 rows 240 400");
  // Written anew, not over the old text.
  ASSERT_TRUE(WriteWindowLayout(path, WindowLayout{900, 700, {}, {}}));
  EXPECT_EQ(Text(*ReadWindowLayout(path)), "900x700 columns rows");

  root.Write("blocked", "");
  EXPECT_FALSE(WriteWindowLayout(root.File("blocked/pixmold/Pixmold.layout"), WindowLayout{900, 700, {}, {}}));
}

// A line that does not read is skipped; the others still count.
TEST(WindowLayout, DamagedLinesAreSkipped) {
  struct Case {
    const char* file;
    const char* layout;
  };
  const Case cases[] = {
      {"window 1024 700\ncolumns 400 600\nrows 100 200\n", "1024x700 columns 400 600 rows 100 200"},
      {"window 1024\ncolumns 400 600\n", "0x0 columns 400 600 rows"},
      {"window 0 700\nrows 5 6 7\n", "0x0 columns rows 5 6 7"},
      {"window -5 700\ncolumns 400 x600\n", "0x0 columns rows"},
      {"window 70000 700\ncolumns 400\n", "0x0 columns rows"},
      {"window 1024 700 9\nrows 1 2 3 4 5 6 7 8 9\n", "0x0 columns rows"},
      {"size 1 2\n\n  window   800   600  \r\n", "800x600 columns rows"},
      {"window 99999999999999999999 1\n", "0x0 columns rows"},
  };
  testing::TempDir root;
  for (const Case& test : cases) {
    const std::string path = root.Write("Pixmold.layout", test.file);
    const std::optional<WindowLayout> read = ReadWindowLayout(path);
    ASSERT_TRUE(read.has_value()) << test.file;
    EXPECT_EQ(Text(*read), test.layout) << test.file;
  }
  // Anything the size of a real file's many times over is not ours.
  EXPECT_FALSE(ReadWindowLayout(root.Write("big", std::string(5000, '\n') + "window 800 600\n")).has_value());
}

}  // namespace
}  // namespace pixmold
