#include "builder/export/sprite_shape.h"

#include <string>

#include "markup/memory_scanner.h"
#include "markup/tag_list.h"
#include "markup/tag_parser.h"

namespace pixmold {

int SpriteShape::SpritesPerZoom() const {
  int perZoom = 4;
  if (symmetry == SpriteSymmetry::kBiLateral) perZoom = 2;
  if (symmetry == SpriteSymmetry::kRadial || symmetry == SpriteSymmetry::kRadialFlip) perZoom = 1;
  return perZoom < columns ? perZoom : columns;
}

const char* SymmetryWord(SpriteSymmetry symmetry) {
  switch (symmetry) {
    case SpriteSymmetry::kBiLateral: return "bi-lateral";
    case SpriteSymmetry::kRadial: return "radial";
    case SpriteSymmetry::kRadialFlip: return "radial-flip";
    case SpriteSymmetry::kNone: break;
  }
  return "none";
}

std::vector<SpriteShape> ShapesWithFrameCount(int frameCount) {
  using S = SpriteSymmetry;
  static const SpriteShape kCandidates[] = {
      {S::kNone, 4}, {S::kBiLateral, 2}, {S::kRadial, 1}, {S::kRadialFlip, 1},
      {S::kNone, 2}, {S::kBiLateral, 1}, {S::kNone, 1},   {S::kRadialFlip, 1, 1, true},
  };
  std::vector<SpriteShape> shapes;
  for (SpriteShape shape : kCandidates) {
    const int perFrame = shape.SpritesPerZoom() * 3;
    if (frameCount <= 0 || frameCount % perFrame != 0) continue;
    shape.frames = frameCount / perFrame;
    if (shape.frames > SpriteSpec::kMaxFrames) continue;
    shapes.push_back(shape);
  }
  return shapes;
}

ShapeOracle::ShapeOracle() = default;
ShapeOracle::~ShapeOracle() = default;

const SpriteSpec& ShapeOracle::SpecFor(const SpriteShape& shape) {
  auto& spec = fSpecs[shape.Key()];
  if (!spec) {
    const std::string text = std::string("<sprite id=0 tgafile=shape.tga symmetry=") + SymmetryWord(shape.symmetry) +
                             " columns=" + std::to_string(shape.columns) + " frames=" + std::to_string(shape.frames) +
                             " pairing=" + (shape.paired ? "1" : "0") + ">";
    MemoryScanner scanner(text);
    TagList tags;
    ReadTags(scanner, tags);
    spec = std::make_unique<SpriteSpec>();
    std::int32_t position = 0;
    spec->Read(*tags.Nth(0), position, RenderSpec{}, nullptr, false);
  }
  return *spec;
}

ShapeView ShapeOracle::FrameFor(const SpriteShape& shape, int direction, int zoom) {
  ShapeView view;
  SpecFor(shape).FrameFor(direction, zoom, 0, view.index, view.mirrored);
  return view;
}

}  // namespace pixmold
