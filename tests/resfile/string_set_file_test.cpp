// String sets read from and written to a resource file, and the hooks that
// resource files and Recon streams reach them through.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resfile/anim_table.h"
#include "resfile/mem_handle.h"
#include "resfile/recon_stream.h"
#include "resfile/string_hooks.h"
#include "resfile/string_set.h"
#include "support/assert_capture.h"
#include "support/memory_res_file.h"

namespace pixmold {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::MemoryDisk;
using testing::MemoryResFile;
using testing::StoredResource;

constexpr ResType kSTR = MakeResType("STR#");
constexpr ResType kCST = StringSet::kTextFormType;

Bytes PascalList(const std::vector<std::string>& strings) {
  Bytes out{static_cast<std::uint8_t>(strings.size()), 0};
  for (const auto& s : strings) {
    out.push_back(static_cast<std::uint8_t>(s.size()));
    out.insert(out.end(), s.begin(), s.end());
  }
  return out;
}

class StringSetFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(file.CreateFile("obj"), 0);
    ASSERT_EQ(file.OpenFile("obj"), 0);
  }
  void Store(ResType type, ResID id, Bytes bytes, std::string name = "", bool native = true) {
    disk.files["obj"].push_back(StoredResource{type, id, std::move(name), 0, native, std::move(bytes)});
    // Reopen so the file's index sees the resource.
    file.CloseFile();
    file.OpenFile("obj");
  }
  Bytes Stored(ResType type, ResID id) {
    file.CloseFile();
    const StoredResource* r = disk.Find("obj", type, id);
    file.OpenFile("obj");
    return r ? r->bytes : Bytes{};
  }

  MemoryDisk disk;
  MemoryResFile file{disk};
};

TEST_F(StringSetFileTest, LoadTakesTheNameAndTheStrings) {
  Store(kSTR, 200, PascalList({"one", "two"}), "labels");
  StringSet set;
  ASSERT_EQ(set.LoadSTR(&file, 200, false), 0);
  EXPECT_EQ(set.Name(), "labels");
  EXPECT_EQ(set.Count(), 2);
  EXPECT_EQ(set.Value(2), "two");
  EXPECT_EQ(file.CachedHandles(), 0u);
}

TEST_F(StringSetFileTest, MissingResourceLeavesTheSetEmptyWithTheFileError) {
  StringSet set;
  set.Init(&file, 9, kSTR, false, 0);
  set.SetValue(1, "stale");
  EXPECT_EQ(set.Load(false, true), -98);
  EXPECT_EQ(set.Count(), 0);
}

TEST_F(StringSetFileTest, ClosedFileIsReported) {
  file.CloseFile();
  testing::AssertCapture capture;
  StringSet set;
  set.Init(&file, 1, kSTR, false, 0);
  EXPECT_EQ(set.Load(false, false), -49);
  EXPECT_TRUE(capture.Saw("file is invalid"));
  StringSet unbound;
  EXPECT_EQ(unbound.Load(false, false), -49);
  EXPECT_EQ(unbound.Save(), -49);
}

TEST_F(StringSetFileTest, LoadSTRFallsBackToTheTextForm) {
  std::string text = "^wood^^stone^";
  Store(kCST, 300, Bytes(text.begin(), text.end()));
  StringSet set;
  ASSERT_EQ(set.LoadSTR(&file, 300, false), 0);
  EXPECT_TRUE(set.TextForm());
  EXPECT_EQ(set.Count(), 2);
  EXPECT_EQ(set.Value(1), "wood");
}

TEST_F(StringSetFileTest, ByteSwappedRecordIsSwizzled) {
  Store(kSTR, 5, Bytes{0xFF, 0xFF, 0x00, 0x01, 'a', 0}, "", false);
  StringSet set;
  ASSERT_EQ(set.LoadSTR(&file, 5, false), 0);
  EXPECT_EQ(set.Value(1), "a");
}

TEST_F(StringSetFileTest, SaveOfASecondLanguageKeepsEnglishAndStoresOnlyBoth) {
  Store(kSTR, 128, PascalList({"chair", "table"}), "names");
  StringSet set;
  set.Init(&file, 128, kSTR, false, 2);
  set.SetName("names");
  set.SetValue(1, "silla");
  set.SetValue(2, "mesa");
  ASSERT_EQ(set.Save(), 0);
  Bytes bytes = Stored(kSTR, 128);
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(bytes[0], 0xFD);
  EXPECT_EQ(bytes[1], 0xFF);
  EXPECT_EQ(bytes[2], 4);  // two English entries and two of language 2
  EXPECT_EQ(bytes[3], 0);

  StringSet english;
  ASSERT_EQ(english.LoadSTR(&file, 128, false), 0);
  EXPECT_EQ(english.Value(1), "chair");
  StringSet spanish;
  spanish.Init(&file, 128, kSTR, false, 2);
  ASSERT_EQ(spanish.Load(false, false), 0);
  EXPECT_EQ(spanish.Value(2), "mesa");
  StringSet other;
  other.Init(&file, 128, kSTR, false, 1);
  EXPECT_EQ(other.Load(false, false), 0);
  EXPECT_EQ(other.Count(), 0);
}

TEST_F(StringSetFileTest, SaveOfTextFormStoresSTR) {
  StringSet set;
  set.Init(&file, 40, kCST, true, 0);
  set.SetValue(1, "x");
  ASSERT_EQ(set.Save(), 0);
  EXPECT_FALSE(Stored(kSTR, 40).empty());
  EXPECT_TRUE(Stored(kCST, 40).empty());
}

TEST_F(StringSetFileTest, SaveReturnsTheFileErrors) {
  struct Case {
    MemoryResFile::Op op;
    ResErr err;
  };
  ResID id = 70;
  for (Case c : {Case{MemoryResFile::Op::kAdd, -45}, Case{MemoryResFile::Op::kWrite, -46},
                 Case{MemoryResFile::Op::kRelease, -50}}) {
    StringSet set;
    set.Init(&file, id++, kSTR, false, 0);
    set.SetValue(1, "v");
    file.FailNext(c.op, c.err);
    EXPECT_EQ(set.Save(), c.err);
  }
}

TEST_F(StringSetFileTest, SaveWithoutMemoryReturnsTheMemoryError) {
  testing::AssertCapture capture;
  StringSet set;
  set.Init(&file, 71, kSTR, false, 0);
  set.SetValue(1, "v");
  FailHandleAllocationAfter(1);
  EXPECT_EQ(set.Save(), -200);
  FailHandleAllocationAfter(0);
  EXPECT_TRUE(Stored(kSTR, 71).empty());
}

TEST_F(StringSetFileTest, GetIndStringReadsThroughTheStringSet) {
  Store(kSTR, 128, PascalList({"first", "second"}));
  CTGString text;
  file.GetIndString(text, 128, 2);
  EXPECT_EQ(text, "second");
  for (int index : {0, 3, -1}) {
    file.GetIndString(text, 128, index);
    EXPECT_TRUE(text.Empty()) << index;
  }
  file.GetIndString(text, 129, 1);
  EXPECT_TRUE(text.Empty());
  EXPECT_EQ(file.GetError(), -98);
}

TEST_F(StringSetFileTest, ReconStringTableKeepsNumberedStrings) {
  constexpr ResType kTTAs = MakeResType("TTAs");
  {
    auto table = MakeReconStringTable(file, kTTAs, 12);
    ASSERT_TRUE(table);
    table->Clear();
    table->Set(1, "sit");
    table->Set(3, "eat");
    EXPECT_EQ(table->Save(), 0);
  }
  auto again = MakeReconStringTable(file, kTTAs, 12);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->Get(1), "sit");
  EXPECT_EQ(again->Get(2), "");
  EXPECT_EQ(again->Get(3), "eat");
  EXPECT_EQ(again->Get(4), "");
}

TEST_F(StringSetFileTest, ReconStreamKeepsItsStringsInAStringSet) {
  constexpr ResType kTTAs = MakeResType("TTAs");
  std::vector<std::uint8_t> buffer(16);
  {
    ReconStream writer = ReconStream::Writer(buffer, false);
    writer.SetStringTable(file, kTTAs, 44);
    std::string first = "Sit Down";
    std::string second = "Eat";
    writer.String(first);
    writer.String(second);
    EXPECT_EQ(writer.Position(), 0);
    EXPECT_EQ(writer.Close(), 0);
  }
  StringSet stored;
  stored.Init(&file, 44, kTTAs, false, 0);
  ASSERT_EQ(stored.Load(false, false), 0);
  EXPECT_EQ(stored.Value(1), "Sit Down");
  EXPECT_EQ(stored.Value(2), "Eat");

  ReconStream reader = ReconStream::Reader(buffer, false);
  reader.SetStringTable(file, kTTAs, 44);
  std::string a, b, c;
  reader.String(a);
  reader.String(b);
  reader.String(c);
  EXPECT_EQ(a, "Sit Down");
  EXPECT_EQ(b, "Eat");
  EXPECT_EQ(c, "");
}

TEST_F(StringSetFileTest, AnimTableLoadLowerCasesAndKeepsWhatItHas) {
  Store(kSTR, 130, PascalList({"Walk", "Sit"}));
  Store(kSTR, 131, PascalList({"Other", "", "Third"}));
  AnimTable table;
  ASSERT_EQ(table.Load(&file, 130), 0);
  ASSERT_EQ(table.Load(&file, 131), 0);
  EXPECT_EQ(table.Count(), 3);
  EXPECT_EQ(table.Value(1), "walk");
  EXPECT_EQ(table.Value(2), "sit");
  EXPECT_EQ(table.Value(3), "third");
  EXPECT_EQ(table.Load(&file, 999), -98);
}

}  // namespace
}  // namespace pixmold
