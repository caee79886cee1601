// A "skill table" tag and the "skill" tags after it: the skill names of the
// object. A markup file may hold one. Its tables are saved under fixed ids,
// so an "id" or "name" on the tag is a mistake worth a warning. This build
// does not interpret the "skill" tags yet and the skill table pass writes
// nothing.
#pragma once

#include "markup/attrib_table.h"

namespace pixmold {

class SkillTable {
 public:
  void Read(AttribTable& tag);
  void ReadSkill(AttribTable& /*tag*/) {}
};

}  // namespace pixmold
