#include "app/preview_render.h"

#include <algorithm>

#include "app/preview_scale.h"

namespace pixmold {
namespace {

// White at about a third of full strength: visible over the pane's grey and
// over a sprite, never mistaken for part of one.
constexpr int kOutlineAlpha = 88;

void BlendWhite(std::uint8_t* pixel) {
  const int below = pixel[3];
  const int alpha = kOutlineAlpha * 255 + below * (255 - kOutlineAlpha);  // scaled by 255
  for (int c = 0; c < 3; ++c) {
    const int colour = (255 * kOutlineAlpha * 255 + pixel[c] * below * (255 - kOutlineAlpha)) / alpha;
    pixel[c] = static_cast<std::uint8_t>(colour);
  }
  pixel[3] = static_cast<std::uint8_t>(alpha / 255);
}

}  // namespace

int FloorTileHalfWidth(int zoom) { return 8 << std::clamp(zoom, 1, 3); }
int FloorTileHalfHeight(int zoom) { return 4 << std::clamp(zoom, 1, 3); }

void DrawFloorTileOutline(PreviewImage& scaled, const FloorTile& tile, int factor) {
  if (scaled.channels != 4 || factor < 1 ||
      scaled.pixels.size() != static_cast<std::size_t>(scaled.width) * static_cast<std::size_t>(scaled.height) * 4) {
    return;
  }
  const int left = std::max(tile.clipLeft * factor, 0);
  const int top = std::max(tile.clipTop * factor, 0);
  const int right = std::min(tile.clipRight * factor, scaled.width);
  const int bottom = std::min(tile.clipBottom * factor, scaled.height);
  auto plot = [&](int x, int y) {
    if (x < left || x >= right || y < top || y >= bottom) return;
    BlendWhite(&scaled.pixels[(static_cast<std::size_t>(y) * static_cast<std::size_t>(scaled.width) +
                               static_cast<std::size_t>(x)) *
                              4]);
  };
  const int x0 = tile.centreX * factor;
  const int y0 = tile.centreY * factor;
  const int halfWidth = FloorTileHalfWidth(tile.zoom) * factor;
  // Column i away from the centre (on either side) meets the edges j rows
  // above and below it; the outermost columns form the diamond's side tips.
  for (int i = 0; i < halfWidth; ++i) {
    const int j = (halfWidth - 1 - i) / 2;
    for (const int x : {x0 - 1 - i, x0 + i}) {
      plot(x, y0 - 1 - j);
      plot(x, y0 + j);
    }
  }
}

PreviewImage RenderPreview(const PreviewImage& picture, const std::vector<FloorTile>& tiles, int factor) {
  PreviewImage scaled = ScaleByWholeFactor(picture, factor);
  if (scaled.width == 0) return scaled;
  const int used = scaled.width / picture.width;
  for (const FloorTile& tile : tiles) DrawFloorTileOutline(scaled, tile, used);
  return scaled;
}

}  // namespace pixmold
