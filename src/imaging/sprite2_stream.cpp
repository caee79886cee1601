#include "imaging/sprite2_stream.h"

#include <cstring>

#include "base/byte_cursor.h"
#include "base/xassert.h"

namespace pixmold {

std::uint16_t Sprite2Stream::Word(std::ptrdiff_t i) const {
  return LoadU16(fBytes, static_cast<std::size_t>(i), ByteOrder::kLittle);
}

void Sprite2Stream::StoreWord(std::ptrdiff_t i, std::uint16_t word) {
  StoreU16(fBytes, static_cast<std::size_t>(i), word, ByteOrder::kLittle);
}

std::uint16_t Sprite2Stream::CheckedData(int data) {
  if (data < 0 || data > sprite2::kMaxData) fOverflow = true;
  return static_cast<std::uint16_t>(data) & sprite2::kDataMask;
}

std::ptrdiff_t Sprite2Stream::PushToken(std::uint16_t code, int data) {
  if (fBytes.size() & 1) fBytes.push_back(sprite2::kPadByte);
  const std::uint16_t word = (code & sprite2::kCodeMask) | CheckedData(data);
  fLastToken = static_cast<std::ptrdiff_t>(fBytes.size());
  fBytes.push_back(static_cast<std::uint8_t>(word));
  fBytes.push_back(static_cast<std::uint8_t>(word >> 8));
  return fLastToken;
}

void Sprite2Stream::SetToken(std::ptrdiff_t i, std::uint16_t code) {
  XASSERT((i & 1) == 0, "Setting token from uneven address");
  StoreWord(i, (code & sprite2::kCodeMask) | (Word(i) & sprite2::kDataMask));
}

void Sprite2Stream::SetData(std::ptrdiff_t i, int data) {
  XASSERT((i & 1) == 0, "Setting data from uneven address");
  StoreWord(i, (Word(i) & sprite2::kCodeMask) | CheckedData(data));
}

std::uint16_t Sprite2Stream::GetToken(std::ptrdiff_t i) const {
  XASSERT((i & 1) == 0, "Getting token from uneven address");
  return Word(i) & sprite2::kCodeMask;
}

int Sprite2Stream::GetData(std::ptrdiff_t i) const {
  XASSERT((i & 1) == 0, "Getting data from uneven address");
  return Word(i) & sprite2::kDataMask;
}

void Sprite2Stream::PushPair(std::uint8_t depth, std::uint8_t colour) {
  if (size() & 1) XASSERT_FAIL("( size() & 1 ) == 0", "Pushing pair to uneven address");
  fBytes.push_back(depth);
  fBytes.push_back(colour);
}

void Sprite2Stream::PushPixels(const std::uint8_t* colour, int n) {
  const std::size_t at = fBytes.size();
  fBytes.resize(at + static_cast<std::size_t>(n));
  std::memcpy(fBytes.data() + at, colour, static_cast<std::size_t>(n));
}

void Sprite2Stream::PushPairs(const std::uint8_t* depth, const std::uint8_t* colour, int n) {
  if (size() & 1) XASSERT_FAIL("( size() & 1 ) == 0", "Pushing pair to uneven address");
  const std::size_t at = fBytes.size();
  fBytes.resize(at + 2 * static_cast<std::size_t>(n));
  std::uint8_t* out = fBytes.data() + at;
  for (int i = 0; i < n; ++i) {
    out[2 * i] = depth[i];
    out[2 * i + 1] = colour[i];
  }
}

void Sprite2Stream::PushTriples(const std::uint8_t* depth, const std::uint8_t* colour, const std::uint8_t* alpha,
                                int shift, int n) {
  const std::size_t at = fBytes.size();
  fBytes.resize(at + 3 * static_cast<std::size_t>(n));
  std::uint8_t* out = fBytes.data() + at;
  for (int i = 0; i < n; ++i) {
    out[3 * i] = depth[i];
    out[3 * i + 1] = colour[i];
    out[3 * i + 2] = static_cast<std::uint8_t>(alpha[i] >> shift);
  }
}

std::ptrdiff_t Sprite2Stream::LastToken() const {
  if (fLastToken == -1) XASSERT_FAIL("mLastToken != -1", "bad token!");
  return fLastToken;
}

void Sprite2Stream::RemoveLastToken() {
  const std::ptrdiff_t last = LastToken();
  if (last < 0) return;
  if (static_cast<std::ptrdiff_t>(fBytes.size()) - last != 2) {
    XASSERT_FAIL("end() - (begin() + mLastToken) == 2", "uh oh");
  }
  fBytes.resize(static_cast<std::size_t>(last));
  fLastToken = -1;
}

}  // namespace pixmold
