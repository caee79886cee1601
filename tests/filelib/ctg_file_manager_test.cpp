#include "filelib/ctg_file_manager.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/report.h"
#include "filelib/far_writer.h"
#include "filelib/memory_file_system.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

using Bytes = std::vector<unsigned char>;

std::string ReadWhole(std::unique_ptr<CTGFile> file) {
  if (!file) return "<none>";
  std::string text(static_cast<std::size_t>(file->Size()), '\0');
  EXPECT_EQ(file->Read(text.data(), text.size()), file->Size());
  return text;
}

class ManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FarWriter first;
    first.Add("objects/chair.iff", "chair bytes");
    first.Add("objects/table.iff", "table");
    first.Add("readme.txt", "from the first archive");
    fFiles.AddFile("/game/a.far", first.Build());
    FarWriter second;
    second.Add("readme.txt", "from the second archive");
    second.Add("objects\\lamp.iff", "lamp");
    second.Add("loose.txt", "member shadowed by the loose file");
    fFiles.AddFile("/game/b.far", second.Build());
    fFiles.AddFile("/game/loose.txt", "loose");
    fFiles.AddFile("/game/sub/deep.iff", "deep");
  }

  MemoryFileSystem fFiles;
  CTGFileManager fManager{fFiles};
  std::ostringstream fReport;
  ScopedReportTarget fTarget{ReportTarget{&fReport, nullptr, nullptr, nullptr}};
};

// Archives are found whatever the case of their extension; a bad one is
// reported and mapped as a plain file; the first mapping of a path wins.
TEST_F(ManagerTest, MappingADirectoryRegistersLooseFilesAndArchiveMembers) {
  fFiles.AddFile("/game/broken.FAR", "FAR!byQX\x01");
  FarWriter upper;
  upper.Add("upper.txt", "found through an upper-case extension");
  fFiles.AddFile("/game/sub/UPPER.Far", upper.Build());
  ASSERT_TRUE(fManager.MapDirectory("\\game"));
  std::vector<std::string> paths;
  for (const auto& file : fManager.MappedFiles()) {
    paths.push_back(file.path);
    if (!file.archive.empty()) paths.back().append(" @");
  }
  EXPECT_EQ(paths, (std::vector<std::string>{
                       "/game/a.far",
                       "/game/b.far",
                       "/game/broken.FAR",
                       "/game/loose.txt",
                       "/game/objects/chair.iff @",
                       "/game/objects/lamp.iff @",
                       "/game/objects/table.iff @",
                       "/game/readme.txt @",
                       "/game/sub/UPPER.Far",
                       "/game/sub/deep.iff",
                       "/game/sub/upper.txt @",
                   }));
  EXPECT_EQ(fReport.str(), "file: /game/broken.FAR \nwarning: archive header cut short\n");
  EXPECT_EQ(ReadWhole(fManager.Open("/game/readme.txt", false)), "from the first archive");
  EXPECT_EQ(ReadWhole(fManager.Open("/game/loose.txt", false)), "loose");
}

TEST_F(ManagerTest, MembersOpenReadOnlyAndReadsStopAtTheirEnd) {
  ASSERT_TRUE(fManager.MapFAR("/game/a.far"));
  EXPECT_EQ(fManager.Open("/game/objects/chair.iff", true), nullptr);
  std::unique_ptr<CTGFile> file = fManager.Open("/game\\objects\\.\\chair.iff", false);
  ASSERT_TRUE(file);
  EXPECT_TRUE(file->IsFAR());
  EXPECT_FALSE(file->IsWritable());
  char buffer[64] = {};
  ASSERT_TRUE(file->Seek(6));
  EXPECT_EQ(file->Read(buffer, sizeof buffer), 5);
  EXPECT_EQ(std::string(buffer, 5), "bytes");
  EXPECT_EQ(file->Read(buffer, 1), 0);
  EXPECT_FALSE(file->Seek(12));
  EXPECT_EQ(file->Write("x", 1), -1);
  EXPECT_FALSE(file->SetSize(0));
  EXPECT_FALSE(file->Extend(20));
  fManager.Close(std::move(file));
  EXPECT_EQ(ReadWhole(fManager.Open("/game/objects/table.iff", false)), "table") << "the descriptor is shared";
  // Deleting or creating a member fails and leaves the archive alone.
  Bytes before = *fFiles.Contents("/game/a.far");
  EXPECT_FALSE(fManager.Delete("/game/objects/chair.iff"));
  EXPECT_FALSE(fManager.Create("/game/objects/chair.iff"));
  EXPECT_FALSE(fManager.Delete("/game/objects"));
  EXPECT_TRUE(fManager.Exists("/game/objects/chair.iff"));
  EXPECT_FALSE(fManager.Exists("/game/objects"));
  EXPECT_EQ(*fFiles.Contents("/game/a.far"), before);
  EXPECT_EQ(fManager.Open("/game/objects", false), nullptr);
}

TEST_F(ManagerTest, AnArchiveMapsOnlyOnceAndMissingPlacesFail) {
  std::string error;
  EXPECT_FALSE(fManager.MapDirectory("/nowhere"));
  EXPECT_FALSE(fManager.MapDirectory("/game/loose.txt"));
  ASSERT_TRUE(fManager.MapFAR("/game/a.far", &error));
  EXPECT_FALSE(fManager.MapFAR("/game/./a.far", &error));
  EXPECT_EQ(error, "archive is mapped already");
  EXPECT_FALSE(fManager.MapFAR("/game/none.far", &error));
  EXPECT_EQ(error, "cannot open the archive");
  ASSERT_TRUE(fManager.MapDirectory("/game"));  // skips a.far quietly
  EXPECT_EQ(fReport.str(), "file: /game/none.far \nwarning: cannot open the archive\n");
}

TEST_F(ManagerTest, LooseFilesCreateDeleteExistAndResize) {
  ASSERT_TRUE(fManager.MapDirectory("/game"));
  // A file that is there is never created again (nor emptied).
  const std::size_t size = fFiles.Contents("/game/loose.txt")->size();
  int failure = 0;
  EXPECT_FALSE(fManager.Create("/game/loose.txt", &failure));
  EXPECT_EQ(failure, EEXIST);
  EXPECT_EQ(fFiles.Contents("/game/loose.txt")->size(), size);
  EXPECT_TRUE(fManager.Delete("/game/loose.txt"));
  EXPECT_FALSE(fManager.IsMapped("/game/loose.txt"));
  EXPECT_FALSE(fManager.Exists("/game/loose.txt"));
  // Unmapped paths go straight to the disk.
  EXPECT_TRUE(fManager.Create("/game/new.txt"));
  EXPECT_TRUE(fManager.Exists("/game/new.txt"));
  EXPECT_FALSE(fManager.IsMapped("/game/new.txt"));
  EXPECT_TRUE(fManager.Delete("/game/new.txt"));
  EXPECT_FALSE(fManager.Delete("/game/new.txt"));
  EXPECT_FALSE(fManager.Create("/nowhere/new.txt"));
  // Resizing a mapped file updates its record.
  ASSERT_TRUE(fManager.Open("/game/sub/deep.iff", true)->SetSize(2));
  for (const auto& mapped : fManager.MappedFiles())
    EXPECT_TRUE(mapped.path != "/game/sub/deep.iff" || mapped.size == 2);
}

TEST_F(ManagerTest, DumpMappingListsEveryRecord) {
  ASSERT_TRUE(fManager.MapFAR("/game/b.far"));
  std::ostringstream out;
  fManager.DumpMapping(out);
  EXPECT_EQ(out.str(),
            "CTGFileManager::DumpMapping--------------------------------------------\n"
            "0:Dir [/game] is at:/game/b.far size:0 offset:0\n"
            "1:File [/game/loose.txt] is at:/game/b.far size:33 offset:43\n"
            "2:Dir [/game/objects] is at:/game/b.far size:0 offset:0\n"
            "3:File [/game/objects/lamp.iff] is at:/game/b.far size:4 offset:39\n"
            "4:File [/game/readme.txt] is at:/game/b.far size:23 offset:16\n");
}

TEST_F(ManagerTest, ExtractingWritesEveryMemberOfAnArchive) {
  ASSERT_TRUE(fManager.MapDirectory("/game"));
  std::ostringstream log;
  ASSERT_TRUE(fManager.Extracting("/game/a.far", "/out", log));
  EXPECT_EQ(fFiles.Contents("/out/objects/chair.iff"), Bytes({'c', 'h', 'a', 'i', 'r', ' ', 'b', 'y', 't', 'e', 's'}));
  EXPECT_EQ(fFiles.Contents("/out/objects/table.iff")->size(), 5u);
  EXPECT_EQ(fFiles.Contents("/out/readme.txt")->size(), 22u);
  EXPECT_EQ(log.str().substr(0, 27), "CTGFileManager::Extracting-");
  EXPECT_NE(log.str().find("/game/readme.txt -> /out/readme.txt (22 bytes)\n"), std::string::npos);
  // b.far lost readme.txt and loose.txt to earlier registrations.
  ASSERT_TRUE(fManager.Extracting("/game/b.far", "/out2", log));
  EXPECT_TRUE(fFiles.Contents("/out2/objects/lamp.iff"));
  EXPECT_FALSE(fFiles.Contents("/out2/readme.txt"));
  EXPECT_FALSE(fManager.Extracting("/game/none.far", "/out3", log));
}

TEST_F(ManagerTest, ExtractingNeverWritesOverItsArchive) {
  FarWriter writer;
  writer.Add("self.far", "would overwrite the archive");
  writer.Add("other.txt", "fine");
  fFiles.AddFile("/x/self.far", writer.Build());
  ASSERT_TRUE(fManager.MapFAR("/x/self.far"));
  std::ostringstream log;
  EXPECT_FALSE(fManager.Extracting("/x/self.far", "/x", log));
  EXPECT_EQ(*fFiles.Contents("/x/self.far"), writer.Build());
  EXPECT_TRUE(fFiles.Contents("/x/other.txt"));
}

// On disk: a directory that links to itself must not trap the walk, and a
// FIFO must neither block nor count as a file.
TEST(ManagerOnDisk, LinksAndSpecialFilesAreLeftAlone) {
  testing::TempDir dir;
  dir.Write("tree/a.txt", "a");
  std::filesystem::create_directory_symlink(dir.Path() / "tree", dir.Path() / "tree" / "loop");
  std::filesystem::create_symlink(dir.Path() / "tree" / "a.txt", dir.Path() / "tree" / "link.txt");
  ASSERT_EQ(mkfifo(dir.File("tree/fifo").c_str(), 0600), 0);
  CTGFileManager manager;
  ASSERT_TRUE(manager.MapDirectory(dir.File("tree")));
  std::vector<std::string> names;
  for (const auto& file : manager.MappedFiles()) names.push_back(file.path.substr(file.path.rfind('/') + 1));
  EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "link.txt"}));
  EXPECT_FALSE(manager.Exists(dir.File("tree/fifo")));
  EXPECT_EQ(manager.Open(dir.File("tree/fifo"), false), nullptr);
  EXPECT_EQ(manager.Open(dir.File("tree/fifo"), true), nullptr);
}

std::string MemberName(int i) {
  std::string name = "m";
  name.append(std::to_string(i));
  return name;
}

// Members of one archive share its descriptor; threads reading different
// members at once must each get their own bytes.
// A file is never made through a link, dangling or not, nor over one; and a
// file no one may write opens for reading only, whoever asks.
TEST(ManagerOnDisk, CreateNeverFollowsALinkAndReadOnlyFilesStaySo) {
  testing::TempDir dir;
  std::filesystem::create_symlink(dir.File("elsewhere.iff"), dir.File("dangling.iff"));
  dir.Write("target.iff", "kept");
  std::filesystem::create_symlink(dir.File("target.iff"), dir.File("linked.iff"));
  CTGFileManager manager;
  for (const char* name : {"dangling.iff", "linked.iff"}) {
    int failure = 0;
    EXPECT_FALSE(manager.Create(dir.File(name), &failure)) << name;
    EXPECT_EQ(failure, EEXIST) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("elsewhere.iff")));
  EXPECT_EQ(testing::ReadAll(dir.File("target.iff")).size(), 4u);

  std::filesystem::permissions(dir.File("target.iff"), std::filesystem::perms::owner_read);
  int failure = 0;
  EXPECT_EQ(manager.Open(dir.File("target.iff"), true, &failure), nullptr);
  EXPECT_EQ(failure, EACCES);
  EXPECT_NE(manager.Open(dir.File("target.iff"), false), nullptr);
}

TEST(ManagerThreads, ConcurrentMemberReadsGetTheirOwnBytes) {
  testing::TempDir dir;
  FarWriter writer;
  std::vector<std::string> texts;
  for (int i = 0; i < 4; ++i) {
    texts.emplace_back(20000 + i * 997, static_cast<char>('a' + i));
    for (std::size_t j = 0; j < texts.back().size(); j += 101) texts.back()[j] = static_cast<char>('0' + j % 10);
    writer.Add(MemberName(i), texts.back());
  }
  ASSERT_TRUE(writer.Save(dir.File("t.far")));
  CTGFileManager manager;
  ASSERT_TRUE(manager.MapFAR(dir.File("t.far")));
  std::vector<int> mismatches(4, 0);
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&, i] {
      for (int round = 0; round < 20; ++round) {
        std::unique_ptr<CTGFile> file = manager.Open(dir.File(MemberName(i)), false);
        std::string seen;
        char c;
        while (file && file->Read(&c, 1) == 1) seen += c;
        if (seen != texts[i]) ++mismatches[i];
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace pixmold
