#include "resfile/flat_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "filelib/ctg_file_manager.h"
#include "filelib/far_writer.h"
#include "filelib/io_faults.h"
#include "support/assert_capture.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

using testing::AssertCapture;
using testing::ReadAll;
using testing::TempDir;

std::vector<unsigned char> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

std::string ReadText(FlatFile& file, std::int32_t count) {
  std::string text(static_cast<std::size_t>(count), '\0');
  EXPECT_EQ(file.Read(text.data(), count), res_error::kNone);
  return text;
}

TEST(FlatFile, OpenReadsWritesAndReportsTheName) {
  TempDir dir;
  std::string path = dir.Write("a.bin", "hello world");
  FlatFile file;
  EXPECT_FALSE(file.ValidFile());
  ASSERT_EQ(file.Open(path), res_error::kNone);
  EXPECT_TRUE(file.ValidFile());
  EXPECT_TRUE(file.IsWritable());
  std::int32_t size = 0;
  EXPECT_EQ(file.GetSize(size), res_error::kNone);
  EXPECT_EQ(size, 11);
  EXPECT_EQ(ReadText(file, 5), "hello");
  std::int32_t position = 0;
  EXPECT_EQ(file.GetPosition(position), res_error::kNone);
  EXPECT_EQ(position, 5);
  EXPECT_EQ(file.Write(" WORLD!", 7), res_error::kNone);
  EXPECT_EQ(file.GetSize(size), res_error::kNone);
  EXPECT_EQ(size, 12);
  CTGString name;
  EXPECT_EQ(file.GetName(name), res_error::kNone);
  EXPECT_EQ(name.Str(), path);
  EXPECT_EQ(file.Close(), res_error::kNone);
  EXPECT_FALSE(file.ValidFile());
  EXPECT_EQ(ReadAll(path), Bytes("hello WORLD!"));
}

TEST(FlatFile, OpenFailsOnMissingFilesDirectoriesAndSecondOpens) {
  TempDir dir;
  std::string path = dir.Write("a.bin", "x");
  FlatFile file;
  EXPECT_EQ(file.Open(dir.File("missing.bin")), res_error::kOpenFailed);
  EXPECT_EQ(file.Open(dir.Path().string()), res_error::kOpenFailed);
  ASSERT_EQ(file.Open(path), res_error::kNone);
  EXPECT_EQ(file.Open(path), res_error::kAlreadyOpen);
  EXPECT_TRUE(file.ValidFile());
}

TEST(FlatFile, FallsBackToReadOnlyWhenTheWritableOpenFails) {
  TempDir dir;
  std::string path = dir.Write("a.bin", "abc");
  IoFaults faults;
  faults.FailNth(IoOp::kOpen, 1);
  FlatFile file;
  ASSERT_EQ(file.Open(path), res_error::kNone);
  EXPECT_TRUE(faults.Fired());
  EXPECT_FALSE(file.IsWritable());
  EXPECT_EQ(file.Write("z", 1), res_error::kShortWrite);
  EXPECT_EQ(file.SetSize(1), res_error::kOpenFailed);
  EXPECT_EQ(ReadText(file, 3), "abc");
  file.Close();
  EXPECT_EQ(ReadAll(path), Bytes("abc"));
}

TEST(FlatFile, ReadPastTheEndReturnsShortReadWithTheBytesThatWereThere) {
  TempDir dir;
  FlatFile file;
  ASSERT_EQ(file.Open(dir.Write("a.bin", "abcd")), res_error::kNone);
  ASSERT_EQ(file.Seek(2), res_error::kNone);
  char buffer[8] = {};
  EXPECT_EQ(file.Read(buffer, 8), res_error::kShortRead);
  EXPECT_EQ(std::string(buffer, 2), "cd");
  EXPECT_EQ(file.Read(buffer, 1), res_error::kShortRead);
  EXPECT_EQ(file.Read(buffer, 0), res_error::kNone);
  EXPECT_EQ(file.Read(buffer, -1), res_error::kShortRead);
}

TEST(FlatFile, SeekAcceptsTheEndAndRefusesBeyondIt) {
  TempDir dir;
  FlatFile file;
  ASSERT_EQ(file.Open(dir.Write("a.bin", "abcd")), res_error::kNone);
  EXPECT_EQ(file.Seek(4), res_error::kNone);
  EXPECT_EQ(file.Seek(5), res_error::kShortRead);
  EXPECT_EQ(file.Seek(-1), res_error::kShortRead);
  EXPECT_EQ(file.Seek(1), res_error::kNone);
  EXPECT_EQ(ReadText(file, 1), "b");
}

TEST(FlatFile, SetSizeTruncatesOrExtendsAndMovesToTheEnd) {
  TempDir dir;
  std::string path = dir.Write("a.bin", "abcdef");
  FlatFile file;
  ASSERT_EQ(file.Open(path), res_error::kNone);
  ASSERT_EQ(file.SetSize(3), res_error::kNone);
  std::int32_t value = 0;
  file.GetSize(value);
  EXPECT_EQ(value, 3);
  file.GetPosition(value);
  EXPECT_EQ(value, 3);
  ASSERT_EQ(file.SetSize(5), res_error::kNone);
  EXPECT_EQ(file.Write("!", 1), res_error::kNone);
  EXPECT_EQ(file.SetSize(-1), res_error::kOpenFailed);
  file.Close();
  EXPECT_EQ(ReadAll(path), (std::vector<unsigned char>{'a', 'b', 'c', 0, 0, '!'}));
}

// Byte-at-a-time reads come from the cache; a write in between must not leave
// stale cached bytes behind.
TEST(FlatFile, SmallReadsSeeEarlierWrites) {
  TempDir dir;
  std::string text(10000, '\0');
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
  FlatFile file;
  ASSERT_EQ(file.Open(dir.Write("a.bin", text)), res_error::kNone);
  std::string seen;
  char c;
  while (file.Read(&c, 1) == res_error::kNone) seen += c;
  EXPECT_EQ(seen, text);
  ASSERT_EQ(file.Seek(4095), res_error::kNone);
  EXPECT_EQ(ReadText(file, 2), text.substr(4095, 2));
  ASSERT_EQ(file.Seek(4096), res_error::kNone);
  ASSERT_EQ(file.Write("XY", 2), res_error::kNone);
  ASSERT_EQ(file.Seek(4094), res_error::kNone);
  EXPECT_EQ(ReadText(file, 5), text.substr(4094, 2) + "XY" + text.substr(4098, 1));
  ASSERT_EQ(file.Seek(0), res_error::kNone);
  std::vector<unsigned char> all(10000);
  ASSERT_EQ(file.Read(all), res_error::kNone);
  EXPECT_EQ(all[4096], 'X');
  EXPECT_EQ(all[9999], static_cast<unsigned char>(text[9999]));
}

TEST(FlatFile, CreateMakesAnEmptyClosedFileAndKeepsAnExistingOne) {
  TempDir dir;
  std::string existing = dir.Write("a.bin", "keep");
  FlatFile file;
  EXPECT_EQ(file.Create(existing), res_error::kCreateExists);
  EXPECT_EQ(ReadAll(existing), Bytes("keep"));
  std::string fresh = dir.File("b.bin");
  EXPECT_EQ(file.Create(fresh), res_error::kNone);
  EXPECT_FALSE(file.ValidFile());
  EXPECT_TRUE(std::filesystem::exists(fresh));
  EXPECT_EQ(std::filesystem::file_size(fresh), 0u);
  EXPECT_EQ(file.Create(dir.File("no/such/dir/c.bin")), res_error::kCannotCreate);
  ASSERT_EQ(file.Open(existing), res_error::kNone);
  EXPECT_EQ(file.Create(dir.File("d.bin")), res_error::kAlreadyOpen);
  EXPECT_FALSE(std::filesystem::exists(dir.File("d.bin")));
}

TEST(FlatFile, DeleteRemovesAndReportsMissingOrStuckFiles) {
  TempDir dir;
  std::string path = dir.Write("a.bin", "x");
  FlatFile file;
  EXPECT_EQ(file.Delete(dir.File("missing.bin")), res_error::kDeleteMissing);
  {
    IoFaults faults;
    faults.FailNth(IoOp::kRemove, 1);
    EXPECT_EQ(file.Delete(path), res_error::kCannotDelete);
  }
  EXPECT_TRUE(std::filesystem::exists(path));
  ASSERT_EQ(file.Open(path), res_error::kNone);
  EXPECT_EQ(file.Delete(path), res_error::kAlreadyOpen);
  file.Close();
  EXPECT_EQ(file.Delete(path), res_error::kNone);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(FlatFile, BackslashesSeparateToo) {
  TempDir dir;
  dir.Write("sub/a.bin", "abc");
  FlatFile file;
  std::string path = dir.Path().string() + "\\sub\\a.bin";
  ASSERT_EQ(file.Open(path), res_error::kNone);
  EXPECT_EQ(ReadText(file, 3), "abc");
}

// Every operation on a closed file answers -49; Read, Seek and Close also
// report the misuse with the texts the layer defines.
TEST(FlatFile, OperationsOnAClosedFile) {
  struct Case {
    const char* name;
    std::function<ResErr(FlatFile&)> call;
    const char* report;  // null when nothing is reported
  };
  char buffer[4];
  std::int32_t value = 0;
  CTGString name;
  const Case cases[] = {
      {"Close", [](FlatFile& f) { return f.Close(); }, "(ValidFile()) closing an unopened file"},
      {"Read", [&](FlatFile& f) { return f.Read(buffer, 4); }, "(fFile) No CTGFile present"},
      {"Seek", [](FlatFile& f) { return f.Seek(0); }, "(fFile) No CTGFile present"},
      {"Write", [&](FlatFile& f) { return f.Write(buffer, 4); }, nullptr},
      {"GetSize", [&](FlatFile& f) { return f.GetSize(value); }, nullptr},
      {"GetPosition", [&](FlatFile& f) { return f.GetPosition(value); }, nullptr},
      {"SetSize", [](FlatFile& f) { return f.SetSize(0); }, nullptr},
      {"Flush", [](FlatFile& f) { return f.Flush(); }, nullptr},
      {"Sync", [](FlatFile& f) { return f.Sync(); }, nullptr},
      {"GetName", [&](FlatFile& f) { return f.GetName(name); }, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AssertCapture capture;
    FlatFile file;
    EXPECT_EQ(c.call(file), res_error::kNotOpen);
    if (c.report) {
      ASSERT_EQ(capture.Count(), 1u);
      EXPECT_TRUE(capture.Saw(c.report)) << capture.Reports()[0];
      EXPECT_TRUE(capture.Saw("XASSERT failure in file ")) << capture.Reports()[0];
    } else {
      EXPECT_EQ(capture.Count(), 0u);
    }
  }
}

// Injected failures of each call surface as the code the layer defines.
TEST(FlatFile, FailedCallsBecomeErrorCodes) {
  struct Case {
    const char* name;
    IoOp op;
    std::function<ResErr(FlatFile&)> call;
    ResErr expected;
  };
  const Case cases[] = {
      {"write", IoOp::kWrite, [](FlatFile& f) { return f.Write("zz", 2); }, res_error::kShortWrite},
      {"read", IoOp::kRead,
       [](FlatFile& f) {
         char b[2];
         return f.Read(b, 2);
       },
       res_error::kShortRead},
      {"seek", IoOp::kSeek, [](FlatFile& f) { return f.Seek(1); }, res_error::kShortRead},
      {"truncate", IoOp::kTruncate, [](FlatFile& f) { return f.SetSize(1); }, res_error::kOpenFailed},
      {"flush", IoOp::kFlush, [](FlatFile& f) { return f.Flush(); }, res_error::kOpenFailed},
      {"sync", IoOp::kSync, [](FlatFile& f) { return f.Sync(); }, res_error::kOpenFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::string path = dir.Write("a.bin", "abcd");
    FlatFile file;
    ASSERT_EQ(file.Open(path), res_error::kNone);
    {
      IoFaults faults;
      faults.FailNth(c.op, 1);
      EXPECT_EQ(c.call(file), c.expected);
      EXPECT_TRUE(faults.Fired());
      EXPECT_EQ(c.call(file), res_error::kNone);  // only the first call fails
    }
    file.Close();
  }
  TempDir dir;
  std::string path = dir.Write("a.bin", "abcd");
  FlatFile file;
  ASSERT_EQ(file.Open(path), res_error::kNone);
  IoFaults faults;
  faults.FailNth(IoOp::kWrite, 1);
  EXPECT_EQ(file.Write("zz", 2), res_error::kShortWrite);
  file.Close();
  EXPECT_EQ(ReadAll(path), Bytes("abcd"));
}

TEST(FlatFile, ATornWriteIsAShortWrite) {
  TempDir dir;
  std::string path = dir.Write("a.bin", "");
  FlatFile file;
  ASSERT_EQ(file.Open(path), res_error::kNone);
  IoFaults faults;
  faults.TearFailedWrites(true);
  faults.FailNth(IoOp::kWrite, 1);
  EXPECT_EQ(file.Write("abcdef", 6), res_error::kShortWrite);
  std::int32_t value = 0;
  file.GetPosition(value);
  EXPECT_EQ(value, 3);
  file.Close();
  EXPECT_EQ(ReadAll(path), Bytes("abc"));
}

// Counts are signed 32-bit: larger files do not open, and a write may not
// carry a file past 2 GiB. Sparse files cost no disk space.
TEST(FlatFile, FilesStayBelowTwoGibibytes) {
  TempDir dir;
  std::string big = dir.File("big.bin");
  std::string edge = dir.File("edge.bin");
  {
    std::ofstream(big).close();
    std::ofstream(edge).close();
  }
  std::filesystem::resize_file(big, std::int64_t{3} << 30);
  std::filesystem::resize_file(edge, 0x7FFFFFFE);
  FlatFile file;
  EXPECT_EQ(file.Open(big), res_error::kOpenFailed);
  ASSERT_EQ(file.Open(edge), res_error::kNone);
  ASSERT_EQ(file.Seek(0x7FFFFFFE), res_error::kNone);
  EXPECT_EQ(file.Write("ab", 2), res_error::kShortWrite);
  EXPECT_EQ(file.Write("a", 1), res_error::kNone);
  std::int32_t size = 0;
  file.GetSize(size);
  EXPECT_EQ(size, 0x7FFFFFFF);
}

TEST(FlatFile, AnArchiveMemberOpensReadOnly) {
  TempDir dir;
  FarWriter writer;
  ASSERT_TRUE(writer.Add("art/chair.omk", "<sprite name=\"chair\">"));
  ASSERT_TRUE(writer.Add("art/table.omk", "table"));
  std::string archive = dir.File("objects.far");
  ASSERT_TRUE(writer.Save(archive));
  CTGFileManager manager;
  ASSERT_TRUE(manager.MapFAR(archive));
  std::string member = dir.File("art/chair.omk");
  FlatFile file(manager);
  ASSERT_EQ(file.Open(member), res_error::kNone);
  EXPECT_FALSE(file.IsWritable());
  std::int32_t size = 0;
  file.GetSize(size);
  EXPECT_EQ(size, 21);
  EXPECT_EQ(ReadText(file, 21), "<sprite name=\"chair\">");
  char c;
  EXPECT_EQ(file.Read(&c, 1), res_error::kShortRead);
  EXPECT_EQ(file.Write("x", 1), res_error::kShortWrite);
  EXPECT_EQ(file.SetSize(0), res_error::kOpenFailed);
  EXPECT_EQ(file.Flush(), res_error::kNone);
  file.Close();
  EXPECT_EQ(file.Create(member), res_error::kCreateExists);
  EXPECT_EQ(file.Delete(member), res_error::kCannotDelete);
  EXPECT_EQ(ReadAll(archive), writer.Build());
}

}  // namespace
}  // namespace pixmold
