// Finding where a run of pixels ends. The encoders and the trimming ask the
// same two questions of every row of every sheet: where the next byte equal
// to a value is, and where the next byte differing from it is. Asked a byte
// at a time they cost a compare and a branch per pixel; here they look at
// eight bytes per step and branch only where the answer lies.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace pixmold {
namespace byte_scan_detail {

inline constexpr std::uint64_t kOnes = 0x0101010101010101ull;
inline constexpr std::uint64_t kHighs = 0x8080808080808080ull;

inline std::uint64_t Load8(const std::uint8_t* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// The bytes are read lowest address first, so the first byte of a step is
// the word's lowest byte only on a little-endian machine; elsewhere the
// scans take the byte-at-a-time path.
inline constexpr bool kWordScans = std::endian::native == std::endian::little;

// The first index in [from, to) whose byte equals value (kEqual) or
// differs from it, or to.
template <bool kEqual>
int ScanRow(const std::uint8_t* row, int from, int to, std::uint8_t value) {
  int x = from;
  if constexpr (kWordScans) {
    const std::uint64_t pattern = kOnes * value;
    for (; x + 8 <= to; x += 8) {
      const std::uint64_t v = Load8(row + x) ^ pattern;
      // For equal bytes: a zero byte of v sets its high bit here; a borrow
      // can set the high bit of bytes above the first zero, never below
      // it, so the lowest set bit is exact.
      const std::uint64_t found = kEqual ? (v - kOnes) & ~v & kHighs : v;
      if (found != 0) return x + std::countr_zero(found) / 8;
    }
  }
  for (; x < to; ++x) {
    if ((row[x] == value) == kEqual) return x;
  }
  return to;
}

}  // namespace byte_scan_detail

// The first index in [from, to) whose byte equals value, or to.
inline int FindByte(const std::uint8_t* row, int from, int to, std::uint8_t value) {
  return byte_scan_detail::ScanRow<true>(row, from, to, value);
}

// The first index in [from, to) whose byte differs from value, or to.
inline int SkipByte(const std::uint8_t* row, int from, int to, std::uint8_t value) {
  return byte_scan_detail::ScanRow<false>(row, from, to, value);
}

// The last index in [from, to) whose byte differs from value, or from - 1.
inline int LastOtherByte(const std::uint8_t* row, int from, int to, std::uint8_t value) {
  using namespace byte_scan_detail;
  int x = to;
  if constexpr (kWordScans) {
    const std::uint64_t pattern = kOnes * value;
    for (; x - 8 >= from; x -= 8) {
      const std::uint64_t v = Load8(row + x - 8) ^ pattern;
      if (v != 0) return x - 1 - std::countl_zero(v) / 8;
    }
  }
  for (; x > from; --x) {
    if (row[x - 1] != value) return x - 1;
  }
  return from - 1;
}

// Asks for the bytes [from, to) of a row the scans will reach a few rows
// later. A cell is a narrow strip of a tall plane, so its rows are short
// runs at a long stride, which the hardware does not see coming in time.
inline constexpr int kRowsAhead = 4;
inline void PrefetchRow(const std::uint8_t* row, int from, int to) {
  for (int x = from; x < to; x += 64) {
    __builtin_prefetch(row + x);
    // A loop of prefetches alone has no effect the optimiser must keep,
    // and it drops such loops; the empty statement is one it keeps.
    asm volatile("" : : "r"(row + x));
  }
}

}  // namespace pixmold
