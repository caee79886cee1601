#include "resfile/handle_owner.h"

#include <cstdio>

#include "base/terminate.h"

namespace pixmold {
namespace {

template <typename Action>
void WithoutThrowing(Action action) noexcept {
  try {
    action();
  } catch (const Terminate& t) {
    std::fprintf(stderr, "%s\n", t.what());
  }
}

}  // namespace

HandleLock::HandleLock(MHandle h) : fHandle(h), fData(HLock(h)), fSize(0) {
  if (fData != nullptr) fSize = static_cast<std::size_t>(GetHandleSize(h));
}

HandleLock::~HandleLock() {
  WithoutThrowing([this] { Unlock(); });
}

void HandleLock::Unlock() {
  if (fData == nullptr) return;
  fData = nullptr;
  fSize = 0;
  HUnlock(fHandle);
}

OwnedHandle::~OwnedHandle() {
  WithoutThrowing([this] { Reset(); });
}

OwnedHandle& OwnedHandle::operator=(OwnedHandle&& other) noexcept {
  if (this != &other) {
    WithoutThrowing([this] { Reset(); });
    fHandle = other.fHandle;
    other.fHandle = nullptr;
  }
  return *this;
}

MHandle OwnedHandle::Release() {
  MHandle h = fHandle;
  fHandle = nullptr;
  return h;
}

void OwnedHandle::Reset(MHandle h) {
  MHandle old = fHandle;
  fHandle = h;
  if (old != nullptr) DisposeHandle(old);
}

}  // namespace pixmold
