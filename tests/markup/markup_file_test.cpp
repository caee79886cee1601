#include "markup/markup_file.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "filelib/ctg_file.h"
#include "filelib/io_faults.h"
#include "resfile/flat_file.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

// Reads the text as a markup file, from wherever the file stands and with
// the nth read failing when failRead is set, and dumps the tags with lines.
std::string ReadAsFile(std::string_view text, int seek = 0, int failRead = 0) {
  testing::TempDir dir;
  FlatFile file;
  EXPECT_EQ(file.Open(dir.Write("object.omk", text)), res_error::kNone);
  EXPECT_EQ(file.Seek(seek), res_error::kNone);
  IoFaults faults;
  if (failRead) faults.FailNth(IoOp::kRead, failRead);
  TagList tags;
  EXPECT_EQ(ReadMarkupFile(file, tags), res_error::kNone);
  EXPECT_EQ(faults.Fired(), failRead != 0);
  EXPECT_TRUE(file.ValidFile());  // the caller's file stays open
  std::ostringstream out;
  tags.Dump(out, true);
  return out.str();
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
  EXPECT_EQ(ReadAsFile("<first><second>", 7), "<\n1: first\n>\n<\n1: second\n>\n");
}

TEST(MarkupFile, ReadErrorEndsTheTextWithoutFailing) {
  // The file layer reads ahead in blocks; the second block's read fails, so
  // the text ends in the middle of the second tag.
  std::string text = "<a x=1>";
  text.resize(CTGFile::kCacheSize - 2, ' ');
  EXPECT_EQ(ReadAsFile(text + "<b y=2>", 0, 2), "<\n1: a\n1: x=1\n>\n<\n1: b\n>\n");
}

}  // namespace
}  // namespace pixmold
