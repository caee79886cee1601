#include "app/draw_group_preview.h"

#include "base/ctg_string.h"
#include "imaging/draw_group_compositor.h"
#include "resfile/obj_res_file.h"

namespace pixmold {

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
  picture.image = std::move(composed.colour);
  picture.caption = view + (composed.itemsDrawn == 0 ? ": nothing drawn" : "");
  picture.notes = std::move(composed.notes);
  return picture;
}

}  // namespace pixmold
