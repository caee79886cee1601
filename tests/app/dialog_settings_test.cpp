#include "app/dialog_settings.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <sstream>
#include <string>

#include "support/temp_dir.h"

namespace pixmold {
namespace {

std::string Replace(std::string text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// In the texts "{tmp}" stands for a writable folder, "{using}" for the line
// naming the report file in it and "{none}" for the lines of two unset
// variables.
struct StartupCase {
  const char* environment;  // NAME=VALUE words
  const char* savedFile;    // none when empty
  const char* expected;     // the messages, the data directory and the content directory, joined by "|"
};

TEST(DialogSettings, StartupMessagesForEveryVariableAndSavedFile) {
  const StartupCase cases[] = {
      {"", "",
       "Could not find system temporary directory, using C: instead\r\nUsing temporary file /tmp/PixmoldReport.txt\r\n"
       "{none}||"},
      {"TEMP={tmp} TMP=/nowhere", "", "{using}{none}||"},
      {"TEMP= TMP={tmp}/", "", "{using}{none}||"},
      {"TMPDIR={tmp}", "", "{using}{none}||"},
      {"TEMP={tmp}/missing", "",
       "Error writing to temporary file, the full report text will not be available.\r\n{none}||"},
      {"TEMP={tmp} SPRITEDIR=/art/Sprites/ SCENDIR=/game/data", "",
       "{using}Using variable SPRITEDIR for content, /art/\r\nUsing variable SCENDIR for game data, /game/data\r\n"
       "|/game/data|/art/"},
      // The saved file wins over the variables; one word is no saved file.
      {"TEMP={tmp} SPRITEDIR=/art/Sprites SCENDIR=/game", "/saved/data\n/saved/content\n",
       "{using}Using saved directories\r\nData directory: /saved/data\r\nContent directory: /saved/content\r\n"
       "|/saved/data|/saved/content"},
      {"TEMP={tmp} SCENDIR=/game", "/only/one\n",
       "{using}No SPRITEDIR variable.Using variable SCENDIR for game data, /game\r\n|/game|"},
      {"TEMP={tmp}", "  /d\t\t/c  extra\n",
       "{using}Using saved directories\r\nData directory: /d\r\nContent directory: /c\r\n|/d|/c"},
  };
  for (const StartupCase& c : cases) {
    SCOPED_TRACE(c.environment);
    testing::TempDir temp;
    const auto expand = [tmp = temp.Path().string()](std::string text) {
      text = Replace(Replace(text, "{using}", "Using temporary file {tmp}/PixmoldReport.txt\r\n"), "{none}",
                     "No SPRITEDIR variable.No SCENDIR variable.");
      return Replace(text, "{tmp}", tmp);
    };
    std::map<std::string, std::string> environment{{"XDG_CONFIG_HOME", expand("{tmp}/config")}};
    std::istringstream words(c.environment);
    for (std::string word; words >> word;)
      environment[word.substr(0, word.find('='))] = expand(word.substr(word.find('=') + 1));
    if (*c.savedFile) temp.Write("config/pixmold/Pixmold.dirs", c.savedFile);
    const StartupSettings settings = ReadStartupSettings([&](const char* name) {
      auto found = environment.find(name);
      return found == environment.end() ? std::string() : found->second;
    });
    EXPECT_EQ(settings.messages + "|" + settings.dataDirectory + "|" + settings.contentDirectory, expand(c.expected));
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
  const auto saved = testing::ReadAll(tmp + "/cfg/pixmold/Pixmold.dirs");
  EXPECT_EQ(std::string(saved.begin(), saved.end()), "/data/\n/content/\n");
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
