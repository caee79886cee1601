#include "builder/string_spec.h"

#include <string>

#include "builder/attrib_readers.h"

namespace pixmold {

bool PlaceString(StringSet& set, int index, std::string_view text) {
  if (index < 0 || index >= StringSet::kMaxStrings) return false;
  while (set.Count() <= index) set.SetValue(set.Count() + 1, std::to_string(set.Count()));
  set.SetValue(index + 1, text);
  return true;
}

void StringSpec::Read(AttribTable& tag) {
  ReadCommon(tag);
  fStrings.SetName(Name());
}

ResErr StringSpec::Save(iResFile& file) { return fStrings.SaveSTR(&file, static_cast<ResID>(fId)); }

void AttrStringSpec::ReadAttribute(AttribTable& tag) {
  std::int32_t index = 0;
  if (!ReadInteger(tag, "index", index)) TagFatal(tag, "index required for attributes");
  std::string label;
  if (!ReadString(tag, "label", label)) TagFatal(tag, "label required for attrributes");
  if (!PlaceString(fStrings, index, label)) TagFatal(tag, "bad index");
}

}  // namespace pixmold
