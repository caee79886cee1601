#include "resfile/handle_owner.h"

#include <gtest/gtest.h>

#include <utility>

#include "base/xassert.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

TEST(HandleLock, HoldsOneLockForItsScopeAndNoBytesOfADeadHandle) {
  OwnedHandle owned = OwnedHandle::New(6);
  {
    HandleLock lock(owned.Get());
    EXPECT_EQ(lock.Bytes().size(), 6u);
    HandleLock inner(owned.Get());
    EXPECT_EQ(owned.Get()->lockCount, 2);
    lock.Unlock();
    EXPECT_EQ(owned.Get()->lockCount, 1);
  }
  EXPECT_EQ(owned.Get()->lockCount, 0) << "an unlocked lock does not unlock again";
  testing::AssertCapture capture;
  HandleLock dead(nullptr);
  EXPECT_EQ(dead.Data(), nullptr);
  EXPECT_EQ(dead.Size(), 0u);
  EXPECT_TRUE(capture.Saw("handle not a member"));
}

TEST(OwnedHandle, DisposesReleasesAndMoves) {
  std::size_t before = CountLiveHandles();
  MHandle released = nullptr;
  {
    OwnedHandle a = OwnedHandle::New(1);
    OwnedHandle b = OwnedHandle::New(2);
    EXPECT_EQ(CountLiveHandles(), before + 2);
    OwnedHandle c(std::move(a));
    EXPECT_FALSE(a);  // NOLINT: a moved-from owner is empty
    b = std::move(c);
    EXPECT_EQ(CountLiveHandles(), before + 1) << "assigning disposes the old handle";
    EXPECT_EQ(GetHandleSize(b.Get()), 1);
    released = b.Release();
    EXPECT_FALSE(b);
  }
  EXPECT_TRUE(IsMember(released));
  OwnedHandle again(released);
  again.Reset();
  EXPECT_FALSE(IsMember(released));
  EXPECT_EQ(CountLiveHandles(), before);
}

TEST(OwnedHandle, DestructorOnTheWorkerThreadDoesNotThrow) {
  OwnedHandle owned = OwnedHandle::New(2);
  MHandle h = owned.Get();
  {
    HandleLock lock(h);
    lock.Data()[2] = 0;
  }
  ScopedWorkerThread worker;
  ::testing::internal::CaptureStderr();
  owned = OwnedHandle();
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("bounds checker detected handle overwrite"), std::string::npos);
  EXPECT_FALSE(IsMember(h));
}

}  // namespace
}  // namespace pixmold
