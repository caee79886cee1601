#include "quantize/liq_quantizer.h"

#include <libimagequant.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace pixmold {
namespace {

// The library's middle setting; the benchmark measures what it buys.
constexpr int kSpeed = 4;
constexpr std::size_t kPackedRow = 4096;

struct AttrFree {
  void operator()(liq_attr* p) const { liq_attr_destroy(p); }
};
struct HistogramFree {
  void operator()(liq_histogram* p) const { liq_histogram_destroy(p); }
};
struct ResultFree {
  void operator()(liq_result* p) const { liq_result_destroy(p); }
};
struct ImageFree {
  void operator()(liq_image* p) const { liq_image_destroy(p); }
};
using Attr = std::unique_ptr<liq_attr, AttrFree>;
using Histogram = std::unique_ptr<liq_histogram, HistogramFree>;
using Result = std::unique_ptr<liq_result, ResultFree>;
using Image = std::unique_ptr<liq_image, ImageFree>;

void Check(liq_error error, const char* what) {
  if (error != LIQ_OK)
    throw std::runtime_error(std::string("colour quantizer: ") + what + " failed (" +
                             std::to_string(static_cast<int>(error)) + ")");
}

template <typename T>
T Made(T made, const char* what) {
  if (!made) throw std::runtime_error(std::string("colour quantizer: ") + what + " failed (out of memory)");
  return made;
}

liq_color Opaque(Rgb c) { return {c.red, c.green, c.blue, 255}; }

Attr MakeAttr(int maxColours) {
  Attr attr = Made(Attr(liq_attr_create()), "setting up");
  Check(liq_set_max_colors(attr.get(), maxColours), "setting the colour count");
  Check(liq_set_speed(attr.get(), kSpeed), "setting the speed");
  return attr;
}

Result Quantize(liq_histogram* histogram, liq_attr* attr) {
  liq_result* raw = nullptr;
  Check(liq_histogram_quantize(histogram, attr, &raw), "choosing colours");
  return Made(Result(raw), "choosing colours");
}

}  // namespace

std::vector<Rgb> ChooseColours(std::span<const WeightedColour> colours, int maxColours) {
  if (colours.empty()) return {};
  Attr attr = MakeAttr(maxColours);
  Histogram histogram = Made(Histogram(liq_histogram_create(attr.get())), "making a histogram");
  std::vector<liq_histogram_entry> entries;
  entries.reserve(colours.size());
  for (const WeightedColour& c : colours) entries.push_back({Opaque(c.colour), c.weight});
  Check(liq_histogram_add_colors(histogram.get(), attr.get(), entries.data(), static_cast<int>(entries.size()), 0),
        "counting colours");
  Result result = Quantize(histogram.get(), attr.get());
  const liq_palette* palette = liq_get_palette(result.get());
  std::vector<Rgb> chosen;
  for (unsigned i = 0; i < palette->count; ++i) {
    chosen.push_back({palette->entries[i].r, palette->entries[i].g, palette->entries[i].b});
  }
  return chosen;
}

std::vector<std::uint8_t> MapOntoColours(std::span<const std::uint32_t> pixels, std::span<const std::uint8_t> mask,
                                         int width, int height, std::span<const Rgb> palette, float dither) {
  std::vector<std::uint8_t> indices(pixels.size(), 0);
  if (palette.size() == 1 || pixels.empty()) return indices;

  // A palette of fixed colours only: the histogram needs one entry per
  // colour as well, or the library finds nothing to quantize.
  Attr attr = MakeAttr(static_cast<int>(palette.size()));
  Histogram histogram = Made(Histogram(liq_histogram_create(attr.get())), "making a histogram");
  std::vector<liq_histogram_entry> entries;
  for (const Rgb& c : palette) {
    Check(liq_histogram_add_fixed_color(histogram.get(), Opaque(c), 0), "fixing a colour");
    entries.push_back({Opaque(c), 1});
  }
  Check(liq_histogram_add_colors(histogram.get(), attr.get(), entries.data(), static_cast<int>(entries.size()), 0),
        "counting colours");
  Result result = Quantize(histogram.get(), attr.get());
  Check(liq_set_dithering_level(result.get(), dither), "setting the dithering");

  // Undithered, a pixel's neighbours do not matter, so only the masked
  // pixels are mapped, packed into rows: most of a sheet is empty.
  const bool packed = dither == 0;
  std::vector<liq_color> rgba;
  rgba.reserve(pixels.size());
  const liq_color standIn = Opaque(palette[0]);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    const std::uint32_t p = pixels[i];
    if (mask[i]) {
      rgba.push_back({std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p), 255});
    } else if (!packed) {
      rgba.push_back(standIn);
    }
  }
  if (rgba.empty()) return indices;
  int mapWidth = width;
  int mapHeight = height;
  if (packed) {
    mapWidth = static_cast<int>(std::min<std::size_t>(rgba.size(), kPackedRow));
    mapHeight = static_cast<int>((rgba.size() + kPackedRow - 1) / kPackedRow);
    rgba.resize(std::size_t(mapWidth) * std::size_t(mapHeight), standIn);
  }
  std::vector<std::uint8_t> mappedIndices(rgba.size());
  Image image = Made(Image(liq_image_create_rgba(attr.get(), rgba.data(), mapWidth, mapHeight, 0)), "reading an image");
  Check(liq_write_remapped_image(result.get(), image.get(), mappedIndices.data(), mappedIndices.size()),
        "mapping an image");

  // Fixed colours come back exactly, but not necessarily in our order.
  const liq_palette* mapped = liq_get_palette(result.get());
  std::vector<std::uint8_t> ours(mapped->count, 0);
  for (unsigned i = 0; i < mapped->count; ++i) {
    const Rgb c{mapped->entries[i].r, mapped->entries[i].g, mapped->entries[i].b};
    int best = 0;
    int bestDistance = 1 << 30;
    for (std::size_t k = 0; k < palette.size(); ++k) {
      const int dr = c.red - palette[k].red, dg = c.green - palette[k].green, db = c.blue - palette[k].blue;
      const int distance = dr * dr + dg * dg + db * db;
      if (distance < bestDistance) {
        bestDistance = distance;
        best = static_cast<int>(k);
      }
    }
    ours[i] = static_cast<std::uint8_t>(best);
  }
  for (std::size_t i = 0, next = 0; i < pixels.size(); ++i) {
    if (packed && !mask[i]) continue;
    indices[i] = ours[mappedIndices[packed ? next++ : i]];
  }
  return indices;
}

}  // namespace pixmold
