#include "resfile/string_set.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "resfile/anim_table.h"
#include "string_set_bytes.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace testing;

Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

StringSet SetIn(int language, bool textForm = false) {
  StringSet set;
  set.Init(nullptr, 128, MakeResType("STR#"), textForm, language);
  return set;
}

std::vector<std::string> Values(const StringSet& set, int language) {
  std::vector<std::string> values;
  for (int i = 1; i <= set.Count(language); ++i) values.emplace_back(set.Value(i, language).value_or("<null>"));
  return values;
}

using Strings = std::vector<std::string>;

TEST(StringSetLoad, EverySingleLanguageLayoutFillsCurrentLanguageAndEnglish) {
  struct Case {
    const char* name;
    Bytes bytes;
    bool textForm;
  };
  const std::vector<Case> cases = {
      {"length-prefixed", PascalList({"chair", "table"}), false},
      {"layout -1", CountedList({{"chair", ""}, {"table", ""}}, false), false},
      {"layout -2", CountedList({{"chair", "c1"}, {"table", "c2"}}, true), false},
      {"text form", Text("^chair^^table^"), true},
  };
  for (const Case& c : cases) {
    for (int language : {0, 2}) {
      SCOPED_TRACE(std::string(c.name) + " in language " + std::to_string(language));
      StringSet set = SetIn(language, c.textForm);
      ASSERT_EQ(set.LoadBytes(c.bytes, false, false), 0);
      EXPECT_EQ(Values(set, language), (Strings{"chair", "table"}));
      EXPECT_EQ(Values(set, 0), (Strings{"chair", "table"}));
      int others = 0;
      for (int other = 1; other < StringSet::kMaxLanguages; ++other) others += other == language ? 0 : set.Count(other);
      EXPECT_EQ(others, 0);
    }
  }
}

TEST(StringSetLoad, CommentsOldCharactersAndCarets) {
  StringSet set = SetIn(0);
  ASSERT_EQ(set.LoadBytes(CountedList({{"chair", "seat"}, {"table", ""}}, true), false, false), 0);
  EXPECT_EQ(std::tuple(set.Comment(1), set.Comment(2)), std::tuple("seat", ""));
  ASSERT_EQ(set.LoadBytes(CountedList({{"chair", ""}}, false), false, false), 0);
  EXPECT_FALSE(set.Comment(1)) << "layout -1 has no comments";
  // Length-prefixed lists map old characters.
  Bytes bytes = PascalList({"x", "dont"});
  bytes[3] = 0xA1;  // the "x"
  bytes[7] = 0xD5;  // the "n" of "dont"
  ASSERT_EQ(set.LoadBytes(bytes, false, false), 0);
  EXPECT_EQ(Values(set, 0), (Strings{"o", "do't"}));
  // The text form takes only what carets enclose, up to a zero byte.
  StringSet text = SetIn(0, true);
  ASSERT_EQ(text.LoadBytes(Text(std::string("junk ^wood^ more ^^ and ^stone^ tail ^open\0^b^", 46)), false, false), 0);
  EXPECT_EQ(Values(text, 0), (Strings{"wood", "", "stone"}));
}

TEST(StringSetLoad, MultiLanguageTakesCurrentLanguageAndFallsBackToEnglish) {
  const Bytes bytes = MultiLanguage({{1, "chair", "c1"}, {1, "table", "c2"}, {4, "stuhl", "x"}});
  struct Case {
    int language;
    bool loadAll;
    bool fallback;
    Strings current;
    Strings language3;
  };
  const std::vector<Case> cases = {
      {2, false, true, {"chair", "table"}, {}},
      {2, false, false, {}, {}},
      {3, false, true, {"stuhl"}, {"stuhl"}},
      {0, false, false, {"chair", "table"}, {}},
      {0, true, false, {"chair", "table"}, {"stuhl"}},
      // loadAll fills every language that has nothing with English copies.
      {2, true, false, {"chair", "table"}, {"stuhl"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "language " << c.language << " loadAll " << c.loadAll << " fallback "
                                      << c.fallback);
    StringSet set = SetIn(c.language);
    ASSERT_EQ(set.LoadBytes(bytes, c.loadAll, c.fallback), 0);
    EXPECT_EQ(Values(set, c.language), c.current);
    EXPECT_EQ(Values(set, 3), c.language3);
  }
}

TEST(StringSetLoad, MultiLanguageMarksAndComments) {
  StringSet set = SetIn(2);
  ASSERT_EQ(set.LoadBytes(MultiLanguage({{1, "chair", "c1"}, {4, "stuhl", "x"}}), true, true), 0);
  // Language 3's own entry; one copied from English by loadAll (marked 0, no
  // comment); one taken by the fallback (marked with the current language).
  EXPECT_EQ(
      std::tuple(set.Mark(1, 3), set.Comment(1, 3), set.Value(1, 7), set.Mark(1, 7), set.Comment(1, 7), set.Mark(1, 2)),
      std::tuple(3, "x", "chair", 0, std::nullopt, 2));
}

TEST(StringSetLoad, MultiLanguageIndexRestartsWithEachLanguageRun) {
  StringSet set = SetIn(0);
  ASSERT_EQ(set.LoadBytes(MultiLanguage({{1, "a", ""}, {1, "b", ""}, {2, "x", ""}, {1, "c", ""}}), true, false), 0);
  EXPECT_EQ(Values(set, 0), (Strings{"c", "b"}));
  EXPECT_EQ(Values(set, 1), (Strings{"x"}));
}

TEST(StringSetLoad, IllegalLanguageNumberIsReportedAndSkipped) {
  for (int number : {0, 21, 255}) {
    testing::AssertCapture capture;
    StringSet set = SetIn(0);
    ASSERT_EQ(set.LoadBytes(MultiLanguage({{1, "a", ""}, {number, "bad", ""}, {1, "b", ""}}), true, false), 0);
    EXPECT_TRUE(capture.Saw("Illegal Language Specifier")) << number;
    EXPECT_EQ(Values(set, 0), (Strings{"a", "b"}));
  }
}

TEST(StringSetLoad, EveryCutOfARecordKeepsWholeStringsAndReportsShortRead) {
  struct Case {
    const char* name;
    Bytes bytes;
    std::size_t stringEnds[2];  // byte counts after which 1 and 2 strings are whole
  };
  const std::vector<Case> cases = {
      {"length-prefixed", PascalList({"ab", "cde"}), {5, 9}},
      {"layout -1", CountedList({{"ab", ""}, {"cde", ""}}, false), {7, 11}},
      {"layout -2", CountedList({{"ab", "x"}, {"cde", "y"}}, true), {9, 15}},
      {"layout -3", MultiLanguage({{1, "ab", "x"}, {1, "cde", "y"}}), {10, 17}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(c.bytes.size(), c.stringEnds[1]) << c.name;
    for (std::size_t cut = 0; cut < c.bytes.size(); ++cut) {
      SCOPED_TRACE(::testing::Message() << c.name << " cut at " << cut);
      StringSet set = SetIn(0);
      EXPECT_EQ(set.LoadBytes(std::span(c.bytes).first(cut), false, false), -48);
      int whole = cut >= c.stringEnds[0] ? 1 : 0;
      // A -2 entry cut inside its comment still keeps its value.
      if (std::string_view(c.name) == "layout -2" && cut >= 7) whole = cut >= 13 ? 2 : 1;
      EXPECT_EQ(set.Count(0), whole);
    }
  }
}

TEST(StringSetLoad, NegativeFirstValuesAndCounts) {
  StringSet set = SetIn(0);
  EXPECT_EQ((std::tuple{set.LoadBytes(Bytes{0x00, 0x80, 1, 'a'}, false, false), set.Count(0)}), std::tuple(-48, 0))
      << "not a layout";
  EXPECT_EQ((std::tuple{set.LoadBytes(Bytes{0xFF, 0xFF, 0xFF, 0xFF, 'a', 0}, false, false), set.Count(0)}),
            std::tuple(0, 0))
      << "a negative count of layout -1";
}

TEST(StringSetSave, EncodesEveryLanguageInOrderAfterFdFfAndTotal) {
  StringSet set = SetIn(0);
  set.SetValue(1, "chair", 0);
  set.SetComment(1, "seat", 0);
  set.SetValue(1, "stuhl", 3);
  set.SetValue(2, "tisch", 3);
  auto bytes = set.EncodeAllLanguages();
  ASSERT_TRUE(bytes);
  // Allocated at 4 + (value + comment + 4) per entry: one spare zero byte each.
  Bytes expected = MultiLanguage({{1, "chair", "seat"}, {4, "stuhl", ""}, {4, "tisch", ""}});
  expected.resize(expected.size() + 3, 0);
  EXPECT_EQ(*bytes, expected);

  StringSet back = SetIn(3);
  ASSERT_EQ(back.LoadBytes(*bytes, true, false), 0);
  EXPECT_EQ(std::tuple(Values(back, 0), Values(back, 3), back.Comment(1, 0)),
            std::tuple(Strings{"chair"}, Strings{"stuhl", "tisch"}, "seat"));
}

TEST(StringSetSave, EmptySetIsHeaderOnlyAndTooManyEntriesAreRefused) {
  StringSet set = SetIn(0);
  EXPECT_EQ(*set.EncodeAllLanguages(), (Bytes{0xFD, 0xFF, 0, 0}));
  testing::AssertCapture capture;
  for (int language = 0; language < 2; ++language) {
    for (int i = 1; i <= 40000; ++i) set.SetValue(i, "", language);
  }
  EXPECT_FALSE(set.EncodeAllLanguages());
}

// The merge-save against what a file already holds, without the file: load
// the stored bytes as the save does, merge, encode.
Bytes MergedBytes(const StringSet& edited, const Bytes& stored) {
  StringSet temp = SetIn(edited.Language());
  temp.LoadBytes(stored, true, true);
  edited.MergeInto(temp);
  auto bytes = temp.EncodeAllLanguages();
  EXPECT_TRUE(bytes);
  if (!bytes) return {};
  EXPECT_EQ((*bytes)[0], 0xFD);
  EXPECT_EQ((*bytes)[1], 0xFF);
  return *bytes;
}

// Every stored language, each filled with English copies where it has none.
StringSet Reloaded(const Bytes& bytes) {
  StringSet set = SetIn(0);
  set.LoadBytes(bytes, true, false);
  return set;
}

// The languages a record stores (English copies carry mark 0).
std::vector<int> StoredLanguages(const Bytes& bytes) {
  std::vector<int> languages;
  StringSet set = Reloaded(bytes);
  for (int l = 0; l < StringSet::kMaxLanguages; ++l) {
    for (int i = 1; i <= set.Count(l); ++i) {
      if (set.Mark(i, l) != 0 || l == 0) {
        languages.push_back(l);
        break;
      }
    }
  }
  return languages;
}

// A translation keeps its strings and is padded with English; comments
// belong to English and every translation shares them; a translation longer
// than English is no error.
TEST(StringSetMerge, KeepsEveryTranslationAndSharesTheEnglishComments) {
  struct Case {
    int language;
    Strings edited;
    Bytes stored;
    std::vector<int> languages;     // stored after the merge
    std::map<int, Strings> values;  // read back, by language
    const char* comment;            // of the first entry in every language, when not null
  };
  const Strings edited = {"armchair", "table", "lamp"};
  const Case cases[] = {
      {2,
       {"silla", "mesa"},
       PascalList({"chair", "table"}),
       {0, 2},
       {{0, {"chair", "table"}}, {2, {"silla", "mesa"}}},
       nullptr},
      {0,
       edited,
       MultiLanguage({{1, "chair", "c"}, {1, "table", ""}, {6, "stoel", ""}, {6, "tafel", ""}}),
       {0, 5},
       {{0, edited}, {5, {"stoel", "tafel", "lamp"}}, {1, edited}},
       "mine"},
      {2,
       {"sillon", "t2", "t3"},
       MultiLanguage({{1, "chair", "seat"}, {3, "silla", "other"}, {2, "uno", ""}}),
       {0, 1, 2},
       {{2, {"sillon", "t2", "t3"}}, {1, {"uno"}}},
       "seat"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.edited[0]);
    testing::AssertCapture capture;
    StringSet set = SetIn(c.language);
    for (std::size_t i = 0; i < c.edited.size(); ++i) set.SetValue(static_cast<int>(i) + 1, c.edited[i]);
    set.SetComment(1, "mine");
    const Bytes bytes = MergedBytes(set, c.stored);
    EXPECT_EQ(StoredLanguages(bytes), c.languages);
    StringSet back = Reloaded(bytes);
    for (const auto& [language, values] : c.values) EXPECT_EQ(Values(back, language), values) << language;
    if (c.comment) {
      for (int language : {c.language, 0}) EXPECT_EQ(back.Comment(1, language), c.comment) << language;
    }
    EXPECT_EQ(capture.Count(), 0u);
  }
}

TEST(StringSetEdit, IndexCommentAndLanguageRules) {
  testing::AssertCapture capture;
  StringSet set = SetIn(0);
  set.SetComment(1, "nothing here yet");
  EXPECT_EQ(capture.Count(), 0u);
  set.SetValue(1, std::string_view("a\0x", 3));
  set.SetValue(2, "b");
  set.SetValue(4, "d");
  EXPECT_TRUE(capture.Saw("bad index"));
  set.InsertValue(7, "e");
  set.InsertValue(-3, "z");
  EXPECT_EQ(Values(set, 0), (Strings{"z", "a", "b", "e"})) << "values stop at a zero byte";
  EXPECT_EQ(std::tuple(set.Value(0), set.Value(5)), std::tuple(std::nullopt, std::nullopt));
  capture.Clear();
  set.RemoveValue(5);
  EXPECT_TRUE(capture.Saw("removing non-existent string"));
  set.RemoveValue(1);
  EXPECT_EQ(Values(set, 0), (Strings{"a", "b", "e"}));
  set.SetComment(4, "x");
  EXPECT_TRUE(capture.Saw("(Count(useLang) == 0) bad index"));
  set.SetComment(1, "c");
  const auto comment = set.Comment(1);
  set.SetComment(1, std::nullopt);
  EXPECT_EQ(std::tuple(comment, set.Comment(1)), std::tuple("c", std::nullopt));
  set.SetValue(1, "a", 20);
  EXPECT_TRUE(capture.Saw("(useLang < kMaxLanguages) Illegal language specified."));
  int others = set.Value(1, 25) ? 1 : 0;
  for (int l = 1; l < StringSet::kMaxLanguages; ++l) others += set.Count(l);
  EXPECT_EQ(others, 0);
}

TEST(StringSetEdit, MarksFollowTheLanguageOfTheLastSet) {
  StringSet set = SetIn(3);
  set.SetValue(1, "a");
  set.InsertValue(1, "b", 0);
  EXPECT_EQ(std::tuple(set.Mark(1), set.Mark(1, 0)), std::tuple(3, 0));
  EXPECT_EQ(set.ValueInAnyLanguage(1), (std::pair<std::string_view, int>("b", 0)));
  set.ClearLanguage(0);
  EXPECT_EQ(set.ValueInAnyLanguage(1), (std::pair<std::string_view, int>("a", 3)));
  EXPECT_FALSE(set.ValueInAnyLanguage(2));
  // The default language follows the process language.
  EXPECT_EQ(StringSet().Language(), 0);
  StringSet::SetProcessLanguage(3);
  set.Init(nullptr, 1, 0, false, -1);
  EXPECT_EQ(set.Language(), 2);
  StringSet::SetProcessLanguage(1);
}

TEST(StringSetEdit, AssignCopiesCurrentLanguageAndName) {
  StringSet source = SetIn(1);
  source.SetName("labels");
  source.SetValue(1, "x");
  source.SetComment(1, "note");
  source.SetValue(2, "y");
  StringSet target = SetIn(0);
  target.Init(nullptr, 300, MakeResType("TTAs"), false, 0);
  for (int i = 1; i <= 4; ++i) target.SetValue(i, "old");
  target.Assign(source);
  EXPECT_EQ(std::tuple(Values(target, 0), target.Comment(1), target.Comment(2), target.Name(), target.Type()),
            std::tuple(Strings{"x", "y"}, "note", "", "labels", 0u));
}

TEST(StringSetSwizzler, SwapsLayoutWordAndCountOfLayoutMinus1) {
  struct Case {
    Bytes in;
    Bytes out;
  };
  const std::vector<Case> cases = {
      {{0xFF, 0xFF, 0x00, 0x02}, {0xFF, 0xFF, 0x02, 0x00}},
      {{0xFF, 0xFD, 0x00, 0x02}, {0xFD, 0xFF, 0x00, 0x02}},
      {{0x00, 0x02, 0x01, 0x41}, {0x02, 0x00, 0x01, 0x41}},
      {{0xFF, 0xFF, 0x00}, {0xFF, 0xFF, 0x00}},
      {{0x07}, {0x07}},
  };
  for (Case c : cases) {
    StringSetSwizzler(c.in.data(), static_cast<std::int32_t>(c.in.size()));
    EXPECT_EQ(c.in, c.out);
  }
}

TEST(AnimTable, FillsOnlyEmptyPositionsLowerCased) {
  AnimTable table;
  table.SetValue(1, "keep");
  table.SetValue(2, "");
  StringSet loaded = SetIn(0);
  loaded.LoadBytes(PascalList({"Walk", "SIT-Down", "Eat", "Drink_\xC9"}), false, false);
  table.Absorb(loaded);
  EXPECT_EQ(Values(table, 0), (Strings{"keep", "sit-down", "eat", "drink_\xC9"}));
}

}  // namespace
}  // namespace pixmold
