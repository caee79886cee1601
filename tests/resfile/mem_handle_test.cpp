#include "resfile/mem_handle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <tuple>
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

TEST_F(MemHandleTest, NewHandleFillsGuardsAndUserBytes) {
  MHandle empty = NewHandle(0);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->blockSize, 1024u);
  EXPECT_TRUE(AllBytesAre(empty->block, 1024, kGuardByte));
  MHandle h = NewHandle(100);
  EXPECT_EQ(h->index, empty->index + 1);
  std::uint8_t* p = HLock(h);
  EXPECT_EQ(p, h->block + 512);
  EXPECT_TRUE(AllBytesAre(p - 512, 512, kGuardByte) && AllBytesAre(p, 100, kFillByte) &&
              AllBytesAre(p + 100, 512, kGuardByte));
  DisposeHandle(h);  // a locked handle may go
  DisposeHandle(empty);
  EXPECT_EQ(MemError(), 0);
}

TEST_F(MemHandleTest, LocksNestAndMustAllBeUndoneBeforeResizing) {
  AssertCapture capture;
  MHandle h = NewHandle(8);
  std::uint8_t* p = HLock(h);
  BlockFill(p, 0x11, 8);
  HLock(h);
  HUnlock(h);
  EXPECT_EQ(
      (std::tuple{IsHandleLocked(h), SetHandleSize(h, 20), MemError(), GetHandleSize(h), AllBytesAre(p, 8, 0x11)}),
      std::tuple(true, kMemLockedErr, kMemLockedErr, 8, true));
  EXPECT_TRUE(capture.Saw("(false) resizing locked handle"));
  HUnlock(h);
  EXPECT_EQ(SetHandleSize(h, 20), 0);
  EXPECT_EQ(MemError(), 0) << "the error is that of the last operation";
  HUnlock(h);
  EXPECT_TRUE(capture.Saw("(lockCount>0) bad lock count"));
  EXPECT_NE(HLock(h), nullptr);
  EXPECT_TRUE(capture.Saw("(lockCount>=0) lock count<0"));
  EXPECT_EQ(h->lockCount, 0);
  EXPECT_EQ(capture.Count(), 3u);
  DisposeHandle(h);
}

// Writes one byte at an offset from the user bytes (negative: into the
// leading guard; size and beyond: into the trailing guard).
class OverwriteTest : public MemHandleTest, public ::testing::WithParamInterface<std::ptrdiff_t> {};

TEST_P(OverwriteTest, DetectedByDumpResizeAndDisposal) {
  AssertCapture capture;
  MHandle h = NewHandle(16);
  HLock(h)[GetParam()] = 0;
  HUnlock(h);
  EXPECT_FALSE(BoundsCheck(h));
  EXPECT_NE(Dump().find("i:" + std::to_string(h->index) + ", s: 16 bc: 512 overwrite detected\n"), std::string::npos);
  EXPECT_EQ(SetHandleSize(h, 16), 0);
  EXPECT_TRUE(capture.Saw("(false) bounds checker detected handle overwrite"));
  EXPECT_TRUE(BoundsCheck(h)) << "resizing rewrites both guards";
  HLock(h)[GetParam()] = 0;
  HUnlock(h);
  capture.Clear();
  DisposeHandle(h);
  EXPECT_TRUE(capture.Saw("(false) bounds checker detected handle overwrite"));
  EXPECT_FALSE(IsMember(h));
}

INSTANTIATE_TEST_SUITE_P(Guards, OverwriteTest, ::testing::Values(-1, 16, -512, 16 + 511));

TEST_F(MemHandleTest, ResizingKeepsTheFirstBytesAndMovesTheGuard) {
  MHandle h = NewHandle(10);
  std::uint8_t* p = HLock(h);
  for (int i = 0; i < 10; ++i) p[i] = static_cast<std::uint8_t>(i + 1);
  HUnlock(h);
  ASSERT_EQ(SetHandleSize(h, 2000), 0);
  EXPECT_EQ(h->blockSize, 2000u + 1024u);
  p = HLock(h);
  EXPECT_EQ(std::vector<std::uint8_t>(p, p + 10), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_TRUE(AllBytesAre(p + 10, 512, kGuardByte)) << "the old guard stays in place";
  EXPECT_TRUE(AllBytesAre(p + 522, 2000 - 522, kFillByte) && AllBytesAre(p + 2000, 512, kGuardByte));
  HUnlock(h);
  ASSERT_EQ(SetHandleSize(h, 5), 0);
  p = HLock(h);
  EXPECT_EQ(std::vector<std::uint8_t>(p, p + 5), (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
  EXPECT_TRUE(AllBytesAre(p + 5, 512, kGuardByte));
  HUnlock(h);
  ASSERT_EQ(SetHandleSize(h, 0), 0);
  EXPECT_TRUE(BoundsCheck(h));
  DisposeHandle(h);
}

TEST_F(MemHandleTest, DeadStaleAndForeignHandlesTouchNothing) {
  AssertCapture capture;
  MHandle keep = NewHandle(4);
  MHandle h = NewHandle(2);
  DisposeHandle(h);
  DisposeHandle(h);
  EXPECT_EQ(MemError(), kMemBadHandleErr);
  EXPECT_TRUE(capture.Saw("(false) bad MHandle free"));
  EXPECT_EQ(HLock(h), nullptr);
  HUnlock(h);
  EXPECT_EQ((std::tuple{GetHandleSize(h), SetHandleSize(h, 4), IsHandleLocked(h), BoundsCheck(h), CheckHandle(h)}),
            std::tuple(0, kMemBadHandleErr, false, false, false));
  EXPECT_EQ(capture.Count(), 8u);
  for (std::size_t i = 1; i < capture.Count(); ++i)
    EXPECT_TRUE(capture.Reports()[i].find("handle not a member") != std::string::npos) << capture.Reports()[i];
  EXPECT_TRUE(IsMember(keep));
  EXPECT_EQ(MemError(), kMemBadHandleErr) << "IsMember leaves the last error alone";
  EXPECT_TRUE(CheckHandle(keep));
  EXPECT_EQ(MemError(), 0);
  HandleRecord foreign{};
  DisposeHandle(&foreign);
  EXPECT_EQ(MemError(), kMemBadHandleErr);
  DisposeHandle(nullptr);
  EXPECT_EQ(MemError(), kMemBadHandleErr);
  EXPECT_EQ(CountLiveHandles(), 1u);
  DisposeHandle(keep);
}

TEST_F(MemHandleTest, RefusedAllocationsLeaveEverythingAsItWas) {
  AssertCapture capture;
  MHandle a = NewHandle(3);
  BlockFill(HLock(a), 0x42, 3);
  HUnlock(a);
  FailHandleAllocationAfter(2);
  MHandle b = NewHandle(1);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(NewHandle(1), nullptr) << "the second allocation fails";
  EXPECT_EQ(MemError(), kMemAllocErr);
  EXPECT_TRUE(capture.Saw("(platMem) Handle allocation failed"));
  MHandle c = NewHandle(1);
  ASSERT_NE(c, nullptr) << "the countdown fires once";
  EXPECT_EQ(c->index, b->index + 1) << "a refusal keeps the serial";
  FailHandleAllocationAfter(1);
  EXPECT_EQ((std::tuple{SetHandleSize(a, 4000), GetHandleSize(a), AllBytesAre(HLock(a), 3, 0x42)}),
            std::tuple(kMemAllocErr, 3, true));
  HUnlock(a);
  EXPECT_EQ(
      (std::tuple{BoundsCheck(a), SetHandleSize(a, kMaxHandleSize + 1), NewHandle(0xFFFFFFFFu), CountLiveHandles()}),
      std::tuple(true, kMemAllocErr, nullptr, 3u));
  for (MHandle h : {a, b, c}) DisposeHandle(h);
}

TEST_F(MemHandleTest, DumpListsLiveHandlesNewestFirst) {
  DumpHandles(nullptr);
  MHandle a = NewHandle(7);
  MHandle b = NewHandle(0);
  MHandle c = NewHandle(300);
  DisposeHandle(b);
  HLock(a)[7] = 1;
  HUnlock(a);
  EXPECT_EQ(Dump(), "\nindex and size of undeleted handles\n---------------------------------------\ni:" +
                        std::to_string(c->index) + ", s: 300 bc: 512 \ni:" + std::to_string(a->index) +
                        ", s: 7 bc: 512 overwrite detected\n");
  AssertCapture capture;
  DisposeHandle(a);
  DisposeHandle(c);
}

TEST(BlockOps, MoveOverlapsFillCompareAndReportHugeMoves) {
  std::vector<std::uint8_t> bytes = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  BlockMove(bytes.data(), bytes.data() + 2, 6);
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0, 1, 0, 1, 2, 3, 4, 5, 8, 9}));
  BlockMove(bytes.data() + 4, bytes.data(), 6);
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{2, 3, 4, 5, 8, 9, 4, 5, 8, 9}));
  BlockFill(bytes.data(), 9, 5);
  std::uint8_t nines[5] = {9, 9, 9, 9, 8};
  EXPECT_FALSE(BlockEqual(bytes.data(), nines, 5));
  EXPECT_TRUE(BlockEqual(bytes.data(), nines, 4));
  AssertCapture capture;
  std::vector<std::uint8_t> source(8000000, 7);
  std::vector<std::uint8_t> destination(8000000, 0);
  BlockMove(source.data(), destination.data(), 7999999);
  EXPECT_EQ(capture.Count(), 0u);
  BlockMove(source.data(), destination.data(), 8000000);
  EXPECT_TRUE(capture.Saw("(size < 8000000) probably won't move these >8 megabytes very cleverly"));
  EXPECT_EQ(destination.back(), 7);
}

TEST_F(MemHandleTest, OnTheWorkerThreadAFailedCheckEndsTheBuild) {
  MHandle h = NewHandle(4);
  HLock(h)[4] = 0;
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
