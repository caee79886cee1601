// A "sound" tag: one sound file of the object. The sound pass replaces every
// FWAV of the object file with one per tag, so sounds dropped from the markup
// disappear from the object.
#pragma once

#include "builder/generic_spec.h"

namespace pixmold {

class SoundSpec : public GenericSpec {
 public:
  // id, name and language; the name is the sound file and must not be empty.
  void Read(AttribTable& tag);
};

}  // namespace pixmold
