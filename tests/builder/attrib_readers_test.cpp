#include "builder/attrib_readers.h"

#include <gtest/gtest.h>

#include <functional>

#include "markup_fixture.h"

namespace pixmold {
namespace {

using testing::FatalOf;
using testing::OneTag;

enum Reader { kInteger, kShort, kLong, kFloat, kBoolean, kString };

// What the reader makes of the tag's key: the value read, "absent" and the
// untouched destination when the key is missing, or the fatal message.
std::string ReadAs(Reader reader, std::string_view markup, std::string_view key = "n") {
  OneTag tag(markup);
  std::int32_t i = 77;
  std::int16_t s = 77;
  float f = 7.5f;
  std::string text = "keep";
  const std::function<bool()> readers[] = {
      [&] { return ReadInteger(*tag, key, i); },     [&] { return ReadShortInteger(*tag, key, s); },
      [&] { return ReadLongInteger(*tag, key, i); }, [&] { return ReadFloat(*tag, key, f); },
      [&] { return ReadBoolean(*tag, key, s); },     [&] { return ReadString(*tag, key, text); },
  };
  bool found = false;
  const std::string fatal = FatalOf([&] { found = readers[reader](); });
  if (!fatal.empty()) return fatal;
  std::ostringstream out;
  out << (found ? "" : "absent ");
  if (reader == kInteger || reader == kLong) out << i;
  if (reader == kShort || reader == kBoolean) out << s;
  if (reader == kFloat) out << f;
  if (reader == kString) out << text;
  return out.str();
}

struct ReadCase {
  Reader reader;
  const char* markup;
  const char* key;
  const char* expected;
};

TEST(AttribReaders, ValuesAbsentKeysAndMalformedValues) {
  const ReadCase cases[] = {
      {kInteger, "<sprite id=1>", "frames", "absent 77"},
      {kShort, "<sprite id=1>", "frames", "absent 77"},
      {kLong, "<sprite id=1>", "frames", "absent 77"},
      {kFloat, "<sprite id=1>", "frames", "absent 7.5"},
      {kBoolean, "<sprite id=1>", "frames", "absent 77"},
      {kString, "<sprite id=1>", "frames", "absent keep"},
      {kString, "<t n=\"a B\">", "n", "a B"},
      {kInteger, "<t n=1 n=2>", "n", "1"},
      {kFloat, "<t a=1.5>", "a", "1.5"},
      {kFloat, "<t b=-2e1x>", "b", "-20"},
      {kBoolean, "<t c=true>", "c", "1"},
      {kBoolean, "<t d=false>", "d", "0"},
      {kBoolean, "<t e=True>", "e", "1"},  // unquoted, so folded to lower case
      {kInteger, "<sprite\n frames=abc>", "frames",
       "line: 2 - integer value expected for key \"frames\" in tag \"sprite\""},
      {kShort, "<sprite frames=x>", "frames",
       "line: 1 - short integer value expected for key \"frames\" in tag \"sprite\""},
      {kLong, "<target\n\n guid=>", "guid", "line: 3 - long integer value expected for key \"guid\" in tag \"target\""},
      {kFloat, "<item\n x=.>", "x", "line: 2 - float value expected for key \"x\" in tag \"item\""},
      {kBoolean, "<item luminous=yes>", "luminous",
       "line: 1 - boolean value for key \"luminous\" in tag \"item\" expected to be true or false"},
      {kBoolean, "<item\nluminous=\"True\">", "luminous",
       "line: 2 - boolean value for key \"luminous\" in tag \"item\" expected to be true or false"},
      {kBoolean, "<item luminous>", "luminous",
       "line: 1 - boolean value for key \"luminous\" in tag \"item\" expected to be true or false"},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadAs(c.reader, c.markup, c.key), c.expected) << c.reader << " " << c.markup;
}

// The attribute warnings trust the table of tag kinds, so a reader that
// looks up a key its kind's row lacks is a broken invariant, reported where
// it reads; a tag of no kind has no row to hold it to.
TEST(AttribReaders, AKeyMissingFromTheTagTableIsReportedWhereItIsRead) {
  testing::AssertCapture asserts;
  std::int32_t value = 0;
  OneTag sprite("<sprite colour=3 frames=2>");
  EXPECT_TRUE(ReadInteger(*sprite, "colour", value));
  EXPECT_TRUE(asserts.Saw("the \"sprite\" tag reads \"colour\", which its row of the tag table lacks"));
  asserts.Clear();
  EXPECT_TRUE(ReadInteger(*sprite, "frames", value));
  OneTag other("<t colour=3>");
  EXPECT_TRUE(ReadInteger(*other, "colour", value));
  EXPECT_EQ(asserts.Count(), 0u);
}

struct IntegerCase {
  const char* markup;
  const char* integer;  // read as an integer and as a long integer
  const char* shortInteger;
};

TEST(AttribReaders, IntegersReadTheirLeadingNumber) {
  const IntegerCase cases[] = {
      {"<t n=12>", "12", "12"},       {"<t n=12abc>", "12", "12"},      {"<t n=-5>", "-5", "-5"},
      {"<t n=\" 42\">", "42", "42"},  {"<t n=70000>", "70000", "4464"}, {"<t n=-32769>", "-32769", "32767"},
      {"<t n=4294967297>", "1", "1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadAs(kInteger, c.markup), c.integer) << c.markup;
    EXPECT_EQ(ReadAs(kLong, c.markup), c.integer) << c.markup;
    EXPECT_EQ(ReadAs(kShort, c.markup), c.shortInteger) << c.markup;
  }
}

}  // namespace
}  // namespace pixmold
