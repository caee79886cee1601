#include "builder/render_spec.h"

#include <string>

#include "base/xassert.h"
#include "builder/attrib_readers.h"

namespace pixmold {
namespace {

constexpr int kMinScale = 1;
constexpr int kMaxScale = 3;
constexpr std::array<char, kSizeCount> kSizeLetter = {'l', 'm', 's'};

std::int32_t RequiredSize(AttribTable& tag, const std::string& key) {
  std::int32_t value = 0;
  if (!ReadInteger(tag, key, value)) TagFatal(tag, key + " required in sizes attribute");
  return value;
}

}  // namespace

int TileHeight(int scale) {
  if (scale < kMinScale || scale > kMaxScale) {
    XASSERT_FAIL("inScale >= kMinScale && inScale <= kMaxScale", "bad scale");
    return 0;
  }
  return 4 << scale;
}

void RenderSpec::ReadSizes(AttribTable& tag) {
  std::int32_t slop = 0;
  const bool halving = ReadInteger(tag, "slopwidth", slop);
  std::int32_t uniformSlop = 0;
  const bool uniform = ReadInteger(tag, "uniform slopwidth", uniformSlop);
  if (halving && uniform) TagFatal(tag, "slopwidth and uniform slopwidth not allowed together");
  if (uniform) {
    slopWidth = {uniformSlop, uniformSlop, uniformSlop};
  } else {
    slopWidth = {slop, slop / 2, slop / 4};
  }

  std::int32_t sharedBorder = 0;
  ReadInteger(tag, "border", sharedBorder);
  border = {sharedBorder, sharedBorder, sharedBorder};

  for (int s = 0; s < kSizeCount; ++s) {
    const std::string letter(1, kSizeLetter[static_cast<std::size_t>(s)]);
    const auto i = static_cast<std::size_t>(s);
    width[i] = RequiredSize(tag, letter + "width");
    height[i] = RequiredSize(tag, letter + "height");
    // Wide arithmetic: the defaults are computed from unchecked markup values.
    xOrigin[i] = width[i] / 2;
    ReadInteger(tag, letter + "xorigin", xOrigin[i]);
    const std::int64_t yDefault = std::int64_t{height[i]} - TileHeight(ScaleOfSize(s)) - slopWidth[i] - border[i];
    yOrigin[i] = static_cast<std::int32_t>(yDefault);
    ReadInteger(tag, letter + "yorigin", yOrigin[i]);
  }
}

void RenderSpec::ResetHeadlineSizes() {
  height = {96, 48, 24};
  width = {64, 32, 16};
  border = {1, 1, 1};
}

}  // namespace pixmold
