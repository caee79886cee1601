// Reads arbitrary bytes as the dialog's saved window layout. Whatever the
// file holds, the layout is one a window can take: a size with both sides
// or neither, and splitter parts within the limits.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/window_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pixmold;
  const WindowLayout layout = ParseWindowLayout(std::string_view(reinterpret_cast<const char*>(data), size));
  if ((layout.width > 0) != (layout.height > 0)) std::abort();
  if (layout.width < 0 || layout.width > kMaxLayoutPixels || layout.height > kMaxLayoutPixels) std::abort();
  for (const auto* sizes : {&layout.columns, &layout.rows}) {
    if (!sizes->empty() && (sizes->size() < 2 || sizes->size() > 8)) std::abort();
    for (int part : *sizes) {
      if (part < 0 || part > kMaxLayoutPixels) std::abort();
    }
  }
  return 0;
}
