#include "builder/skill_table.h"

#include <string>

#include "base/report.h"

namespace pixmold {

void SkillTable::Read(AttribTable& tag) {
  for (std::string_view key : {"name", "id"}) {
    if (const AttribEntry* entry = tag.FindEntry(key)) {
      Warning("ignored " + std::string(key) + " " + entry->fValue + " for skill table", entry->fLine);
    }
  }
}

}  // namespace pixmold
