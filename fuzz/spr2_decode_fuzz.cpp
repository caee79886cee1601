// Feeds arbitrary bytes to the SPR2 readers: as a list when they parse as
// one (every frame decoded), else as a single frame; the frame check and
// the debug decoder walk the same bytes.
#include <cstddef>
#include <cstdint>
#include <sstream>

#include "base/xassert.h"
#include "imaging/sprite2_compressor.h"
#include "imaging/sprite2_debug.h"
#include "imaging/sprite2_decoder.h"
#include "mute_asserts.h"

namespace {

void DecodeOne(std::span<const std::uint8_t> frame, const pixmold::SpriteDecodeLimits& limits) {
  pixmold::DecodedSprite out;
  pixmold::DecodeSprite2Frame(frame, out, nullptr, limits);
  pixmold::CheckSprite2Frame(frame);
  std::ostringstream text;
  pixmold::DebugDecodeSprite2(frame, text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The frame check reports what it finds; arbitrary bytes are expected to fail it.
  pixmold::MuteAssertReports();
  const std::span<const std::uint8_t> bytes(data, size);
  pixmold::SpriteDecodeLimits limits;
  limits.maxWidth = 2048;
  limits.maxHeight = 2048;
  limits.maxPixels = 1 << 16;  // keeps each run fast; the caps themselves are what is tested
  limits.maxFrames = 256;
  pixmold::Sprite2ListView list;
  if (pixmold::ParseSprite2List(bytes, list, limits).Ok()) {
    for (auto frame : list.frames) DecodeOne(frame, limits);
  } else {
    DecodeOne(bytes, limits);
  }
  return 0;
}
