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

using namespace testing;
using Call = std::function<ResErr(FlatFile&)>;
using Codes = std::vector<ResErr>;

std::vector<unsigned char> TextBytes(std::string_view text) { return {text.begin(), text.end()}; }

std::string ReadText(FlatFile& file, std::int32_t count) {
  std::string text(static_cast<std::size_t>(count), '\0');
  EXPECT_EQ(file.Read(text.data(), count), res_error::kNone);
  return text;
}

std::int32_t SizeOf(FlatFile& file) {
  std::int32_t size = -1;
  file.GetSize(size);
  return size;
}

std::int32_t PositionOf(FlatFile& file) {
  std::int32_t position = -1;
  file.GetPosition(position);
  return position;
}

TEST(FlatFile, ReadsWritesSeeksAndSizes) {
  TempDir dir;
  std::string path = dir.Write("sub/a.bin", "hello world");
  FlatFile file;
  ASSERT_EQ(file.Open(dir.Path().string() + "\\sub\\a.bin"), res_error::kNone) << "backslashes separate too";
  EXPECT_TRUE(file.IsWritable());
  EXPECT_EQ(ReadText(file, 5), "hello");
  EXPECT_EQ(file.Write(" WORLD!", 7), res_error::kNone);
  EXPECT_EQ(SizeOf(file), 12);
  char buffer[8] = {};
  ASSERT_EQ(file.Seek(10), res_error::kNone);
  EXPECT_EQ(file.Read(buffer, 8), res_error::kShortRead);
  EXPECT_EQ(std::string(buffer, 2), "D!") << "a short read keeps the bytes that were there";
  EXPECT_EQ(
      Codes({file.Read(buffer, 0), file.Read(buffer, -1), file.Seek(12), file.Seek(13), file.Seek(-1)}),
      Codes({res_error::kNone, res_error::kShortRead, res_error::kNone, res_error::kShortRead, res_error::kShortRead}));
  ASSERT_EQ(file.SetSize(3), res_error::kNone);
  EXPECT_EQ(PositionOf(file), 3) << "resizing moves to the end";
  EXPECT_EQ(Codes({file.SetSize(5), file.Write("!", 1), file.SetSize(-1)}),
            Codes({res_error::kNone, res_error::kNone, res_error::kOpenFailed}));
  EXPECT_EQ(file.Close(), res_error::kNone);
  EXPECT_FALSE(file.ValidFile());
  EXPECT_EQ(ReadAll(path), (std::vector<unsigned char>{'h', 'e', 'l', 0, 0, '!'}));
}

TEST(FlatFile, OpenCreateAndDeleteCodes) {
  TempDir dir;
  std::string path = dir.Write("a.bin", "keep");
  FlatFile file;
  EXPECT_EQ(Codes({file.Open(dir.File("missing.bin")), file.Open(dir.Path().string()), file.Create(path),
                   file.Create(dir.File("no/such/dir/c.bin")), file.Create(dir.File("b.bin")),
                   file.Delete(dir.File("missing.bin"))}),
            Codes({res_error::kOpenFailed, res_error::kOpenFailed, res_error::kCreateExists, res_error::kCannotCreate,
                   res_error::kNone, res_error::kDeleteMissing}));
  EXPECT_FALSE(file.ValidFile()) << "a created file is left closed";
  EXPECT_EQ(std::filesystem::file_size(dir.File("b.bin")), 0u);
  {
    IoFaults faults;
    faults.FailNth(IoOp::kRemove, 1);
    EXPECT_EQ(file.Delete(path), res_error::kCannotDelete);
  }
  ASSERT_EQ(file.Open(path), res_error::kNone);
  EXPECT_EQ(Codes({file.Open(path), file.Create(dir.File("d.bin")), file.Delete(path)}),
            Codes(3, res_error::kAlreadyOpen));
  EXPECT_FALSE(std::filesystem::exists(dir.File("d.bin")));
  file.Close();
  EXPECT_EQ(ReadAll(path), TextBytes("keep"));
  EXPECT_EQ(file.Delete(path), res_error::kNone);
  EXPECT_FALSE(std::filesystem::exists(path));
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
  EXPECT_EQ(Codes({file.Write("z", 1), file.SetSize(1)}), Codes({res_error::kShortWrite, res_error::kOpenFailed}));
  EXPECT_EQ(ReadText(file, 3), "abc");
  file.Close();
  EXPECT_EQ(ReadAll(path), TextBytes("abc"));
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
}

// Every operation on a closed file answers -49; Read, Seek and Close also
// report the misuse with the texts the layer defines.
TEST(FlatFile, OperationsOnAClosedFile) {
  char buffer[4];
  std::int32_t value = 0;
  CTGString name;
  const std::pair<Call, const char*> cases[] = {
      {[](FlatFile& f) { return f.Close(); }, "(ValidFile()) closing an unopened file"},
      {[&](FlatFile& f) { return f.Read(buffer, 4); }, "(fFile) No CTGFile present"},
      {[](FlatFile& f) { return f.Seek(0); }, "(fFile) No CTGFile present"},
      {[&](FlatFile& f) { return f.Write(buffer, 4); }, nullptr},
      {[&](FlatFile& f) { return f.GetSize(value); }, nullptr},
      {[&](FlatFile& f) { return f.GetPosition(value); }, nullptr},
      {[](FlatFile& f) { return f.SetSize(0); }, nullptr},
      {[](FlatFile& f) { return f.Flush(); }, nullptr},
      {[](FlatFile& f) { return f.Sync(); }, nullptr},
      {[&](FlatFile& f) { return f.GetName(name); }, nullptr},
  };
  for (const auto& [call, report] : cases) {
    SCOPED_TRACE(report ? report : "silent");
    AssertCapture capture;
    FlatFile file;
    EXPECT_EQ(call(file), res_error::kNotOpen);
    EXPECT_EQ(capture.Count(), report ? 1u : 0u);
    if (report) {
      EXPECT_TRUE(capture.Saw(report));
      EXPECT_TRUE(capture.Saw("XASSERT failure in file "));
    }
  }
}

// Injected failures of each call surface as the code the layer defines.
TEST(FlatFile, FailedCallsBecomeErrorCodes) {
  struct Case {
    IoOp op;
    Call call;
    ResErr expected;
  };
  char b[2];
  const Case cases[] = {
      {IoOp::kWrite, [](FlatFile& f) { return f.Write("zz", 2); }, res_error::kShortWrite},
      {IoOp::kRead, [&](FlatFile& f) { return f.Read(b, 2); }, res_error::kShortRead},
      {IoOp::kSeek, [](FlatFile& f) { return f.Seek(1); }, res_error::kShortRead},
      {IoOp::kTruncate, [](FlatFile& f) { return f.SetSize(1); }, res_error::kOpenFailed},
      {IoOp::kFlush, [](FlatFile& f) { return f.Flush(); }, res_error::kOpenFailed},
      {IoOp::kSync, [](FlatFile& f) { return f.Sync(); }, res_error::kOpenFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.op));
    TempDir dir;
    FlatFile file;
    ASSERT_EQ(file.Open(dir.Write("a.bin", "abcd")), res_error::kNone);
    IoFaults faults;
    faults.FailNth(c.op, 1);
    EXPECT_EQ(c.call(file), c.expected);
    EXPECT_TRUE(faults.Fired());
    EXPECT_EQ(c.call(file), res_error::kNone) << "only the first call fails";
  }
  // A write torn halfway is a short write too, and moves past what landed.
  TempDir dir;
  std::string path = dir.Write("a.bin", "");
  FlatFile file;
  ASSERT_EQ(file.Open(path), res_error::kNone);
  IoFaults faults;
  faults.TearFailedWrites(true);
  faults.FailNth(IoOp::kWrite, 1);
  EXPECT_EQ(file.Write("abcdef", 6), res_error::kShortWrite);
  EXPECT_EQ(PositionOf(file), 3);
  file.Close();
  EXPECT_EQ(ReadAll(path), TextBytes("abc"));
}

// Counts are signed 32-bit: larger files do not open, and a write may not
// carry a file past 2 GiB. Sparse files cost no disk space.
TEST(FlatFile, FilesStayBelowTwoGibibytes) {
  TempDir dir;
  std::string big = dir.Write("big.bin", "");
  std::string edge = dir.Write("edge.bin", "");
  std::filesystem::resize_file(big, std::int64_t{3} << 30);
  std::filesystem::resize_file(edge, 0x7FFFFFFE);
  FlatFile file;
  EXPECT_EQ(
      Codes({file.Open(big), file.Open(edge), file.Seek(0x7FFFFFFE), file.Write("ab", 2), file.Write("a", 1)}),
      Codes({res_error::kOpenFailed, res_error::kNone, res_error::kNone, res_error::kShortWrite, res_error::kNone}));
  EXPECT_EQ(SizeOf(file), 0x7FFFFFFF);
}

TEST(FlatFile, AnArchiveMemberOpensReadOnly) {
  TempDir dir;
  FarWriter writer;
  ASSERT_TRUE(writer.Add("art/chair.omk", "<sprite>"));
  ASSERT_TRUE(writer.Add("art/table.omk", "table"));
  std::string archive = dir.File("objects.far");
  ASSERT_TRUE(writer.Save(archive));
  CTGFileManager manager;
  ASSERT_TRUE(manager.MapFAR(archive));
  std::string member = dir.File("art/chair.omk");
  FlatFile file(manager);
  ASSERT_EQ(file.Open(member), res_error::kNone);
  EXPECT_FALSE(file.IsWritable());
  EXPECT_EQ(SizeOf(file), 8);
  EXPECT_EQ(ReadText(file, 8), "<sprite>");
  char c;
  EXPECT_EQ(Codes({file.Read(&c, 1), file.Write("x", 1), file.SetSize(0), file.Flush(), file.Close(),
                   file.Create(member), file.Delete(member)}),
            Codes({res_error::kShortRead, res_error::kShortWrite, res_error::kOpenFailed, res_error::kNone,
                   res_error::kNone, res_error::kCreateExists, res_error::kCannotDelete}));
  EXPECT_EQ(ReadAll(archive), writer.Build());
}

}  // namespace
}  // namespace pixmold
