// The one way untrusted bytes are read. Every field is read through a cursor
// that checks it has the bytes before it takes them and decodes them in the
// byte order the format names (containers and their block headers are
// big-endian, images and most records little-endian, old sprite lists
// either), never by casting a buffer to a struct.
//
// Failure is sticky: a read that does not fit returns 0 (or an empty span),
// leaves the position where it was and marks the cursor failed, and every
// later read fails too. A decoder can therefore read a whole group of fields
// and test once, and no amount of lying about sizes gets it past the end.
//
// The Load/Store helpers below are for fixed offsets in buffers the caller
// has already sized (headers it builds, tables it patches); the offset must
// fit.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace pixmold {

enum class ByteOrder { kLittle, kBig };

inline std::uint16_t LoadU16(std::span<const std::uint8_t> in, std::size_t at, ByteOrder order) {
  const std::uint16_t first = in[at], second = in[at + 1];
  return order == ByteOrder::kLittle ? static_cast<std::uint16_t>(first | (second << 8))
                                     : static_cast<std::uint16_t>((first << 8) | second);
}

inline std::uint32_t LoadU32(std::span<const std::uint8_t> in, std::size_t at, ByteOrder order) {
  const std::uint32_t low = LoadU16(in, order == ByteOrder::kLittle ? at : at + 2, order);
  const std::uint32_t high = LoadU16(in, order == ByteOrder::kLittle ? at + 2 : at, order);
  return (high << 16) | low;
}

inline void StoreU16(std::span<std::uint8_t> out, std::size_t at, std::uint16_t value, ByteOrder order) {
  const auto low = static_cast<std::uint8_t>(value), high = static_cast<std::uint8_t>(value >> 8);
  out[at] = order == ByteOrder::kLittle ? low : high;
  out[at + 1] = order == ByteOrder::kLittle ? high : low;
}

inline void StoreU32(std::span<std::uint8_t> out, std::size_t at, std::uint32_t value, ByteOrder order) {
  const auto low = static_cast<std::uint16_t>(value), high = static_cast<std::uint16_t>(value >> 16);
  StoreU16(out, order == ByteOrder::kLittle ? at : at + 2, low, order);
  StoreU16(out, order == ByteOrder::kLittle ? at + 2 : at, high, order);
}

class ByteCursor {
 public:
  ByteCursor(std::span<const std::uint8_t> bytes, ByteOrder order) : fBytes(bytes), fOrder(order) {}

  std::size_t Size() const { return fBytes.size(); }
  std::size_t Position() const { return fPosition; }
  std::size_t Remaining() const { return fBytes.size() - fPosition; }
  bool AtEnd() const { return fPosition == fBytes.size(); }
  bool Failed() const { return fFailed; }
  // Whether count more bytes can be read.
  bool Has(std::size_t count) const { return !fFailed && count <= Remaining(); }

  // Moves to an absolute position; past the end fails.
  bool Seek(std::size_t position) {
    if (fFailed || position > fBytes.size()) return Fail();
    fPosition = position;
    return true;
  }
  bool Skip(std::size_t count) {
    if (!Has(count)) return Fail();
    fPosition += count;
    return true;
  }

  std::uint8_t U8() { return Has(1) ? fBytes[fPosition++] : (Fail(), 0); }
  std::uint16_t U16() { return Has(2) ? Advance(2, LoadU16(fBytes, fPosition, fOrder)) : (Fail(), 0); }
  std::uint32_t U32() { return Has(4) ? Advance(4, LoadU32(fBytes, fPosition, fOrder)) : (Fail(), 0); }
  std::int16_t I16() { return static_cast<std::int16_t>(U16()); }
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }

  // The next count bytes in place, consumed; empty when they are not all there.
  std::span<const std::uint8_t> Bytes(std::size_t count) {
    if (!Has(count)) return Fail(), std::span<const std::uint8_t>();
    const auto run = fBytes.subspan(fPosition, count);
    fPosition += count;
    return run;
  }
  // Everything left, consumed (empty once failed).
  std::span<const std::uint8_t> Rest() { return Bytes(fFailed ? 0 : Remaining()); }
  // A zero-terminated string, consumed with its zero; fails when the bytes
  // end before a zero.
  std::string_view CString() {
    const auto rest = fFailed ? std::span<const std::uint8_t>() : fBytes.subspan(fPosition);
    const auto zero = std::find(rest.begin(), rest.end(), std::uint8_t{0});
    if (zero == rest.end()) return Fail(), std::string_view();
    const auto length = static_cast<std::size_t>(zero - rest.begin());
    fPosition += length + 1;
    return std::string_view(reinterpret_cast<const char*>(rest.data()), length);
  }

 private:
  bool Fail() {
    fFailed = true;
    return false;
  }
  template <typename T>
  T Advance(std::size_t count, T value) {
    fPosition += count;
    return value;
  }

  std::span<const std::uint8_t> fBytes;
  ByteOrder fOrder;
  std::size_t fPosition = 0;
  bool fFailed = false;
};

}  // namespace pixmold
