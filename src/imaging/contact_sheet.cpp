#include "imaging/contact_sheet.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace pixmold {
namespace {

constexpr std::uint8_t kGapGrey = 40;
constexpr std::uint8_t kCellGrey = 128;

// How far views reach from their reference point, over one row.
struct RowExtent {
  int left = 0, right = 0, up = 0, down = 0;
  int CellWidth() const { return left + right + 2 * kContactSheetPadding; }
  int CellHeight() const { return up + down + 2 * kContactSheetPadding; }
};

void Fill(PreviewImage& image, int x0, int y0, int width, int height, std::uint8_t grey) {
  for (int y = y0; y < y0 + height; ++y) {
    for (int x = x0; x < x0 + width; ++x) {
      const auto at =
          (static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + static_cast<std::size_t>(x)) *
          static_cast<std::size_t>(image.channels);
      for (int c = 0; c < image.channels; ++c) image.pixels[at + static_cast<std::size_t>(c)] = c == 3 ? 255 : grey;
    }
  }
}

// The view's colour over an opaque cell, or its depth as it stands.
void Paste(PreviewImage& sheet, const ComposedView& view, int x0, int y0, ContactSheetChannel channel) {
  const PreviewImage& source = channel == ContactSheetChannel::kColour ? view.colour : view.depth;
  for (int y = 0; y < source.height; ++y) {
    for (int x = 0; x < source.width; ++x) {
      const auto from =
          (static_cast<std::size_t>(y) * static_cast<std::size_t>(source.width) + static_cast<std::size_t>(x)) *
          static_cast<std::size_t>(source.channels);
      const auto to = (static_cast<std::size_t>(y0 + y) * static_cast<std::size_t>(sheet.width) +
                       static_cast<std::size_t>(x0 + x)) *
                      static_cast<std::size_t>(sheet.channels);
      if (channel == ContactSheetChannel::kDepth) {
        sheet.pixels[to] = source.pixels[from];
        continue;
      }
      const int alpha = source.pixels[from + 3];
      for (std::size_t c = 0; c < 3; ++c) {
        sheet.pixels[to + c] =
            static_cast<std::uint8_t>((source.pixels[from + c] * alpha + sheet.pixels[to + c] * (255 - alpha)) / 255);
      }
    }
  }
}

}  // namespace

std::vector<ContactSheetCell> ArrangeByDirectionAndZoom(std::span<const ContactSheetView> views) {
  bool zoomPresent[4] = {}, directionPresent[8] = {};
  for (const ContactSheetView& view : views) {
    if (view.zoom >= 1 && view.zoom <= 3) zoomPresent[view.zoom] = true;
    if (view.direction >= 0 && view.direction < 8) directionPresent[view.direction] = true;
  }
  std::vector<ContactSheetCell> cells;
  cells.reserve(views.size());
  for (const ContactSheetView& view : views) {
    int row = 0, column = 0;
    for (int z = 3; z > view.zoom && z >= 1; --z) row += zoomPresent[z] ? 1 : 0;
    for (int d = 0; d < view.direction && d < 8; ++d) column += directionPresent[d] ? 1 : 0;
    cells.push_back({row, column, view.view});
  }
  return cells;
}

ContactSheetLayout LayOutContactSheet(std::span<const ContactSheetCell> cells) {
  int rows = 0, columns = 0;
  for (const ContactSheetCell& cell : cells) {
    rows = std::max(rows, cell.row + 1);
    columns = std::max(columns, cell.column + 1);
  }
  std::vector<RowExtent> extents(static_cast<std::size_t>(rows));
  for (const ContactSheetCell& cell : cells) {
    RowExtent& extent = extents[static_cast<std::size_t>(cell.row)];
    const ComposedView& view = *cell.view;
    extent.left = std::max(extent.left, view.referenceX);
    extent.right = std::max(extent.right, view.colour.width - view.referenceX);
    extent.up = std::max(extent.up, view.referenceY);
    extent.down = std::max(extent.down, view.colour.height - view.referenceY);
  }
  ContactSheetLayout layout;
  std::vector<int> rowTop(static_cast<std::size_t>(rows));
  layout.width = kContactSheetGap;
  layout.height = kContactSheetGap;
  for (int r = 0; r < rows; ++r) {
    const RowExtent& extent = extents[static_cast<std::size_t>(r)];
    rowTop[static_cast<std::size_t>(r)] = layout.height;
    layout.height += extent.CellHeight() + kContactSheetGap;
    layout.width = std::max(layout.width, kContactSheetGap + columns * (extent.CellWidth() + kContactSheetGap));
  }
  layout.places.reserve(cells.size());
  for (const ContactSheetCell& cell : cells) {
    const RowExtent& extent = extents[static_cast<std::size_t>(cell.row)];
    ContactSheetPlace place;
    place.left = kContactSheetGap + cell.column * (extent.CellWidth() + kContactSheetGap);
    place.top = rowTop[static_cast<std::size_t>(cell.row)];
    place.width = extent.CellWidth();
    place.height = extent.CellHeight();
    place.referenceX = place.left + kContactSheetPadding + extent.left;
    place.referenceY = place.top + kContactSheetPadding + extent.up;
    layout.places.push_back(place);
  }
  return layout;
}

PreviewImage MakeContactSheet(std::span<const ContactSheetCell> cells, ContactSheetChannel channel) {
  const ContactSheetLayout layout = LayOutContactSheet(cells);
  const bool colour = channel == ContactSheetChannel::kColour;
  PreviewImage sheet{layout.width, layout.height, colour ? 4 : 1, {}};
  sheet.pixels.assign(static_cast<std::size_t>(layout.width) * static_cast<std::size_t>(layout.height) *
                          static_cast<std::size_t>(sheet.channels),
                      0);
  Fill(sheet, 0, 0, layout.width, layout.height, colour ? kGapGrey : 0);
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const ContactSheetPlace& place = layout.places[i];
    Fill(sheet, place.left, place.top, place.width, place.height, colour ? kCellGrey : 255);
    Paste(sheet, *cells[i].view, place.referenceX - cells[i].view->referenceX,
          place.referenceY - cells[i].view->referenceY, channel);
  }
  return sheet;
}

}  // namespace pixmold
