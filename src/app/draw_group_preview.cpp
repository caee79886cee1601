#include "app/draw_group_preview.h"

#include <algorithm>
#include <list>

#include "base/ctg_string.h"
#include "imaging/contact_sheet.h"
#include "imaging/draw_group_compositor.h"
#include "resfile/obj_res_file.h"

namespace pixmold {
namespace {

// Room beyond the tile's corners, so its tips do not touch the pane's edge.
constexpr int kTileMargin = 2;

std::uint8_t DirectionsAt(const DrawGroupCompositor& compositor, int zoom) {
  std::uint8_t directions = 0;
  for (int direction = 0; direction < 8; ++direction) {
    for (int z = 1; z <= 3; ++z) {
      if ((zoom == 0 || zoom == z) && compositor.HasView(direction, z)) {
        directions = static_cast<std::uint8_t>(directions | (1u << direction));
      }
    }
  }
  return directions;
}

// Widens the view with clear pixels until its floor tile fits around the
// reference point.
void MakeRoomForTile(ComposedView& view, int zoom) {
  const int reachX = FloorTileHalfWidth(zoom) + kTileMargin;
  const int reachY = FloorTileHalfHeight(zoom) + kTileMargin;
  const int left = std::max(0, reachX - view.referenceX);
  const int top = std::max(0, reachY - view.referenceY);
  const int right = std::max(0, view.referenceX + reachX - view.colour.width);
  const int bottom = std::max(0, view.referenceY + reachY - view.colour.height);
  if (left == 0 && top == 0 && right == 0 && bottom == 0) return;
  const PreviewImage& old = view.colour;
  PreviewImage wider{old.width + left + right, old.height + top + bottom, 4, {}};
  wider.pixels.assign(static_cast<std::size_t>(wider.width) * static_cast<std::size_t>(wider.height) * 4, 0);
  for (int y = 0; y < old.height; ++y) {
    std::copy_n(old.pixels.begin() + static_cast<std::ptrdiff_t>(y) * old.width * 4, old.width * 4,
                wider.pixels.begin() + (static_cast<std::ptrdiff_t>(y + top) * wider.width + left) * 4);
  }
  view.colour = std::move(wider);
  view.referenceX += left;
  view.referenceY += top;
}

void AddNotes(PreviewPicture& picture, const std::vector<std::string>& notes) {
  for (const std::string& note : notes) {
    if (std::find(picture.notes.begin(), picture.notes.end(), note) == picture.notes.end()) {
      picture.notes.push_back(note);
    }
  }
}

}  // namespace

PreviewPicture ComposeDrawGroupPreview(const std::string& objectFile, ResID drawGroupId, int direction, int zoom) {
  PreviewPicture picture;
  const std::string view = "draw group " + std::to_string(drawGroupId) + ", direction " + std::to_string(direction) +
                           ", zoom " + std::to_string(zoom);
  ObjResFile file;
  if (file.OpenFile(CTGString(objectFile)) != 0) {
    picture.caption = "cannot open " + objectFile;
    return picture;
  }
  DrawGroupCompositor compositor(file);
  std::string problem = compositor.Load(drawGroupId);
  ComposedView composed;
  if (problem.empty()) {
    picture.directions = DirectionsAt(compositor, zoom);
    if (!compositor.HasView(direction, zoom)) {
      problem = "no such view";
    } else {
      problem = compositor.Compose(direction, zoom, composed);
    }
  }
  file.CloseFile();
  if (!problem.empty()) {
    picture.caption = view + ": " + problem;
    return picture;
  }
  MakeRoomForTile(composed, zoom);
  picture.tiles.push_back(
      {composed.referenceX, composed.referenceY, zoom, 0, 0, composed.colour.width, composed.colour.height});
  picture.image = std::move(composed.colour);
  picture.caption = view + (composed.itemsDrawn == 0 ? ": nothing drawn" : "");
  AddNotes(picture, composed.notes);
  return picture;
}

PreviewPicture ComposeContactSheetPreview(const std::string& objectFile, ResID drawGroupId) {
  PreviewPicture picture;
  const std::string sheet = "draw group " + std::to_string(drawGroupId) + ", contact sheet";
  ObjResFile file;
  if (file.OpenFile(CTGString(objectFile)) != 0) {
    picture.caption = "cannot open " + objectFile;
    return picture;
  }
  DrawGroupCompositor compositor(file);
  std::string problem = compositor.Load(drawGroupId);
  std::list<ComposedView> views;  // stable addresses for the sheet's cells
  std::vector<ContactSheetView> placed;
  int drawn = 0;
  for (int zoom = 3; zoom >= 1 && problem.empty(); --zoom) {
    for (int direction = 0; direction < 8 && problem.empty(); ++direction) {
      if (!compositor.HasView(direction, zoom)) continue;
      ComposedView& composed = views.emplace_back();
      problem = compositor.Compose(direction, zoom, composed);
      drawn += composed.itemsDrawn;
      AddNotes(picture, composed.notes);
      placed.push_back({direction, zoom, &composed});
    }
  }
  if (problem.empty()) picture.directions = DirectionsAt(compositor, 0);
  file.CloseFile();
  if (problem.empty() && placed.empty()) problem = "no view to show";
  if (!problem.empty()) {
    picture.caption = sheet + ": " + problem;
    picture.notes.clear();
    return picture;
  }
  const std::vector<ContactSheetCell> cells = ArrangeByDirectionAndZoom(placed);
  const ContactSheetLayout layout = LayOutContactSheet(cells);
  for (std::size_t i = 0; i < placed.size(); ++i) {
    const ContactSheetPlace& place = layout.places[i];
    picture.tiles.push_back({place.referenceX, place.referenceY, placed[i].zoom, place.left, place.top,
                             place.left + place.width, place.top + place.height});
  }
  picture.image = MakeContactSheet(cells, ContactSheetChannel::kColour);
  picture.caption = sheet + (drawn == 0 ? ": nothing drawn" : "");
  return picture;
}

}  // namespace pixmold
