#include "builder/sprite_spec.h"

#include <limits>

#include "base/report.h"
#include "base/xassert.h"
#include "builder/attrib_readers.h"

namespace pixmold {
namespace {

constexpr std::array<std::string_view, kSizeCount> kSizeNames = {"large", "medium", "small"};

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool FitsCoordinate(std::int64_t value) {
  return value >= std::numeric_limits<std::int16_t>::min() && value <= std::numeric_limits<std::int16_t>::max();
}

}  // namespace

void SpriteSpec::Read(AttribTable& tag, std::int32_t& runningPosition, const RenderSpec& sizes,
                      const std::string* previousFile, bool headline) {
  ReadCommon(tag);
  fSizes = sizes;
  ReadFileName(tag);

  if (previousFile != nullptr && *previousFile != fFileName) runningPosition = 0;
  fPosition = runningPosition;
  ReadInteger(tag, "position", fPosition);

  fFrames = 1;
  ReadInteger(tag, "frames", fFrames);
  if (fFrames <= 0) KeyFatal(tag, "frames", "negative frames");
  if (fFrames > kMaxFrames) KeyFatal(tag, "frames", "too many frames for one sprite sheet");
  runningPosition = static_cast<std::int32_t>(std::int64_t{runningPosition} + fFrames);

  fHeadline = headline;
  // A bad layout value is reported as such even on a headline, which then
  // refuses the layout keys it fixes itself.
  ReadLayout(tag);
  if (headline) {
    RejectForHeadline(tag);
    fColumns = 1;
    fShrinkSides = kShrinkTop;
    fReverse = 0;
    fSymmetry = SpriteSymmetry::kNone;
  }
}

void SpriteSpec::ReadFileName(AttribTable& tag) {
  struct Source {
    std::string_view key;
    std::string_view lower;
    std::string_view upper;
    std::string_view question;
  };
  static constexpr Source kTga = {"tgafile", ".tga", ".TGA", "really a tga file next to tgafile tag in omk file?"};
  static constexpr Source kBmp = {"bmpfile", ".bmp", ".BMP", "really a bmp file next to bmpfile tag in omk file?"};

  std::string name;
  const Source* source = nullptr;
  if (ReadString(tag, kTga.key, name) && !name.empty()) {
    source = &kTga;
  } else if (ReadString(tag, kBmp.key, name) && !name.empty()) {
    source = &kBmp;
    fBmpOnly = 1;
  }
  if (source != nullptr) {
    if (name.size() > kMaxFileNameLength) KeyFatal(tag, source->key, "file name too long");
    if (!EndsWith(name, source->lower) && !EndsWith(name, source->upper)) {
      XASSERT_FAIL("file name ends in its type's extension", source->question);
    }
  }
  fFileName = name;
  fMaskName.clear();
  ReadString(tag, "mask", fMaskName);
}

void SpriteSpec::RejectForHeadline(AttribTable& tag) {
  for (std::string_view key : {"columns", "shrink", "reverse", "symmetry"}) {
    if (HasKey(tag, key)) KeyFatal(tag, key, std::string("headline tag not expecting ").append(key));
  }
}

void SpriteSpec::ReadLayout(AttribTable& tag) {
  if (ReadInteger(tag, "columns", fColumns) && fColumns != 1 && fColumns != 2 && fColumns != 4) {
    KeyFatal(tag, "columns", "columns expected to be 1, 2, or 4");
  }

  std::string shrink;
  if (ReadString(tag, "shrink", shrink)) {
    if (shrink == "true") {
      fShrinkSides = kShrinkAll;
    } else if (shrink == "top") {
      fShrinkSides = kShrinkTop;
    } else if (shrink == "false") {
      fShrinkSides = 0;
    } else {
      KeyFatal(tag, "shrink", "unexpected shrink tag value");
    }
  }

  ReadBoolean(tag, "reverse", fReverse);
  ReadResourceId(tag, "paletteid", fPaletteId);

  std::string symmetry;
  if (ReadString(tag, "symmetry", symmetry)) {
    if (symmetry == "none") {
      fSymmetry = SpriteSymmetry::kNone;
    } else if (symmetry == "bi-lateral") {
      fSymmetry = SpriteSymmetry::kBiLateral;
    } else if (symmetry == "radial") {
      fSymmetry = SpriteSymmetry::kRadial;
    } else if (symmetry == "radial-flip") {
      fSymmetry = SpriteSymmetry::kRadialFlip;
    } else {
      KeyFatal(tag, "symmetry", "unexpected symmetry value");
    }
  }

  ReadInteger(tag, "pairing", fPairing);

  if (ReadInteger(tag, "rotation", fRotation)) {
    if (fRotation < 0 || fRotation > 6) KeyFatal(tag, "rotation", "sprite rotation expected to be >=0 and <=6");
    if (fRotation % 2 != 0) KeyFatal(tag, "rotation", "sprite rotation expected to be an even number");
  }
}

std::int32_t SpriteSpec::SpritesPerZoom() const {
  std::int32_t perZoom = 4;
  switch (fSymmetry) {
    case SpriteSymmetry::kBiLateral: perZoom = 2; break;
    case SpriteSymmetry::kRadial:
    case SpriteSymmetry::kRadialFlip: perZoom = 1; break;
    case SpriteSymmetry::kNone: perZoom = 4; break;
  }
  return perZoom < fColumns ? perZoom : fColumns;
}

void SpriteSpec::CellRect(std::int32_t index, Rect& cell, CellOrigin& origin, CellRecord& record) const {
  if (index < 0 || index >= SpriteCount()) FatalError("bad sprite count");
  const std::int32_t perFrame = SpritesPerFrame();
  const std::int32_t perZoom = SpritesPerZoom();
  const std::int64_t row = std::int64_t{fPosition} + index / perFrame;
  std::int32_t j = index % perFrame;
  if (fReverse) j = perFrame - 1 - j;
  const std::int32_t size = j / perZoom;
  if (size > 2) FatalError("bad sprite num");
  const std::int32_t slot = j % perZoom;
  const std::int32_t column = (slot + fRotation / 2) % fColumns;

  const auto s = static_cast<std::size_t>(size);
  std::int64_t x = std::int64_t{column} * fSizes.width[s];
  if (size >= kMediumSize) x += std::int64_t{fColumns} * fSizes.width[kLargeSize];
  if (size == kSmallSize) x += std::int64_t{fColumns} * fSizes.width[kMediumSize];
  const std::int64_t y = row * fSizes.height[kLargeSize];
  const std::int64_t inset = fSizes.border[s];
  const std::int64_t left = x + inset;
  const std::int64_t top = y + inset;
  const std::int64_t right = x + fSizes.width[s] - inset;
  const std::int64_t bottom = y + fSizes.height[s] - inset;
  if (left >= right || top >= bottom)
    FatalError("Empty rectangle found for compression -- sizes may not be specified.");
  if (!FitsCoordinate(x) || !FitsCoordinate(y) || !FitsCoordinate(left) || !FitsCoordinate(top) ||
      !FitsCoordinate(right) || !FitsCoordinate(bottom)) {
    FatalError("sprite cell lies beyond 16-bit sheet coordinates -- check the sizes and the position");
  }
  cell = Rect::Make(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right), static_cast<int>(bottom));

  origin.x = static_cast<std::int32_t>(-std::int64_t{fSizes.xOrigin[s]});
  origin.y = static_cast<std::int32_t>(std::int64_t{fSizes.height[s]} - fSizes.yOrigin[s]);

  record.row = static_cast<std::int32_t>(row);
  record.column = column;
  record.sizeName = fReverse ? std::string_view("unknown") : kSizeNames[s];
}

void SpriteSpec::FrameFor(int direction, int zoom, int frame, std::int32_t& index, bool& mirrored) const {
  const bool odd = direction % 2 != 0;
  if (direction < 0 || direction > 7 || (odd && !HasDiagonals())) FatalError("logic error. bad direction.");
  if (odd) ++frame;

  std::int32_t slot = 0;
  mirrored = false;
  switch (fSymmetry) {
    case SpriteSymmetry::kBiLateral:
      slot = (direction == 0 || direction == 6) ? 0 : 1;
      mirrored = direction == 4 || direction == 6;
      break;
    case SpriteSymmetry::kRadial: break;
    case SpriteSymmetry::kRadialFlip: mirrored = (direction == 2 || direction == 6) && fPairing == 0; break;
    case SpriteSymmetry::kNone: slot = direction / 2; break;
  }
  index = slot + frame * SpritesPerFrame() + (3 - zoom) * SpritesPerZoom();
}

void SpriteSpec::SetTrimmedRects(const std::vector<Rect>& cells, const std::vector<Rect>& trimmed) {
  if (cells.size() != trimmed.size()) FatalError("logic error. bad rect count.");
  if (cells.size() % 3 != 0) FatalError("unusual rect count");
  if (cells.size() != static_cast<std::size_t>(SpriteCount())) FatalError("rect count not what it should be.");
  for (std::size_t i = 0; i < cells.size(); ++i) {
    Rect cell;
    CellOrigin origin;
    CellRecord record;
    CellRect(static_cast<std::int32_t>(i), cell, origin, record);
    if (!(cell == cells[i])) FatalError("incorrect rect computation");
  }
  fTrimmedRects = trimmed;
}

ScreenPoint SpriteSpec::ScreenOffset(int direction, int zoom, int frame) const {
  std::int32_t index = 0;
  bool mirrored = false;
  FrameFor(direction, zoom, frame, index, mirrored);
  if (index < 0 || static_cast<std::size_t>(index) >= fTrimmedRects.size()) {
    FatalError("logic error. offsets not initialized");
  }
  Rect cell;
  CellOrigin origin;
  CellRecord record;
  CellRect(index, cell, origin, record);
  const Rect& trimmed = fTrimmedRects[static_cast<std::size_t>(index)];
  std::int64_t x = std::int64_t{origin.x} + trimmed.left - cell.left;
  const std::int64_t y = std::int64_t{origin.y} + trimmed.bottom - cell.bottom;
  if (mirrored) x = -x - (trimmed.right - trimmed.left) - 1;
  return {static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)};
}

}  // namespace pixmold
