// Little-endian record bytes written field by field, for tests that build
// stored records of every version by hand.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace pixmold::testing {

struct RecordBytes {
  RecordBytes& U8(std::uint32_t v) { return Put(v, 1); }
  RecordBytes& U16(std::uint32_t v) { return Put(v, 2); }
  RecordBytes& U32(std::uint32_t v) { return Put(v, 4); }
  RecordBytes& F32(float f) {
    std::uint32_t raw;
    std::memcpy(&raw, &f, 4);
    return Put(raw, 4);
  }
  // The 12-byte header of a record stored through the serialisation layer.
  RecordBytes& Header(std::uint32_t version, std::string_view type) {
    U32(0).U32(version);
    for (int i = 3; i >= 0; --i) U8(static_cast<std::uint8_t>(type[static_cast<std::size_t>(i)]));
    return *this;
  }
  RecordBytes& Put(std::uint32_t v, int width) {
    for (int i = 0; i < width; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
  }
  std::vector<std::uint8_t> bytes;
};

}  // namespace pixmold::testing
