// Archives are untrusted input: every malformed field must be reported, never
// crash or loop; a bad header maps nothing, a bad entry costs only itself and,
// when the directory cannot be read on, the entries after it.
#include "filelib/far_format.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/report.h"
#include "filelib/ctg_file_manager.h"
#include "filelib/far_writer.h"
#include "filelib/memory_file_system.h"

namespace pixmold {
namespace {

using Bytes = std::vector<unsigned char>;

void PatchU32(Bytes& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<unsigned char>(value >> (8 * i));
}

std::uint32_t DirectoryOffset(const Bytes& bytes) {
  return bytes[12] | (bytes[13] << 8) | (bytes[14] << 16) | (static_cast<std::uint32_t>(bytes[15]) << 24);
}

// Two members: "a.txt" = "alpha", "sub/b.txt" = "bravo!".
Bytes TwoMembers() {
  FarWriter writer;
  writer.Add("a.txt", "alpha");
  writer.Add("sub\\b.txt", "bravo!");
  return writer.Build();
}

class FarFormatTest : public ::testing::Test {
 protected:
  // Maps bytes as /mem/test.far; returns the outcome and keeps the reason.
  bool Map(const Bytes& bytes) {
    fFiles.AddFile("/mem/test.far", bytes);
    fError.clear();
    return fManager.MapFAR("/mem/test.far", &fError);
  }

  MemoryFileSystem fFiles;
  CTGFileManager fManager{fFiles};
  std::string fError;
  std::ostringstream fReport;
  ScopedReportTarget fTarget{ReportTarget{&fReport, nullptr, nullptr, nullptr}};
};

// Each case spoils one field of a good archive; `mapped` lists the members
// that must still be there.
TEST_F(FarFormatTest, MalformedFieldsAreReportedAndCostOnlyWhatTheyDamage) {
  using Members = std::vector<std::string>;
  const Members none;
  const Members both = {"/mem/a.txt", "/mem/sub/b.txt"};
  const Members first = {"/mem/a.txt"};
  const Members second = {"/mem/sub/b.txt"};
  struct Case {
    const char* name;
    void (*spoil)(Bytes&);
    const char* reason;
    bool mapped;  // what MapFAR answers
    const Members& members;
  };
  const Case cases[] = {
      {"magic", [](Bytes& b) { b[7] = 'x'; }, "does not start with \"FAR!byQX\"", false, none},
      {"version 0", [](Bytes& b) { PatchU32(b, 8, 0); }, "archive version 0 is not supported", false, none},
      {"version 2", [](Bytes& b) { PatchU32(b, 8, 2); }, "archive version 2 is not supported", false, none},
      {"count 0", [](Bytes& b) { PatchU32(b, DirectoryOffset(b), 0); }, "entry count 0 out of range", false, none},
      {"count 500000", [](Bytes& b) { PatchU32(b, DirectoryOffset(b), 500000); }, "entry count 500000 out of range",
       false, none},
      {"count max", [](Bytes& b) { PatchU32(b, DirectoryOffset(b), 0xFFFFFFFF); }, "out of range", false, none},
      {"count beyond the file", [](Bytes& b) { PatchU32(b, DirectoryOffset(b), 499999); }, "cut short at entry 2",
       false, both},
      {"count one too many", [](Bytes& b) { PatchU32(b, DirectoryOffset(b), 3); }, "cut short at entry 2", false, both},
      {"directory offset", [](Bytes& b) { PatchU32(b, 12, static_cast<std::uint32_t>(b.size())); },
       "lies outside the archive", false, none},
      {"directory offset max", [](Bytes& b) { PatchU32(b, 12, 0xFFFFFFFF); }, "lies outside the archive", false, none},
      {"member offset", [](Bytes& b) { PatchU32(b, DirectoryOffset(b) + 12, static_cast<std::uint32_t>(b.size())); },
       "entry 0 \"a.txt\" skipped", true, second},
      {"member size", [](Bytes& b) { PatchU32(b, DirectoryOffset(b) + 4, 0xFFFFFFFF); }, "lie outside the archive",
       true, second},
      {"member offset wraps", [](Bytes& b) { PatchU32(b, DirectoryOffset(b) + 12, 0xFFFFFFF0); },
       "lie outside the archive", true, second},
      {"name length 2047", [](Bytes& b) { PatchU32(b, DirectoryOffset(b) + 16, 2047); }, "a name of 2047 bytes", false,
       none},
      {"name length past the end", [](Bytes& b) { PatchU32(b, DirectoryOffset(b) + 16, 2000); }, "cut short", false,
       none},
      {"empty last name", [](Bytes& b) { PatchU32(b, DirectoryOffset(b) + 37, 0); }, "entry 1 \"\" skipped", true,
       first},
      {"name climbs out", [](Bytes& b) { std::copy_n("../a.", 5, b.begin() + DirectoryOffset(b) + 20); },
       "entry 0 \"../a.\" skipped: not a relative path", true, second},
      {"absolute name", [](Bytes& b) { b[DirectoryOffset(b) + 20] = '/'; }, "entry 0 \"/.txt\" skipped", true, second},
      {"name with a zero byte", [](Bytes& b) { b[DirectoryOffset(b) + 21] = 0; }, "entry 0 \"a\\x00txt\" skipped", true,
       second},
      {"second name climbs out", [](Bytes& b) { std::copy_n("../b", 4, b.end() - 9); }, "entry 1 \"../bb.txt\" skipped",
       true, first},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryFileSystem files;
    CTGFileManager manager(files);
    Bytes bytes = TwoMembers();
    c.spoil(bytes);
    files.AddFile("/mem/test.far", bytes);
    std::string error;
    fReport.str("");
    EXPECT_EQ(manager.MapFAR("/mem/test.far", &error), c.mapped);
    EXPECT_NE(fReport.str().find(c.reason), std::string::npos) << fReport.str();
    EXPECT_EQ(fReport.str().rfind("file: /mem/test.far \nwarning: ", 0), 0u) << fReport.str();
    Members members;
    for (const auto& mapped : manager.MappedFiles()) members.push_back(mapped.path);
    EXPECT_EQ(members, c.members);
    for (const std::string& member : c.members) {
      std::unique_ptr<CTGFile> file = manager.Open(member, false);
      ASSERT_TRUE(file) << member;
      EXPECT_EQ(file->Size(), member == "/mem/a.txt" ? 5 : 6);
    }
    // Once the header is good the archive is recorded, whatever came after.
    const bool recorded = !c.members.empty() || std::string_view(c.name).starts_with("name length");
    EXPECT_EQ(manager.MapFAR("/mem/test.far", &error), false);
    EXPECT_EQ(error == "archive is mapped already", recorded) << error;
  }
}

TEST_F(FarFormatTest, TheLargestNameAndEntryCountAreAccepted) {
  FarWriter writer;
  std::string longName(2046, 'n');
  ASSERT_TRUE(writer.Add(longName, "x"));
  EXPECT_FALSE(writer.Add(std::string(2047, 'n'), "x"));
  ASSERT_TRUE(Map(writer.Build())) << fError;
  EXPECT_TRUE(fManager.IsArchiveMember("/mem/" + longName));
}

TEST_F(FarFormatTest, MembersMayOverlapAndBeEmpty) {
  Bytes bytes = TwoMembers();
  std::uint32_t dir = DirectoryOffset(bytes);
  PatchU32(bytes, dir + 4, 16);  // a.txt: the whole header
  PatchU32(bytes, dir + 12, 0);
  PatchU32(bytes, dir + 4 + 16 + 5, 0);  // sub/b.txt: empty
  ASSERT_TRUE(Map(bytes)) << fError;
  std::unique_ptr<CTGFile> file = fManager.Open("/mem/a.txt", false);
  ASSERT_TRUE(file);
  unsigned char head[16];
  EXPECT_TRUE(file->ReadBytes(head));
  EXPECT_EQ(std::string(head, head + 8), "FAR!byQX");
  file = fManager.Open("/mem/sub/b.txt", false);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->Size(), 0);
  EXPECT_EQ(file->Read(head, 1), 0);
}

// Cut at every length, an archive maps the members whose entries are whole
// (and whose bytes lie inside what is left), and only a whole one maps
// without complaint.
TEST_F(FarFormatTest, EveryTruncationKeepsTheMembersBeforeTheCut) {
  Bytes full = TwoMembers();
  const std::uint32_t directory = DirectoryOffset(full);
  const std::size_t firstEntryEnd = directory + 4 + 16 + 5;
  for (std::size_t length = 0; length < full.size(); ++length) {
    SCOPED_TRACE(length);
    MemoryFileSystem files;
    CTGFileManager manager(files);
    files.AddFile("/mem/test.far", std::span(full.data(), length));
    EXPECT_FALSE(manager.MapFAR("/mem/test.far"));
    std::vector<std::string> members;
    for (const auto& mapped : manager.MappedFiles()) members.push_back(mapped.path);
    EXPECT_EQ(members, length >= firstEntryEnd ? std::vector<std::string>{"/mem/a.txt"} : std::vector<std::string>{});
  }
  ASSERT_TRUE(Map(full));
}

TEST(CleanMemberName, KeepsRelativePathsBelowTheArchive) {
  struct Case {
    std::string name;
    std::string clean;
  };
  const Case cases[] = {
      {"a.iff", "a.iff"},
      {"sub\\b.iff", "sub/b.iff"},
      {"sub//./b.iff", "sub/b.iff"},
      {"sub/b.iff/", "sub/b.iff"},
      {"", ""},
      {".", ""},
      {"/etc/passwd", ""},
      {"\\x", ""},
      {"../x", ""},
      {"a/../../x", ""},
      {"a/..", ""},
      {std::string("a\0b", 3), ""},
      {"..x/y..", "..x/y.."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CleanMemberName(c.name), c.clean) << c.name;
  }
}

}  // namespace
}  // namespace pixmold
