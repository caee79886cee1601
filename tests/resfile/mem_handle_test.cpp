#include "resfile/mem_handle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/terminate.h"
#include "base/xassert.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

using testing::AssertCapture;

// Every test starts and ends with no live handles, so leaks show up here.
class MemHandleTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(CountLiveHandles(), 0u); }
  void TearDown() override { EXPECT_EQ(CountLiveHandles(), 0u); }
};

bool AllBytesAre(const std::uint8_t* p, std::size_t n, std::uint8_t value) {
  return std::all_of(p, p + n, [value](std::uint8_t b) { return b == value; });
}

std::string Dump() {
  char* text = nullptr;
  std::size_t length = 0;
  std::FILE* stream = open_memstream(&text, &length);
  DumpHandles(stream);
  std::fclose(stream);
  std::string result(text, length);
  std::free(text);
  return result;
}

TEST_F(MemHandleTest, EmptyHandleHoldsOnlyTheTwoGuards) {
  MHandle h = NewHandle(0);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(MemError(), 0);
  EXPECT_TRUE(IsMember(h));
  EXPECT_EQ(GetHandleSize(h), 0);
  EXPECT_EQ(h->blockSize, 1024u);
  EXPECT_EQ(h->guardCount, 512);
  EXPECT_TRUE(AllBytesAre(h->block, 1024, kGuardByte));
  EXPECT_TRUE(BoundsCheck(h));
  DisposeHandle(h);
  EXPECT_EQ(MemError(), 0);
}

TEST_F(MemHandleTest, NewHandleFillsGuardsAndUserBytes) {
  MHandle a = NewHandle(100);
  MHandle b = NewHandle(3);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(a->magic, kHandleMagic);
  EXPECT_EQ(a->lockCount, 0);
  EXPECT_EQ(b->index, a->index + 1);
  std::uint8_t* p = HLock(a);
  EXPECT_EQ(p, a->block + 512);
  EXPECT_TRUE(AllBytesAre(p - 512, 512, kGuardByte));
  EXPECT_TRUE(AllBytesAre(p, 100, kFillByte));
  EXPECT_TRUE(AllBytesAre(p + 100, 512, kGuardByte));
  HUnlock(a);
  DisposeHandle(b);
  DisposeHandle(a);
}

TEST_F(MemHandleTest, NestedLocksMustAllBeUndoneBeforeResizing) {
  AssertCapture capture;
  MHandle h = NewHandle(8);
  std::uint8_t* p = HLock(h);
  BlockFill(p, 0x11, 8);
  HLock(h);
  EXPECT_TRUE(IsHandleLocked(h));
  HUnlock(h);
  EXPECT_TRUE(IsHandleLocked(h));
  EXPECT_EQ(SetHandleSize(h, 20), kMemLockedErr);
  EXPECT_EQ(MemError(), kMemLockedErr);
  EXPECT_TRUE(capture.Saw("(false) resizing locked handle"));
  EXPECT_EQ(GetHandleSize(h), 8);
  EXPECT_TRUE(AllBytesAre(p, 8, 0x11));
  HUnlock(h);
  EXPECT_FALSE(IsHandleLocked(h));
  EXPECT_EQ(SetHandleSize(h, 20), 0);
  EXPECT_EQ(GetHandleSize(h), 20);
  EXPECT_EQ(capture.Count(), 1u);
  DisposeHandle(h);
}

TEST_F(MemHandleTest, LockCountMisuseIsReported) {
  AssertCapture capture;
  MHandle h = NewHandle(4);
  HUnlock(h);
  EXPECT_TRUE(capture.Saw("(lockCount>0) bad lock count"));
  EXPECT_EQ(h->lockCount, -1);
  EXPECT_NE(HLock(h), nullptr);
  EXPECT_TRUE(capture.Saw("(lockCount>=0) lock count<0"));
  EXPECT_EQ(h->lockCount, 0);
  EXPECT_EQ(capture.Count(), 2u);
  DisposeHandle(h);
}

TEST_F(MemHandleTest, LockedHandleCanBeDisposedOf) {
  MHandle h = NewHandle(4);
  HLock(h);
  DisposeHandle(h);
  EXPECT_EQ(MemError(), 0);
  EXPECT_FALSE(IsMember(h));
}

// Writes one byte at an offset from the user bytes (negative: into the
// leading guard; size and beyond: into the trailing guard).
struct OverwriteCase {
  const char* name;
  std::ptrdiff_t offset;
};

void PrintTo(const OverwriteCase& c, std::ostream* os) { *os << c.name; }

class OverwriteTest : public MemHandleTest, public ::testing::WithParamInterface<OverwriteCase> {};

TEST_P(OverwriteTest, DetectedByDumpResizeAndDisposal) {
  constexpr std::uint32_t kSize = 16;
  AssertCapture capture;
  MHandle h = NewHandle(kSize);
  std::uint8_t* p = HLock(h);
  p[GetParam().offset] = 0;
  HUnlock(h);
  EXPECT_FALSE(BoundsCheck(h));
  EXPECT_NE(Dump().find("i:" + std::to_string(h->index) + ", s: 16 bc: 512 overwrite detected\n"), std::string::npos);

  EXPECT_EQ(SetHandleSize(h, kSize), 0);
  EXPECT_TRUE(capture.Saw("(false) bounds checker detected handle overwrite"));
  EXPECT_TRUE(BoundsCheck(h)) << "resizing rewrites both guards";

  p = HLock(h);
  p[GetParam().offset] = 0;
  HUnlock(h);
  capture.Clear();
  DisposeHandle(h);
  EXPECT_TRUE(capture.Saw("(false) bounds checker detected handle overwrite"));
  EXPECT_EQ(MemError(), 0);
  EXPECT_FALSE(IsMember(h));
}

INSTANTIATE_TEST_SUITE_P(Guards, OverwriteTest,
                         ::testing::Values(OverwriteCase{"JustBefore", -1}, OverwriteCase{"JustAfter", 16},
                                           OverwriteCase{"FirstGuardByte", -512},
                                           OverwriteCase{"LastGuardByte", 16 + 511}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MemHandleTest, DisposingAStaleOrForeignHandleReleasesNothing) {
  AssertCapture capture;
  MHandle keep = NewHandle(4);
  MHandle h = NewHandle(4);
  DisposeHandle(h);
  DisposeHandle(h);
  EXPECT_EQ(MemError(), kMemBadHandleErr);
  EXPECT_TRUE(capture.Saw("(false) bad MHandle free"));
  EXPECT_EQ(capture.Count(), 1u);

  HandleRecord foreign{};
  DisposeHandle(&foreign);
  EXPECT_EQ(MemError(), kMemBadHandleErr);
  DisposeHandle(nullptr);
  EXPECT_EQ(MemError(), kMemBadHandleErr);
  EXPECT_EQ(capture.Count(), 3u);
  EXPECT_EQ(CountLiveHandles(), 1u);
  EXPECT_TRUE(IsMember(keep));
  DisposeHandle(keep);
}

TEST_F(MemHandleTest, GrowingKeepsOldBytesAndLeavesOldGuardInPlace) {
  MHandle h = NewHandle(10);
  std::uint8_t* p = HLock(h);
  for (int i = 0; i < 10; ++i) p[i] = static_cast<std::uint8_t>(i + 1);
  HUnlock(h);
  ASSERT_EQ(SetHandleSize(h, 2000), 0);
  EXPECT_EQ(GetHandleSize(h), 2000);
  EXPECT_EQ(h->blockSize, 2000u + 1024u);
  p = HLock(h);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(p[i], i + 1);
  EXPECT_TRUE(AllBytesAre(p + 10, 512, kGuardByte));
  EXPECT_TRUE(AllBytesAre(p + 10 + 512, 2000 - 522, kFillByte));
  EXPECT_TRUE(AllBytesAre(p + 2000, 512, kGuardByte));
  HUnlock(h);
  EXPECT_TRUE(BoundsCheck(h));
  DisposeHandle(h);
}

TEST_F(MemHandleTest, ShrinkingKeepsTheFirstBytes) {
  MHandle h = NewHandle(64);
  std::uint8_t* p = HLock(h);
  for (int i = 0; i < 64; ++i) p[i] = static_cast<std::uint8_t>(i);
  HUnlock(h);
  ASSERT_EQ(SetHandleSize(h, 5), 0);
  p = HLock(h);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(p[i], i);
  EXPECT_TRUE(AllBytesAre(p + 5, 512, kGuardByte));
  HUnlock(h);
  ASSERT_EQ(SetHandleSize(h, 0), 0);
  EXPECT_EQ(GetHandleSize(h), 0);
  EXPECT_TRUE(BoundsCheck(h));
  DisposeHandle(h);
}

TEST_F(MemHandleTest, MemErrorReportsOnlyTheLastOperation) {
  AssertCapture capture;
  MHandle h = NewHandle(1);
  DisposeHandle(h);
  DisposeHandle(h);
  ASSERT_EQ(MemError(), kMemBadHandleErr);
  MHandle g = NewHandle(1);
  EXPECT_EQ(MemError(), 0);
  HLock(g);
  ASSERT_EQ(SetHandleSize(g, 2), kMemLockedErr);
  HUnlock(g);
  EXPECT_EQ(MemError(), 0);
  ASSERT_EQ(SetHandleSize(g, 2), 0);
  GetHandleSize(nullptr);
  ASSERT_EQ(MemError(), kMemBadHandleErr);
  EXPECT_TRUE(IsMember(g));
  EXPECT_EQ(MemError(), kMemBadHandleErr) << "IsMember leaves the last error alone";
  EXPECT_TRUE(CheckHandle(g));
  EXPECT_EQ(MemError(), 0);
  DisposeHandle(g);
}

TEST_F(MemHandleTest, CheckHandleAndMembership) {
  AssertCapture capture;
  EXPECT_FALSE(IsMember(nullptr));
  MHandle h = NewHandle(2);
  EXPECT_TRUE(CheckHandle(h));
  EXPECT_EQ(h->lockCount, 0);
  DisposeHandle(h);
  EXPECT_FALSE(IsMember(h));
  EXPECT_FALSE(CheckHandle(h));
  EXPECT_EQ(MemError(), kMemBadHandleErr);
  EXPECT_TRUE(capture.Saw("(IsMember(HNPtr(mem))) handle not a member"));
}

TEST_F(MemHandleTest, OperationsOnDeadHandlesTouchNothing) {
  AssertCapture capture;
  MHandle h = NewHandle(2);
  DisposeHandle(h);
  EXPECT_EQ(HLock(h), nullptr);
  EXPECT_EQ(MemError(), kMemBadHandleErr);
  HUnlock(h);
  EXPECT_EQ(MemError(), kMemBadHandleErr);
  EXPECT_EQ(GetHandleSize(h), 0);
  EXPECT_EQ(SetHandleSize(h, 4), kMemBadHandleErr);
  EXPECT_FALSE(IsHandleLocked(h));
  EXPECT_FALSE(BoundsCheck(h));
  EXPECT_EQ(capture.Count(), 6u);
  for (const auto& report : capture.Reports()) EXPECT_NE(report.find("handle not a member"), std::string::npos);
}

TEST_F(MemHandleTest, HeapRefusalLeavesNoRecordAndKeepsTheSerial) {
  AssertCapture capture;
  MHandle a = NewHandle(1);
  FailHandleAllocationAfter(1);
  EXPECT_EQ(NewHandle(1), nullptr);
  EXPECT_EQ(MemError(), kMemAllocErr);
  EXPECT_TRUE(capture.Saw("(platMem) Handle allocation failed"));
  MHandle b = NewHandle(1);
  EXPECT_EQ(b->index, a->index + 1);
  EXPECT_EQ(CountLiveHandles(), 2u);

  EXPECT_EQ(NewHandle(0xFFFFFFFFu), nullptr);
  EXPECT_EQ(MemError(), kMemAllocErr);
  DisposeHandle(b);
  DisposeHandle(a);
}

TEST_F(MemHandleTest, RefusedResizeKeepsBlockAndSize) {
  AssertCapture capture;
  MHandle h = NewHandle(3);
  std::uint8_t* p = HLock(h);
  BlockFill(p, 0x42, 3);
  HUnlock(h);
  FailHandleAllocationAfter(1);
  EXPECT_EQ(SetHandleSize(h, 4000), kMemAllocErr);
  EXPECT_EQ(MemError(), kMemAllocErr);
  EXPECT_EQ(capture.Count(), 1u);
  EXPECT_EQ(GetHandleSize(h), 3);
  p = HLock(h);
  EXPECT_TRUE(AllBytesAre(p, 3, 0x42));
  HUnlock(h);
  EXPECT_TRUE(BoundsCheck(h));
  EXPECT_EQ(SetHandleSize(h, kMaxHandleSize + 1), kMemAllocErr);
  DisposeHandle(h);
}

TEST_F(MemHandleTest, FailureCountdownCountsAllocations) {
  AssertCapture capture;
  MHandle a = NewHandle(1);
  FailHandleAllocationAfter(3);
  EXPECT_EQ(SetHandleSize(a, 5), 0);
  MHandle b = NewHandle(1);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(NewHandle(1), nullptr);
  MHandle c = NewHandle(1);
  EXPECT_NE(c, nullptr) << "the countdown fires once";
  EXPECT_EQ(FailHandleAllocationAfter(0), 0);
  DisposeHandle(c);
  DisposeHandle(b);
  DisposeHandle(a);
}

TEST_F(MemHandleTest, DumpListsLiveHandlesNewestFirst) {
  DumpHandles(nullptr);
  MHandle a = NewHandle(7);
  MHandle b = NewHandle(0);
  MHandle c = NewHandle(300);
  DisposeHandle(b);
  std::uint8_t* p = HLock(a);
  p[7] = 1;
  HUnlock(a);
  std::string expected = "\nindex and size of undeleted handles\n---------------------------------------\n";
  expected += "i:" + std::to_string(c->index) + ", s: 300 bc: 512 \n";
  expected += "i:" + std::to_string(a->index) + ", s: 7 bc: 512 overwrite detected\n";
  EXPECT_EQ(Dump(), expected);
  AssertCapture capture;
  DisposeHandle(a);
  DisposeHandle(c);
}

TEST(BlockOps, MoveHandlesOverlapInBothDirections) {
  std::uint8_t bytes[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  BlockMove(bytes, bytes + 2, 6);
  EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + 10), (std::vector<std::uint8_t>{0, 1, 0, 1, 2, 3, 4, 5, 8, 9}));
  BlockMove(bytes + 4, bytes, 6);
  EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + 10), (std::vector<std::uint8_t>{2, 3, 4, 5, 8, 9, 4, 5, 8, 9}));
  BlockMove(nullptr, nullptr, 0);
}

TEST(BlockOps, LargeMovesAreReportedButStillDone) {
  AssertCapture capture;
  std::vector<std::uint8_t> source(8000000, 7);
  std::vector<std::uint8_t> destination(8000000, 0);
  BlockMove(source.data(), destination.data(), 7999999);
  EXPECT_EQ(capture.Count(), 0u);
  BlockMove(source.data(), destination.data(), 8000000);
  EXPECT_TRUE(capture.Saw("(size < 8000000) probably won't move these >8 megabytes very cleverly"));
  EXPECT_EQ(destination.back(), 7);
}

TEST(BlockOps, FillAndEqual) {
  std::uint8_t a[5] = {};
  std::uint8_t b[5] = {9, 9, 9, 9, 9};
  BlockFill(a, 9, 5);
  EXPECT_TRUE(BlockEqual(a, b, 5));
  b[4] = 8;
  EXPECT_FALSE(BlockEqual(a, b, 5));
  EXPECT_TRUE(BlockEqual(a, b, 4));
  EXPECT_TRUE(BlockEqual(nullptr, nullptr, 0));
}

TEST_F(MemHandleTest, OnTheWorkerThreadAFailedCheckEndsTheBuild) {
  MHandle h = NewHandle(4);
  std::uint8_t* p = HLock(h);
  p[4] = 0;
  HUnlock(h);
  ScopedWorkerThread worker;
  try {
    DisposeHandle(h);
    FAIL() << "no fatal error";
  } catch (const Terminate& t) {
    EXPECT_NE(t.Message().find("bounds checker detected handle overwrite"), std::string::npos);
  }
  EXPECT_FALSE(IsMember(h)) << "the block is released before the report";
  EXPECT_THROW(DisposeHandle(h), Terminate);
  EXPECT_EQ(MemError(), kMemBadHandleErr);
}

TEST_F(MemHandleTest, ThreadsShareTheListSafely) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 500;
  std::vector<std::vector<std::int32_t>> indexes(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &indexes] {
      std::vector<MHandle> mine;
      for (int i = 0; i < kPerThread; ++i) {
        MHandle h = NewHandle(static_cast<std::uint32_t>(i % 17));
        indexes[static_cast<std::size_t>(t)].push_back(h->index);
        if (SetHandleSize(h, static_cast<std::uint32_t>(i % 5)) != 0 || MemError() != 0) std::abort();
        mine.push_back(h);
        if (i % 3 == 0) {
          DisposeHandle(mine.front());
          mine.erase(mine.begin());
        }
      }
      for (MHandle h : mine) DisposeHandle(h);
    });
  }
  for (auto& thread : threads) thread.join();
  std::set<std::int32_t> unique;
  for (const auto& list : indexes) unique.insert(list.begin(), list.end());
  EXPECT_EQ(unique.size(), static_cast<std::size_t>(kThreads * kPerThread));
}

}  // namespace
}  // namespace pixmold
