
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <tuple>

#include "iff_test_util.h"
#include "resfile/string_hooks.h"
#include "support/memory_res_file.h"
#include "support/res_type_names.h"

namespace pixmold {
namespace {

using namespace testing;
using namespace res_error;

TEST(ResFileList, ObjectsAreListedNewestFirstWhileTheyLive) {
  MemoryDisk disk;
  const std::size_t before = iResFile::AllResFiles().size();
  auto a = std::make_unique<MemoryResFile>(disk);
  auto b = std::make_unique<MemoryResFile>(disk);
  auto all = iResFile::AllResFiles();
  ASSERT_EQ(all.size(), before + 2);
  EXPECT_EQ(std::vector<iResFile*>(all.begin(), all.begin() + 2), (std::vector<iResFile*>{b.get(), a.get()}));
  a.reset();
  all = iResFile::AllResFiles();
  EXPECT_EQ(all.size(), before + 1);
  EXPECT_EQ(std::count(all.begin(), all.end(), b.get()), 1);
}

TEST(ResFile, SharedOperationsOnAClosedFileGiveNotOpen) {
  MemoryDisk disk;
  MemoryResFile file(disk);
  MHandle h = NewHandle(1);
  std::uint16_t attrs = 7;
  CTGString text = "old";
  const std::function<bool()> calls[] = {
      [&] { return file.GetVariantResource(kBMP, 1, 2, nullptr) == nullptr; },
      [&] { return file.GetResAttrs(h, attrs), attrs == 0; },
      [&] { return file.GetResVariant(h) == 0; },
      [&] { return file.UnsupportedOperation(h) == kNotOpen; },
      [&] { return file.SetResID(h, 5) == kNotOpen; },
      [&] { return file.AddVariantResource(h, kBMP, 1, "n", 0, true) == kNotOpen; },
      [&] { return file.GetIndString(text, 1, 1), text.Empty(); },
      [&] { return file.CountTypes() == 0 && file.UniqueID(kBMP) == 0; },
      [&] { return file.ReleaseAndDispose(h), IsMember(h); },
  };
  for (std::size_t i = 0; i < std::size(calls); ++i) {
    file.SetError(kNone);
    EXPECT_TRUE(calls[i]()) << i;
    EXPECT_EQ(file.GetError(), kNotOpen) << i;
  }
  DisposeHandle(h);
}

class UniqueIDFile : public MemoryResFile {
 public:
  using iResFile::UniqueIDAmong;
  using iResFile::UniqueNameAmong;
};

TEST(ResFile, UniqueIDAndNameRules) {
  std::vector<ResID> crowded;
  std::vector<ResID> full;
  for (int id = 1; id <= 32767; ++id) {
    if (id != 4000) crowded.push_back(static_cast<ResID>(id));
    if (id >= 129) full.push_back(static_cast<ResID>(id));
  }
  const std::pair<std::vector<ResID>, ResID> cases[] = {
      {{}, 129},        {{200}, 201},   {{1, 127, 128}, 129}, {{129}, 130},   {{-5, 3}, 129}, {{300, 200, 128}, 301},
      {{32766}, 32767}, {{32767}, 129}, {{32767, 129}, 129},  {crowded, 129}, {full, 129},
  };
  for (const auto& [ids, expected] : cases) EXPECT_EQ(UniqueIDFile::UniqueIDAmong(ids), expected) << ids.size();

  std::vector<std::string> names = {"chair", "chair0", "chair1", "chair2", "lamp3"};
  auto taken = [&names](std::string_view n) { return std::find(names.begin(), names.end(), n) != names.end(); };
  const std::pair<const char*, const char*> renames[] = {{"table", "table"}, {"chair", "chair3"}, {"chair2", "chair20"},
                                                         {"lamp", "lamp"},   {"lamp3", "lamp30"}, {"", ""}};
  for (const auto& [in, out] : renames) {
    CTGString name = in;
    UniqueIDFile::UniqueNameAmong(name, taken);
    EXPECT_EQ(name, out) << in;
  }
}

struct OpenCase {
  const char* name;
  int flags;
  bool exists;
  MemoryResFile::Op failing;
  ResErr failure;  // of the failing call, and what the open answers
  std::vector<std::string> calls;
};

void PrintTo(const OpenCase& c, std::ostream* os) { *os << c.name; }

class OpenWithFlagsTest : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpenWithFlagsTest, FollowsTheFlags) {
  const OpenCase& c = GetParam();
  MemoryDisk disk;
  if (c.exists) disk.files["f"] = {StoredResource{kBMP, 1, "", 0, true, {1, 2}}};
  MemoryResFile file(disk);
  if (c.failure != kNone) file.FailNext(c.failing, c.failure);
  const ResErr expected = c.failure != kNone ? c.failure : c.flags || c.exists ? kNone : kOpenFailed;
  EXPECT_EQ(file.OpenWithFlags("f", c.flags), expected);
  std::vector<std::string> calls;
  for (const std::string& call : c.calls) calls.push_back(call + " f");
  EXPECT_EQ(file.Calls(), calls);
  EXPECT_EQ(file.IsOpen(), expected == kNone);
  EXPECT_TRUE(expected != kNone || file.CountResources(kBMP) == (c.calls.size() > 1 ? 0 : 1))
      << "a fresh file is empty";
}

using Op = MemoryResFile::Op;
constexpr int kCreate = iResFile::kOpenCreate;
constexpr int kReplace = iResFile::kOpenReplace;

INSTANTIATE_TEST_SUITE_P(
    Cases, OpenWithFlagsTest,
    ::testing::Values(OpenCase{"PlainMissing", 0, false, Op::kOpen, kNone, {"open"}},
                      OpenCase{"PlainExisting", 0, true, Op::kOpen, kNone, {"open"}},
                      OpenCase{"CreateMissing", kCreate, false, Op::kOpen, kNone, {"open", "create", "open"}},
                      OpenCase{"CreateExisting", kCreate, true, Op::kOpen, kNone, {"open"}},
                      OpenCase{
                          "BothExisting", kCreate | kReplace, true, Op::kOpen, kNone, {"delete", "create", "open"}},
                      OpenCase{"ReplaceMissing", kReplace, false, Op::kOpen, kNone, {"delete", "create", "open"}},
                      OpenCase{"ReplaceCannotDelete", kReplace, true, Op::kDelete, kCannotDelete, {"delete"}},
                      OpenCase{"ReplaceCannotCreate", kReplace, true, Op::kCreate, kCannotCreate, {"delete", "create"}},
                      OpenCase{"CreateCannotCreate", kCreate, false, Op::kCreate, kCannotCreate, {"open", "create"}}),
    [](const auto& info) { return std::string(info.param.name); });

class OpenFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    disk.files["f"] = {StoredResource{kBMP, 130, "pic", 4, true, {9, 8, 7}}};
    ASSERT_EQ(file.OpenFile("f"), kNone);
  }
  MemoryDisk disk;
  MemoryResFile file{disk};
};

TEST_F(OpenFileTest, FilesWithoutVariantsOrAttributes) {
  MHandle h = file.GetVariantResource(kBMP, 130, 0, nullptr);
  ASSERT_NE(h, nullptr);
  HandleRecord unknown{};
  std::uint16_t attrs = 3;
  EXPECT_EQ(
      std::vector<ResErr>({Miss(file, file.GetVariantResource(kBMP, 130, 1, nullptr)),
                           Miss(file, file.GetResVariant(h)), Miss(file, file.GetResVariant(&unknown)),
                           file.SetResID(&unknown, 150), (file.GetResAttrs(h, attrs), Miss(file, attrs)),
                           file.UnsupportedOperation(h)}),
      std::vector<ResErr>({kVariantUnsupported, kNone, kNotFound, kNotThisFile, kAttrsUnsupported, kUnsupported}));
  // SetResID keeps the name; AddVariantResource drops name and variant; a
  // file without variants stores variant 0.
  ASSERT_EQ(file.SetResID(h, 140), kNone);
  MHandle added = testing::HandleOf("xyz");
  ASSERT_EQ(file.AddVariantResource(added, kSTR, 131, "label", 3, true), kNone);
  ASSERT_EQ(file.WriteResource(added), kNone);
  const StoredResource* moved = disk.Find("f", kBMP, 140);
  const StoredResource* stored = disk.Find("f", kSTR, 131);
  ASSERT_TRUE(moved && stored);
  EXPECT_EQ(std::tuple(moved->name, moved->variant, stored->name, stored->variant, stored->bytes),
            std::tuple("pic", 0, "", 0, std::vector<std::uint8_t>{'x', 'y', 'z'}));
}

TEST_F(OpenFileTest, ReleaseAndDisposeKeepsAHandleItCouldNotRelease) {
  MHandle h = file.GetResource(kBMP, 130, nullptr);
  file.FailNext(Op::kRelease, kShortWrite);
  file.ReleaseAndDispose(h);
  EXPECT_EQ(std::tuple(file.GetError(), IsMember(h), file.CachedHandles()), std::tuple(kShortWrite, true, 1u));
  file.ReleaseAndDispose(h);
  EXPECT_EQ(std::tuple(file.GetError(), IsMember(h), file.CachedHandles()), std::tuple(kNone, false, 0u));
}

TEST_F(OpenFileTest, GetIndStringPicksTheIndexFromTheLoadedSet) {
  ResID askedFor = 0;
  StringListLoader previous = SetStringListLoader(StringListLoader());
  CTGString text = "stale";
  file.GetIndString(text, 128, 1);
  EXPECT_TRUE(text.Empty()) << "without string sets";
  SetStringListLoader([&askedFor](iResFile&, ResID id, std::vector<std::string>& values) -> ResErr {
    askedFor = id;
    if (id == 999) return kNotFound;
    values = {"one", "two", "three"};
    return kNone;
  });
  const std::pair<std::int32_t, const char*> cases[] = {{0, ""}, {1, "one"}, {3, "three"}, {4, ""}, {-1, ""}};
  for (const auto& [index, expected] : cases) {
    text = "stale";
    file.GetIndString(text, 300, index);
    EXPECT_EQ(text, expected) << index;
    EXPECT_EQ(file.GetError(), kNone);
  }
  EXPECT_EQ(askedFor, 300);
  file.GetIndString(text, 999, 1);
  EXPECT_TRUE(text.Empty());
  EXPECT_EQ(file.GetError(), kNotFound);
  SetStringListLoader(std::move(previous));
}

}  // namespace
}  // namespace pixmold
