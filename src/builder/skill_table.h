// A "skill table" tag and the "skill" tags after it: the skill names of the
// object, in four tables by who teaches whom (adult or child, to another
// person or through an object). A markup file may hold one. Each table is
// saved as its own STR#; a table left empty leaves no STR# behind, so the
// game never reads stale names from an earlier build.
#pragma once

#include <array>

#include "markup/attrib_table.h"
#include "resfile/string_set.h"

namespace pixmold {

class iResFile;

class SkillTable {
 public:
  static constexpr int kSetCount = 4;
  static constexpr ResID kFirstSetId = 129;

  // "name" and "id" mean nothing here and are reported as ignored.
  void Read(AttribTable& tag);
  void ReadSkill(AttribTable& tag);
  // Replaces STR# 129..132 with the sets that hold skills.
  void Save(iResFile& file);

  const StringSet& Set(int index) const { return fSets[static_cast<std::size_t>(index)]; }

  // The set a skill "type" value picks, by the first code it contains; none
  // when it contains no known code.
  static std::optional<int> SetForType(std::string_view type);

 private:
  std::array<StringSet, kSetCount> fSets;
};

}  // namespace pixmold
