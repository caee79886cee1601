#include "build/attrib_readers.h"

#include <gtest/gtest.h>

#include "markup_fixture.h"

namespace pixmold {
namespace {

using testing::FatalOf;
using testing::OneTag;

TEST(AttribReaders, AbsentKeysLeaveTheDestination) {
  OneTag tag("<sprite id=1>");
  std::int32_t i = 77;
  std::int16_t s = 77;
  float f = 7.5f;
  std::string text = "keep";
  EXPECT_FALSE(ReadInteger(*tag, "n", i));
  EXPECT_FALSE(ReadShortInteger(*tag, "n", s));
  EXPECT_FALSE(ReadLongInteger(*tag, "n", i));
  EXPECT_FALSE(ReadFloat(*tag, "n", f));
  EXPECT_FALSE(ReadBoolean(*tag, "n", s));
  EXPECT_FALSE(ReadString(*tag, "n", text));
  EXPECT_EQ(i, 77);
  EXPECT_EQ(s, 77);
  EXPECT_EQ(f, 7.5f);
  EXPECT_EQ(text, "keep");
}

struct IntegerCase {
  const char* markup;
  std::int32_t integer;
  std::int16_t shortInteger;
};

TEST(AttribReaders, IntegersReadTheirLeadingNumber) {
  const IntegerCase cases[] = {
      {"<t n=12>", 12, 12},       {"<t n=12abc>", 12, 12},     {"<t n=-5>", -5, -5},
      {"<t n=\" 42\">", 42, 42},  {"<t n=70000>", 70000, 4464}, {"<t n=-32769>", -32769, 32767},
      {"<t n=4294967297>", 1, 1},
  };
  for (const auto& c : cases) {
    OneTag tag(c.markup);
    std::int32_t integer = 0;
    std::int32_t longInteger = 0;
    std::int16_t shortInteger = 0;
    EXPECT_TRUE(ReadInteger(*tag, "n", integer)) << c.markup;
    EXPECT_TRUE(ReadLongInteger(*tag, "n", longInteger)) << c.markup;
    EXPECT_TRUE(ReadShortInteger(*tag, "n", shortInteger)) << c.markup;
    EXPECT_EQ(integer, c.integer) << c.markup;
    EXPECT_EQ(longInteger, c.integer) << c.markup;
    EXPECT_EQ(shortInteger, c.shortInteger) << c.markup;
  }
}

TEST(AttribReaders, FloatsAndBooleans) {
  OneTag tag("<t a=1.5 b=-2e1x c=true d=false e=True>");
  float f = 0;
  EXPECT_TRUE(ReadFloat(*tag, "a", f));
  EXPECT_EQ(f, 1.5f);
  EXPECT_TRUE(ReadFloat(*tag, "b", f));
  EXPECT_EQ(f, -20.0f);
  std::int16_t b = 5;
  EXPECT_TRUE(ReadBoolean(*tag, "c", b));
  EXPECT_EQ(b, 1);
  EXPECT_TRUE(ReadBoolean(*tag, "d", b));
  EXPECT_EQ(b, 0);
  EXPECT_TRUE(ReadBoolean(*tag, "e", b));  // unquoted, so folded to lower case
  EXPECT_EQ(b, 1);
}

struct MalformedCase {
  const char* markup;
  int reader;  // 0 integer, 1 short, 2 long, 3 float, 4 boolean
  const char* message;
};

TEST(AttribReaders, MalformedValuesNameKeyTagAndLine) {
  const MalformedCase cases[] = {
      {"<sprite\n n=abc>", 0, "line: 2 - integer value expected for key \"n\" in tag \"sprite\""},
      {"<sprite n=x>", 1, "line: 1 - short integer value expected for key \"n\" in tag \"sprite\""},
      {"<target\n\n guid=>", 2, "line: 3 - long integer value expected for key \"guid\" in tag \"target\""},
      {"<item\n x=.>", 3, "line: 2 - float value expected for key \"x\" in tag \"item\""},
      {"<item luminous=yes>", 4,
       "line: 1 - boolean value for key \"luminous\" in tag \"item\" expected to be true or false"},
      {"<item\nl=\"True\">", 4, "line: 2 - boolean value for key \"l\" in tag \"item\" expected to be true or false"},
      {"<item l>", 4, "line: 1 - boolean value for key \"l\" in tag \"item\" expected to be true or false"},
  };
  for (const auto& c : cases) {
    OneTag tag(c.markup);
    AttribTable& table = *tag;
    const std::string key(table.EntryAt(1)->fName);
    std::string message = FatalOf([&] {
      std::int32_t i = 0;
      std::int16_t s = 0;
      float f = 0;
      switch (c.reader) {
        case 0:
          ReadInteger(table, key, i);
          break;
        case 1:
          ReadShortInteger(table, key, s);
          break;
        case 2:
          ReadLongInteger(table, key, i);
          break;
        case 3:
          ReadFloat(table, key, f);
          break;
        default:
          ReadBoolean(table, key, s);
      }
    });
    EXPECT_EQ(message, c.message) << c.markup;
  }
}

TEST(AttribReaders, DuplicateKeysReadTheFirst) {
  OneTag tag("<t n=1 n=2>");
  std::int32_t n = 0;
  EXPECT_TRUE(ReadInteger(*tag, "n", n));
  EXPECT_EQ(n, 1);
}

TEST(AttribReaders, TagNameAndLineOfAnEmptyTag) {
  OneTag empty("<>");
  EXPECT_EQ(TagName(*empty), "");
  EXPECT_EQ(TagLine(*empty), std::nullopt);
  OneTag named("\n\n<\"wall style\">");
  EXPECT_EQ(TagName(*named), "wall style");
  EXPECT_EQ(TagLine(*named), 3);
}

}  // namespace
}  // namespace pixmold
