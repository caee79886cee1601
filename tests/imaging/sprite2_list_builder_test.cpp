// A list reserves room for all its frames at once; whatever was reserved,
// the finished list must be exactly the one frame-by-frame growth gives.
#include "imaging/sprite2_list_builder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "resfile/handle_owner.h"
#include "resfile/mem_handle.h"

namespace pixmold {
namespace {

std::vector<std::uint8_t> ReservedListBytes(std::uint32_t reserve, bool reserveFirst) {
  std::vector<OwnedHandle> frames;
  for (std::uint32_t size : {12u, 30u, 18u}) {
    frames.push_back(OwnedHandle::New(size));
    HandleLock lock(frames.back().Get());
    for (std::uint32_t i = 0; i < size; ++i) lock.Bytes()[i] = static_cast<std::uint8_t>(size + i);
  }
  Sprite2ListBuilder list(3, 7);
  EXPECT_TRUE(list.Ok());
  if (reserveFirst) {
    EXPECT_EQ(list.Reserve(reserve), 0);
  }
  for (int i = 0; i < 3; ++i) EXPECT_EQ(list.Append(i, frames[static_cast<std::size_t>(i)].Get()), 0);
  OwnedHandle finished = list.Finish();
  HandleLock lock(finished.Get());
  return {lock.Bytes().begin(), lock.Bytes().end()};
}

TEST(Sprite2ListBuilder, RoomReservedOrNotGivesTheSameList) {
  const std::vector<std::uint8_t> grown = ReservedListBytes(0, false);
  ASSERT_EQ(grown.size(), 12u + 3 * 4 + 12 + 30 + 18);
  // Frame offsets follow the table: 24, 36, 66.
  EXPECT_EQ(grown[12], 24);
  EXPECT_EQ(grown[16], 36);
  EXPECT_EQ(grown[20], 66);
  for (const std::uint32_t reserve : {0u, 10u, 60u, 1000u}) {
    EXPECT_EQ(ReservedListBytes(reserve, true), grown) << "reserved " << reserve;
  }
}

}  // namespace
}  // namespace pixmold
