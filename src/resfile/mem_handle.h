// Relocatable memory handles. Every block of bytes the resource layer hands
// out travels as an MHandle: callers lock it to get its address, unlock it,
// resize it only while unlocked and dispose of it once.
//
// The layer is built for checking rather than speed. Each block carries a
// 512-byte guard area of 0x05 before and after the caller's bytes, so a write
// just outside them is detected when the handle is resized, disposed of or
// dumped; fresh and released bytes are filled with 0xA3 so that stale reads
// show a recognisable pattern. Every live handle is kept in one list, newest
// first, so DumpHandles can list what a run leaked.
//
// Operations leave their result in a last-error value that MemError returns.
// The list, the serial counter and the membership index are shared by every
// thread behind one mutex; the last error is kept per thread, so a thread
// that checks MemError sees the result of its own last operation even while
// another thread uses handles (with one thread at a time, as a build uses
// them, this is the same as one process-wide value).
//
// This is the one layer that allocates raw memory: blocks come from
// malloc/realloc so that resizing keeps the contents.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>

namespace pixmold {

struct HandleRecord {
  std::uint32_t magic;      // 0xA3A3A3A3, never checked
  std::uint8_t* block;      // never null while the handle lives
  std::int16_t guardCount;  // bytes in each guard area
  std::int16_t lockCount;   // outstanding locks
  std::uint32_t blockSize;  // user size + 2 * guardCount
  std::int32_t index;       // serial number
  HandleRecord* next;       // older neighbour in the live list
  HandleRecord* previous;   // newer neighbour, so disposal unlinks in O(1)
};

using MHandle = HandleRecord*;

inline constexpr std::int16_t kGuardSize = 512;
inline constexpr std::uint8_t kGuardByte = 0x05;
inline constexpr std::uint8_t kFillByte = 0xA3;
inline constexpr std::uint32_t kHandleMagic = 0xA3A3A3A3;

// Larger user sizes could not be reported by GetHandleSize; asking for one is
// treated as the heap refusing.
inline constexpr std::uint32_t kMaxHandleSize = 0x7FFFFFFF - 2 * kGuardSize;

inline constexpr std::int16_t kMemLockedErr = -198;
inline constexpr std::int16_t kMemBadHandleErr = -199;
inline constexpr std::int16_t kMemAllocErr = -200;

MHandle NewHandle(std::uint32_t size);
void DisposeHandle(MHandle h);
std::uint8_t* HLock(MHandle h);
void HUnlock(MHandle h);
std::int32_t GetHandleSize(MHandle h);
std::int16_t SetHandleSize(MHandle h, std::uint32_t size);
bool IsHandleLocked(MHandle h);
std::int16_t MemError();
bool IsMember(MHandle h);
bool CheckHandle(MHandle h);
bool BoundsCheck(MHandle h);

void BlockMove(const void* source, void* destination, std::size_t count);
void BlockFill(void* address, std::uint8_t value, std::size_t count);
bool BlockEqual(const void* a, const void* b, std::size_t count);

// Diagnostic list of the live handles, newest first; a null stream does nothing.
void DumpHandles(std::FILE* stream);

// Number of live handles, for tests and end-of-run checks.
std::size_t CountLiveHandles();

// Makes the heap refuse the n-th allocation from now (1 = the next one) made
// by NewHandle or by SetHandleSize, so that tests can walk every
// out-of-memory path; 0 turns it off. Returns the previous setting.
int FailHandleAllocationAfter(int n);

}  // namespace pixmold
