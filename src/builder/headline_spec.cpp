#include "builder/headline_spec.h"

#include "builder/attrib_readers.h"

namespace pixmold {

void HeadlineSpec::Read(AttribTable& tag, std::int32_t runningPosition) {
  ReadCommon(tag);
  fPosition = runningPosition;
  ReadInteger(tag, "position", fPosition);
  fFrames = 1;
  ReadInteger(tag, "frames", fFrames);
}

}  // namespace pixmold
