#include "base/pstring.h"

#include "base/xassert.h"

namespace pixmold {

void PString::Assign(std::string_view text) {
  if (text.size() > kMaxLength) {
    XASSERT_FAIL("len <= 255", "string too long");
    text = text.substr(0, kMaxLength);
  }
  fBytes[0] = static_cast<std::uint8_t>(text.size());
  text.copy(reinterpret_cast<char*>(fBytes.data() + 1), text.size());
}

}  // namespace pixmold
