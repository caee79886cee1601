// Walks the lines of one SPR2 frame and hands every run to a caller-given
// sink, with where the run starts in the frame. Decoding to a pixel buffer,
// measuring a frame and painting it straight into a larger sheet all need
// the same checks on untrusted bytes, so they share this one walk and differ
// only in what they do with a run: sink(const Sprite2Token& run, int x, int y)
// returns nothing; the run's pixel bytes lie in run.pixels (1, 2 or 3 per
// pixel by run.code), and the walk has checked that the run fits the width.
//
// A frame is a sequence of lines and skipped-line tokens closed by kEOS; each
// line's tokens must end exactly where its kNL says.
#pragma once

#include <cstddef>
#include <span>

#include "imaging/decoded_sprite.h"
#include "imaging/sprite2_tokens.h"

namespace pixmold {
namespace sprite2_detail {

template <typename Sink>
SpriteDecodeStatus WalkLine(Sprite2TokenReader& reader, std::size_t lineEnd, int width, int y, Sink& sink) {
  int x = 0;
  Sprite2Token token;
  while (reader.Position() < lineEnd) {
    const std::size_t at = reader.Position();
    if (!reader.Next(token)) {
      return SpriteDecodeStatus::Fail(reader.Error().empty() ? "line runs past the end of the frame" : reader.Error(),
                                      at);
    }
    if (token.code == sprite2::kClear) {
      if (token.data > width - x) return SpriteDecodeStatus::Fail("clear count runs past the right edge", at);
      x += token.data;
    } else if (Sprite2BytesPerPixel(token.code) > 0) {
      if (token.data > width - x) return SpriteDecodeStatus::Fail("run goes past the right edge", at);
      sink(token, x, y);
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

}  // namespace sprite2_detail

// width and height are the frame header's, already checked against limits.
template <typename Sink>
SpriteDecodeStatus WalkSprite2Runs(std::span<const std::uint8_t> frame, int width, int height, Sink&& sink) {
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
        if (token.data > height - y) return SpriteDecodeStatus::Fail("skipped lines go past the bottom", at);
        y += token.data;
        break;
      case sprite2::kNL: {
        if (y >= height) return SpriteDecodeStatus::Fail("line below the bottom of the frame", at);
        if (token.data < 2) return SpriteDecodeStatus::Fail("kNL length shorter than the kNL itself", at);
        if (auto status = sprite2_detail::WalkLine(reader, at + static_cast<std::size_t>(token.data), width, y, sink);
            !status.Ok()) {
          return status;
        }
        ++y;
        break;
      }
      default: return SpriteDecodeStatus::Fail("run or clear token outside a line", at);
    }
  }
}

}  // namespace pixmold
