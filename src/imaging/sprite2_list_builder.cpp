#include "imaging/sprite2_list_builder.h"

#include <algorithm>

#include "base/byte_cursor.h"
#include "base/xassert.h"
#include "imaging/sprite2_decoder.h"

namespace pixmold {
namespace {

constexpr std::uint32_t kHeaderSize = 12;
constexpr std::size_t kFramePaletteIdOffset = 8;

}  // namespace

Sprite2ListBuilder::Sprite2ListBuilder(int frameCount, ResID paletteId)
    : fList(OwnedHandle::New(kHeaderSize + 4 * static_cast<std::uint32_t>(frameCount))),
      fEnd(kHeaderSize + 4 * static_cast<std::uint32_t>(frameCount)),
      fFrameCount(frameCount),
      fPaletteId(paletteId) {
  XASSERT(fList, "HAlloc failed!");
  if (!fList) return;
  HandleLock lock(fList.Get());
  XASSERT(lock.Data() != nullptr, "HLock failed!");
  std::fill(lock.Bytes().begin(), lock.Bytes().end(), std::uint8_t{0});
  StoreU32(lock.Bytes(), 0, static_cast<std::uint32_t>(kSprite2ListVersion), ByteOrder::kLittle);
  StoreU32(lock.Bytes(), 4, static_cast<std::uint32_t>(frameCount), ByteOrder::kLittle);
  StoreU32(lock.Bytes(), 8, static_cast<std::uint32_t>(static_cast<std::int32_t>(paletteId)), ByteOrder::kLittle);
}

int Sprite2ListBuilder::Append(int index, MHandle frame) {
  HandleLock source(frame);
  return Append(index, source.Bytes());
}

int Sprite2ListBuilder::Append(int index, std::span<const std::uint8_t> frame) {
  XASSERT(index >= 0 && index < fFrameCount, "frame index out of range");
  const std::uint32_t oldSize = fEnd;
  const auto frameSize = static_cast<std::uint32_t>(frame.size());
  const std::uint32_t newSize = oldSize + frameSize;
  // The game reads the frames' 16-bit tokens in place, so every frame must
  // start on an even offset.
  XASSERT((oldSize & 1) == 0, "old size should always be even");
  XASSERT((newSize & 1) == 0, "new size should always be even");
  if (static_cast<std::uint32_t>(GetHandleSize(fList.Get())) < newSize) {
    const int err = SetHandleSize(fList.Get(), newSize);
    XASSERT(err == 0, "HSetSize failed!");
    if (err != 0) return err;
  }
  fEnd = newSize;
  HandleLock list(fList.Get());
  std::copy(frame.begin(), frame.end(), list.Bytes().begin() + oldSize);
  StoreU32(list.Bytes(), kHeaderSize + 4 * static_cast<std::size_t>(index), oldSize, ByteOrder::kLittle);
  StampPaletteId(list.Bytes().subspan(oldSize, frameSize), fPaletteId);
  return 0;
}

void Sprite2ListBuilder::StampPaletteId(std::span<std::uint8_t> frame, ResID paletteId) {
  if (frame.size() >= kFramePaletteIdOffset + 2) {
    StoreU16(frame, kFramePaletteIdOffset, static_cast<std::uint16_t>(paletteId), ByteOrder::kLittle);
  }
}

std::vector<std::uint8_t> Sprite2ListBuilder::Head(std::span<const std::uint32_t> frameSizes, ResID paletteId) {
  const std::size_t count = frameSizes.size();
  std::vector<std::uint8_t> head(kHeaderSize + 4 * count);
  StoreU32(head, 0, static_cast<std::uint32_t>(kSprite2ListVersion), ByteOrder::kLittle);
  StoreU32(head, 4, static_cast<std::uint32_t>(count), ByteOrder::kLittle);
  StoreU32(head, 8, static_cast<std::uint32_t>(static_cast<std::int32_t>(paletteId)), ByteOrder::kLittle);
  auto at = static_cast<std::uint32_t>(head.size());
  for (std::size_t i = 0; i < count; ++i) {
    StoreU32(head, kHeaderSize + 4 * i, at, ByteOrder::kLittle);
    at += frameSizes[i];
  }
  return head;
}

int Sprite2ListBuilder::Reserve(std::uint32_t frameBytes) {
  const std::uint32_t wanted = fEnd + frameBytes;
  if (!fList || static_cast<std::uint32_t>(GetHandleSize(fList.Get())) >= wanted) return 0;
  // Without the room, each frame grows the list as it comes, and a failure
  // there is reported at its frame.
  return SetHandleSize(fList.Get(), wanted);
}

OwnedHandle Sprite2ListBuilder::Finish() {
  // Room reserved and not taken goes; shrinking keeps the bytes before it.
  if (fList && static_cast<std::uint32_t>(GetHandleSize(fList.Get())) > fEnd) SetHandleSize(fList.Get(), fEnd);
  return std::move(fList);
}

}  // namespace pixmold
