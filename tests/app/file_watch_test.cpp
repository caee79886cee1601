// The watch over real folders: inotify queues an event when the change is
// made, so each case reads the changes right after making it, without
// waiting.
#include "app/file_watch.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace pixmold {
namespace {

namespace fs = std::filesystem;

struct WatchCase {
  const char* what;
  std::function<void(const testing::TempDir&)> change;
  std::vector<std::string> changed;  // relative to the root
};

TEST(FileWatch, SeesEveryWayAWatchedFileIsSavedAndNothingElse) {
  const std::vector<WatchCase> cases = {
      {"written in place", [](auto& root) { root.Write("art/chair.omk", "<sizes>"); }, {"art/chair.omk"}},
      {"saved by renaming a new file over it",
       [](auto& root) { fs::rename(root.Write("art/.chair.omk.new", "x"), root.File("art/chair.omk")); },
       {"art/chair.omk"}},
      {"removed", [](auto& root) { fs::remove(root.File("art/chair.omk")); }, {"art/chair.omk"}},
      {"touched",
       [](auto& root) { fs::last_write_time(root.File("art/chair.omk"), fs::file_time_type::clock::now()); },
       {"art/chair.omk"}},
      {"a file beside it that was not read", [](auto& root) { root.Write("art/notes.txt", "x"); }, {}},
      {"a new file in a folder the build looked into",
       [](auto& root) { root.Write("sheets/chair_alpha.tga", "x"); },
       {"sheets/chair_alpha.tga"}},
      {"a file going from that folder",
       [](auto& root) { fs::remove(root.File("sheets/old.tga")); },
       {"sheets/old.tga"}},
      {"an editor's scratch files there",
       [](auto& root) {
         root.Write("sheets/.chair.tga.swp", "x");
         root.Write("sheets/chair.tga~", "x");
       },
       {}},
      {"a file there rewritten, which a build did not read", [](auto& root) { root.Write("sheets/old.tga", "y"); }, {}},
      {"two saves of one file and one of another, each named once",
       [](auto& root) {
         root.Write("art/chair.omk", "1");
         root.Write("sheets/chair.tga", "2");
         root.Write("art/chair.omk", "3");
       },
       {"art/chair.omk", "sheets/chair.tga"}},
  };
  for (const WatchCase& test : cases) {
    testing::TempDir root;
    root.Write("art/chair.omk", "<target>");
    root.Write("sheets/chair.tga", "pixels");
    root.Write("sheets/old.tga", "pixels");
    FileWatch watch;
    ASSERT_EQ(watch.Error(), "");
    ASSERT_TRUE(watch.Watch({root.File("art/chair.omk"), root.File("sheets"), root.File("sheets/chair.tga")}).empty());
    test.change(root);
    std::vector<std::string> changed;
    for (const std::string& path : watch.TakeChanges()) changed.push_back(fs::relative(path, root.Path()).string());
    EXPECT_EQ(changed, test.changed) << test.what;
    EXPECT_TRUE(watch.TakeChanges().empty()) << test.what << ": each change is told once";
  }
}

TEST(FileWatch, WatchingAnewDropsWhatIsNoLongerWanted) {
  testing::TempDir root;
  root.Write("a/one.tga", "1");
  root.Write("b/two.tga", "2");
  FileWatch watch;
  ASSERT_TRUE(watch.Watch({root.File("a/one.tga")}).empty());
  // A path spelt with a doubled separator is the same file.
  ASSERT_TRUE(watch.Watch({root.File("b//two.tga")}).empty());
  root.Write("a/one.tga", "changed");
  root.Write("b/two.tga", "changed");
  EXPECT_EQ(watch.TakeChanges(), (std::vector<std::string>{root.File("b/two.tga")}));

  // A save made before the watch is widened is still told after it.
  ASSERT_TRUE(watch.Watch({root.File("a/one.tga")}).empty());
  root.Write("a/one.tga", "saved");
  ASSERT_TRUE(watch.Watch({root.File("a/one.tga"), root.File("b/two.tga")}).empty());
  EXPECT_EQ(watch.TakeChanges(), (std::vector<std::string>{root.File("a/one.tga")}));

  // A folder that is not there cannot be watched, and says so.
  const std::vector<std::string> problems = watch.Watch({root.File("gone/three.tga")});
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0], root.File("gone") + ": No such file or directory");
}

}  // namespace
}  // namespace pixmold
