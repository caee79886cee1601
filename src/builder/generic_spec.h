// The base of every tag spec. A spec is made from one markup tag,
// reads its own attributes, and later produces a resource with its id. Specs
// are owned through base pointers by the build context.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/string_buffer.h"
#include "markup/attrib_table.h"

namespace pixmold {

class GenericSpec {
 public:
  GenericSpec() = default;
  virtual ~GenericSpec() = default;
  GenericSpec(const GenericSpec&) = delete;
  GenericSpec& operator=(const GenericSpec&) = delete;

  // "id" is required ("id required", at the tag's line); "name" sets the
  // name, or empties it when absent; "language" is 0 unless given.
  void ReadCommon(AttribTable& tag);

  std::int32_t Id() const { return fId; }
  std::int32_t Language() const { return fLanguage; }
  std::string_view Name() const { return fName.View(); }
  void SetId(std::int32_t id) { fId = id; }
  // Names longer than the buffer's 63 characters are cut.
  void SetName(std::string_view name);

 protected:
  std::int32_t fId = 0;
  std::int32_t fLanguage = 0;
  NameBuffer fName;
};

}  // namespace pixmold
