// Reading and writing the fixed-width fields of sprite frames and lists.
//
// Readers work on untrusted bytes: every read goes through a cursor that
// checks it has the bytes before it takes them, and every field is decoded
// in an explicit byte order. A failed read leaves the cursor failed, so a
// decoder can read a group of fields and test once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pixmold {

enum class ByteOrder { kLittle, kBig };

class SpriteCursor {
 public:
  SpriteCursor(std::span<const std::uint8_t> bytes, ByteOrder order) : fBytes(bytes), fOrder(order) {}

  std::size_t Position() const { return fPos; }
  std::size_t Size() const { return fBytes.size(); }
  std::size_t Remaining() const { return fPos <= fBytes.size() ? fBytes.size() - fPos : 0; }
  bool Failed() const { return fFailed; }
  bool Has(std::size_t n) const { return !fFailed && n <= Remaining(); }

  // Moves to an absolute offset; beyond the end fails.
  bool Seek(std::size_t offset) {
    if (offset > fBytes.size()) return Fail();
    fPos = offset;
    return !fFailed;
  }
  bool Skip(std::size_t n) { return Has(n) ? (fPos += n, true) : Fail(); }

  std::uint8_t U8() {
    if (!Has(1)) return Fail(), 0;
    return fBytes[fPos++];
  }
  std::uint16_t U16() {
    if (!Has(2)) return Fail(), 0;
    std::uint16_t a = fBytes[fPos], b = fBytes[fPos + 1];
    fPos += 2;
    return fOrder == ByteOrder::kLittle ? static_cast<std::uint16_t>(a | (b << 8))
                                        : static_cast<std::uint16_t>((a << 8) | b);
  }
  std::int16_t I16() { return static_cast<std::int16_t>(U16()); }
  std::uint32_t U32() {
    if (!Has(4)) return Fail(), 0;
    const std::uint8_t* p = fBytes.data() + fPos;
    fPos += 4;
    if (fOrder == ByteOrder::kLittle) {
      return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
             (std::uint32_t{p[3]} << 24);
    }
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
  }
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  // n bytes in place; empty (and failed) when they are not all there.
  std::span<const std::uint8_t> Bytes(std::size_t n) {
    if (!Has(n)) return Fail(), std::span<const std::uint8_t>();
    auto out = fBytes.subspan(fPos, n);
    fPos += n;
    return out;
  }

 private:
  bool Fail() {
    fFailed = true;
    return false;
  }

  std::span<const std::uint8_t> fBytes;
  ByteOrder fOrder;
  std::size_t fPos = 0;
  bool fFailed = false;
};

// Fixed-width stores into a buffer the writer owns; the offset must fit.
inline void StoreU16LE(std::span<std::uint8_t> out, std::size_t at, std::uint16_t v) {
  out[at] = static_cast<std::uint8_t>(v);
  out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void StoreU32LE(std::span<std::uint8_t> out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline std::uint16_t LoadU16LE(std::span<const std::uint8_t> in, std::size_t at) {
  return static_cast<std::uint16_t>(in[at] | (in[at + 1] << 8));
}
inline std::uint32_t LoadU32LE(std::span<const std::uint8_t> in, std::size_t at) {
  return std::uint32_t{in[at]} | (std::uint32_t{in[at + 1]} << 8) | (std::uint32_t{in[at + 2]} << 16) |
         (std::uint32_t{in[at + 3]} << 24);
}

}  // namespace pixmold
