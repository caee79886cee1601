// String sets read from and written to a resource file, and the hooks that
// resource files and Recon streams reach them through.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "resfile/anim_table.h"
#include "resfile/mem_handle.h"
#include "resfile/recon_stream.h"
#include "resfile/string_hooks.h"
#include "resfile/string_set.h"
#include "string_set_bytes.h"
#include "support/assert_capture.h"
#include "support/memory_res_file.h"
#include "support/res_type_names.h"

namespace pixmold {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace testing;

constexpr ResType kCST = StringSet::kTextFormType;

class StringSetFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(file.CreateFile("obj"), 0);
    ASSERT_EQ(file.OpenFile("obj"), 0);
  }
  // Stores a resource and reopens, so that the file's index sees it.
  void Store(ResType type, ResID id, Bytes bytes, std::string name = "", bool native = true) {
    disk.files["obj"].push_back(StoredResource{type, id, std::move(name), 0, native, std::move(bytes)});
    file.CloseFile();
    file.OpenFile("obj");
  }
  Bytes Stored(ResType type, ResID id) {
    file.CloseFile();
    const StoredResource* r = disk.Find("obj", type, id);
    file.OpenFile("obj");
    return r ? r->bytes : Bytes{};
  }
  StringSet Bound(ResID id, int language = 0, ResType type = kSTR) {
    StringSet set;
    set.Init(&file, id, type, type == kCST, language);
    return set;
  }

  MemoryDisk disk;
  MemoryResFile file{disk};
};

TEST_F(StringSetFileTest, LoadTakesTheNameAndTheStringsOfAnyStoredForm) {
  Store(kSTR, 200, PascalList({"one", "two"}), "labels");
  Store(kCST, 300, Bytes{'^', 'w', '^', '^', 's', '^'});
  Store(kSTR, 5, Bytes{0xFF, 0xFF, 0x00, 0x01, 'a', 0}, "", false);  // byte-swapped
  StringSet set;
  ASSERT_EQ(set.LoadSTR(&file, 200, false), 0);
  EXPECT_EQ(std::tuple(set.Name(), set.Count(), set.Value(2), file.CachedHandles()),
            std::tuple("labels", 2, "two", 0u));
  ASSERT_EQ(set.LoadSTR(&file, 300, false), 0) << "falls back to the text form";
  EXPECT_TRUE(set.TextForm());
  EXPECT_EQ(set.Value(2), "s");
  ASSERT_EQ(set.LoadSTR(&file, 5, false), 0);
  EXPECT_EQ(set.Value(1), "a");
}

TEST_F(StringSetFileTest, FailedLoadsGiveTheFileError) {
  StringSet set = Bound(9);
  set.SetValue(1, "stale");
  EXPECT_EQ(set.Load(false, true), -98);
  EXPECT_EQ(set.Count(), 0);
  file.CloseFile();
  testing::AssertCapture capture;
  StringSet unbound;
  EXPECT_EQ((std::vector<ResErr>{Bound(1).Load(false, false), unbound.Load(false, false), unbound.Save()}),
            std::vector<ResErr>(3, -49));
  EXPECT_TRUE(capture.Saw("file is invalid"));
}

TEST_F(StringSetFileTest, SaveOfASecondLanguageKeepsEnglishAndStoresOnlyBoth) {
  Store(kSTR, 128, PascalList({"chair", "table"}), "names");
  StringSet set = Bound(128, 2);
  set.SetName("names");
  set.SetValue(1, "silla");
  set.SetValue(2, "mesa");
  ASSERT_EQ(set.Save(), 0);
  Bytes bytes = Stored(kSTR, 128);
  // Two English entries and two of language 2 (the merge itself is tested
  // without a file).
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 4), (Bytes{0xFD, 0xFF, 4, 0}));
  StringSet spanish = Bound(128, 2);
  ASSERT_EQ(spanish.Load(false, false), 0);
  EXPECT_EQ(spanish.Value(2), "mesa");
  // A text-form set is stored as STR#.
  StringSet text = Bound(40, 0, kCST);
  text.SetValue(1, "x");
  ASSERT_EQ(text.Save(), 0);
  EXPECT_TRUE(!Stored(kSTR, 40).empty() && Stored(kCST, 40).empty());
}

TEST_F(StringSetFileTest, SaveReturnsTheFileAndMemoryErrors) {
  ResID id = 70;
  for (auto [op, err] : {std::pair{MemoryResFile::Op::kAdd, -45},
                         {MemoryResFile::Op::kWrite, -46},
                         {MemoryResFile::Op::kRelease, -50}}) {
    StringSet set = Bound(id++);
    set.SetValue(1, "v");
    file.FailNext(op, err);
    EXPECT_EQ(set.Save(), err);
  }
  testing::AssertCapture capture;
  StringSet set = Bound(id);
  set.SetValue(1, "v");
  FailHandleAllocationAfter(1);
  EXPECT_EQ(set.Save(), -200);
  FailHandleAllocationAfter(0);
  EXPECT_TRUE(Stored(kSTR, id).empty());
}

TEST_F(StringSetFileTest, GetIndStringReadsThroughTheStringSet) {
  Store(kSTR, 128, PascalList({"first", "second"}));
  CTGString text;
  file.GetIndString(text, 128, 2);
  EXPECT_EQ(text, "second");
  file.GetIndString(text, 129, 1);
  EXPECT_TRUE(text.Empty());
  EXPECT_EQ(file.GetError(), -98);
}

TEST_F(StringSetFileTest, ReconStreamKeepsItsStringsInAStringSet) {
  std::vector<std::uint8_t> buffer(16);
  {
    ReconStream writer = ReconStream::Writer(buffer, false);
    writer.SetStringTable(file, kTTAs, 44);
    std::string first = "Sit Down";
    std::string second = "Eat";
    writer.String(first);
    writer.String(second);
    EXPECT_EQ(writer.Position(), 0);
    EXPECT_EQ(disk.Find("obj", kTTAs, 44), nullptr) << "stored when the stream is done";
  }
  StringSet stored = Bound(44, 0, kTTAs);
  ASSERT_EQ(stored.Load(false, false), 0);
  EXPECT_EQ(std::tuple(stored.Value(1), stored.Value(2)), std::tuple("Sit Down", "Eat"));
  std::string a, b, c;
  for (bool withTable : {true, false}) {
    ReconStringTableFactory previous = withTable ? nullptr : SetReconStringTableFactory(nullptr);
    ReconStream reader = ReconStream::Reader(buffer, false);
    reader.SetStringTable(file, kTTAs, 44);
    reader.String(a);
    reader.String(b);
    reader.String(c);
    EXPECT_EQ(reader.Position(), 0);
    EXPECT_EQ(a + "," + b + "," + c, withTable ? "Sit Down,Eat," : ",,") << "without string sets strings read empty";
    if (!withTable) SetReconStringTableFactory(std::move(previous));
  }
  // A sizing stream counts no string bytes; a second table is refused.
  {
    testing::AssertCapture capture;
    ReconStream sizer;
    sizer.SetStringTable(file, kTTAs, 45);
    sizer.String(a);
    EXPECT_EQ(sizer.Position(), 0);
    sizer.SetStringTable(file, kTTAs, 45);
    EXPECT_TRUE(capture.Saw("(!fUsesStringTable) string table set twice"));
  }
  EXPECT_TRUE(Stored(kTTAs, 45).empty());
  // The table itself keeps numbered strings.
  auto table = MakeReconStringTable(file, kTTAs, 12);
  ASSERT_TRUE(table);
  table->Clear();
  table->Set(1, "sit");
  table->Set(3, "eat");
  EXPECT_EQ(table->Save(), 0);
  auto again = MakeReconStringTable(file, kTTAs, 12);
  EXPECT_EQ(again->Get(1) + "," + again->Get(2) + "," + again->Get(3) + "," + again->Get(4), "sit,,eat,");
}

// How the names merge is the table's own rule; here, that Load reaches it.
TEST_F(StringSetFileTest, AnimTableLoadsThroughTheFile) {
  Store(kSTR, 130, PascalList({"Walk", "Sit"}));
  AnimTable table;
  ASSERT_EQ(table.Load(&file, 130), 0);
  EXPECT_EQ(table.Value(2), "sit");
  EXPECT_EQ(table.Load(&file, 999), -98);
}

}  // namespace
}  // namespace pixmold
