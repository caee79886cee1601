// Sheets with known pixels for the architecture generators, an in-memory
// object file to build into, and its lists decoded.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "support/decoded_lists.h"
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

struct MemoryObject : MemoryObjectFile {
  // "TYPE id" of every stored resource, in the order stored.
  std::vector<std::string> Contents() const { return ResourceKeys(disk.files.at("chair.iff")); }
};

// SPR# wall lists are stored in native (little-endian) order.
inline DecodedList Decode(const StoredResource& resource) {
  return DecodeList(resource.bytes, resource.type == MakeResType("SPR2"), ByteOrder::kLittle);
}

}  // namespace pixmold::testing
