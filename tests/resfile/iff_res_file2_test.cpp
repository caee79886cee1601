#include "resfile/iff_res_file2.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <span>
#include <tuple>
#include <vector>

#include "filelib/ctg_file_manager.h"
#include "filelib/file_system.h"
#include "filelib/io_faults.h"
#include "iff_test_util.h"
#include "resfile/iff_format.h"
#include "support/assert_capture.h"
#include "support/res_type_names.h"
#include "support/transfer_counter.h"

namespace pixmold {
namespace {

using namespace testing;

using IFF2Test = OpenContainerTest<IFFResFile2>;

TEST_F(IFF2Test, Version20FileIsWalkedAndGetsAMapAtClose) {
  Bytes bytes = testing::Header2('0', 0xDEADBEEF);
  testing::AppendBlock2(bytes, kSTR, 1, kNativeFlag, "old", {7, 8});
  ASSERT_EQ(OpenBytes(bytes), res_error::kNone);
  EXPECT_FALSE(file.OpenedByMap()) << "a 2.0 header's last bytes are not a map offset";
  Put(kSTR, 2, {9});
  Reopen();
  Bytes after = ReadAll(path);
  EXPECT_EQ(std::tuple(after[11], BE32At(after, BE32At(after, 60)), Get(kSTR, 1) + Get(kSTR, 2)),
            std::tuple('5', kResMapType, "\7\10\11"));
}

TEST_F(IFF2Test, VariantsShareTypeAndId) {
  NewFile();
  Put(kSPR2, 5, {0}, "plain", 0);
  Put(kSPR2, 5, {1}, "first", 1);
  EXPECT_EQ(file.CountResources(kSPR2), 2) << "variants count too";
  Reopen();
  // A missing variant falls back to variant 0; names find variant 0 only.
  EXPECT_EQ(Get(kSPR2, 5) + Get(kSPR2, 5, 1) + Get(kSPR2, 5, 2), std::string("\0\1\0", 3));
  MHandle h = file.GetVariantResource(kSPR2, 5, 1, nullptr);
  EXPECT_EQ(std::tuple(file.GetResVariant(h), file.GetNamedResource(kSPR2, "first", nullptr)), std::tuple(1, nullptr));
  ASSERT_EQ(file.SetResInfo(h, 6, "moved", 3), res_error::kNone);
  EXPECT_EQ(file.GetVariantResource(kSPR2, 6, 3, nullptr), h);
  Reopen(true);
  EXPECT_EQ(Get(kSPR2, 6, 3), "\1") << "the new id and variant are in the block header";
  EXPECT_EQ(NameOf(file.GetVariantResource(kSPR2, 6, 3, nullptr)), "moved");
}

TEST_F(IFF2Test, LongNamesAreCutTo63Characters) {
  NewFile();
  const std::string longName(64, 'n');
  AssertCapture reports;
  Put(kSTR, 1, {1}, longName);
  EXPECT_TRUE(reports.Saw("name too long"));
  Reopen();
  EXPECT_EQ(NameOf(file.GetResource(kSTR, 1, nullptr)), longName.substr(0, 63));
  CTGString unique(longName.substr(0, 63));
  file.UniqueName(kSTR, unique);
  EXPECT_EQ(unique.Str(), longName.substr(0, 62) + "0") << "the number fits in the 63 characters";
}

TEST_F(IFF2Test, ResourceOfTheMapTypeIsReportedAndDropped) {
  NewFile();
  AssertCapture reports;
  Put(kResMapType, 3, {1});
  Put(kSTR, 1, {1});
  Reopen();
  EXPECT_TRUE(reports.Saw("howd that happen?"));
  EXPECT_EQ(file.CountTypes(), 1);
}

TEST_F(IFF2Test, CodesOfVariantsStrangersAndARefusedHeap) {
  NewFile();
  Put(kSTR, 1, {1, 2, 3});
  MHandle stranger = HandleOf(Bytes{1});
  EXPECT_EQ(Miss(file.GetResVariant(stranger)), res_error::kNotFound);
  EXPECT_EQ(Miss(!file.IsResourceNative(stranger)), res_error::kNotThisFile);
  DisposeHandle(stranger);
  EXPECT_EQ(Miss(file.GetIndType(0)), res_error::kTypeIndexRange);
  // The heap refuses the bytes of a resource being loaded.
  file.ReleaseAndDispose(file.GetResource(kSTR, 1, nullptr));
  AssertCapture reports;
  FailHandleAllocationAfter(1);
  EXPECT_EQ(Miss(file.GetResource(kSTR, 1, nullptr)), res_error::kOutOfMemory);
  FailHandleAllocationAfter(0);
}

TEST_F(IFF2Test, FailedWritesGiveTheFlatFileCodes) {
  ASSERT_EQ(file.CreateFile(path), res_error::kNone);
  CTGFileManager manager;
  IoFaults faults(manager);
  IFFResFile2 faulty(manager);
  ASSERT_EQ(faulty.OpenFile(path), res_error::kNone);
  AssertCapture reports;
  MHandle h = HandleOf(Bytes{1, 2});
  ASSERT_EQ(faulty.AddResource(h, kSTR, 1, "", true), res_error::kNone);
  std::vector<ResErr> codes;
  for (IoOp op : {IoOp::kWrite, IoOp::kSeek, IoOp::kFlush}) {
    faults.FailNth(op, 1);
    codes.push_back(op == IoOp::kFlush ? faulty.UpdateFile() : faulty.WriteResource(h));
  }
  EXPECT_EQ(codes, (std::vector<ResErr>{res_error::kShortWrite, res_error::kShortRead, res_error::kOpenFailed}));
  EXPECT_TRUE(reports.Saw("could not make new header") && reports.Saw("could not flush file"));
  EXPECT_EQ(faulty.CloseFile(), res_error::kNone);
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  EXPECT_EQ(Get(kSTR, 1), std::string("\1\2"));
}

// A rebuild replaces every resource in file order, the way a build of the
// same art does. Each replacement takes the space the ones before it freed,
// so no resource is written twice (a close that closes up the holes would
// copy every block after the first) and none is read back. A resource that
// grows lands whole, and however many rebuilds run, the file stays within
// its live blocks and three of the largest (past that, a close compacts).
TEST(IFF2Rebuilds, ReplacementsFillTheSpaceTheyFreeAndNothingMoves) {
  TempDir dir;
  const std::string path = dir.File("rebuilt.iff");
  constexpr ResID kCount = 12;
  std::vector<std::size_t> sizes;
  for (ResID id = 1; id <= kCount; ++id) sizes.push_back(id % 2 ? 300000 : 700 + id);
  auto expected = [&](ResID id, std::uint32_t round) {
    return Pattern(sizes[static_cast<std::size_t>(id - 1)], round * 100 + static_cast<std::uint32_t>(id));
  };
  auto build = [&](std::uint32_t round, bool create) {
    IFFResFile2 file;
    if (create) {
      ASSERT_EQ(file.CreateFile(path), res_error::kNone);
    }
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    for (ResID id = 1; id <= kCount; ++id) {
      MHandle h = HandleOf(expected(id, round));
      ASSERT_EQ(file.AddResource(h, kSPR2, id, "", true), res_error::kNone);
      ASSERT_EQ(file.WriteResource(h), res_error::kNone);
      file.ReleaseAndDispose(h);
    }
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  };
  build(0, true);
  for (std::uint32_t round = 1; round <= 8; ++round) {
    SCOPED_TRACE(round);
    // The fifth round makes the third resource grow past every hole.
    if (round == 5) sizes[2] = 450000;
    std::int64_t data = 0;
    for (std::size_t size : sizes) data += static_cast<std::int64_t>(size) + kIFFBlockHeaderSize2;
    TransferCounter counter(CTGFileManager::Get());
    build(round, false);
    if (round < 5) {
      EXPECT_LE(counter.written, data + 8192) << "each resource written once";
      EXPECT_LT(counter.read, 300000) << "no resource read back";
    }
    const Bytes bytes = ReadAll(path);
    std::int64_t live = kIFFFileHeaderSize;
    std::int64_t largest = 0;
    int maps = 0;
    for (const auto& block : RawBlocks(bytes, kIFFBlockHeaderSize2)) {
      if (block.flags & kInvalid) continue;
      live += block.size;
      largest = std::max<std::int64_t>(largest, block.size);
      maps += block.type == kResMapType;
    }
    EXPECT_LE(static_cast<std::int64_t>(bytes.size()), live + 3 * largest);
    EXPECT_EQ(maps, 1) << "the map a walk passed over is freed";
    for (bool walk : {false, true}) {
      if (walk) {
        ASSERT_EQ(IFFResFile2().ClearMap(path), res_error::kNone);
      }
      IFFResFile2 reader;
      ASSERT_EQ(reader.OpenFile(path), res_error::kNone);
      for (ResID id = 1; id <= kCount; ++id) {
        MHandle h = reader.GetResource(kSPR2, id, nullptr);
        EXPECT_EQ(h ? BytesOf(h) : Bytes{}, expected(id, round)) << id << (walk ? " walked" : " by map");
      }
    }
  }
}

// A close that keeps its holes still cuts the free space after the last
// block: a file whose last resource went ends where the one before it does.
TEST(IFF2Rebuilds, TheFreeTailIsCutAtClose) {
  TempDir dir;
  const std::string path = dir.File("tail.iff");
  IFFResFile2 file;
  ASSERT_EQ(file.CreateFile(path), res_error::kNone);
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  ASSERT_EQ(file.AddResource(HandleOf(Pattern(20000, 1)), kSPR2, 1, "", true), res_error::kNone);
  ASSERT_EQ(file.AddResource(HandleOf(Pattern(30000, 2)), kSPR2, 2, "", true), res_error::kNone);
  ASSERT_EQ(file.CloseFile(), res_error::kNone);
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  ASSERT_EQ(file.RemoveResource(file.GetResource(kSPR2, 1, nullptr)), res_error::kNone);
  ASSERT_EQ(file.CloseFile(), res_error::kNone);
  const Bytes bytes = ReadAll(path);
  std::int64_t live = kIFFFileHeaderSize;
  for (const auto& block : RawBlocks(bytes, kIFFBlockHeaderSize2)) {
    if (!(block.flags & kInvalid)) live += block.size;
  }
  EXPECT_EQ(static_cast<std::int64_t>(bytes.size()), live);
}

// A rebuild that hands over the bytes a block already holds keeps that
// block: nothing is written or synced, and the file only gets a new time, so
// that a build tool still sees it newer than its inputs. Any difference, in
// the last byte of a large resource, its name or its flags, is written; a
// file without a map writes once, so that it leaves with one.
TEST(IFF2Rebuilds, AnUnchangedReplacementKeepsItsBlock) {
  struct Change {
    const char* what;
    bool lastByte = false;
    const char* name = "list";
    bool native = true;
    bool clearMap = false;
    bool written;
  };
  const Change changes[] = {
      {.what = "nothing", .written = false},
      {.what = "the last byte", .lastByte = true, .written = true},
      {.what = "the name", .name = "renamed", .written = true},
      {.what = "the flags", .native = false, .written = true},
      {.what = "nothing, in a file without a map", .clearMap = true, .written = true},
  };
  constexpr std::size_t kLarge = 700000;
  for (const Change& change : changes) {
    SCOPED_TRACE(change.what);
    TempDir dir;
    const std::string path = dir.File("kept.iff");
    auto build = [&](bool create, const Bytes& large, const char* name, bool native) {
      IFFResFile2 file;
      if (create) {
        ASSERT_EQ(file.CreateFile(path), res_error::kNone);
      }
      ASSERT_EQ(file.OpenFile(path), res_error::kNone);
      // Written and let go at once, then loaded again, as a build's lists
      // are: the entry must know the flags its block holds.
      MHandle h = HandleOf(large);
      ASSERT_EQ(file.AddResource(h, kSPR2, 1, name, native), res_error::kNone);
      ASSERT_EQ(file.WriteResource(h), res_error::kNone);
      file.ReleaseAndDispose(h);
      MHandle again = file.GetResource(kSPR2, 1, nullptr);
      EXPECT_EQ(again && file.IsResourceNative(again), native);
      ASSERT_EQ(file.AddResource(HandleOf(Pattern(900, 2)), kSTR, 2, "strings", true), res_error::kNone);
      ASSERT_EQ(file.CloseFile(), res_error::kNone);
    };
    build(true, Pattern(kLarge, 1), "list", true);
    if (change.clearMap) {
      ASSERT_EQ(IFFResFile2().ClearMap(path), res_error::kNone);
    }
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24);
    std::filesystem::last_write_time(path, old);
    const Bytes before = ReadAll(path);
    Bytes large = Pattern(kLarge, 1);
    if (change.lastByte) large.back() ^= 1;
    {
      TransferCounter counter(CTGFileManager::Get());
      build(false, large, change.name, change.native);
      EXPECT_EQ(counter.written > 0, change.written);
      EXPECT_EQ(counter.marked, change.written ? 0 : 1);
    }
    EXPECT_GT(std::filesystem::last_write_time(path), old);
    if (!change.written) {
      EXPECT_EQ(ReadAll(path), before);
    }
    IFFResFile2 reader;
    ASSERT_EQ(reader.OpenFile(path), res_error::kNone);
    EXPECT_TRUE(reader.OpenedByMap());
    MHandle h = reader.GetResource(kSPR2, 1, nullptr);
    EXPECT_EQ(h ? BytesOf(h) : Bytes{}, large);
    CTGString name;
    if (h) reader.GetResName(h, name);
    EXPECT_EQ(name, CTGString(change.name));
    EXPECT_EQ(h && reader.IsResourceNative(h), change.native);
  }
}

// A resource handed over in pieces is kept only when every byte of every
// piece, and the name and flags, are what its block holds; a resource the
// file caches in memory, or does not hold, is never kept.
TEST(IFF2Rebuilds, KeepIfUnchangedComparesEveryPieceByte) {
  TempDir dir;
  const std::string path = dir.File("pieces.iff");
  const Bytes stored = Pattern(300000, 7);
  {
    IFFResFile2 file;
    ASSERT_EQ(file.CreateFile(path), res_error::kNone);
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    ASSERT_EQ(file.AddResource(HandleOf(stored), kSPR2, 5, "list", false), res_error::kNone);
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  }
  // Cuts that fall inside and across the compare's own reads.
  const std::vector<std::size_t> cuts = {0, 1, 4097, 4098, 20000, 150001, stored.size()};
  struct Ask {
    const char* what;
    std::size_t flip = SIZE_MAX;  // a byte to change
    const char* name = "list";
    bool native = false;
    ResID id = 5;
    std::size_t drop = 0;  // bytes left off the end
    bool cached = false;
    bool kept;
  };
  const Ask asks[] = {
      {.what = "the same bytes", .kept = true},
      {.what = "the first byte", .flip = 0, .kept = false},
      {.what = "the last byte of a middle piece", .flip = 4096, .kept = false},
      {.what = "a byte deep in a large piece", .flip = 150000, .kept = false},
      {.what = "the last byte", .flip = stored.size() - 1, .kept = false},
      {.what = "one byte fewer", .drop = 1, .kept = false},
      {.what = "another name", .name = "lists", .kept = false},
      {.what = "other flags", .native = true, .kept = false},
      {.what = "a resource the file does not hold", .id = 6, .kept = false},
      {.what = "a resource cached in memory", .cached = true, .kept = false},
  };
  for (const Ask& ask : asks) {
    SCOPED_TRACE(ask.what);
    Bytes bytes = stored;
    if (ask.flip != SIZE_MAX) bytes[ask.flip] ^= 0x40;
    bytes.erase(bytes.end() - static_cast<std::ptrdiff_t>(ask.drop), bytes.end());
    std::vector<std::span<const std::uint8_t>> pieces;
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
      const std::size_t end = std::min(cuts[i + 1], bytes.size());
      pieces.emplace_back(bytes.data() + cuts[i], end - cuts[i]);
    }
    const Bytes before = ReadAll(path);
    IFFResFile2 file;
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    if (ask.cached) {
      ASSERT_NE(file.GetResource(kSPR2, 5, nullptr), nullptr);
    }
    TransferCounter counter(CTGFileManager::Get());
    EXPECT_EQ(file.KeepIfUnchanged(kSPR2, ask.id, CTGString(ask.name), ask.native, pieces), ask.kept);
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
    EXPECT_EQ(counter.written, 0);
    EXPECT_EQ(counter.marked, ask.kept ? 1 : 0);
    EXPECT_EQ(ReadAll(path), before);
  }
}

// A large resource is sent on to the disk as soon as its bytes are written,
// so that the sync at close has little left to wait for; small ones wait
// for it, as asking costs more than it saves.
TEST(IFF2Rebuilds, ALargeResourceLeavesForTheDiskOnceWritten) {
  TempDir dir;
  const std::string path = dir.File("writeback.iff");
  const Bytes large = Pattern(std::size_t{2} << 20, 5);
  TransferCounter counter(CTGFileManager::Get());
  {
    IFFResFile2 file;
    ASSERT_EQ(file.CreateFile(path), res_error::kNone);
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    ASSERT_EQ(file.AddResource(HandleOf(Pattern(1000, 6)), kSTR, 1, "", true), res_error::kNone);
    ASSERT_EQ(file.AddResource(HandleOf(large), kSPR2, 1, "", true), res_error::kNone);
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  }
  ASSERT_EQ(counter.writebacks.size(), 1u);
  const auto [offset, count] = counter.writebacks[0];
  EXPECT_EQ(count, static_cast<std::int64_t>(large.size()));
  const Bytes bytes = ReadAll(path);
  ASSERT_LE(offset + count, static_cast<std::int64_t>(bytes.size()));
  EXPECT_TRUE(std::equal(large.begin(), large.end(), bytes.begin() + offset)) << "the range is the resource's bytes";
}

// A rebuild that changes one resource of two writes that one alone, and
// finds the difference without reading the other's block back whole.
TEST(IFF2Rebuilds, OnlyTheChangedResourceIsWritten) {
  TempDir dir;
  const std::string path = dir.File("mixed.iff");
  auto build = [&](bool create, std::uint32_t secondSeed) {
    IFFResFile2 file;
    if (create) {
      ASSERT_EQ(file.CreateFile(path), res_error::kNone);
    }
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    ASSERT_EQ(file.AddResource(HandleOf(Pattern(500000, 1)), kSPR2, 1, "", true), res_error::kNone);
    ASSERT_EQ(file.AddResource(HandleOf(Pattern(400000, secondSeed)), kSPR2, 2, "", true), res_error::kNone);
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  };
  build(true, 2);
  TransferCounter counter(CTGFileManager::Get());
  build(false, 3);
  EXPECT_GE(counter.written, 400000);
  EXPECT_LT(counter.written, 500000) << "the unchanged resource is not written again";
  EXPECT_LT(counter.read, 500000 + 100000) << "the changed one is not read back whole";
  IFFResFile2 reader;
  ASSERT_EQ(reader.OpenFile(path), res_error::kNone);
  MHandle h = reader.GetResource(kSPR2, 2, nullptr);
  EXPECT_EQ(h ? BytesOf(h) : Bytes{}, Pattern(400000, 3));
}

// The art of an object as a build writes it: a large sprite list and its
// small palette, pair after pair, then two small records. Sheets of one size
// give lists of one size, as the large benchmark object's do.
struct RebuildItem {
  ResType type;
  ResID id;
  std::size_t size;
};

std::vector<RebuildItem> RebuildArt() {
  std::vector<RebuildItem> items;
  for (ResID pair = 0; pair < 6; ++pair) {
    items.push_back({kSPR2, static_cast<ResID>(1000 + pair), 60000});
    items.push_back({kPALT, pair, 860});
  }
  items.push_back({kDGRP, 100, 1138});
  items.push_back({kDGRP, 101, 1138});
  return items;
}

Bytes RebuildBytes(const RebuildItem& item, std::uint32_t round) {
  return Pattern(item.size, round * 1000 + static_cast<std::uint32_t>(item.type % 97 + item.id));
}

// One build session: the items written in the order given, with the bytes
// of the round.
void RebuildOnce(const std::string& path, const std::vector<RebuildItem>& items, std::uint32_t round) {
  IFFResFile2 file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  for (const RebuildItem& item : items) {
    MHandle h = HandleOf(RebuildBytes(item, round));
    ASSERT_EQ(file.AddResource(h, item.type, item.id, "", true), res_error::kNone);
    ASSERT_EQ(file.WriteResource(h), res_error::kNone);
    file.ReleaseAndDispose(h);
  }
  ASSERT_EQ(file.CloseFile(), res_error::kNone);
}

void ExpectRebuiltBytes(const std::string& path, const std::vector<RebuildItem>& items, std::uint32_t round) {
  IFFResFile2 reader;
  ASSERT_EQ(reader.OpenFile(path), res_error::kNone);
  for (const RebuildItem& item : items) {
    MHandle h = reader.GetResource(item.type, item.id, nullptr);
    EXPECT_EQ(h ? BytesOf(h) : Bytes{}, RebuildBytes(item, round)) << ResTypeName(item.type) << " " << item.id;
  }
}

// Bytes of the live blocks, the file header included.
std::int64_t LiveBytes(const Bytes& file) {
  std::int64_t live = kIFFFileHeaderSize;
  for (const auto& block : RawBlocks(file, kIFFBlockHeaderSize2)) {
    if (!(block.flags & kInvalid)) live += block.size;
  }
  return live;
}

struct SettleCase {
  const char* what;
  std::vector<std::size_t> firstOrder;  // the items in the order the file was first written
};

class IFF2SettleTest : public ::testing::TestWithParam<SettleCase> {};

// Whatever order the blocks of a file are in (a compaction, an older writer
// or another order of inputs leaves them so), rebuilds of the same art
// settle within two: from then on each resource is written once where the
// one before it freed space, no block is moved, and the file grows no more.
TEST_P(IFF2SettleTest, RebuildsOfTheSameArtSettleFromAnyLayout) {
  TempDir dir;
  const std::string path = dir.File("settle.iff");
  const std::vector<RebuildItem> items = RebuildArt();
  std::vector<RebuildItem> first;
  for (std::size_t index : GetParam().firstOrder) first.push_back(items[index]);
  ASSERT_EQ(IFFResFile2().CreateFile(path), res_error::kNone);
  RebuildOnce(path, first, 0);
  std::int64_t data = 0;
  for (const RebuildItem& item : items) data += static_cast<std::int64_t>(item.size) + kIFFBlockHeaderSize2;
  std::int64_t lastSize = 0;
  for (std::uint32_t round = 1; round <= 5; ++round) {
    SCOPED_TRACE(round);
    TransferCounter counter(CTGFileManager::Get());
    RebuildOnce(path, items, round);
    const Bytes bytes = ReadAll(path);
    const auto size = static_cast<std::int64_t>(bytes.size());
    EXPECT_LE(size, LiveBytes(bytes) * 3 / 2);
    if (round > 2) {
      EXPECT_LE(counter.written, data + 8192) << "each resource written once, no block moved";
      EXPECT_LE(size, lastSize) << "the file stopped growing";
    }
    lastSize = size;
    ExpectRebuiltBytes(path, items, round);
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, IFF2SettleTest,
                         ::testing::Values(SettleCase{"reversed", {13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}},
                                           SettleCase{"palettes first", {1, 3, 5, 7, 9, 11, 12, 13, 0, 2, 4, 6, 8, 10}},
                                           SettleCase{"shuffled", {6, 13, 2, 9, 0, 11, 4, 7, 12, 1, 10, 3, 8, 5}}),
                         testing::CaseName<SettleCase>);

// Lists of several sizes that drift a little from build to build leave holes
// that the next replacements do not fill exactly; they still go where there
// is room, and a close moves blocks only before the file outgrows one and a
// half times its live data.
TEST(IFF2Rebuilds, DriftingSizesKeepTheFileNearItsLiveData) {
  TempDir dir;
  const std::string path = dir.File("drift.iff");
  std::vector<RebuildItem> items = RebuildArt();
  ASSERT_EQ(IFFResFile2().CreateFile(path), res_error::kNone);
  RebuildOnce(path, items, 0);
  for (std::uint32_t round = 1; round <= 12; ++round) {
    SCOPED_TRACE(round);
    for (std::size_t i = 0; i < 12; i += 2) {
      // Up or down by as much as 1.2 KiB, differently for each list.
      const auto step = static_cast<std::int64_t>((round * 7 + i * 5) % 9) - 4;
      items[i].size = static_cast<std::size_t>(60000 + 1500 * static_cast<std::int64_t>(i / 2 % 3) + step * 300);
    }
    RebuildOnce(path, items, round);
    const Bytes bytes = ReadAll(path);
    EXPECT_LE(static_cast<std::int64_t>(bytes.size()), LiveBytes(bytes) * 3 / 2);
    ExpectRebuiltBytes(path, items, round);
  }
}

// Holes past three of the largest block but under half the live data stay
// where they are: a rebuild's replacements fill them, and moving every block
// after the first would cost more than the space.
TEST(IFF2Rebuilds, HolesUnderHalfTheLiveDataAreKept) {
  TempDir dir;
  const std::string path = dir.File("holes.iff");
  for (int removed : {4, 6}) {
    SCOPED_TRACE(removed);
    IFFResFile2 file;
    std::filesystem::remove(path);
    ASSERT_EQ(file.CreateFile(path), res_error::kNone);
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    for (ResID id = 1; id <= 13; ++id) {
      MHandle h = HandleOf(Pattern(10000, id));
      ASSERT_EQ(file.AddResource(h, kSPR2, id, "", true), res_error::kNone);
      ASSERT_EQ(file.WriteResource(h), res_error::kNone);
      file.ReleaseAndDispose(h);
    }
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
    const auto before = RawBlocks(ReadAll(path), kIFFBlockHeaderSize2);
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    // Every other resource from the first on, the last one kept.
    for (int i = 0; i < removed; ++i) {
      ASSERT_EQ(file.RemoveResource(file.GetResource(kSPR2, static_cast<ResID>(1 + 2 * i), nullptr)), res_error::kNone);
    }
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
    const auto after = RawBlocks(ReadAll(path), kIFFBlockHeaderSize2);
    const std::int64_t last = static_cast<std::int64_t>(before[12].offset);
    std::int64_t lastNow = -1;
    for (const auto& block : after) {
      if (block.type == kSPR2 && block.id == 13 && !(block.flags & kInvalid))
        lastNow = static_cast<std::int64_t>(block.offset);
    }
    // Nine live blocks and four holes stay; seven and six are closed up.
    EXPECT_EQ(lastNow == last, removed == 4);
  }
}

// Free blocks side by side take a block as large as they are together, and
// a block that fits in one of them splits it rather than going to the end.
TEST_F(IFF2Test, NeighbouringFreeBlocksAreJoinedAndSplit) {
  NewFile();
  for (ResID id = 1; id <= 4; ++id) Put(kSPR2, id, Pattern(3000, id));
  Reopen();
  const std::int64_t size = static_cast<std::int64_t>(ReadAll(path).size());
  auto offsetOf = [&](ResID id) {
    for (const auto& block : RawBlocks(ReadAll(path), kIFFBlockHeaderSize2)) {
      if (block.type == kSPR2 && block.id == id && !(block.flags & kInvalid))
        return static_cast<std::int64_t>(block.offset);
    }
    return std::int64_t{-1};
  };
  const std::int64_t first = offsetOf(1);
  const std::int64_t third = offsetOf(3);
  for (ResID id : {1, 2, 3}) ASSERT_EQ(file.RemoveResource(file.GetResource(kSPR2, id, nullptr)), res_error::kNone);
  Put(kSPR2, 5, Pattern(6076, 5));  // two blocks of 3000 bytes and a header
  Put(kSPR2, 6, Pattern(1000, 6));
  EXPECT_EQ(std::tuple(offsetOf(5), offsetOf(6), static_cast<std::int64_t>(ReadAll(path).size())),
            std::tuple(first, third, size));
  Reopen(true);
  auto text = [](const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); };
  EXPECT_EQ(Get(kSPR2, 5) + Get(kSPR2, 6) + Get(kSPR2, 4),
            text(Pattern(6076, 5)) + text(Pattern(1000, 6)) + text(Pattern(3000, 4)));
}

// A block larger than any free space goes where the free blocks that end
// the file begin, not after them.
TEST_F(IFF2Test, ABlockLargerThanAnyFreeSpaceTakesTheFreeTail) {
  NewFile();
  Put(kSPR2, 1, Pattern(1000, 1));
  Put(kSPR2, 2, Pattern(5000, 2));
  const std::size_t second = RawBlocks(ReadAll(path), kIFFBlockHeaderSize2).back().offset;
  ASSERT_EQ(file.RemoveResource(file.GetResource(kSPR2, 2, nullptr)), res_error::kNone);
  Put(kSPR2, 3, Pattern(8000, 3));
  const Bytes bytes = ReadAll(path);
  EXPECT_EQ(std::tuple(RawBlocks(bytes, kIFFBlockHeaderSize2).back().offset, bytes.size()),
            std::tuple(second, second + 8000 + kIFFBlockHeaderSize2));
}

// A write that fails half way through an append leaves a block header that
// announces bytes which never came. The next block goes where that header
// is, not behind it, where the header's size would run into it and hide
// every block after it from the next walk.
TEST_F(IFF2Test, ABlockNeverGoesBehindAnAppendThatFailed) {
  NewFile();
  Put(kSTR, 1, Pattern(500, 1));
  IoFaults faults;
  MHandle h = HandleOf(Pattern(5000, 2));
  ASSERT_EQ(file.AddResource(h, kSTR, 2, "", true), res_error::kNone);
  // The header of the new block lands; its bytes do not.
  faults.FailNth(IoOp::kWrite, 2);
  AssertCapture reports;
  EXPECT_NE(file.WriteResource(h), res_error::kNone);
  faults.Clear();
  Put(kSTR, 3, Pattern(700, 3));
  Reopen(true);
  std::vector<FileProblem> problems;
  file.CollectProblems(problems);
  EXPECT_TRUE(problems.empty());
  EXPECT_EQ(std::tuple(Get(kSTR, 1).size(), Get(kSTR, 2).size(), Get(kSTR, 3).size()), std::tuple(500u, 5000u, 700u));
}

}  // namespace
}  // namespace pixmold
