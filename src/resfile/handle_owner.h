// Scope helpers over memory handles for code that prefers RAII to paired
// calls: HandleLock holds one lock for a scope, OwnedHandle disposes of the
// handle it owns. Both leave the handle functions' own checks in place.
//
// A destructor cannot end a build by throwing, so an assertion raised while
// one unlocks or disposes on the worker thread is written to standard error
// instead; callers that need such a failure to end the build call Unlock or
// Reset explicitly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "resfile/mem_handle.h"

namespace pixmold {

class HandleLock {
 public:
  explicit HandleLock(MHandle h);
  ~HandleLock();
  HandleLock(const HandleLock&) = delete;
  HandleLock& operator=(const HandleLock&) = delete;

  // Null when the handle is not live.
  std::uint8_t* Data() const { return fData; }
  // The user size when the lock was taken (a locked handle cannot be resized).
  std::size_t Size() const { return fSize; }
  std::span<std::uint8_t> Bytes() const { return {fData, fSize}; }
  // Gives up the lock before the scope ends.
  void Unlock();

 private:
  MHandle fHandle;
  std::uint8_t* fData;
  std::size_t fSize;
};

class OwnedHandle {
 public:
  OwnedHandle() = default;
  explicit OwnedHandle(MHandle h) : fHandle(h) {}
  // A new handle of that size; empty (and MemError set) when the heap refuses.
  static OwnedHandle New(std::uint32_t size) { return OwnedHandle(NewHandle(size)); }
  ~OwnedHandle();
  OwnedHandle(OwnedHandle&& other) noexcept : fHandle(other.fHandle) { other.fHandle = nullptr; }
  OwnedHandle& operator=(OwnedHandle&& other) noexcept;
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;

  MHandle Get() const { return fHandle; }
  explicit operator bool() const { return fHandle != nullptr; }
  // Hands the handle over (to a resource file, say); this object forgets it.
  MHandle Release();
  // Disposes of the current handle, if any, and takes another.
  void Reset(MHandle h = nullptr);

 private:
  MHandle fHandle = nullptr;
};

}  // namespace pixmold
