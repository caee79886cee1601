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

// The file layer reads ahead in blocks: a text that fills the first block
// but two bytes puts the second tag across the block boundary.
const std::string kTwoBlocks = std::string("<a x=1>") + std::string(CTGFile::kCacheSize - 9, ' ') + "<b y=2>";

TEST(MarkupFile, ReadsTagsWithLinesForEveryLineEnd) {
  const struct {
    const char* what;
    std::string text;
    int seek, failRead;
    const char* dump;
  } cases[] = {
      {"empty file", "", 0, 0, ""},
      {"no tag", "only text\n", 0, 0, ""},
      {"LF", "<a>\n<b\nx=1>", 0, 0, "<\n1: a\n>\n<\n2: b\n3: x=1\n>\n"},
      {"CR", "<a>\r<b\rx=1>", 0, 0, "<\n1: a\n>\n<\n2: b\n3: x=1\n>\n"},
      {"CR LF", "<a>\r\n<b\r\nx=1>", 0, 0, "<\n1: a\n>\n<\n2: b\n3: x=1\n>\n"},
      {"zero byte ends the file", std::string("<a>\n<b x=1\0 y=2>\n<c>", 20), 0, 0, "<\n1: a\n>\n<\n2: b\n2: x=1\n>\n"},
      {"tag open at the end", "<sprite id=4 name=\"Seat", 0, 0, "<\n1: sprite\n1: id=4\n1: name=Seat\n>\n"},
      {"read from the start wherever the file stands", "<first><second>", 7, 0, "<\n1: first\n>\n<\n1: second\n>\n"},
      {"a failed read ends the text without failing", kTwoBlocks, 0, 2, "<\n1: a\n1: x=1\n>\n<\n1: b\n>\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadAsFile(c.text, c.seek, c.failRead), c.dump) << c.what;
}

}  // namespace
}  // namespace pixmold
