// A "sound" tag: one sound file of the object. This build does not interpret
// the tag beyond its id, name and language yet, and the sound pass writes
// nothing.
#pragma once

#include "builder/attrib_readers.h"
#include "builder/generic_spec.h"

namespace pixmold {

class SoundSpec : public GenericSpec {
 public:
  // The name is the sound file's, so a sound without one is refused.
  void Read(AttribTable& tag) {
    ReadCommon(tag);
    if (Name().empty()) TagFatal(tag, "name required for sounds");
  }
};

}  // namespace pixmold
