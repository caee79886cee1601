#include "builder/sound_spec.h"

#include "builder/attrib_readers.h"

namespace pixmold {

void SoundSpec::Read(AttribTable& tag) {
  ReadCommon(tag);
  if (Name().empty()) TagFatal(tag, "name required for sounds");
}

}  // namespace pixmold
