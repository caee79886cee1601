#include "base/ctg_string.h"

#include <cstdio>
#include <vector>

namespace pixmold {

void CTGString::VAppend(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (needed <= 0) return;
  std::vector<char> buffer(static_cast<std::size_t>(needed) + 1);
  std::vsnprintf(buffer.data(), buffer.size(), format, args);
  fText.append(buffer.data(), static_cast<std::size_t>(needed));
}

CTGString& CTGString::Format(const char* format, ...) {
  fText.clear();
  va_list args;
  va_start(args, format);
  VAppend(format, args);
  va_end(args);
  return *this;
}

CTGString& CTGString::AppendFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  VAppend(format, args);
  va_end(args);
  return *this;
}

}  // namespace pixmold
