#include "app/preview_scale.h"

#include <algorithm>

namespace pixmold {

int LargestFactor(PixelSize picture) {
  const std::int64_t width = std::max(picture.width, 1);
  const std::int64_t height = std::max(picture.height, 1);
  std::int64_t factor = std::min<std::int64_t>({kMaxPreviewFactor, kMaxPreviewSide / width, kMaxPreviewSide / height});
  while (factor > 1 && width * height * factor * factor > kMaxPreviewPixels) --factor;
  return static_cast<int>(std::max<std::int64_t>(factor, 1));
}

int FitFactor(PixelSize pane, PixelSize picture) {
  if (picture.width <= 0 || picture.height <= 0 || pane.width <= 0 || pane.height <= 0) return 1;
  const int fit = std::min(pane.width / picture.width, pane.height / picture.height);
  return std::clamp(fit, 1, LargestFactor(picture));
}

int PreviewScale::Factor(PixelSize pane, PixelSize picture) const {
  if (!fFixed) return FitFactor(pane, picture);
  return std::clamp(*fFixed, 1, LargestFactor(picture));
}

void PreviewScale::ZoomIn(PixelSize pane, PixelSize picture) {
  fFixed = std::min(Factor(pane, picture) + 1, LargestFactor(picture));
}

void PreviewScale::ZoomOut(PixelSize pane, PixelSize picture) { fFixed = std::max(Factor(pane, picture) - 1, 1); }

PreviewImage ScaleByWholeFactor(const PreviewImage& image, int factor) {
  factor = std::clamp(factor, 1, LargestFactor({image.width, image.height}));
  if (image.width <= 0 || image.height <= 0 || image.channels <= 0 ||
      image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) *
                                 static_cast<std::size_t>(image.channels)) {
    return {};
  }
  const auto channels = static_cast<std::size_t>(image.channels);
  PreviewImage scaled{image.width * factor, image.height * factor, image.channels, {}};
  scaled.pixels.resize(static_cast<std::size_t>(scaled.width) * static_cast<std::size_t>(scaled.height) * channels);
  const std::size_t sourceRow = static_cast<std::size_t>(image.width) * channels;
  const std::size_t scaledRow = static_cast<std::size_t>(scaled.width) * channels;
  for (int y = 0; y < image.height; ++y) {
    const std::uint8_t* from = image.pixels.data() + static_cast<std::size_t>(y) * sourceRow;
    std::uint8_t* to =
        scaled.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(factor) * scaledRow;
    for (int x = 0; x < image.width; ++x) {
      for (int copy = 0; copy < factor; ++copy) {
        std::copy_n(
            from + static_cast<std::size_t>(x) * channels, channels,
            to + (static_cast<std::size_t>(x) * static_cast<std::size_t>(factor) + static_cast<std::size_t>(copy)) *
                     channels);
      }
    }
    // The other rows of the block repeat the first.
    for (int copy = 1; copy < factor; ++copy)
      std::copy_n(to, scaledRow, to + static_cast<std::size_t>(copy) * scaledRow);
  }
  return scaled;
}

}  // namespace pixmold
