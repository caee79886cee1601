// A "ttab" tag and the "interaction" tags after it: new menu names for the
// target object's existing tree table. Filed newest first, so an interaction
// belongs to the head of the list, the "ttab" tag read last before it. This
// build does not interpret the tags yet and the tree table pass writes
// nothing.
#pragma once

#include "builder/generic_spec.h"

namespace pixmold {

class TreeTableSpec : public GenericSpec {
 public:
  void Read(AttribTable& /*tag*/) {}
  void ReadInteraction(AttribTable& /*tag*/) {}
};

}  // namespace pixmold
