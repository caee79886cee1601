#include "imaging/contact_sheet.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
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

// Fills a rectangle a row at a time: the first row is built pixel by pixel,
// the others copied from it, since a sheet is mostly flat fill.
void Fill(PreviewImage& image, int x0, int y0, int width, int height, std::uint8_t grey) {
  if (width <= 0 || height <= 0) return;
  const auto channels = static_cast<std::size_t>(image.channels);
  const std::size_t stride = static_cast<std::size_t>(image.width) * channels;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * channels;
  std::uint8_t* first =
      image.pixels.data() + static_cast<std::size_t>(y0) * stride + static_cast<std::size_t>(x0) * channels;
  for (std::size_t at = 0; at < rowBytes; at += channels) {
    for (std::size_t c = 0; c < channels; ++c) first[at + c] = c == 3 ? 255 : grey;
  }
  for (int y = 1; y < height; ++y) std::memcpy(first + static_cast<std::size_t>(y) * stride, first, rowBytes);
}

// The view's colour over an opaque cell, or its depth as it stands. Most of
// a view is either nothing or fully drawn, and both blend to exactly the
// cell or the view, so only partly covered pixels pay for the arithmetic.
void Paste(PreviewImage& sheet, const ComposedView& view, int x0, int y0, ContactSheetChannel channel) {
  const PreviewImage& source = channel == ContactSheetChannel::kColour ? view.colour : view.depth;
  if (source.width <= 0 || source.height <= 0) return;
  const auto channels = static_cast<std::size_t>(source.channels);
  const std::size_t sourceStride = static_cast<std::size_t>(source.width) * channels;
  const std::size_t sheetStride = static_cast<std::size_t>(sheet.width) * static_cast<std::size_t>(sheet.channels);
  for (int y = 0; y < source.height; ++y) {
    const std::uint8_t* from = source.pixels.data() + static_cast<std::size_t>(y) * sourceStride;
    std::uint8_t* to = sheet.pixels.data() + static_cast<std::size_t>(y0 + y) * sheetStride +
                       static_cast<std::size_t>(x0) * static_cast<std::size_t>(sheet.channels);
    if (channel == ContactSheetChannel::kDepth) {
      std::memcpy(to, from, sourceStride);
      continue;
    }
    for (int x = 0; x < source.width; ++x, from += 4, to += 4) {
      const int alpha = from[3];
      if (alpha == 0) continue;
      if (alpha == 255) {
        std::memcpy(to, from, 3);
        continue;
      }
      for (std::size_t c = 0; c < 3; ++c) {
        to[c] = static_cast<std::uint8_t>((from[c] * alpha + to[c] * (255 - alpha)) / 255);
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
