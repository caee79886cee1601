// The token stream of one SPR2 frame while it is being encoded.
//
// A token is a 16-bit little-endian word: the top three bits are the code,
// the low 13 bits the data (a count or a byte length). Tokens always start at
// even offsets, so pushing a token first pads an odd-length buffer with one
// 0xB0 byte; pixel bytes follow their run token unpadded. The stream
// remembers its last token so the encoders can store a run's count once the
// run is closed, or drop a clear token that turned out to end its line.
//
// One stream is kept per compressor and cleared between frames, so the 1 MiB
// reserved at the start is allocated once per run rather than once per frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

namespace pixmold {

namespace sprite2 {
inline constexpr std::uint16_t kNL = 0x0000;
inline constexpr std::uint16_t kRunZP = 0x2000;
inline constexpr std::uint16_t kRunZPA = 0x4000;
inline constexpr std::uint16_t kClear = 0x6000;
inline constexpr std::uint16_t kSL = 0x8000;
inline constexpr std::uint16_t kEOS = 0xA000;
inline constexpr std::uint16_t kRunP = 0xC000;
inline constexpr std::uint16_t kCodeMask = 0xE000;
inline constexpr std::uint16_t kDataMask = 0x1FFF;
inline constexpr int kMaxData = 0x1FFF;
inline constexpr std::uint8_t kPadByte = 0xB0;

// Channel flags of a frame header.
inline constexpr std::uint32_t kColorData = 1;
inline constexpr std::uint32_t kZData = 2;
inline constexpr std::uint32_t kAlphaData = 4;

inline constexpr std::size_t kFrameHeaderSize = 16;
}  // namespace sprite2

// Grows a buffer without filling the new bytes: the stream writes every
// byte a run adds right after making room for it, and zeroing them first
// cost as much as the copying.
template <typename T>
struct UnfilledAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UnfilledAllocator<U>;
  };
  UnfilledAllocator() = default;
  template <typename U>
  UnfilledAllocator(const UnfilledAllocator<U>&) noexcept {}  // NOLINT: rebinding converts
  template <typename U>
  void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

using StreamBytes = std::vector<std::uint8_t, UnfilledAllocator<std::uint8_t>>;

class Sprite2Stream {
 public:
  static constexpr std::size_t kInitialReserve = 1 << 20;

  Sprite2Stream() { fBytes.reserve(kInitialReserve); }

  void Clear() {
    fBytes.clear();
    fLastToken = -1;
    fOverflow = false;
  }

  // Pads to even length, appends the word and returns its position.
  std::ptrdiff_t PushToken(std::uint16_t code, int data);
  void SetToken(std::ptrdiff_t i, std::uint16_t code);
  void SetData(std::ptrdiff_t i, int data);
  std::uint16_t GetToken(std::ptrdiff_t i) const;
  int GetData(std::ptrdiff_t i) const;

  void PushPixel(std::uint8_t colour) { fBytes.push_back(colour); }
  void PushPair(std::uint8_t depth, std::uint8_t colour);
  void PushTriple(std::uint8_t depth, std::uint8_t colour, std::uint8_t alpha) {
    fBytes.insert(fBytes.end(), {depth, colour, alpha});
  }
  // Bulk forms of the pushes, for whole runs.
  void PushPixels(const std::uint8_t* colour, int n);
  void PushPairs(const std::uint8_t* depth, const std::uint8_t* colour, int n);
  void PushTriples(const std::uint8_t* depth, const std::uint8_t* colour, const std::uint8_t* alpha, int shift, int n);

  std::ptrdiff_t LastToken() const;
  void RemoveLastToken();

  // True once a count or length did not fit the 13 data bits.
  bool Overflowed() const { return fOverflow; }

  std::size_t size() const { return fBytes.size(); }
  std::span<const std::uint8_t> Bytes() const { return fBytes; }
  StreamBytes& Buffer() { return fBytes; }

 private:
  std::uint16_t Word(std::ptrdiff_t i) const;
  void StoreWord(std::ptrdiff_t i, std::uint16_t word);
  std::uint16_t CheckedData(int data);

  StreamBytes fBytes;
  std::ptrdiff_t fLastToken = -1;
  bool fOverflow = false;
};

}  // namespace pixmold
