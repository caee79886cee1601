// One picture holding many views of a draw group, the first thing an artist
// opens after a build: a grid with a column per view direction and a row per
// zoom. Within a row every cell has one size and every view sits with its
// reference point at the same place in its cell, so stepping along a row
// shows the object turning on the spot rather than jumping about.
#pragma once

#include <span>
#include <vector>

#include "imaging/draw_group_compositor.h"
#include "imaging/sprite_preview.h"

namespace pixmold {

struct ContactSheetCell {
  int row = 0;
  int column = 0;
  const ComposedView* view = nullptr;
};

enum class ContactSheetChannel { kColour, kDepth };

struct ContactSheetView {
  int direction = 0;  // 0..7
  int zoom = 0;       // 1..3, 3 large
  const ComposedView* view = nullptr;
};

// Rows are zooms from large to small and columns the directions present,
// so a draw group without diagonal views has no empty columns. One cell
// per view, in the order given.
std::vector<ContactSheetCell> ArrangeByDirectionAndZoom(std::span<const ContactSheetView> views);

// Where a cell and its view's reference point land in the sheet, in pixels.
struct ContactSheetPlace {
  int left = 0, top = 0, width = 0, height = 0;
  int referenceX = 0, referenceY = 0;
};

struct ContactSheetLayout {
  int width = 0, height = 0;
  std::vector<ContactSheetPlace> places;  // one per cell, in the cells' order
};

// The sheet MakeContactSheet draws from these cells, without its pixels.
ContactSheetLayout LayOutContactSheet(std::span<const ContactSheetCell> cells);

// Opaque red, green, blue, alpha for kColour: views drawn over a mid grey
// cell, cells separated by dark gaps. One grey byte per pixel for kDepth:
// the views' depth on white (255, nothing). Cells that name the same row and
// column overlap; an empty list gives a one-gap image.
PreviewImage MakeContactSheet(std::span<const ContactSheetCell> cells, ContactSheetChannel channel);

// Gap between cells and around the grid, and padding inside a cell, in pixels.
inline constexpr int kContactSheetGap = 4;
inline constexpr int kContactSheetPadding = 4;

}  // namespace pixmold
