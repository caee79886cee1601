#include "builder/wall_style_sprite_spec.h"

#include "builder/attrib_readers.h"

namespace pixmold {

void WallStyleSpriteSpec::Read(AttribTable& tag) {
  ReadCommon(tag);
  if (!ReadString(tag, "tgafile", fFileName)) TagFatal(tag, "wall style tag requires tgafile attribute");
  fCutawayFileName.clear();
  ReadString(tag, "cutaway tgafile", fCutawayFileName);
  fGlobal = 0;
  ReadBoolean(tag, "global", fGlobal);
}

}  // namespace pixmold
