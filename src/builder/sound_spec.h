// A "sound" tag: one sound file of the object. This build does not interpret
// the tag yet and the sound pass writes nothing beyond clearing old sounds.
#pragma once

#include "builder/generic_spec.h"

namespace pixmold {

class SoundSpec : public GenericSpec {
 public:
  void Read(AttribTable& /*tag*/) {}
};

}  // namespace pixmold
