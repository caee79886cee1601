#include "markup/markup_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "filelib/ctg_file.h"
#include "filelib/io_faults.h"
#include "markup/flat_file_buffer.h"
#include "resfile/flat_file.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

std::string DumpOf(const TagList& tags) {
  std::ostringstream out;
  tags.Dump(out, true);
  return out.str();
}

// Reads the text as a markup file and dumps the tags with their lines.
std::string ReadAsFile(std::string_view text) {
  testing::TempDir dir;
  FlatFile file;
  EXPECT_EQ(file.Open(dir.Write("object.omk", text)), res_error::kNone);
  TagList tags;
  EXPECT_EQ(ReadMarkupFile(file, tags), res_error::kNone);
  EXPECT_TRUE(file.ValidFile());  // the caller's file stays open
  return DumpOf(tags);
}

TEST(MarkupFile, ReadsTagsWithLinesForEveryLineEnd) {
  const struct {
    const char* what;
    std::string text;
    const char* dump;
  } cases[] = {
      {"empty file", "", ""},
      {"no tag", "only text\n", ""},
      {"LF", "<a>\n<b\nx=1>", "<\n1: a\n>\n<\n2: b\n3: x=1\n>\n"},
      {"CR", "<a>\r<b\rx=1>", "<\n1: a\n>\n<\n2: b\n3: x=1\n>\n"},
      {"CR LF", "<a>\r\n<b\r\nx=1>", "<\n1: a\n>\n<\n2: b\n3: x=1\n>\n"},
      {"zero byte ends the file", std::string("<a>\n<b x=1\0 y=2>\n<c>", 20), "<\n1: a\n>\n<\n2: b\n2: x=1\n>\n"},
      {"tag open at the end", "<sprite id=4 name=\"Seat", "<\n1: sprite\n1: id=4\n1: name=Seat\n>\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadAsFile(c.text), c.dump) << c.what;
}

TEST(MarkupFile, ReadsFromTheStartWhateverThePosition) {
  testing::TempDir dir;
  FlatFile file;
  ASSERT_EQ(file.Open(dir.Write("object.omk", "<first><second>")), res_error::kNone);
  ASSERT_EQ(file.Seek(7), res_error::kNone);
  TagList tags;
  ReadMarkupFile(file, tags);
  EXPECT_EQ(DumpOf(tags), "<\n1: first\n>\n<\n1: second\n>\n");
}

TEST(MarkupFile, ReadErrorEndsTheTextWithoutFailing) {
  // The file layer reads ahead in blocks; the second block's read fails, so
  // the text ends in the middle of the second tag.
  std::string text = "<a x=1>";
  text.resize(CTGFile::kCacheSize - 2, ' ');
  text += "<b y=2>";
  testing::TempDir dir;
  FlatFile file;
  ASSERT_EQ(file.Open(dir.Write("object.omk", text)), res_error::kNone);
  IoFaults faults;
  faults.FailNth(IoOp::kRead, 2);
  TagList tags;
  EXPECT_EQ(ReadMarkupFile(file, tags), res_error::kNone);
  EXPECT_TRUE(faults.Fired());
  EXPECT_EQ(DumpOf(tags), "<\n1: a\n1: x=1\n>\n<\n1: b\n>\n");
}

TEST(FlatFileBuffer, ReadsTheFilesBytesAndNothingWithoutAFile) {
  FlatFileBuffer none(nullptr);
  EXPECT_EQ(none.ReadChar(), 0);

  testing::TempDir dir;
  FlatFile file;
  ASSERT_EQ(file.Open(dir.Write("bytes.omk", "\xFF\r\n")), res_error::kNone);
  FlatFileBuffer buffer(&file);
  EXPECT_EQ(buffer.ReadChar(), 0xFF);
  EXPECT_EQ(buffer.ReadChar(), '\r');
  EXPECT_EQ(buffer.ReadChar(), '\n');
  EXPECT_EQ(buffer.ReadChar(), 0);
  EXPECT_EQ(buffer.LineNumber(), 2);
}

TEST(MarkupFile, ReadsTheExampleChair) {
  // The examples folder sits beside the tests folder.
  std::filesystem::path example =
      std::filesystem::path(PIXMOLD_TEST_DATA).parent_path().parent_path() / "examples" / "chair.omk";
  FlatFile file;
  ASSERT_EQ(file.Open(example.string()), res_error::kNone);
  TagList tags;
  ReadMarkupFile(file, tags);
  ASSERT_GT(tags.Count(), 10);
  AttribTable& target = *tags.Nth(0);
  EXPECT_EQ(target.NameAt(0), "target");
  EXPECT_EQ(target.FindValue("object"), "Birchwood Side Chair");
  int sprites = 0;
  for (const auto& tag : tags) {
    if (tag->NameAt(0) == "sprite") {
      ++sprites;
      std::int32_t id = 0;
      EXPECT_TRUE(tag->GetInteger("id", id));
      EXPECT_TRUE(tag->FindValue("tgafile"));
    }
  }
  EXPECT_EQ(sprites, 3);
}

}  // namespace
}  // namespace pixmold
