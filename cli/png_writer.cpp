#include "png_writer.h"

#include <png.h>

#include <cstdint>
#include <cstring>

namespace pixmold::cli {

std::string WritePng(const std::string& path, const PreviewImage& image) {
  if (image.channels != 1 && image.channels != 4) return "unsupported channel count";
  // A frame may be empty (a cell with nothing drawn); a PNG cannot be, so
  // it shows as one transparent (or black) pixel and the numbering of the
  // files still follows the frames.
  static const std::uint8_t kNothing[4] = {0, 0, 0, 0};
  const bool empty = image.width <= 0 || image.height <= 0 || image.pixels.empty();
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = empty ? 1 : static_cast<png_uint_32>(image.width);
  png.height = empty ? 1 : static_cast<png_uint_32>(image.height);
  png.format = image.channels == 1 ? PNG_FORMAT_GRAY : PNG_FORMAT_RGBA;
  // Previews are looked at once and made again after every build; libpng's
  // default filter search and compression took three quarters of a draw
  // group preview for files half the size, which nobody keeps.
  png.flags = PNG_IMAGE_FLAG_FAST;
  const png_int_32 stride = static_cast<png_int_32>(png.width) * image.channels;
  const void* pixels = empty ? kNothing : image.pixels.data();
  if (!png_image_write_to_file(&png, path.c_str(), 0, pixels, stride, nullptr)) {
    std::string reason = png.message[0] != '\0' ? png.message : "write failed";
    png_image_free(&png);
    return reason;
  }
  return {};
}

}  // namespace pixmold::cli
