// A "bmpfile" tag: one picture file added as a BMP_ resource. Filed newest
// first; this build does not interpret the tag's attributes yet and the
// bitmap pass writes nothing.
#pragma once

#include "builder/generic_spec.h"

namespace pixmold {

class BMPResourceSpec : public GenericSpec {
 public:
  void Read(AttribTable& /*tag*/) {}
};

}  // namespace pixmold
