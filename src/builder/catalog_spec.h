// A "catalog" tag: the shop-window values of the target object and its
// thumbnail. The dispatcher files one spec per tag, newest first, so the
// catalog pass saves the last tag first; this build does not interpret the
// tag's attributes yet and the catalog pass writes nothing.
#pragma once

#include "builder/generic_spec.h"

namespace pixmold {

class CatalogSpec : public GenericSpec {
 public:
  void Read(AttribTable& /*tag*/) {}
};

}  // namespace pixmold
