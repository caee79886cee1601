// A "skill table" tag and the "skill" tags after it: the skill names of the
// object. A markup file may hold one. This build does not interpret the tags
// yet and the skill table pass writes nothing.
#pragma once

#include "markup/attrib_table.h"

namespace pixmold {

class SkillTable {
 public:
  void Read(AttribTable& /*tag*/) {}
  void ReadSkill(AttribTable& /*tag*/) {}
};

}  // namespace pixmold
