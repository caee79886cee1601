#include "resfile/res_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "resfile/string_hooks.h"
#include "support/assert_capture.h"
#include "support/memory_res_file.h"

namespace pixmold {
namespace {

using testing::MemoryDisk;
using testing::MemoryResFile;
using testing::StoredResource;
using namespace res_error;

constexpr ResType kSTR = MakeResType("STR#");
constexpr ResType kBMP = MakeResType("BMP_");

MHandle HandleOf(std::string_view text) {
  MHandle h = NewHandle(static_cast<std::uint32_t>(text.size()));
  std::memcpy(HLock(h), text.data(), text.size());
  HUnlock(h);
  return h;
}

TEST(ResFileList, ObjectsAreListedNewestFirstWhileTheyLive) {
  MemoryDisk disk;
  std::size_t before = iResFile::AllResFiles().size();
  auto a = std::make_unique<MemoryResFile>(disk);
  auto b = std::make_unique<MemoryResFile>(disk);
  auto all = iResFile::AllResFiles();
  ASSERT_EQ(all.size(), before + 2);
  EXPECT_EQ(all[0], b.get());
  EXPECT_EQ(all[1], a.get());
  a.reset();
  all = iResFile::AllResFiles();
  EXPECT_EQ(all.size(), before + 1);
  EXPECT_EQ(std::count(all.begin(), all.end(), b.get()), 1);
}

TEST(ResFile, ConstructedClosedWithoutError) {
  MemoryDisk disk;
  MemoryResFile file(disk);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(file.GetError(), kNone);
  file.SetError(-48);
  EXPECT_EQ(file.GetError(), -48);
}

TEST(ResFile, SharedOperationsOnAClosedFileGiveNotOpen) {
  MemoryDisk disk;
  MemoryResFile file(disk);
  MHandle h = NewHandle(1);
  auto expectNotOpen = [&file](const char* what) {
    EXPECT_EQ(file.GetError(), kNotOpen) << what;
    file.SetError(kNone);
  };
  EXPECT_EQ(file.GetVariantResource(kBMP, 1, 2, nullptr), nullptr);
  expectNotOpen("GetVariantResource");
  std::uint16_t attrs = 7;
  file.GetResAttrs(h, attrs);
  EXPECT_EQ(attrs, 0);
  expectNotOpen("GetResAttrs");
  EXPECT_EQ(file.GetResVariant(h), 0);
  expectNotOpen("GetResVariant");
  EXPECT_EQ(file.UnsupportedOperation(h), kNotOpen);
  expectNotOpen("UnsupportedOperation");
  EXPECT_EQ(file.SetResID(h, 5), kNotOpen);
  expectNotOpen("SetResID");
  EXPECT_EQ(file.AddVariantResource(h, kBMP, 1, "n", 0, true), kNotOpen);
  expectNotOpen("AddVariantResource");
  CTGString text = "old";
  file.GetIndString(text, 1, 1);
  EXPECT_TRUE(text.Empty());
  expectNotOpen("GetIndString");
  EXPECT_EQ(file.GetResource(kBMP, 1, nullptr), nullptr);
  expectNotOpen("GetResource");
  EXPECT_EQ(file.CountTypes(), 0);
  expectNotOpen("CountTypes");
  EXPECT_EQ(file.UniqueID(kBMP), 0);
  expectNotOpen("UniqueID");
  file.ReleaseAndDispose(h);
  expectNotOpen("ReleaseAndDispose");
  EXPECT_TRUE(IsMember(h)) << "a failed release disposes of nothing";
  DisposeHandle(h);
}

class UniqueIDFile : public MemoryResFile {
 public:
  using iResFile::UniqueIDAmong;
  using iResFile::UniqueNameAmong;
  using MemoryResFile::MemoryResFile;
};

TEST(ResFile, UniqueIDRule) {
  struct Case {
    std::vector<ResID> ids;
    ResID expected;
  };
  std::vector<ResID> crowded;
  for (int id = 1; id <= 32767; ++id) {
    if (id != 4000) crowded.push_back(static_cast<ResID>(id));
  }
  std::vector<ResID> full;
  for (int id = 129; id <= 32767; ++id) full.push_back(static_cast<ResID>(id));
  const Case cases[] = {
      {{}, 129},        {{200}, 201},   {{1, 127, 128}, 129}, {{129}, 130},    {{-5, 3}, 129}, {{300, 200, 128}, 301},
      {{32766}, 32767}, {{32767}, 129}, {{32767, 129}, 130},  {crowded, 4000}, {full, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(UniqueIDFile::UniqueIDAmong(c.ids), c.expected) << c.ids.size();
}

TEST(ResFile, UniqueIDThroughAnOpenFile) {
  MemoryDisk disk;
  disk.files["f"] = {StoredResource{kBMP, 200, "", 0, true, {}}, StoredResource{kSTR, 5, "", 0, true, {}}};
  MemoryResFile file(disk);
  ASSERT_EQ(file.OpenFile("f"), kNone);
  EXPECT_EQ(file.UniqueID(kBMP), 201);
  EXPECT_EQ(file.UniqueID(kSTR), 129);
  EXPECT_EQ(file.UniqueID(MakeResType("DGRP")), 129);
}

TEST(ResFile, UniqueNameAppendsTheLowestFreeNumber) {
  std::vector<std::string> names = {"chair", "chair2", "lamp3"};
  auto taken = [&names](std::string_view n) { return std::find(names.begin(), names.end(), n) != names.end(); };
  const std::pair<const char*, const char*> cases[] = {
      {"table", "table"}, {"chair", "chair3"}, {"lamp", "lamp"}, {"lamp3", "lamp32"}, {"", ""}};
  for (const auto& [in, out] : cases) {
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
  ResErr failure;
  ResErr expected;
  std::vector<std::string> calls;
  bool freshAfterwards;
};

void PrintTo(const OpenCase& c, std::ostream* os) { *os << c.name; }

class OpenWithFlagsTest : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpenWithFlagsTest, FollowsTheFlags) {
  const OpenCase& c = GetParam();
  MemoryDisk disk;
  if (c.exists) disk.files["obj.iff"] = {StoredResource{kBMP, 1, "", 0, true, {1, 2}}};
  MemoryResFile file(disk);
  if (c.failure != kNone) file.FailNext(c.failing, c.failure);
  EXPECT_EQ(file.OpenWithFlags("obj.iff", c.flags), c.expected);
  EXPECT_EQ(file.Calls(), c.calls);
  EXPECT_EQ(file.IsOpen(), c.expected == kNone);
  if (c.expected == kNone) {
    EXPECT_EQ(file.CountResources(kBMP), c.freshAfterwards ? 0 : 1);
  }
}

using Op = MemoryResFile::Op;
constexpr int kCreate = iResFile::kOpenCreate;
constexpr int kReplace = iResFile::kOpenReplace;

INSTANTIATE_TEST_SUITE_P(
    Cases, OpenWithFlagsTest,
    ::testing::Values(OpenCase{"PlainMissing", 0, false, Op::kOpen, kNone, kOpenFailed, {"open obj.iff"}, false},
                      OpenCase{"PlainExisting", 0, true, Op::kOpen, kNone, kNone, {"open obj.iff"}, false},
                      OpenCase{"CreateMissing",
                               kCreate,
                               false,
                               Op::kOpen,
                               kNone,
                               kNone,
                               {"open obj.iff", "create obj.iff", "open obj.iff"},
                               true},
                      OpenCase{"CreateExisting", kCreate, true, Op::kOpen, kNone, kNone, {"open obj.iff"}, false},
                      OpenCase{"BothExisting",
                               kCreate | kReplace,
                               true,
                               Op::kOpen,
                               kNone,
                               kNone,
                               {"delete obj.iff", "create obj.iff", "open obj.iff"},
                               true},
                      OpenCase{"ReplaceMissing",
                               kReplace,
                               false,
                               Op::kOpen,
                               kNone,
                               kNone,
                               {"delete obj.iff", "create obj.iff", "open obj.iff"},
                               true},
                      OpenCase{"ReplaceCannotDelete",
                               kReplace,
                               true,
                               Op::kDelete,
                               kCannotDelete,
                               kCannotDelete,
                               {"delete obj.iff"},
                               false},
                      OpenCase{"ReplaceCannotCreate",
                               kReplace,
                               true,
                               Op::kCreate,
                               kCannotCreate,
                               kCannotCreate,
                               {"delete obj.iff", "create obj.iff"},
                               false},
                      OpenCase{"CreateCannotCreate",
                               kCreate,
                               false,
                               Op::kCreate,
                               kCannotCreate,
                               kCannotCreate,
                               {"open obj.iff", "create obj.iff"},
                               false}),
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
  EXPECT_EQ(GetHandleSize(h), 3);
  EXPECT_EQ(file.GetVariantResource(kBMP, 130, 1, nullptr), nullptr);
  EXPECT_EQ(file.GetError(), kVariantUnsupported);
  EXPECT_EQ(file.GetResVariant(h), 0);
  EXPECT_EQ(file.GetError(), kNone);
  HandleRecord unknown{};
  EXPECT_EQ(file.GetResVariant(&unknown), 0);
  EXPECT_EQ(file.GetError(), kNotFound);
  std::uint16_t attrs = 3;
  file.GetResAttrs(h, attrs);
  EXPECT_EQ(attrs, 0);
  EXPECT_EQ(file.GetError(), kAttrsUnsupported);
  EXPECT_EQ(file.UnsupportedOperation(h), kUnsupported);
  EXPECT_EQ(file.GetError(), kUnsupported);
  file.ReleaseAndDispose(h);
  EXPECT_EQ(file.GetError(), kNone);
  EXPECT_FALSE(IsMember(h));
}

TEST_F(OpenFileTest, SetResIDKeepsNameAndVariant) {
  MHandle h = file.GetResource(kBMP, 130, nullptr);
  ASSERT_EQ(file.SetResID(h, 140), kNone);
  ResID id = 0;
  EXPECT_EQ(file.GetResID(h, id), 140);
  CTGString name;
  file.GetResName(h, name);
  EXPECT_EQ(name, "pic");
  const StoredResource* stored = disk.Find("f", kBMP, 140);
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->name, "pic");
  EXPECT_EQ(stored->variant, 0) << "a file without variants reports 0 and keeps that";
  HandleRecord unknown{};
  EXPECT_EQ(file.SetResID(&unknown, 150), kNotThisFile);
  file.ReleaseAndDispose(h);
}

TEST_F(OpenFileTest, AddVariantResourceDropsNameAndVariant) {
  MHandle h = HandleOf("xyz");
  ASSERT_EQ(file.AddVariantResource(h, kSTR, 131, "label", 3, true), kNone);
  ASSERT_EQ(file.WriteResource(h), kNone);
  const StoredResource* stored = disk.Find("f", kSTR, 131);
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->name, "");
  EXPECT_EQ(stored->variant, 0);
  EXPECT_EQ(stored->bytes, (std::vector<std::uint8_t>{'x', 'y', 'z'}));
}

TEST_F(OpenFileTest, ReleaseAndDisposeKeepsAHandleItCouldNotRelease) {
  MHandle h = file.GetResource(kBMP, 130, nullptr);
  file.FailNext(Op::kRelease, kShortWrite);
  file.ReleaseAndDispose(h);
  EXPECT_EQ(file.GetError(), kShortWrite);
  EXPECT_TRUE(IsMember(h));
  EXPECT_EQ(file.CachedHandles(), 1u);
  file.ReleaseAndDispose(h);
  EXPECT_EQ(file.GetError(), kNone);
  EXPECT_FALSE(IsMember(h));
  EXPECT_EQ(file.CachedHandles(), 0u);
}

// Restores the string loader a test installed.
class ScopedLoader {
 public:
  explicit ScopedLoader(StringListLoader loader) : fPrevious(SetStringListLoader(std::move(loader))) {}
  ~ScopedLoader() { SetStringListLoader(std::move(fPrevious)); }

 private:
  StringListLoader fPrevious;
};

TEST_F(OpenFileTest, GetIndStringWithoutStringSetsIsEmpty) {
  ScopedLoader none{StringListLoader()};
  CTGString text = "stale";
  file.GetIndString(text, 128, 1);
  EXPECT_TRUE(text.Empty());
  EXPECT_EQ(file.GetError(), kNone);
}

TEST_F(OpenFileTest, GetIndStringPicksTheIndexFromTheLoadedSet) {
  ResID askedFor = 0;
  ScopedLoader loader{[&askedFor](iResFile&, ResID id, std::vector<std::string>& values) -> ResErr {
    askedFor = id;
    if (id == 999) return kNotFound;
    values = {"one", "two", "three"};
    return kNone;
  }};
  const std::pair<std::int32_t, const char*> cases[] = {{0, ""}, {1, "one"}, {3, "three"}, {4, ""}, {-1, ""}};
  for (const auto& [index, expected] : cases) {
    CTGString text = "stale";
    file.GetIndString(text, 300, index);
    EXPECT_EQ(text, expected) << index;
    EXPECT_EQ(file.GetError(), kNone);
  }
  EXPECT_EQ(askedFor, 300);
  CTGString text = "stale";
  file.GetIndString(text, 999, 1);
  EXPECT_TRUE(text.Empty());
  EXPECT_EQ(file.GetError(), kNotFound);
}

}  // namespace
}  // namespace pixmold
