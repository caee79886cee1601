// The draw group report: one line per draw group that has a first view
// (direction 0, zoom 1), numbered within runs of consecutive ids, listing the
// sprites the view draws. Artists paste it into their object notes.
#include <string>

#include "base/report.h"
#include "builder/dgrp_spec.h"

namespace pixmold {

void DGRPSpec::Report(std::ostream& out, const SpecList<DGRPSpec>& drawGroups) {
  out << "DGroupNum\tName\tDescription\n";
  std::int16_t previous = -1;
  std::int16_t base = -1;
  for (DGRPSpec* group : drawGroups) {
    const auto id = static_cast<std::int16_t>(group->Id());
    if (id != static_cast<std::int16_t>(previous + 1)) base = id;
    previous = id;

    DrawGroupImage* image = group->fDrawGroup.FindImage(0, 1);
    if (image == nullptr) continue;
    std::string line = std::to_string(id - base);
    line += '\t';
    line += group->Name();
    line += '\t';
    bool first = true;
    for (int i = 0; i < image->ItemCount(); ++i) {
      const DrawGroupItem* item = image->Item(i);
      if (item == nullptr) FatalError("bug in draw group class");
      const SpriteSpec* sprite = group->FindSprite(item->spriteId);
      if (sprite == nullptr) {
        Warning("sprite spec not found for some id in drawgroup");
        continue;
      }
      if (!first) line += " + ";
      first = false;
      line += '(';
      line += sprite->Name();
      line += ')';
    }
    line += '\n';
    out << line;
  }
}

}  // namespace pixmold
