// Writes preview images as PNG files through libpng: 8-bit greyscale or
// 8-bit red, green, blue, alpha, depending on the image's channel count.
#pragma once

#include <string>

#include "imaging/sprite_preview.h"

namespace pixmold::cli {

// Empty on success, else why the file could not be written.
std::string WritePng(const std::string& path, const PreviewImage& image);

}  // namespace pixmold::cli
