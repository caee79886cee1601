#include "app/dialog_settings.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "support/temp_dir.h"

namespace pixmold {
namespace {

std::string Replace(std::string text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

struct StartupCase {
  const char* name;
  std::map<std::string, std::string> environment;  // "{tmp}" stands for a writable folder
  std::optional<std::string> savedFile;
  const char* messages;
  const char* data;
  const char* content;
};

TEST(DialogSettings, StartupMessagesForEveryVariableAndSavedFile) {
  const StartupCase cases[] = {
      {"nothing set",
       {},
       std::nullopt,
       "Could not find system temporary directory, using C: instead\r\nUsing temporary file /tmp/PixmoldReport.txt\r\n"
       "No SPRITEDIR variable.No SCENDIR variable.",
       "",
       ""},
      {"TEMP first",
       {{"TEMP", "{tmp}"}, {"TMP", "/nowhere"}},
       std::nullopt,
       "Using temporary file {tmp}/PixmoldReport.txt\r\nNo SPRITEDIR variable.No SCENDIR variable.",
       "",
       ""},
      {"TMP when TEMP is empty",
       {{"TEMP", ""}, {"TMP", "{tmp}/"}},
       std::nullopt,
       "Using temporary file {tmp}/PixmoldReport.txt\r\nNo SPRITEDIR variable.No SCENDIR variable.",
       "",
       ""},
      {"TMPDIR last",
       {{"TMPDIR", "{tmp}"}},
       std::nullopt,
       "Using temporary file {tmp}/PixmoldReport.txt\r\nNo SPRITEDIR variable.No SCENDIR variable.",
       "",
       ""},
      {"unwritable temporary folder",
       {{"TEMP", "{tmp}/missing"}},
       std::nullopt,
       "Error writing to temporary file, the full report text will not be available.\r\n"
       "No SPRITEDIR variable.No SCENDIR variable.",
       "",
       ""},
      {"both variables",
       {{"TEMP", "{tmp}"}, {"SPRITEDIR", "/art/Sprites/"}, {"SCENDIR", "/game/data"}},
       std::nullopt,
       "Using temporary file {tmp}/PixmoldReport.txt\r\nUsing variable SPRITEDIR for content, /art/\r\n"
       "Using variable SCENDIR for game data, /game/data\r\n",
       "/game/data",
       "/art/"},
      {"SPRITEDIR not naming a sprites folder",
       {{"TEMP", "{tmp}"}, {"SPRITEDIR", "/art/Sprites/x"}},
       std::nullopt,
       "Using temporary file {tmp}/PixmoldReport.txt\r\nNo SPRITEDIR variable.No SCENDIR variable.",
       "",
       ""},
      {"saved file wins over variables",
       {{"TEMP", "{tmp}"}, {"SPRITEDIR", "/art/Sprites"}, {"SCENDIR", "/game"}},
       "/saved/data\n/saved/content\n",
       "Using temporary file {tmp}/PixmoldReport.txt\r\nUsing saved directories\r\nData directory: /saved/data\r\n"
       "Content directory: /saved/content\r\n",
       "/saved/data",
       "/saved/content"},
      {"saved file of one word is no file",
       {{"TEMP", "{tmp}"}, {"SCENDIR", "/game"}},
       "/only/one\n",
       "Using temporary file {tmp}/PixmoldReport.txt\r\nNo SPRITEDIR variable.Using variable SCENDIR for game data, "
       "/game\r\n",
       "/game",
       ""},
      {"saved words split on any white space",
       {{"TEMP", "{tmp}"}},
       "  /d\t\t/c  extra\n",
       "Using temporary file {tmp}/PixmoldReport.txt\r\nUsing saved directories\r\nData directory: /d\r\n"
       "Content directory: /c\r\n",
       "/d",
       "/c"},
  };
  for (const StartupCase& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempDir temp;
    const std::string tmp = temp.Path().string();
    std::map<std::string, std::string> environment;
    for (const auto& [name, value] : c.environment) environment[name] = Replace(value, "{tmp}", tmp);
    environment["XDG_CONFIG_HOME"] = tmp + "/config";
    if (c.savedFile) temp.Write("config/pixmold/Pixmold.dirs", *c.savedFile);
    const StartupSettings settings = ReadStartupSettings([&](const char* name) {
      auto found = environment.find(name);
      return found == environment.end() ? std::string() : found->second;
    });
    EXPECT_EQ(settings.messages, Replace(c.messages, "{tmp}", tmp));
    EXPECT_EQ(settings.dataDirectory, c.data);
    EXPECT_EQ(settings.contentDirectory, c.content);
  }
}

TEST(DialogSettings, SpriteDirNamesTheFolderAboveSprites) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"/art/Sprites/", "/art/"},
      {"/art/sprites", "/art/"},
      {"C:\\content\\SPRITES\\", "C:\\content\\"},
      {"/art/Sprites//", std::nullopt},
      {"/art/Sprites/chairs", std::nullopt},
      {"/art/SpritesOld", std::nullopt},
      {"Sprites/", std::nullopt},
      {"/art/renders", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [value, expected] : cases) EXPECT_EQ(ContentDirectoryFromSpriteDir(value), expected) << value;
}

TEST(DialogSettings, SavedDirectoriesLiveInTheConfigurationFolder) {
  testing::TempDir temp;
  const std::string tmp = temp.Path().string();
  auto xdg = [&](const char* name) { return std::string(name) == "XDG_CONFIG_HOME" ? tmp + "/cfg" : std::string(); };
  auto home = [&](const char* name) { return std::string(name) == "HOME" ? tmp : std::string(); };
  auto none = [](const char*) { return std::string(); };
  EXPECT_EQ(SavedDirectoriesPath(xdg), tmp + "/cfg/pixmold/Pixmold.dirs");
  EXPECT_EQ(SavedDirectoriesPath(home), tmp + "/.config/pixmold/Pixmold.dirs");
  EXPECT_EQ(SavedDirectoriesPath(none), "");
  EXPECT_EQ(SavedDirectoriesPlace(home), "~/.config/pixmold");

  ASSERT_TRUE(WriteSavedDirectories(SavedDirectoriesPath(xdg), {"/data/", "/content/"}));
  EXPECT_EQ(testing::ReadAll(tmp + "/cfg/pixmold/Pixmold.dirs"),
            (std::vector<unsigned char>{'/', 'd', 'a', 't', 'a', '/', '\n', '/', 'c', 'o', 'n', 't', 'e', 'n', 't', '/',
                                        '\n'}));
  std::optional<SavedDirectories> back = ReadSavedDirectories(SavedDirectoriesPath(xdg));
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->dataDirectory, "/data/");
  EXPECT_EQ(back->contentDirectory, "/content/");

  // A configuration "folder" that is a file cannot hold the saved file.
  temp.Write("blocked", "x");
  EXPECT_FALSE(WriteSavedDirectories(tmp + "/blocked/pixmold/Pixmold.dirs", {"/d/", "/c/"}));
  EXPECT_FALSE(WriteSavedDirectories("", {"/d/", "/c/"}));
}

}  // namespace
}  // namespace pixmold
