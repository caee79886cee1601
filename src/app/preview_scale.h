// How large the preview pane shows a picture. Sprites are small and made of
// hard-edged pixels, so the pane enlarges by whole factors only: every
// pixel becomes a square block and nothing is smoothed. By default the
// factor follows the pane (the largest at which the whole picture fits);
// zooming in or out, or asking for 1:1, fixes it until "Fit" is chosen
// again.
#pragma once

#include <cstdint>
#include <optional>

#include "imaging/sprite_preview.h"

namespace pixmold {

struct PixelSize {
  int width = 0;
  int height = 0;
};

// A whole contact sheet of large views runs to over a thousand pixels a
// side; the limits keep one enlargement within what a window can hold.
inline constexpr int kMaxPreviewFactor = 16;
inline constexpr std::int64_t kMaxPreviewSide = 16384;
inline constexpr std::int64_t kMaxPreviewPixels = 32 * 1024 * 1024;

// The largest factor the limits allow for this picture (at least 1).
int LargestFactor(PixelSize picture);
// The largest factor at which the picture fits the pane; 1 when even that
// does not fit (the pane then scrolls), and for an empty pane or picture.
int FitFactor(PixelSize pane, PixelSize picture);

class PreviewScale {
 public:
  // The factor to show the picture at in this pane.
  int Factor(PixelSize pane, PixelSize picture) const;
  bool Fitting() const { return !fFixed; }

  // One step from the factor shown now, within 1 and the largest.
  void ZoomIn(PixelSize pane, PixelSize picture);
  void ZoomOut(PixelSize pane, PixelSize picture);
  void ShowActualSize() { fFixed = 1; }
  void FitToPane() { fFixed.reset(); }

 private:
  std::optional<int> fFixed;
};

// Every pixel of the image as a factor x factor block (any channel count).
// The factor is taken as at least 1 and at most LargestFactor.
PreviewImage ScaleByWholeFactor(const PreviewImage& image, int factor);

}  // namespace pixmold
