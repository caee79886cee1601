#include "base/string_buffer.h"

#include <gtest/gtest.h>

#include "base/ctg_string.h"
#include "base/pstring.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

TEST(StringBuffer, AppendKeepsWhatFitsAndReportsOnlyALoss) {
  testing::AssertCapture capture;
  StringBuffer<4> exact;
  exact.Append("abc");
  EXPECT_EQ(exact.View(), "abc");
  EXPECT_EQ(capture.Count(), 0u);
  StringBuffer<8> buffer("abc");
  buffer.Append("defghij");
  EXPECT_EQ(buffer.View(), "abcdefg");
  EXPECT_EQ(buffer.Length(), 7u);
  EXPECT_TRUE(capture.Saw("append losing characters"));
  EXPECT_EQ(buffer.At(6), 'g');
  EXPECT_EQ(buffer.At(7), '\0');
  EXPECT_TRUE(capture.Saw("accessing string past length"));
}

TEST(StringBuffer, NumbersFindAndCompare) {
  StringBuffer<64> numbers;
  numbers.AppendInt(-42).Append(' ').AppendPaddedInt(7, 3).Append(' ').AppendPaddedInt(12345, 2);
  EXPECT_EQ(numbers.View(), "-42 007 12345");
  StringBuffer<64> buffer("Walls A.tga");
  EXPECT_EQ(buffer.Find("A.t"), 6u);
  EXPECT_EQ(buffer.Find("a.t"), std::string_view::npos);
  EXPECT_EQ(buffer.FindNoCase("a.TGA"), 6u);
  EXPECT_TRUE(buffer.EqualsNoCase("walls a.TGA"));
  EXPECT_LT(buffer.CompareNoCase("walls b"), 0);
  EXPECT_GT(buffer.CompareNoCase("walls"), 0);
}

TEST(PString, CutsAt255AndReports) {
  testing::AssertCapture capture;
  PString shortText("chair");
  EXPECT_EQ(shortText.Bytes()[0], 5);
  EXPECT_EQ(shortText.View(), "chair");
  EXPECT_EQ(capture.Count(), 0u);
  PString longText(std::string(256, 'x'));  // one over
  EXPECT_EQ(longText.Length(), 255u);
  EXPECT_EQ(longText.Bytes().size(), 256u);
  EXPECT_TRUE(capture.Saw("string too long"));
}

TEST(CTGString, FormatsLikePrintf) {
  CTGString text;
  text.Format("%ld:Dir [%s]", 3L, "a/b");
  text.AppendFormat(" size:%d", 1200);
  EXPECT_EQ(text, "3:Dir [a/b] size:1200");
  text.Format("%s", std::string(5000, 'y').c_str());
  EXPECT_EQ(text.Length(), 5000u);
}

}  // namespace
}  // namespace pixmold
