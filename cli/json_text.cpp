#include "json_text.h"

#include <cstdint>

namespace pixmold::cli {
namespace {

// Length of the well-formed UTF-8 sequence at the start of `bytes`, or 0.
std::size_t SequenceLength(std::string_view bytes) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
  const std::uint8_t lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  std::uint8_t low = 0x80;   // bounds of the second byte, which rule out
  std::uint8_t high = 0xBF;  // overlong forms, surrogates and > U+10FFFF
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (bytes.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

bool IsUtf8(std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t length = SequenceLength(bytes);
    if (length == 0) return false;
    bytes.remove_prefix(length);
  }
  return true;
}

void PutText(Json& object, const std::string& key, std::string_view bytes) {
  if (IsUtf8(bytes)) {
    object[key] = std::string(bytes);
    return;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string readable;
  std::string hex;
  for (std::string_view rest = bytes; !rest.empty();) {
    const std::size_t length = SequenceLength(rest);
    if (length == 0) {
      readable += "\xEF\xBF\xBD";
      rest.remove_prefix(1);
    } else {
      readable.append(rest.substr(0, length));
      rest.remove_prefix(length);
    }
  }
  for (unsigned char c : bytes) {
    hex += kHex[c >> 4];
    hex += kHex[c & 0xF];
  }
  object[key] = readable;
  object[key + "Bytes"] = hex;
}

std::string JsonLine(const Json& value) { return value.dump() + "\n"; }

}  // namespace pixmold::cli
