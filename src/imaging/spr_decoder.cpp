#include "imaging/spr_decoder.h"

#include "imaging/spr_frame_encoder.h"
#include "imaging/spr_list.h"

namespace pixmold {
namespace {

class LineDecoder {
 public:
  LineDecoder(std::span<const std::uint8_t> frame, const SprSettings& settings, DecodedSprite& out, int y)
      : fFrame(frame), fSettings(settings), fOut(out), fRowIndex(y) {}

  // Decodes the tokens in [begin, end) of the frame.
  SpriteDecodeStatus Decode(std::size_t begin, std::size_t end);

 private:
  bool Fill(int n, std::uint8_t colour) {
    if (n > fOut.width - fColumn) return false;
    for (int i = 0; i < n; ++i) Put(colour);
    return true;
  }
  void Put(std::uint8_t colour) {
    const std::size_t k = fOut.Index(fColumn++, fRowIndex);
    fOut.colour[k] = colour;
    fOut.kind[k] = PixelKind::kColour;
  }

  std::span<const std::uint8_t> fFrame;
  const SprSettings& fSettings;
  DecodedSprite& fOut;
  int fRowIndex;
  int fColumn = 0;
};

SpriteDecodeStatus LineDecoder::Decode(std::size_t pos, std::size_t end) {
  auto fail = [&](const char* why) { return SpriteDecodeStatus::Fail(why, pos); };
  while (pos < end) {
    if (end - pos < 2) return fail("token cut off by the end of its line");
    const std::uint8_t op = fFrame[pos];
    const int n = fFrame[pos + 1];
    std::size_t size = 2;
    switch (op) {
      case spr_op::kClear:
        if (n > fOut.width - fColumn) return fail("clear count runs past the right edge");
        fColumn += n;
        break;
      case spr_op::kRepeat:
      case spr_op::kRepeatShade1:
      case spr_op::kRepeatShade2: {
        size = 4;
        if (end - pos < size) return fail("repeat token cut off by the end of its line");
        std::uint8_t value = fFrame[pos + 2];
        if (op == spr_op::kRepeatShade1) value = static_cast<std::uint8_t>(value + fSettings.shade1Low);
        if (op == spr_op::kRepeatShade2) value = static_cast<std::uint8_t>(value + fSettings.shade2Low);
        if (!Fill(n, value)) return fail("repeat runs past the right edge");
        break;
      }
      case spr_op::kDraw:
      case spr_op::kShade1:
      case spr_op::kShade2: {
        size = 2 + static_cast<std::size_t>(n);
        if (end - pos < size) return fail("pixels cut off by the end of their line");
        if (n > fOut.width - fColumn) return fail("pixels run past the right edge");
        const std::uint8_t low = op == spr_op::kShade1   ? fSettings.shade1Low
                                 : op == spr_op::kShade2 ? fSettings.shade2Low
                                                         : 0;
        for (int i = 0; i < n; ++i) Put(static_cast<std::uint8_t>(fFrame[pos + 2 + i] + low));
        break;
      }
      case spr_op::kPattern1:
      case spr_op::kPattern2:
      case spr_op::kPattern3:
        size = 4;
        if (end - pos < size) return fail("pattern token cut off by the end of its line");
        if (!Fill(n, fSettings.patternColours[op - spr_op::kPattern1])) return fail("pattern runs past the right edge");
        break;
      default: return fail("unknown token inside a line");
    }
    pos += size;
    if (pos & 1) ++pos;
  }
  if (pos != end) return SpriteDecodeStatus::Fail("line's tokens do not end where its header says", pos);
  return {};
}

}  // namespace

std::optional<ByteOrder> GuessSprListOrder(std::span<const std::uint8_t> list) {
  for (ByteOrder order : {ByteOrder::kLittle, ByteOrder::kBig}) {
    ByteCursor cursor(list, order);
    const std::int32_t version = cursor.I32();
    if (!cursor.Failed() && (version == kSprColourVersion || version == kSprColourDepthVersion ||
                             version == kSprWallStyleVersion || version == kSprWallDepthVersion)) {
      return order;
    }
  }
  return std::nullopt;
}

SpriteDecodeStatus ParseSprList(std::span<const std::uint8_t> list, ByteOrder order, SprListView& out,
                                const SpriteDecodeLimits& limits) {
  ByteCursor cursor(list, order);
  out.version = cursor.I32();
  const std::int32_t count = cursor.I32();
  out.frames.clear();
  out.paletteId = -1;
  if (out.version >= kSprColourVersion) out.paletteId = cursor.I32();
  if (cursor.Failed()) return SpriteDecodeStatus::Fail("list shorter than its header", 0);
  if (count < 0 || count > limits.maxFrames) return SpriteDecodeStatus::Fail("frame count out of range", 4);
  const std::size_t table = cursor.Position();
  if (static_cast<std::size_t>(count) > cursor.Remaining() / 4) {
    return SpriteDecodeStatus::Fail("offset table longer than the list", table);
  }
  const std::size_t tableEnd = table + 4 * static_cast<std::size_t>(count);
  out.frames.reserve(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    const std::uint32_t offset = cursor.U32();
    if (offset < tableEnd || offset >= list.size()) {
      return SpriteDecodeStatus::Fail("frame offset outside the list", table + 4 * static_cast<std::size_t>(i));
    }
    out.frames.push_back(list.subspan(offset));
  }
  return {};
}

SpriteDecodeStatus DecodeSprFrame(std::span<const std::uint8_t> frame, ByteOrder order, DecodedSprite& out,
                                  const SprSettings& settings, SprFrameInfo* info, const SpriteDecodeLimits& limits) {
  ByteCursor cursor(frame, order);
  cursor.Skip(4);
  const int height = cursor.I16();
  const int width = cursor.I16();
  cursor.Skip(1);
  const std::uint8_t features = cursor.U8();
  if (cursor.Failed()) return SpriteDecodeStatus::Fail("frame shorter than its 10-byte header", 0);
  if (info) *info = {width, height, features};
  if (auto refused = CheckSpriteSize(width, height, limits); !refused.empty()) {
    return SpriteDecodeStatus::Fail(refused, 4);
  }
  out.Reset(width, height, 0);

  std::size_t pos = kSprFrameHeaderSize;
  int y = 0;
  for (;;) {
    if (frame.size() - pos < 2) return SpriteDecodeStatus::Fail("frame ends without an end token", pos);
    const std::uint8_t op = frame[pos];
    const std::uint8_t n = frame[pos + 1];
    if (op == spr_op::kEnd) return {};
    if (op == spr_op::kClearLines) {
      if (n > height - y) return SpriteDecodeStatus::Fail("clear lines go past the bottom", pos);
      y += n;
      pos += 2;
      continue;
    }
    if (op != spr_op::kLine) return SpriteDecodeStatus::Fail("unknown token where a line should start", pos);
    if (y >= height) return SpriteDecodeStatus::Fail("line below the bottom of the frame", pos);
    std::size_t length = n;
    std::size_t body = pos + 2;
    const bool longHeader =
        n == 2 && frame.size() - pos >= 4 && frame[pos + 2] == spr_op::kEnd && frame[pos + 3] == 255;
    if (longHeader) {
      if (frame.size() - pos < 6) return SpriteDecodeStatus::Fail("long line header cut off", pos);
      length = (std::size_t{frame[pos + 4]} << 8) | frame[pos + 5];
      body = pos + 6;
    }
    if (length < body - pos) return SpriteDecodeStatus::Fail("line shorter than its own header", pos);
    if (length > frame.size() - pos) return SpriteDecodeStatus::Fail("line runs past the end of the frame", pos);
    if (auto status = LineDecoder(frame, settings, out, y).Decode(body, pos + length); !status.Ok()) return status;
    pos += length;
    ++y;
  }
}

}  // namespace pixmold
