// Pictures that go into the object file as they are: catalog thumbnails,
// popups and "bmpfile" tags. A missing or unreadable picture is only a
// warning, so one absent thumbnail does not cost the artist the rest of the
// build.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "resfile/res_types.h"

namespace pixmold {

class iResFile;

inline constexpr ResType kPictureType = MakeResType("BMP_");

// The directory and the file name joined with a "/" unless the directory is
// empty or already ends in a separator.
std::string PicturePath(std::string_view directory, std::string_view fileName);

// Adds the file's bytes as a resource of `type` and `id`, named as the tag
// wrote the file name, in the language's variant. 0, -1 when the picture
// cannot be read, or the file's error.
ResErr AddPictureResource(std::string_view directory, std::string_view fileName, iResFile& destination, ResType type,
                          ResID id, std::uint8_t language);

}  // namespace pixmold
