// What an export writes, decided before any file is: one sprite tag per
// sprite list (a headline tag for a headline's list), one drawgroup tag with
// its items per draw group, the sheets the sprite tags cut, and everything
// that is left out with the reason. The planning steps fill it in turn:
// shapes and items (shape_inference), geometry and sheets (sheet_layout);
// the markup text and the sheet files are written from it.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "builder/export/list_survey.h"
#include "builder/export/sprite_shape.h"
#include "builder/render_spec.h"
#include "imaging/palette_entry.h"
#include "records/draw_group.h"

namespace pixmold {

// Where a frame lies in its cell (inside the cell's border): what the build
// stores as the frame's origin.
struct FramePlace {
  int x = 0;
  int y = 0;
};

struct SpriteTagPlan {
  ResID id = 0;
  std::string name;
  // The list a sprite tag writes; for a headline tag, the one its sprite half
  // writes beside the headline list, if the object has it.
  const ListFacts* list = nullptr;
  const ListFacts* headlineList = nullptr;  // set for a headline tag only
  SpriteShape shape;
  int pairing = 0;
  std::int32_t paletteId = -1;
  int shrink = 15;
  int rotation = 0;
  bool reverse = false;
  bool leftOut = false;
  // Layout.
  RenderSpec sizes;
  std::vector<FramePlace> places;          // one per frame of `list`
  std::vector<FramePlace> headlinePlaces;  // one per colour frame of `headlineList`
  int sheet = -1;
  int position = 0;

  bool IsHeadline() const { return headlineList != nullptr; }
};

struct ItemTagPlan {
  std::int32_t spriteId = 0;
  int directionOffset = 0;
  std::string alt;  // empty when 0
  std::string x;
  std::string y;
  bool luminous = false;
};

struct DrawGroupTagPlan {
  ArtResource resource;
  DrawGroup stored;
  bool obscured = false;
  std::vector<ItemTagPlan> items;
  bool leftOut = false;
};

enum class SheetKind { kDepth, kDepthAlpha, kColour, kHeadline };

struct SheetPlan {
  std::string fileName;  // the TGA, relative to the export directory
  SheetKind kind = SheetKind::kDepth;
  bool depth = true;  // 32-bit TGA
  bool alpha = false;
  int width = 0;
  int height = 0;
  std::uint8_t background = 0;  // colour index of pixels nothing draws
  std::array<PaletteEntry, 256> colours{};
  std::vector<std::size_t> sprites;  // indices into ArtPlan::sprites
};

struct ExportProblem {
  std::string what;  // "SPR2 200", "DGRP 100", "PALT 7"
  std::string why;
};

struct StoredPalette {
  std::vector<std::uint8_t> bytes;
  std::optional<std::array<PaletteEntry, 256>> colours;  // none when the bytes do not read as a palette
};

struct ArtPlan {
  std::vector<ListFacts> lists;
  std::map<std::int32_t, StoredPalette> storedPalettes;
  std::vector<SpriteTagPlan> sprites;
  std::vector<DrawGroupTagPlan> drawGroups;
  std::vector<SheetPlan> sheets;
  std::vector<std::int32_t> palettes;  // the PALT ids the markup rebuilds
  // Radial pair groups, each in the order its sprite tags must come in (any
  // rotation of it will do).
  std::vector<std::vector<std::int32_t>> radialCycles;
  std::vector<ExportProblem> problems;  // left out
  std::vector<ExportProblem> warnings;  // written, with a remark

  void LeaveOut(std::string what, std::string why) { problems.push_back({std::move(what), std::move(why)}); }
  void Warn(std::string what, std::string why) { warnings.push_back({std::move(what), std::move(why)}); }
  SpriteTagPlan* FindSprite(std::int32_t id);
};

}  // namespace pixmold
