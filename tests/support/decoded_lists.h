// Stored sprite lists read back as a reader of the object file reads them,
// and their frames compared pixel by pixel with what they were cut from.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "imaging/offscreen.h"
#include "imaging/spr_decoder.h"
#include "imaging/sprite2_decoder.h"

namespace pixmold::testing {

struct DecodedList {
  ByteOrder order = ByteOrder::kLittle;  // SPR# only
  std::int32_t version = 0;
  std::int32_t paletteId = 0;
  std::vector<DecodedSprite> frames;
  std::vector<Sprite2FrameHeader> headers;  // SPR2 only
};

// An SPR2 list, or an SPR# list in the given order (by default the one its
// version field shows).
inline DecodedList DecodeList(std::span<const std::uint8_t> bytes, bool sprite2,
                              std::optional<ByteOrder> order = std::nullopt) {
  DecodedList out;
  if (!sprite2) {
    if (!order) order = GuessSprListOrder(bytes);
    EXPECT_TRUE(order.has_value());
    out.order = order.value_or(ByteOrder::kLittle);
  }
  SprListView sprView;
  Sprite2ListView spr2View;
  EXPECT_TRUE(sprite2 ? ParseSprite2List(bytes, spr2View).Ok() : ParseSprList(bytes, out.order, sprView).Ok());
  out.version = sprite2 ? spr2View.version : sprView.version;
  out.paletteId = sprite2 ? spr2View.paletteId : sprView.paletteId;
  for (const auto& frame : sprite2 ? spr2View.frames : sprView.frames) {
    out.frames.emplace_back();
    out.headers.emplace_back();
    EXPECT_TRUE(sprite2 ? DecodeSprite2Frame(frame, out.frames.back(), &out.headers.back()).Ok()
                        : DecodeSprFrame(frame, out.order, out.frames.back()).Ok());
  }
  return out;
}

// The colour a frame must show for source pixel (x, y), or -1 where it must
// be clear.
using ShownAt = std::function<int(int x, int y)>;

// Every pixel of the frame against the source inside rect; the first few
// that differ are reported.
inline void ExpectFrameShows(const DecodedSprite& frame, const Rect& rect, const ShownAt& shown) {
  ASSERT_EQ(std::to_string(frame.width) + "x" + std::to_string(frame.height),
            std::to_string(rect.Width()) + "x" + std::to_string(rect.Height()));
  int wrong = 0;
  for (int y = 0; y < frame.height; ++y) {
    for (int x = 0; x < frame.width; ++x) {
      const int want = shown(rect.left + x, rect.top + y);
      const int got = frame.Drawn(x, y) ? frame.colour[frame.Index(x, y)] : -1;
      if (got != want && ++wrong <= 3)
        ADD_FAILURE() << "pixel " << rect.left + x << "," << rect.top + y << " shows " << got << ", not " << want;
    }
  }
}

// A sheet's own pixels, clear where they are `clear`; a mask shows
// `maskIndex` wherever it is drawn.
inline ShownAt SheetPixels(const Offscreen& sheet, std::uint8_t clear, int maskIndex = -1) {
  return [&sheet, clear, maskIndex](int x, int y) {
    const std::uint8_t pixel = sheet.PixelAt(x, y);
    return pixel == clear ? -1 : maskIndex >= 0 ? maskIndex : pixel;
  };
}

}  // namespace pixmold::testing
