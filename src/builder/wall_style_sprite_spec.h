// A "wall style" tag names the image of a wall style (and optionally its
// cutaway image); the wall-style pass generates its sprites from them.
#pragma once

#include <cstdint>
#include <string>

#include "builder/generic_spec.h"

namespace pixmold {

class WallStyleSpriteSpec : public GenericSpec {
 public:
  // "tgafile" is required; "cutaway tgafile" may be empty; "global" is a
  // boolean, false by default.
  void Read(AttribTable& tag);

  const std::string& FileName() const { return fFileName; }
  const std::string& CutawayFileName() const { return fCutawayFileName; }
  bool Global() const { return fGlobal != 0; }

 private:
  std::string fFileName;
  std::string fCutawayFileName;
  std::int16_t fGlobal = 0;
};

}  // namespace pixmold
