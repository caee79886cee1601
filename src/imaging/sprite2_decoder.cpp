#include "imaging/sprite2_decoder.h"

#include "base/byte_cursor.h"
#include "imaging/sprite2_tokens.h"

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

// Decodes one line's tokens, from after its kNL up to lineEnd.
SpriteDecodeStatus DecodeLine(Sprite2TokenReader& reader, std::size_t lineEnd, int y, DecodedSprite& out) {
  int x = 0;
  Sprite2Token token;
  while (reader.Position() < lineEnd) {
    const std::size_t at = reader.Position();
    if (!reader.Next(token)) {
      return SpriteDecodeStatus::Fail(reader.Error().empty() ? "line runs past the end of the frame" : reader.Error(),
                                      at);
    }
    if (token.code == sprite2::kClear) {
      if (token.data > out.width - x) return SpriteDecodeStatus::Fail("clear count runs past the right edge", at);
      x += token.data;
    } else if (Sprite2BytesPerPixel(token.code) > 0) {
      if (token.data > out.width - x) return SpriteDecodeStatus::Fail("run goes past the right edge", at);
      Paint(out, token, x, y);
      x += token.data;
    } else {
      return SpriteDecodeStatus::Fail("line-level token inside a line", at);
    }
  }
  if (reader.Position() != lineEnd) {
    return SpriteDecodeStatus::Fail("line's tokens do not end where its kNL says", reader.Position());
  }
  return {};
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

  Sprite2TokenReader reader(frame);
  Sprite2Token token;
  int y = 0;
  for (;;) {
    const std::size_t at = reader.Position();
    if (!reader.Next(token)) {
      return SpriteDecodeStatus::Fail(reader.Error().empty() ? "frame ends without kEOS" : reader.Error(), at);
    }
    switch (token.code) {
      case sprite2::kEOS: return {};
      case sprite2::kSL:
        if (token.data > header.height - y) return SpriteDecodeStatus::Fail("skipped lines go past the bottom", at);
        y += token.data;
        break;
      case sprite2::kNL: {
        if (y >= header.height) return SpriteDecodeStatus::Fail("line below the bottom of the frame", at);
        if (token.data < 2) return SpriteDecodeStatus::Fail("kNL length shorter than the kNL itself", at);
        if (auto status = DecodeLine(reader, at + static_cast<std::size_t>(token.data), y, out); !status.Ok()) {
          return status;
        }
        ++y;
        break;
      }
      default: return SpriteDecodeStatus::Fail("run or clear token outside a line", at);
    }
  }
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
