// The specs that fill a string set: "attributes" (with its "attribute" tags)
// and "slots" (with its "slot" tags, whose labels are strings). "attribute"
// and "slot" tags belong to the latest parent tag of their kind. This build
// reads only the parent tags' id, name and language yet, and their passes
// write nothing.
#pragma once

#include "builder/generic_spec.h"

namespace pixmold {

class StringSpec : public GenericSpec {};

class AttrStringSpec : public StringSpec {
 public:
  void Read(AttribTable& tag) { ReadCommon(tag); }
  void ReadAttribute(AttribTable& /*tag*/) {}
};

class SlotsSpec : public StringSpec {
 public:
  void Read(AttribTable& tag) { ReadCommon(tag); }
  void ReadSlot(AttribTable& /*tag*/) {}
};

}  // namespace pixmold
