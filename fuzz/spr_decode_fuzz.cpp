// Feeds arbitrary bytes to the SPR# readers. The last byte picks the byte
// order (bit 0) and whether shading and pattern colours move (bit 1); the
// rest is read as a list when it parses as one (every frame decoded, and
// the list swapped to the other order and parsed again), else as one frame.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/xassert.h"
#include "imaging/spr_decoder.h"
#include "imaging/spr_list.h"
#include "mute_asserts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pixmold::MuteAssertReports();
  if (size == 0) return 0;
  const std::uint8_t options = data[size - 1];
  const std::span<const std::uint8_t> bytes(data, size - 1);
  const auto order = (options & 1) ? pixmold::ByteOrder::kBig : pixmold::ByteOrder::kLittle;
  pixmold::SprSettings settings;
  if (options & 2) {
    settings.shade1Low = 200;
    settings.shade2Low = 250;
    settings.patternColours = {9, 99, 199};
  }
  pixmold::SpriteDecodeLimits limits;
  limits.maxWidth = 2048;
  limits.maxHeight = 2048;
  limits.maxPixels = 1 << 16;
  limits.maxFrames = 256;

  pixmold::DecodedSprite out;
  pixmold::SprListView list;
  if (pixmold::ParseSprList(bytes, order, list, limits).Ok()) {
    for (auto frame : list.frames) pixmold::DecodeSprFrame(frame, order, out, settings, nullptr, limits);
    std::vector<std::uint8_t> swapped(bytes.begin(), bytes.end());
    if (pixmold::SwapSprListByteOrder(swapped, order)) {
      const auto other = order == pixmold::ByteOrder::kBig ? pixmold::ByteOrder::kLittle : pixmold::ByteOrder::kBig;
      if (pixmold::ParseSprList(swapped, other, list, limits).Ok()) {
        for (auto frame : list.frames) pixmold::DecodeSprFrame(frame, other, out, settings, nullptr, limits);
      }
    }
  } else {
    pixmold::DecodeSprFrame(bytes, order, out, settings, nullptr, limits);
  }
  return 0;
}
