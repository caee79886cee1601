// Sheets with known pixels for the architecture generators, an in-memory
// object file to build into, and decoders that read the stored lists back
// the way the game does.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "imaging/decoded_sprite.h"
#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "imaging/rect.h"
#include "imaging/spr_decoder.h"
#include "imaging/sprite2_decoder.h"
#include "support/memory_res_file.h"

namespace pixmold::testing {

using PixelRule = std::function<std::uint8_t(int x, int y)>;

inline void Fill(Offscreen& offscreen, int width, int height, const PixelRule& rule) {
  ASSERT_TRUE(offscreen.Create(Rect::Make(0, 0, width, height)));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) offscreen.Row(y)[x] = rule(x, y);
}

// 256 distinct colours, with or without the display's reserved ones.
inline void UseTestPalette(bool systemColours) {
  std::array<PaletteEntry, 256> colours{};
  for (int i = 0; i < 256; ++i) {
    colours[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i / 2)};
  }
  GetGlobalPalette().SetFromColours(colours, systemColours);
}

// An object file in memory, open for writing.
struct MemoryObject {
  MemoryObject() {
    file.CreateFile("object");
    file.OpenFile("object");
  }
  const StoredResource* Find(ResType type, ResID id) const { return disk.Find("object", type, id); }
  // "TYPE id" of every stored resource, in the order stored.
  std::vector<std::string> Contents() const {
    std::vector<std::string> out;
    for (const StoredResource& r : disk.files.at("object")) {
      std::string text;
      for (int shift = 24; shift >= 0; shift -= 8) text += static_cast<char>(r.type >> shift);
      out.push_back(text + " " + std::to_string(r.id));
    }
    return out;
  }

  MemoryDisk disk;
  MemoryResFile file{disk};
};

struct DecodedList {
  std::int32_t version = 0;
  std::int32_t paletteId = 0;
  std::vector<DecodedSprite> frames;
  std::vector<Sprite2FrameHeader> headers;  // SPR2 only
};

// A wall list, stored in native (little-endian) order.
inline DecodedList DecodeSpr(const StoredResource& resource) {
  DecodedList out;
  SprListView view;
  const auto status = ParseSprList(resource.bytes, ByteOrder::kLittle, view);
  EXPECT_TRUE(status.Ok()) << status.error;
  out.version = view.version;
  out.paletteId = view.paletteId;
  for (const auto& frame : view.frames) {
    out.frames.emplace_back();
    EXPECT_TRUE(DecodeSprFrame(frame, ByteOrder::kLittle, out.frames.back()).Ok());
  }
  return out;
}

inline DecodedList DecodeSpr2(const StoredResource& resource) {
  DecodedList out;
  Sprite2ListView view;
  const auto status = ParseSprite2List(resource.bytes, view);
  EXPECT_TRUE(status.Ok()) << status.error;
  out.version = view.version;
  out.paletteId = view.paletteId;
  for (const auto& frame : view.frames) {
    out.frames.emplace_back();
    out.headers.emplace_back();
    const auto decoded = DecodeSprite2Frame(frame, out.frames.back(), &out.headers.back());
    EXPECT_TRUE(decoded.Ok()) << decoded.error;
  }
  return out;
}

// Every pixel of the frame against the sheet inside rect: drawn exactly
// where the sheet is not clear, showing `drawn(sheet pixel)`.
inline void ExpectFrameShows(const DecodedSprite& frame, const Rect& rect, const Offscreen& sheet, std::uint8_t clear,
                             const std::function<std::uint8_t(std::uint8_t)>& drawn) {
  ASSERT_EQ(std::to_string(frame.width) + "x" + std::to_string(frame.height),
            std::to_string(rect.Width()) + "x" + std::to_string(rect.Height()));
  int wrong = 0;
  for (int y = 0; y < frame.height; ++y) {
    for (int x = 0; x < frame.width; ++x) {
      const std::uint8_t pixel = sheet.PixelAt(rect.left + x, rect.top + y);
      const bool ok =
          frame.Drawn(x, y) == (pixel != clear) && (pixel == clear || frame.colour[frame.Index(x, y)] == drawn(pixel));
      if (!ok && ++wrong <= 3) ADD_FAILURE() << "pixel " << x << "," << y << " of " << rect.left << "," << rect.top;
    }
  }
}

inline std::uint8_t Same(std::uint8_t pixel) { return pixel; }

}  // namespace pixmold::testing
