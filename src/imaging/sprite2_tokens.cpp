#include "imaging/sprite2_tokens.h"

#include "base/byte_cursor.h"

namespace pixmold {

int Sprite2BytesPerPixel(std::uint16_t code) {
  switch (code) {
    case sprite2::kRunP: return 1;
    case sprite2::kRunZP: return 2;
    case sprite2::kRunZPA: return 3;
    default: return 0;
  }
}

bool Sprite2TokenReader::Peek(std::size_t offset, std::uint16_t& code, int& data) const {
  if (offset > fFrame.size() || fFrame.size() - offset < 2) return false;
  const std::uint16_t word = LoadU16(fFrame, offset, ByteOrder::kLittle);
  code = word & sprite2::kCodeMask;
  data = word & sprite2::kDataMask;
  return true;
}

bool Sprite2TokenReader::Next(Sprite2Token& token) {
  fError.clear();
  if (fPos >= fFrame.size()) return false;
  if (fPos & 1) {
    fError = "token at an odd offset";
    return false;
  }
  if (!Peek(fPos, token.code, token.data)) {
    fError = "token cut off by the end of the frame";
    return false;
  }
  token.position = fPos;
  std::size_t end = fPos + 2;
  const int perPixel = Sprite2BytesPerPixel(token.code);
  token.pixels = {};
  if (perPixel > 0) {
    const std::size_t bytes = static_cast<std::size_t>(token.data) * static_cast<std::size_t>(perPixel);
    if (fFrame.size() - end < bytes) {
      fError = "run longer than the frame";
      return false;
    }
    token.pixels = fFrame.subspan(end, bytes);
    end += bytes;
    // The pad byte of an odd run may be missing at the very end of a frame;
    // the next token read then fails on its own.
    if (end & 1) ++end;
  }
  token.end = end;
  fPos = end;
  return true;
}

}  // namespace pixmold
