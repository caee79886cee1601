// Test images laid out the way offscreens are: rows stored bottom-up with a
// stride rounded up to 4 bytes, viewed through a negative row stride. The
// padding bytes hold a marker so a read past a row's end shows up.
#pragma once

#include <cstdint>
#include <random>
#include <sstream>
#include <vector>

#include "base/report.h"
#include "imaging/pixel_view.h"
#include "imaging/rect.h"
#include "support/handle_bytes.h"

namespace pixmold::testing {

class TestImage {
 public:
  TestImage(int width, int height, std::uint8_t fill = 0)
      : fWidth(width),
        fHeight(height),
        fStride((width + 3) & ~3),
        fBytes(static_cast<std::size_t>(fStride) * height, 0xEE) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) Set(x, y, fill);
  }

  int Width() const { return fWidth; }
  int Height() const { return fHeight; }
  Rect Whole() const { return Rect::Make(0, 0, fWidth, fHeight); }
  std::uint8_t Get(int x, int y) const { return fBytes[Offset(x, y)]; }
  void Set(int x, int y, std::uint8_t v) { fBytes[Offset(x, y)] = v; }

  PixelView View() const { return {Top(), -static_cast<std::ptrdiff_t>(fStride), fWidth, fHeight}; }
  MutablePixelView MutView() { return {Top(), -static_cast<std::ptrdiff_t>(fStride), fWidth, fHeight}; }

 private:
  // Row y is stored (height - 1 - y) rows from the start of memory.
  std::size_t Offset(int x, int y) const {
    return static_cast<std::size_t>(fHeight - 1 - y) * static_cast<std::size_t>(fStride) + static_cast<std::size_t>(x);
  }
  std::uint8_t* Top() const {
    return fHeight == 0 ? nullptr
                        : const_cast<std::uint8_t*>(fBytes.data()) + static_cast<std::size_t>(fStride) * (fHeight - 1);
  }

  int fWidth, fHeight, fStride;
  std::vector<std::uint8_t> fBytes;
};

// An image given row by row, top row first.
inline TestImage FromRows(const std::vector<std::vector<int>>& rows) {
  TestImage image(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x) image.Set(x, y, static_cast<std::uint8_t>(rows[y][x]));
  return image;
}

// A rendered-looking sheet: a clear background (colour `clear`, depth 255,
// alpha 0) around an elliptical blob of shaded colours and smooth depth,
// with a soft alpha edge. Some edge pixels keep depth 255 the way a renderer
// leaves them, for the depth clean-up to fill.
struct RenderedSheet {
  TestImage colour, depth, alpha;

  RenderedSheet(int width, int height, std::uint8_t clear, std::uint32_t seed)
      : colour(width, height, clear), depth(width, height, 255), alpha(width, height, 0) {
    std::mt19937 rng(seed);
    const double cx = width / 2.0, cy = height / 2.0;
    const double rx = width * 0.3, ry = height * 0.35;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
        const double r = dx * dx + dy * dy;
        if (r >= 1.0) continue;
        // Shaded bands of a few palette entries, with a little dither.
        std::uint8_t c = static_cast<std::uint8_t>(16 + static_cast<int>((1.0 - r) * 12) * 8 + (rng() % 3));
        if (c == clear) ++c;
        colour.Set(x, y, c);
        const bool edge = r > 0.92;
        depth.Set(x, y, edge && rng() % 4 == 0 ? 255 : static_cast<std::uint8_t>(40 + r * 150));
        alpha.Set(x, y, edge ? static_cast<std::uint8_t>(rng() % 256) : 255);
      }
    }
  }
};

// Independent random pixels everywhere.
inline void FillRandom(TestImage& image, std::mt19937& rng, int modulo = 256) {
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x) image.Set(x, y, static_cast<std::uint8_t>(rng() % modulo));
}

inline Rect RandomRect(std::mt19937& rng, int w, int h) {
  const int l = static_cast<int>(rng() % w), t = static_cast<int>(rng() % h);
  return Rect::Make(l, t, l + 1 + static_cast<int>(rng() % (w - l)), t + 1 + static_cast<int>(rng() % (h - t)));
}

// Catches the build report's lines while it lives.
struct CapturedReport {
  std::ostringstream stream;
  ScopedReportTarget scope{ReportTarget{&stream, nullptr, nullptr, nullptr}};
};

}  // namespace pixmold::testing
