#include "imaging/spr_list.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/xassert.h"
#include "imaging/spr_settings.h"
#include "resfile/handle_owner.h"

namespace pixmold {
namespace {

constexpr std::size_t kCountAt = 4;
constexpr std::size_t kOffsetsAt = 12;

std::uint32_t Count(std::span<const std::uint8_t> list) { return LoadU32(list, kCountAt, ByteOrder::kLittle); }
std::uint32_t Offset(std::span<const std::uint8_t> list, std::size_t i) {
  return LoadU32(list, kOffsetsAt + 4 * i, ByteOrder::kLittle);
}

// A list as built here: a full header and an offset table inside the bytes.
bool WellFormed(std::span<const std::uint8_t> list) {
  if (list.size() < kSprListHeaderSize) return false;
  return Count(list) <= (list.size() - kSprListHeaderSize) / 4;
}

// Height and width of frame i, or false when the frame header is not there.
bool FrameSize(std::span<const std::uint8_t> list, std::size_t i, std::uint32_t& size) {
  const std::size_t at = Offset(list, i);
  if (at > list.size() || list.size() - at < 8) return false;
  size = LoadU32(list, at + 4, ByteOrder::kLittle);
  return true;
}

bool WellFormed(MHandle list) {
  HandleLock lock(list);
  return lock.Data() != nullptr && WellFormed(std::span<const std::uint8_t>(lock.Bytes()));
}

}  // namespace

MHandle NewSprList(std::int32_t version, std::int32_t paletteId) {
  MHandle list = NewHandle(kSprListHeaderSize);
  if (!list) return nullptr;
  HandleLock lock(list);
  StoreU32(lock.Bytes(), 0, static_cast<std::uint32_t>(version), ByteOrder::kLittle);
  StoreU32(lock.Bytes(), kCountAt, 0, ByteOrder::kLittle);
  StoreU32(lock.Bytes(), 8, static_cast<std::uint32_t>(paletteId), ByteOrder::kLittle);
  return list;
}

ResErr AppendFrame(MHandle list, MHandle frame) {
  if (!(list && frame)) {
    XASSERT_FAIL("spriteList && newSpriteData", "append sprite list passed null handle or two");
    return kMemBadHandleErr;
  }
  if (!WellFormed(list)) return kMemBadHandleErr;
  const std::size_t oldSize = static_cast<std::size_t>(GetHandleSize(list));
  const std::size_t frameSize = static_cast<std::size_t>(GetHandleSize(frame));
  if (ResErr err = SetHandleSize(list, static_cast<std::uint32_t>(oldSize + frameSize + 4)); err != 0) return err;
  HandleLock lockList(list);
  HandleLock lockFrame(frame);
  const std::span<std::uint8_t> bytes = lockList.Bytes();
  const std::uint32_t count = Count(bytes);
  const std::size_t table = kOffsetsAt + 4 * static_cast<std::size_t>(count);
  // Room for one more offset: the frames move up by 4.
  std::memmove(bytes.data() + table + 4, bytes.data() + table, oldSize - table);
  for (std::uint32_t i = 0; i < count; ++i)
    StoreU32(bytes, kOffsetsAt + 4 * i, Offset(bytes, i) + 4, ByteOrder::kLittle);
  StoreU32(bytes, table, static_cast<std::uint32_t>(oldSize + 4), ByteOrder::kLittle);
  std::memcpy(bytes.data() + oldSize + 4, lockFrame.Data(), frameSize);
  StoreU32(bytes, kCountAt, count + 1, ByteOrder::kLittle);
  return 0;
}

ResErr AppendList(MHandle destination, MHandle source) {
  if (!(destination && source)) {
    XASSERT_FAIL("spriteList && newSpriteData", "append sprite list passed null handle or two");
    return kMemBadHandleErr;
  }
  if (!WellFormed(destination) || !WellFormed(source)) return kMemBadHandleErr;
  const std::size_t destSize = static_cast<std::size_t>(GetHandleSize(destination));
  const std::size_t sourceSize = static_cast<std::size_t>(GetHandleSize(source));
  if (ResErr err = SetHandleSize(destination, static_cast<std::uint32_t>(destSize + sourceSize - kSprListHeaderSize));
      err != 0) {
    return err;
  }
  HandleLock lockDest(destination);
  HandleLock lockSource(source);
  const std::span<std::uint8_t> dest = lockDest.Bytes();
  const std::span<const std::uint8_t> src = lockSource.Bytes();
  const std::uint32_t destCount = Count(dest);
  const std::uint32_t sourceCount = Count(src);
  const std::size_t destTable = kOffsetsAt + 4 * static_cast<std::size_t>(destCount);
  const std::size_t sourceTable = kOffsetsAt + 4 * static_cast<std::size_t>(sourceCount);
  const std::size_t grow = 4 * static_cast<std::size_t>(sourceCount);
  // [header][dest offsets][source offsets][dest frames][source frames]
  std::memmove(dest.data() + destTable + grow, dest.data() + destTable, destSize - destTable);
  for (std::uint32_t i = 0; i < destCount; ++i) {
    StoreU32(dest, kOffsetsAt + 4 * i, Offset(dest, i) + static_cast<std::uint32_t>(grow), ByteOrder::kLittle);
  }
  for (std::uint32_t i = 0; i < sourceCount; ++i) {
    const std::uint32_t moved = Offset(src, i) - kSprListHeaderSize + static_cast<std::uint32_t>(destSize);
    StoreU32(dest, destTable + 4 * i, moved, ByteOrder::kLittle);
  }
  std::memcpy(dest.data() + destSize + grow, src.data() + sourceTable, sourceSize - sourceTable);
  StoreU32(dest, kCountAt, destCount + sourceCount, ByteOrder::kLittle);
  return 0;
}

ResErr MergeDepthList(MHandle depthList, MHandle colourList) {
  {
    HandleLock lockDepth(depthList);
    HandleLock lockColour(colourList);
    const std::span<const std::uint8_t> depth = lockDepth.Bytes();
    const std::span<const std::uint8_t> colour = lockColour.Bytes();
    if (!WellFormed(depth) || !WellFormed(colour)) return kMemBadHandleErr;
    const std::uint32_t count = Count(colour);
    if (Count(depth) != count) return spr_error::kDepthCountMismatch;
    for (std::uint32_t i = 0; i < count; ++i) {
      std::uint32_t depthSize = 0, colourSize = 0;
      if (!FrameSize(depth, i, depthSize) || !FrameSize(colour, i, colourSize) || depthSize != colourSize) {
        return spr_error::kDepthSizeMismatch;
      }
    }
  }
  if (ResErr err = AppendList(colourList, depthList); err != 0) return err;
  HandleLock lock(colourList);
  StoreU32(lock.Bytes(), 0, static_cast<std::uint32_t>(kSprColourDepthVersion), ByteOrder::kLittle);
  return 0;
}

bool SwapSprListByteOrder(std::span<std::uint8_t> list, ByteOrder from) {
  ByteCursor cursor(list, from);
  const std::int32_t version = cursor.I32();
  const std::uint32_t count = cursor.U32();
  const std::size_t table = version < kSprColourVersion ? 8 : 12;
  if (cursor.Failed() || list.size() < table || count > (list.size() - table) / 4) return false;
  cursor.Seek(table);
  std::vector<std::uint32_t> offsets(count);
  for (auto& offset : offsets) {
    offset = cursor.U32();
    if (offset > list.size() || list.size() - offset < 8) return false;
  }
  auto swap = [&](std::size_t at, std::size_t width) { std::reverse(list.begin() + at, list.begin() + at + width); };
  swap(0, 4);
  swap(4, 4);
  if (table == 12) swap(8, 4);
  for (std::size_t i = 0; i < count; ++i) swap(table + 4 * i, 4);
  // Two frames never share a header, but a damaged list might name one twice.
  std::sort(offsets.begin(), offsets.end());
  offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
  for (std::uint32_t at : offsets) {
    for (std::size_t field = 0; field < 4; ++field) swap(at + 2 * field, 2);
  }
  return true;
}

bool ConvertSprListToStoredOrder(MHandle list) {
  if (!list) return false;
  HandleLock lock(list);
  return SwapSprListByteOrder(lock.Bytes(), ByteOrder::kLittle);
}

}  // namespace pixmold
