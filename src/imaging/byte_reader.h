// A bounds-checked cursor over untrusted bytes. Image files arrive whole in
// memory, and every field is read through this cursor: a read that does not
// fit in what is left fails without moving, so a reader never touches a byte
// past the end however its input lies about sizes. Multi-byte fields are
// decoded explicitly as little-endian, which is what both image formats use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace pixmold {

class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes) : fBytes(bytes) {}

  std::size_t Size() const { return fBytes.size(); }
  std::size_t Position() const { return fPosition; }
  std::size_t Remaining() const { return fBytes.size() - fPosition; }
  bool AtEnd() const { return fPosition == fBytes.size(); }

  // Moves to an absolute position; positions past the end fail.
  bool Seek(std::size_t position) {
    if (position > fBytes.size()) return false;
    fPosition = position;
    return true;
  }
  bool Skip(std::size_t count) {
    if (count > Remaining()) return false;
    fPosition += count;
    return true;
  }

  bool ReadU8(std::uint8_t& out) {
    if (Remaining() < 1) return false;
    out = fBytes[fPosition++];
    return true;
  }
  bool ReadU16LE(std::uint16_t& out) {
    if (Remaining() < 2) return false;
    out = static_cast<std::uint16_t>(fBytes[fPosition] | (fBytes[fPosition + 1] << 8));
    fPosition += 2;
    return true;
  }
  bool ReadU32LE(std::uint32_t& out) {
    if (Remaining() < 4) return false;
    out = static_cast<std::uint32_t>(fBytes[fPosition]) | (static_cast<std::uint32_t>(fBytes[fPosition + 1]) << 8) |
          (static_cast<std::uint32_t>(fBytes[fPosition + 2]) << 16) |
          (static_cast<std::uint32_t>(fBytes[fPosition + 3]) << 24);
    fPosition += 4;
    return true;
  }
  bool ReadI32LE(std::int32_t& out) {
    std::uint32_t raw = 0;
    if (!ReadU32LE(raw)) return false;
    out = static_cast<std::int32_t>(raw);
    return true;
  }

  // A view of the next count bytes, consumed; fails (and stays) when fewer remain.
  bool Take(std::size_t count, std::span<const std::uint8_t>& out) {
    if (count > Remaining()) return false;
    out = fBytes.subspan(fPosition, count);
    fPosition += count;
    return true;
  }
  // Everything from the position to the end, consumed.
  std::span<const std::uint8_t> TakeRest() {
    auto rest = fBytes.subspan(fPosition);
    fPosition = fBytes.size();
    return rest;
  }

 private:
  std::span<const std::uint8_t> fBytes;
  std::size_t fPosition = 0;
};

}  // namespace pixmold
