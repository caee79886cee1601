#include "builder/export/sheet_canvas.h"

#include "builder/export/list_survey.h"
#include "imaging/spr_decoder.h"
#include "imaging/sprite2_decoder.h"
#include "imaging/sprite2_runs.h"
#include "imaging/sprite2_stream.h"

namespace pixmold {
namespace {

constexpr std::uint8_t kNoDepth = 255;
constexpr std::uint8_t kFullCoverage = 255;

}  // namespace

SheetCanvas::SheetCanvas(int width, int height, std::uint8_t background, bool alpha, bool pinning) {
  Reset(width, height, background, alpha, pinning);
}

void SheetCanvas::Reset(int width, int height, std::uint8_t background, bool alpha, bool pinning) {
  fWidth = width;
  fHeight = height;
  fBackground = background;
  fPinning = pinning;
  fConflict.clear();
  const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  fColour.assign(pixels, background);
  fDepth.assign(pixels, kNoDepth);
  fAlpha.assign(alpha ? pixels : 0, 0);
  fPinned.assign(pinning ? pixels : 0, 0);
}

bool SheetCanvas::Fits(const Rect& rect) const {
  return rect.left >= 0 && rect.top >= 0 && rect.right <= fWidth && rect.bottom <= fHeight && rect.left <= rect.right &&
         rect.top <= rect.bottom;
}

void SheetCanvas::Put(Plane plane, std::size_t at, std::uint8_t value) {
  std::vector<std::uint8_t>& bytes = plane == kColourPlane ? fColour : plane == kDepthPlane ? fDepth : fAlpha;
  if (fPinning) {
    const auto bit = static_cast<std::uint8_t>(1u << plane);
    if ((fPinned[at] & bit) != 0 && bytes[at] != value) {
      if (fConflict.empty()) {
        static constexpr const char* kNames[] = {"colour", "depth", "coverage"};
        fConflict = std::string("two cuts need different ") + kNames[plane] + " at pixel " +
                    std::to_string(at % static_cast<std::size_t>(fWidth)) + "," +
                    std::to_string(at / static_cast<std::size_t>(fWidth));
      }
      return;
    }
    fPinned[at] = static_cast<std::uint8_t>(fPinned[at] | bit);
  }
  bytes[at] = value;
}

void SheetCanvas::KeepClear(Plane plane, const Rect& cell, const Rect& rect) {
  if (!fPinning) return;
  const std::uint8_t clear = plane == kColourPlane ? fBackground : kNoDepth;
  for (int y = cell.top; y < cell.bottom; ++y) {
    for (int x = cell.left; x < cell.right; ++x) {
      if (!rect.Contains(x, y)) Put(plane, At(x, y), clear);
    }
  }
}

std::string SheetCanvas::PaintSprite2(std::span<const std::uint8_t> frame, int x, int y, const Rect& cell) {
  Sprite2FrameHeader header;
  if (auto status = ReadSprite2Header(frame, header); !status.Ok()) return status.error;
  if (auto refused = CheckSpriteSize(header.width, header.height, {}); !refused.empty()) return refused;
  const Rect rect = Rect::Make(x, y, x + header.width, y + header.height);
  if (!Fits(rect) || !Fits(cell)) return "frame lies outside the sheet";
  if (fPinning) return PinSprite2(frame, rect, cell);
  const bool alpha = !fAlpha.empty();
  const auto status =
      WalkSprite2Runs(frame, header.width, header.height, [&](const Sprite2Token& run, int runX, int runY) {
        const std::uint8_t* p = run.pixels.data();
        const std::size_t at = At(x + runX, y + runY);
        std::uint8_t* colour = fColour.data() + at;
        std::uint8_t* depth = fDepth.data() + at;
        std::uint8_t* coverage = alpha ? fAlpha.data() + at : nullptr;
        switch (run.code) {
          case sprite2::kRunZP:
            for (int i = 0; i < run.data; ++i, p += 2) {
              depth[i] = p[0];
              colour[i] = p[1];
              if (coverage) coverage[i] = kFullCoverage;
            }
            break;
          case sprite2::kRunZPA:
            for (int i = 0; i < run.data; ++i, p += 3) {
              depth[i] = p[0];
              colour[i] = p[1];
              if (coverage) coverage[i] = static_cast<std::uint8_t>(p[2] << (8 - kExportAlphaBits));
            }
            break;
          default:
            for (int i = 0; i < run.data; ++i) colour[i] = p[i];
            break;
        }
      });
  return status.Ok() ? std::string() : status.error;
}

// Every pixel of the frame is pinned, a clear one to depth 255, so that a
// second cut cannot draw where this one trims.
std::string SheetCanvas::PinSprite2(std::span<const std::uint8_t> frame, const Rect& rect, const Rect& cell) {
  DecodedSprite decoded;
  if (auto status = DecodeSprite2Frame(frame, decoded); !status.Ok()) return status.error;
  const bool alpha = !fAlpha.empty();
  for (int row = 0; row < decoded.height; ++row) {
    for (int column = 0; column < decoded.width; ++column) {
      const std::size_t k = decoded.Index(column, row);
      const std::size_t at = At(rect.left + column, rect.top + row);
      if (!decoded.Drawn(column, row)) {
        Put(kDepthPlane, at, kNoDepth);
        continue;
      }
      Put(kDepthPlane, at, decoded.depth[k]);
      Put(kColourPlane, at, decoded.colour[k]);
      if (alpha) {
        Put(kAlphaPlane, at,
            decoded.kind[k] == PixelKind::kAlpha ? static_cast<std::uint8_t>(decoded.alpha[k] << (8 - kExportAlphaBits))
                                                 : kFullCoverage);
      }
    }
  }
  KeepClear(kDepthPlane, cell, rect);
  return {};
}

std::string SheetCanvas::PaintSprColour(std::span<const std::uint8_t> frame, ByteOrder order, int x, int y,
                                        const Rect& cell) {
  DecodedSprite decoded;
  if (auto status = DecodeSprFrame(frame, order, decoded); !status.Ok()) return status.error;
  const Rect rect = Rect::Make(x, y, x + decoded.width, y + decoded.height);
  if (!Fits(rect) || !Fits(cell)) return "frame lies outside the sheet";
  for (int row = 0; row < decoded.height; ++row) {
    for (int column = 0; column < decoded.width; ++column) {
      const bool drawn = decoded.Drawn(column, row);
      if (drawn && decoded.colour[decoded.Index(column, row)] == fBackground)
        return "a drawn pixel has the sheet's clear colour";
      if (drawn || fPinning)
        Put(kColourPlane, At(x + column, y + row), drawn ? decoded.colour[decoded.Index(column, row)] : fBackground);
    }
  }
  KeepClear(kColourPlane, cell, rect);
  return {};
}

std::string SheetCanvas::PaintSprDepth(std::span<const std::uint8_t> frame, ByteOrder order, int x, int y) {
  DecodedSprite decoded;
  if (auto status = DecodeSprFrame(frame, order, decoded); !status.Ok()) return status.error;
  const Rect rect = Rect::Make(x, y, x + decoded.width, y + decoded.height);
  if (!Fits(rect)) return "frame lies outside the sheet";
  for (int row = 0; row < decoded.height; ++row) {
    for (int column = 0; column < decoded.width; ++column) {
      const bool drawn = decoded.Drawn(column, row);
      if (drawn && decoded.colour[decoded.Index(column, row)] == kNoDepth) return "a drawn depth of 255";
      if (drawn || fPinning)
        Put(kDepthPlane, At(x + column, y + row), drawn ? decoded.colour[decoded.Index(column, row)] : kNoDepth);
    }
  }
  return {};
}

}  // namespace pixmold
