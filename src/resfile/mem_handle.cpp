#include "resfile/mem_handle.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>

#include "base/xassert.h"

namespace pixmold {
namespace {

// Shared state. Assertion reports are made after the mutex is released: on
// the worker thread a report throws, and a report sink may itself use handles.
std::mutex gMutex;
HandleRecord* gNewest = nullptr;
std::unordered_set<const HandleRecord*> gLive;
std::int32_t gSerial = 0;
int gFailCountdown = 0;
thread_local std::int16_t gLastError = 0;

constexpr const char* kNotMemberCondition = "IsMember(HNPtr(mem))";
constexpr const char* kNotMemberMessage = "handle not a member";
constexpr const char* kOverwriteMessage = "bounds checker detected handle overwrite";

std::size_t UserSize(const HandleRecord* h) { return h->blockSize - 2u * static_cast<std::uint32_t>(h->guardCount); }
std::uint8_t* UserBytes(const HandleRecord* h) { return h->block + h->guardCount; }

bool Live(const HandleRecord* h) { return h != nullptr && gLive.count(h) != 0; }

// Called with the mutex held: true when the heap should refuse this request.
bool HeapRefuses(std::uint32_t size) {
  if (size > kMaxHandleSize) return true;
  if (gFailCountdown > 0 && --gFailCountdown == 0) return true;
  return false;
}

bool GuardsIntact(const HandleRecord* h) {
  const std::uint8_t* leading = h->block;
  const std::uint8_t* trailing = h->block + h->guardCount + UserSize(h);
  for (int i = 0; i < h->guardCount; ++i) {
    if (leading[i] != kGuardByte || trailing[i] != kGuardByte) return false;
  }
  return true;
}

void WriteGuards(HandleRecord* h) {
  std::memset(h->block, kGuardByte, static_cast<std::size_t>(h->guardCount));
  std::memset(h->block + h->guardCount + UserSize(h), kGuardByte, static_cast<std::size_t>(h->guardCount));
}

void LinkNewest(HandleRecord* h) {
  h->previous = nullptr;
  h->next = gNewest;
  if (gNewest) gNewest->previous = h;
  gNewest = h;
  gLive.insert(h);
}

void Unlink(HandleRecord* h) {
  if (h->previous) h->previous->next = h->next;
  if (h->next) h->next->previous = h->previous;
  if (gNewest == h) gNewest = h->next;
  gLive.erase(h);
}

void ReportNotMember() { XASSERT_FAIL(kNotMemberCondition, kNotMemberMessage); }

}  // namespace

MHandle NewHandle(std::uint32_t size) {
  gLastError = 0;
  std::uint8_t* block = nullptr;
  {
    std::lock_guard lock(gMutex);
    if (!HeapRefuses(size)) block = static_cast<std::uint8_t*>(std::malloc(std::size_t{size} + 2 * kGuardSize));
  }
  if (block == nullptr) {
    gLastError = kMemAllocErr;
    XASSERT_FAIL("platMem", "Handle allocation failed");
    return nullptr;
  }
  auto* h = static_cast<HandleRecord*>(std::malloc(sizeof(HandleRecord)));
  if (h == nullptr) {
    std::free(block);
    gLastError = kMemAllocErr;
    XASSERT_FAIL("platMem", "Handle allocation failed");
    return nullptr;
  }
  h->magic = kHandleMagic;
  h->block = block;
  h->guardCount = kGuardSize;
  h->lockCount = 0;
  h->blockSize = size + 2u * kGuardSize;
  WriteGuards(h);
  std::memset(UserBytes(h), kFillByte, size);
  std::lock_guard lock(gMutex);
  h->index = gSerial;
  gSerial = static_cast<std::int32_t>(static_cast<std::uint32_t>(gSerial) + 1u);
  LinkNewest(h);
  return h;
}

void DisposeHandle(MHandle h) {
  gLastError = 0;
  bool found = false;
  bool overwritten = false;
  {
    std::lock_guard lock(gMutex);
    found = Live(h);
    if (found) {
      // A locked handle may be disposed of: the lock count is not examined.
      overwritten = !GuardsIntact(h);
      Unlink(h);
    }
  }
  if (found) {
    // Unlinked, the handle is this thread's alone: a large one is filled
    // without holding up other threads' handles.
    std::memset(UserBytes(h), kFillByte, UserSize(h));
    std::free(h->block);
    std::free(h);
  } else {
    gLastError = kMemBadHandleErr;
  }
  if (overwritten) XASSERT_FAIL("false", kOverwriteMessage);
  if (!found) XASSERT_FAIL("false", "bad MHandle free");
}

std::uint8_t* HLock(MHandle h) {
  gLastError = 0;
  bool negative = false;
  std::uint8_t* bytes = nullptr;
  {
    std::lock_guard lock(gMutex);
    if (Live(h)) {
      negative = h->lockCount < 0;
      h->lockCount = static_cast<std::int16_t>(h->lockCount + 1);
      bytes = UserBytes(h);
    }
  }
  if (bytes == nullptr) {
    gLastError = kMemBadHandleErr;
    ReportNotMember();
    return nullptr;
  }
  if (negative) XASSERT_FAIL("lockCount>=0", "lock count<0");
  return bytes;
}

void HUnlock(MHandle h) {
  gLastError = 0;
  bool live = false;
  bool unlocked = false;
  {
    std::lock_guard lock(gMutex);
    live = Live(h);
    if (live) {
      unlocked = h->lockCount < 1;
      h->lockCount = static_cast<std::int16_t>(h->lockCount - 1);
    }
  }
  if (!live) {
    gLastError = kMemBadHandleErr;
    ReportNotMember();
    return;
  }
  if (unlocked) XASSERT_FAIL("lockCount>0", "bad lock count");
}

std::int32_t GetHandleSize(MHandle h) {
  gLastError = 0;
  {
    std::lock_guard lock(gMutex);
    if (Live(h)) return static_cast<std::int32_t>(UserSize(h));
  }
  gLastError = kMemBadHandleErr;
  ReportNotMember();
  return 0;
}

std::int16_t SetHandleSize(MHandle h, std::uint32_t size) {
  gLastError = 0;
  enum class Outcome { kDone, kNotMember, kLocked, kRefused } outcome = Outcome::kDone;
  bool overwritten = false;
  {
    std::lock_guard lock(gMutex);
    if (!Live(h)) {
      outcome = Outcome::kNotMember;
    } else if (h->lockCount >= 1) {
      outcome = Outcome::kLocked;
    } else {
      overwritten = !GuardsIntact(h);
      std::size_t oldSize = UserSize(h);
      void* grown = HeapRefuses(size) ? nullptr : std::realloc(h->block, std::size_t{size} + 2 * kGuardSize);
      if (grown == nullptr) {
        outcome = Outcome::kRefused;
      } else {
        h->block = static_cast<std::uint8_t*>(grown);
        h->blockSize = size + 2u * kGuardSize;
        // The old trailing guard stays inside the grown user bytes with its
        // 0x05 bytes; the bytes behind it get the fresh-handle fill so that
        // what a caller never writes is the same from run to run.
        std::size_t keptGuardEnd = oldSize + static_cast<std::size_t>(kGuardSize);
        if (size > keptGuardEnd) std::memset(UserBytes(h) + keptGuardEnd, kFillByte, size - keptGuardEnd);
        WriteGuards(h);
      }
    }
  }
  switch (outcome) {
    case Outcome::kNotMember:
      gLastError = kMemBadHandleErr;
      ReportNotMember();
      return kMemBadHandleErr;
    case Outcome::kLocked:
      gLastError = kMemLockedErr;
      XASSERT_FAIL("false", "resizing locked handle");
      return kMemLockedErr;
    case Outcome::kRefused:
      gLastError = kMemAllocErr;
      if (overwritten) XASSERT_FAIL("false", kOverwriteMessage);
      XASSERT_FAIL("platMem", "Handle allocation failed");
      return kMemAllocErr;
    case Outcome::kDone: break;
  }
  if (overwritten) XASSERT_FAIL("false", kOverwriteMessage);
  return 0;
}

bool IsHandleLocked(MHandle h) {
  gLastError = 0;
  {
    std::lock_guard lock(gMutex);
    if (Live(h)) return h->lockCount >= 1;
  }
  gLastError = kMemBadHandleErr;
  ReportNotMember();
  return false;
}

std::int16_t MemError() { return gLastError; }

bool IsMember(MHandle h) {
  std::lock_guard lock(gMutex);
  return Live(h);
}

bool CheckHandle(MHandle h) {
  gLastError = 0;
  if (IsMember(h)) {
    HLock(h);
    HUnlock(h);
    return true;
  }
  gLastError = kMemBadHandleErr;
  ReportNotMember();
  return false;
}

bool BoundsCheck(MHandle h) {
  // Locking and unlocking clear the last error, as for the handle's own
  // lock and unlock calls.
  gLastError = 0;
  {
    std::lock_guard lock(gMutex);
    if (Live(h)) return GuardsIntact(h);
  }
  gLastError = kMemBadHandleErr;
  ReportNotMember();
  return false;
}

void BlockMove(const void* source, void* destination, std::size_t count) {
  if (count >= 8000000) XASSERT_FAIL("size < 8000000", "probably won't move these >8 megabytes very cleverly");
  if (count != 0) std::memmove(destination, source, count);
}

void BlockFill(void* address, std::uint8_t value, std::size_t count) {
  if (count != 0) std::memset(address, value, count);
}

bool BlockEqual(const void* a, const void* b, std::size_t count) { return count == 0 || std::memcmp(a, b, count) == 0; }

void DumpHandles(std::FILE* stream) {
  if (stream == nullptr) return;
  std::fputs("\nindex and size of undeleted handles\n", stream);
  std::fputs("---------------------------------------\n", stream);
  std::lock_guard lock(gMutex);
  for (const HandleRecord* h = gNewest; h != nullptr; h = h->next) {
    std::fprintf(stream, "i:%ld, s: %ld bc: %ld %s\n", static_cast<long>(h->index), static_cast<long>(UserSize(h)),
                 static_cast<long>(h->guardCount), GuardsIntact(h) ? "" : "overwrite detected");
  }
}

std::size_t CountLiveHandles() {
  std::lock_guard lock(gMutex);
  return gLive.size();
}

int FailHandleAllocationAfter(int n) {
  std::lock_guard lock(gMutex);
  int previous = gFailCountdown;
  gFailCountdown = n < 0 ? 0 : n;
  return previous;
}

}  // namespace pixmold
