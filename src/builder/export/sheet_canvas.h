// A sheet being drawn back from stored frames: three planes of one byte per
// pixel, as the build reads a sheet (colour index from the palette image,
// depth from the TGA's alpha with 255 for nothing drawn, coverage from the
// alpha image). Everything starts as the background: the sheet's clear
// colour, depth 255, no coverage.
//
// Each frame goes into its cell at the place it was trimmed to, so that the
// build's trim finds the same bounds. Cells of ordinary sprites never share
// a pixel, so they are painted straight in. A headline's sheet is cut twice,
// in two layouts that overlap; there every pixel a cut depends on is pinned
// to its value, and a second cut that needs another value is a conflict,
// because no one sheet would give both lists back.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/byte_cursor.h"
#include "imaging/rect.h"

namespace pixmold {

class SheetCanvas {
 public:
  // With pinning, conflicts between frames are found (and cost a byte per
  // plane and pixel more).
  SheetCanvas(int width, int height, std::uint8_t background, bool alpha, bool pinning);
  SheetCanvas() = default;
  // Starts a new sheet in the memory of the last one: a large sheet's planes
  // cost more in fresh pages than in the drawing.
  void Reset(int width, int height, std::uint8_t background, bool alpha, bool pinning);

  int Width() const { return fWidth; }
  int Height() const { return fHeight; }
  std::span<const std::uint8_t> ColourRow(int y) const { return Row(fColour, y); }
  std::span<const std::uint8_t> DepthRow(int y) const { return Row(fDepth, y); }
  std::span<const std::uint8_t> AlphaRow(int y) const { return Row(fAlpha, y); }

  // Paints an SPR2 frame with its top-left corner at (x, y); the rest of the
  // cell must stay clear in depth, which the build trims on. Returns why the
  // frame could not be painted, or an empty string.
  std::string PaintSprite2(std::span<const std::uint8_t> frame, int x, int y, const Rect& cell);
  // An SPR# colour frame (clear pixels and the rest of the cell keep the
  // background colour, which the build trims on) or a depth frame.
  std::string PaintSprColour(std::span<const std::uint8_t> frame, ByteOrder order, int x, int y, const Rect& cell);
  std::string PaintSprDepth(std::span<const std::uint8_t> frame, ByteOrder order, int x, int y);

  // The first pixel two cuts needed different values for, if any.
  const std::string& Conflict() const { return fConflict; }

 private:
  enum Plane { kColourPlane, kDepthPlane, kAlphaPlane };

  std::span<const std::uint8_t> Row(const std::vector<std::uint8_t>& plane, int y) const {
    return {plane.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(fWidth),
            static_cast<std::size_t>(fWidth)};
  }
  std::size_t At(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(fWidth) + static_cast<std::size_t>(x);
  }
  bool Fits(const Rect& rect) const;
  void Put(Plane plane, std::size_t at, std::uint8_t value);
  std::string PinSprite2(std::span<const std::uint8_t> frame, const Rect& rect, const Rect& cell);
  // Pins the cell outside rect to the background value of the plane.
  void KeepClear(Plane plane, const Rect& cell, const Rect& rect);

  int fWidth = 0;
  int fHeight = 0;
  std::uint8_t fBackground = 0;
  bool fPinning = false;
  std::vector<std::uint8_t> fColour;
  std::vector<std::uint8_t> fDepth;
  std::vector<std::uint8_t> fAlpha;
  std::vector<std::uint8_t> fPinned;  // per pixel, bit per plane
  std::string fConflict;
};

}  // namespace pixmold
