#include "builder/skill_table.h"

#include <string>

#include "builder/attrib_readers.h"
#include "builder/string_spec.h"
#include "resfile/res_file.h"

namespace pixmold {
namespace {

constexpr ResType kStringType = MakeResType("STR#");

struct TypeCode {
  std::string_view code;
  int set;
};

// Tested in this order, the first code found deciding.
constexpr std::array<TypeCode, 6> kTypeCodes = {{
    {"a2a", 0},
    {"a2o", 0},
    {"c2c", 1},
    {"c2o", 1},
    {"a2c", 2},
    {"c2a", 3},
}};

constexpr std::array<std::string_view, SkillTable::kSetCount> kSetNames = {"a2o", "c2o", "a2c", "c2a"};

}  // namespace

std::optional<int> SkillTable::SetForType(std::string_view type) {
  for (const TypeCode& code : kTypeCodes) {
    if (type.find(code.code) != std::string_view::npos) return code.set;
  }
  return std::nullopt;
}

void SkillTable::Read(AttribTable& tag) {
  std::string ignored;
  if (ReadString(tag, "name", ignored)) TagWarning(tag, "ignored name " + ignored + " for skill table");
  if (ReadString(tag, "id", ignored)) TagWarning(tag, "ignored id " + ignored + " for skill table");
}

void SkillTable::ReadSkill(AttribTable& tag) {
  std::int32_t index = 0;
  if (!ReadInteger(tag, "index", index)) TagFatal(tag, "index required for skill");
  std::string name;
  if (!ReadString(tag, "name", name)) TagFatal(tag, "name required for skill");
  std::string type;
  if (!ReadString(tag, "type", type)) TagFatal(tag, "type required for skill");
  std::optional<int> set = SetForType(type);
  if (!set) TagFatal(tag, "unknown skill type " + type + " found.");
  if (!PlaceString(fSets[static_cast<std::size_t>(*set)], index, name)) TagFatal(tag, "bad index");
}

void SkillTable::Save(iResFile& file) {
  for (int k = 0; k < kSetCount; ++k) {
    const auto id = static_cast<ResID>(kFirstSetId + k);
    if (MHandle old = file.GetResource(kStringType, id, nullptr)) file.RemoveResource(old);
    StringSet& set = fSets[static_cast<std::size_t>(k)];
    if (set.Count() == 0) continue;
    set.SetName(kSetNames[static_cast<std::size_t>(k)]);
    set.SaveSTR(&file, id);
  }
}

}  // namespace pixmold
