// A "bmpfile" tag: one picture file added as a BMP_ resource. Filed newest
// first; this build reads the tag's id, name and language only, and the
// bitmap pass writes nothing.
#pragma once

#include "builder/generic_spec.h"

namespace pixmold {

class BMPResourceSpec : public GenericSpec {
 public:
  void Read(AttribTable& tag) { ReadCommon(tag); }
};

}  // namespace pixmold
