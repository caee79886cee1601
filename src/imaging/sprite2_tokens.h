// Walks the token stream of an SPR2 frame one token at a time, with the
// pixel bytes of each run. Bounds are checked before anything is read, so
// the walker is safe on arbitrary bytes; it stops at kEOS, at the end of the
// bytes, or at the first token it cannot read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "imaging/sprite2_stream.h"

namespace pixmold {

struct Sprite2Token {
  std::size_t position = 0;              // offset of the token word in the frame
  std::uint16_t code = 0;                // one of the sprite2::k* codes
  int data = 0;                          // the low 13 bits
  std::span<const std::uint8_t> pixels;  // a run's bytes (1, 2 or 3 per pixel), else empty
  std::size_t end = 0;                   // offset after the token, its pixels and any pad byte
};

// Bytes each pixel of a run takes, 0 for tokens that are not runs.
int Sprite2BytesPerPixel(std::uint16_t code);

class Sprite2TokenReader {
 public:
  explicit Sprite2TokenReader(std::span<const std::uint8_t> frame, std::size_t start = sprite2::kFrameHeaderSize)
      : fFrame(frame), fPos(start) {}

  // Reads the token at the current position and moves past it. Returns
  // false at the end of the bytes or on a token that does not fit, with
  // Error() telling which (empty at a clean end).
  bool Next(Sprite2Token& token);
  // The token word at an offset, or false when the offset holds none.
  bool Peek(std::size_t offset, std::uint16_t& code, int& data) const;
  std::size_t Position() const { return fPos; }
  void Seek(std::size_t offset) { fPos = offset; }
  const std::string& Error() const { return fError; }

 private:
  std::span<const std::uint8_t> fFrame;
  std::size_t fPos;
  std::string fError;
};

}  // namespace pixmold
