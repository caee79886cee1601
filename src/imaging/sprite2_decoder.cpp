#include "imaging/sprite2_decoder.h"

#include "base/byte_cursor.h"
#include "imaging/sprite2_runs.h"

namespace pixmold {
namespace {

void Paint(DecodedSprite& out, const Sprite2Token& token, int x, int y) {
  const std::uint8_t* p = token.pixels.data();
  const std::size_t at = out.Index(x, y);
  for (int i = 0; i < token.data; ++i) {
    const std::size_t k = at + static_cast<std::size_t>(i);
    switch (token.code) {
      case sprite2::kRunP:
        out.colour[k] = p[i];
        out.kind[k] = PixelKind::kColour;
        break;
      case sprite2::kRunZP:
        out.depth[k] = p[2 * i];
        out.colour[k] = p[2 * i + 1];
        out.kind[k] = PixelKind::kDepth;
        break;
      default:  // kRunZPA
        out.depth[k] = p[3 * i];
        out.colour[k] = p[3 * i + 1];
        out.alpha[k] = p[3 * i + 2];
        out.kind[k] = PixelKind::kAlpha;
        break;
    }
  }
}

}  // namespace

SpriteDecodeStatus ReadSprite2Header(std::span<const std::uint8_t> frame, Sprite2FrameHeader& header) {
  ByteCursor cursor(frame, ByteOrder::kLittle);
  header.width = cursor.U16();
  header.height = cursor.U16();
  header.flags = cursor.U32();
  header.paletteId = cursor.I16();
  header.clearColour = cursor.U16();
  header.originY = cursor.I16();
  header.originX = cursor.I16();
  if (cursor.Failed()) return SpriteDecodeStatus::Fail("frame shorter than its 16-byte header", 0);
  return {};
}

SpriteDecodeStatus DecodeSprite2Frame(std::span<const std::uint8_t> frame, DecodedSprite& out,
                                      Sprite2FrameHeader* headerOut, const SpriteDecodeLimits& limits) {
  Sprite2FrameHeader header;
  if (auto status = ReadSprite2Header(frame, header); !status.Ok()) return status;
  if (headerOut) *headerOut = header;
  if (auto refused = CheckSpriteSize(header.width, header.height, limits); !refused.empty()) {
    return SpriteDecodeStatus::Fail(refused, 0);
  }
  out.Reset(header.width, header.height, static_cast<std::uint8_t>(header.clearColour));
  return WalkSprite2Runs(frame, header.width, header.height,
                         [&out](const Sprite2Token& run, int x, int y) { Paint(out, run, x, y); });
}

SpriteDecodeStatus ParseSprite2List(std::span<const std::uint8_t> list, Sprite2ListView& out,
                                    const SpriteDecodeLimits& limits) {
  ByteCursor cursor(list, ByteOrder::kLittle);
  out.version = cursor.I32();
  const std::int32_t count = cursor.I32();
  out.paletteId = cursor.I32();
  out.frames.clear();
  if (cursor.Failed()) return SpriteDecodeStatus::Fail("list shorter than its 12-byte header", 0);
  if (out.version != kSprite2ListVersion) return SpriteDecodeStatus::Fail("not an SPR2 list version", 0);
  if (count < 0 || count > limits.maxFrames) return SpriteDecodeStatus::Fail("frame count out of range", 4);
  if (static_cast<std::size_t>(count) > cursor.Remaining() / 4) {
    return SpriteDecodeStatus::Fail("offset table longer than the list", 12);
  }
  const std::size_t tableEnd = 12 + 4 * static_cast<std::size_t>(count);
  out.frames.reserve(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    const std::uint32_t offset = cursor.U32();
    if (offset < tableEnd || offset >= list.size()) {
      return SpriteDecodeStatus::Fail("frame offset outside the list", 12 + 4 * static_cast<std::size_t>(i));
    }
    out.frames.push_back(list.subspan(offset));
  }
  return {};
}

}  // namespace pixmold
