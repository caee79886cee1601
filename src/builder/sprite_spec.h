// A sprite spec maps the cells of one rendered sheet to the frames of one
// sprite list. A sheet row holds `columns` large cells, then as many medium
// ones, then as many small ones; one row per animation frame. Symmetry says
// how many view directions were rendered (the others are mirrored or shared),
// so the draw groups ask FrameFor which frame, mirrored or not, shows a given
// direction at a given zoom, and ScreenOffset where it lands once the frames
// have been trimmed by the sprite pass.
//
// Zoom levels are 1..3 where they meet draw groups (3 is large); the sheet
// and the sizes use size indices 0..2 (0 is large).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "builder/generic_spec.h"
#include "builder/render_spec.h"
#include "imaging/rect.h"

namespace pixmold {

enum class SpriteSymmetry : std::int32_t { kNone = 0, kBiLateral = 1, kRadial = 2, kRadialFlip = 3 };

// Where a cell's frame has its reference point, relative to the cell.
struct CellOrigin {
  std::int32_t x = 0;
  std::int32_t y = 0;
  friend bool operator==(const CellOrigin&, const CellOrigin&) = default;
};

// Where a cell sits on the sheet, for progress messages.
struct CellRecord {
  std::int32_t row = 0;
  std::int32_t column = 0;
  std::string_view sizeName;  // "large", "medium", "small", or "unknown" when reversed
};

struct ScreenPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
  friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

class SpriteSpec : public GenericSpec {
 public:
  static constexpr std::int32_t kShrinkAll = 15;
  static constexpr std::int32_t kShrinkTop = 1;
  static constexpr std::int32_t kNoPalette = -1;
  static constexpr std::size_t kMaxFileNameLength = 254;
  // No sheet can hold more rows than a 16-bit coordinate reaches.
  static constexpr std::int32_t kMaxFrames = 32767;

  // Reads a "sprite" tag, or the sprite half of a "headline" tag. The
  // running position is where the next sprite of the same sheet starts;
  // previousFile is the file of the latest sprite spec (null for the first).
  void Read(AttribTable& tag, std::int32_t& runningPosition, const RenderSpec& sizes, const std::string* previousFile,
            bool headline);

  std::int32_t SpritesPerZoom() const;
  std::int32_t SpritesPerFrame() const { return SpritesPerZoom() * kSizeCount; }
  std::int32_t SpriteCount() const { return SpritesPerFrame() * fFrames; }
  // A sprite with two frames carries its diagonal views in the second.
  bool HasDiagonals() const { return fFrames == 2; }

  // The cell of sprite index, inset by its border, with its origin and record.
  void CellRect(std::int32_t index, Rect& cell, CellOrigin& origin, CellRecord& record) const;
  // The frame index and mirroring that show direction 0..7 at zoom 1..3.
  void FrameFor(int direction, int zoom, int frame, std::int32_t& index, bool& mirrored) const;

  // Keeps the trimmed rectangle of every frame after checking that the cells
  // are the ones this spec computes.
  void SetTrimmedRects(const std::vector<Rect>& cells, const std::vector<Rect>& trimmed);
  // Where the frame for the direction and zoom is drawn relative to the
  // object's reference point.
  ScreenPoint ScreenOffset(int direction, int zoom, int frame) const;

  std::int32_t Position() const { return fPosition; }
  std::int32_t Columns() const { return fColumns; }
  std::int32_t Frames() const { return fFrames; }
  std::int32_t ShrinkSides() const { return fShrinkSides; }
  std::int32_t Pairing() const { return fPairing; }
  bool Reverse() const { return fReverse != 0; }
  std::int32_t Rotation() const { return fRotation; }
  SpriteSymmetry Symmetry() const { return fSymmetry; }
  std::int32_t PaletteId() const { return fPaletteId; }
  const RenderSpec& Sizes() const { return fSizes; }
  const std::string& FileName() const { return fFileName; }
  const std::string& MaskName() const { return fMaskName; }
  bool BmpOnly() const { return fBmpOnly != 0; }
  // Read from a "headline" tag: its sheet also gives the headline's list.
  bool IsHeadline() const { return fHeadline; }
  const std::vector<Rect>& TrimmedRects() const { return fTrimmedRects; }

 private:
  void ReadFileName(AttribTable& tag);
  void ReadLayout(AttribTable& tag);
  void RejectForHeadline(AttribTable& tag);

  std::int32_t fPosition = 0;
  std::int32_t fColumns = 4;
  std::int32_t fFrames = 1;
  std::int32_t fShrinkSides = kShrinkAll;
  std::int32_t fPairing = 0;
  std::int16_t fReverse = 0;
  std::int32_t fRotation = 0;
  RenderSpec fSizes;
  SpriteSymmetry fSymmetry = SpriteSymmetry::kNone;
  std::int32_t fPaletteId = kNoPalette;
  std::vector<Rect> fTrimmedRects;
  std::string fFileName;
  std::string fMaskName;
  std::int32_t fBmpOnly = 0;
  bool fHeadline = false;
};

}  // namespace pixmold
