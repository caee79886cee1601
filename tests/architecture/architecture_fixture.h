// Sheets with known pixels for the architecture generators, an in-memory
// object file to build into, and decoding of the stored lists.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "imaging/spr_decoder.h"
#include "imaging/sprite2_decoder.h"
#include "support/object_file_fixture.h"

namespace pixmold::testing {

inline void Fill(Offscreen& offscreen, int width, int height, const std::function<std::uint8_t(int, int)>& rule) {
  ASSERT_TRUE(offscreen.Create(Rect::Make(0, 0, width, height)));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) offscreen.Row(y)[x] = rule(x, y);
}

// 256 distinct colours, with or without the display's reserved ones.
inline void UseTestPalette(bool systemColours) {
  std::array<PaletteEntry, 256> colours{};
  for (int i = 0; i < 256; ++i) colours[i] = {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i / 2)};
  GetGlobalPalette().SetFromColours(colours, systemColours);
}

struct MemoryObject {
  MemoryObject() {
    file.CreateFile("object");
    file.OpenFile("object");
  }
  const StoredResource* Find(ResType type, ResID id) const { return disk.Find("object", type, id); }
  // "TYPE id" of every stored resource, in the order stored.
  std::vector<std::string> Contents() const { return ResourceKeys(disk.files.at("object")); }
  MemoryDisk disk;
  MemoryResFile file{disk};
};

struct DecodedList {
  std::int32_t version = 0;
  std::int32_t paletteId = 0;
  std::vector<DecodedSprite> frames;
  std::vector<Sprite2FrameHeader> headers;  // SPR2 only
};

// SPR# wall lists are stored in native (little-endian) order.
inline DecodedList Decode(const StoredResource& resource) {
  DecodedList out;
  const bool spr2 = resource.type == MakeResType("SPR2");
  SprListView sprView;
  Sprite2ListView spr2View;
  EXPECT_TRUE(spr2 ? ParseSprite2List(resource.bytes, spr2View).Ok()
                   : ParseSprList(resource.bytes, ByteOrder::kLittle, sprView).Ok());
  out.version = spr2 ? spr2View.version : sprView.version;
  out.paletteId = spr2 ? spr2View.paletteId : sprView.paletteId;
  for (const auto& frame : spr2 ? spr2View.frames : sprView.frames) {
    out.frames.emplace_back();
    out.headers.emplace_back();
    EXPECT_TRUE(spr2 ? DecodeSprite2Frame(frame, out.frames.back(), &out.headers.back()).Ok()
                     : DecodeSprFrame(frame, ByteOrder::kLittle, out.frames.back()).Ok());
  }
  return out;
}

// The frame against the sheet inside rect: drawn exactly where the sheet is
// not clear, showing the sheet's pixel (or `maskIndex` for masks).
inline void ExpectFrameShows(const DecodedSprite& frame, const Rect& rect, const Offscreen& sheet, std::uint8_t clear,
                             int maskIndex = -1) {
  ASSERT_EQ(std::to_string(frame.width) + "x" + std::to_string(frame.height),
            std::to_string(rect.Width()) + "x" + std::to_string(rect.Height()));
  int wrong = 0;
  for (int y = 0; y < frame.height; ++y) {
    for (int x = 0; x < frame.width; ++x) {
      const std::uint8_t pixel = sheet.PixelAt(rect.left + x, rect.top + y);
      const int shown = maskIndex >= 0 ? maskIndex : pixel;
      const bool ok =
          frame.Drawn(x, y) == (pixel != clear) && (pixel == clear || frame.colour[frame.Index(x, y)] == shown);
      if (!ok && ++wrong <= 3) ADD_FAILURE() << "pixel " << x << "," << y << " of " << rect.left << "," << rect.top;
    }
  }
}

}  // namespace pixmold::testing
