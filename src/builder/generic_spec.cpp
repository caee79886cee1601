#include "builder/generic_spec.h"

#include <string>

#include "builder/attrib_readers.h"

namespace pixmold {

void GenericSpec::ReadCommon(AttribTable& tag) {
  if (!ReadResourceId(tag, "id", fId)) TagFatal(tag, "id required");
  std::string name;
  SetName(ReadString(tag, "name", name) ? std::string_view(name) : std::string_view());
  fLanguage = 0;
  ReadInteger(tag, "language", fLanguage);
}

void GenericSpec::SetName(std::string_view name) { fName = name.substr(0, NameBuffer::kCapacity - 1); }

}  // namespace pixmold
