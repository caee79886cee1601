#include "builder/bmp_resource_spec.h"

#include "builder/attrib_readers.h"
#include "builder/picture_resource.h"

namespace pixmold {

void BMPResourceSpec::Read(AttribTable& tag) {
  ReadCommon(tag);
  if (!ReadString(tag, "filename", fFileName)) TagFatal(tag, "filename required for bmpfile tag");
}

ResErr BMPResourceSpec::Save(std::string_view directory, iResFile& file) const {
  return AddPictureResource(directory, fFileName, file, kPictureType, static_cast<ResID>(fId),
                            static_cast<std::uint8_t>(fLanguage));
}

}  // namespace pixmold
