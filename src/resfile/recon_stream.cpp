#include "resfile/recon_stream.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <limits>
#include <type_traits>

#include "base/byte_cursor.h"
#include "base/terminate.h"
#include "base/xassert.h"
#include "resfile/string_hooks.h"

namespace pixmold {
namespace {

constexpr int kClasses8[4] = {2, 4, 6, 8};
constexpr int kClasses16[4] = {5, 8, 13, 16};
constexpr int kClasses32[4] = {6, 11, 21, 32};

const int* ClassesFor(int width) {
  switch (width) {
    case 8: return kClasses8;
    case 16: return kClasses16;
    default: return kClasses32;
  }
}

std::int64_t SignExtend(std::uint64_t bits, int width) {
  std::uint64_t sign = std::uint64_t{1} << (width - 1);
  bits &= (sign << 1) - 1;
  return static_cast<std::int64_t>(bits ^ sign) - static_cast<std::int64_t>(sign);
}

bool FitsSigned(std::int64_t value, int width) {
  std::int64_t limit = std::int64_t{1} << (width - 1);
  return value >= -limit && value < limit;
}

template <typename T>
std::uint32_t ToBits(T value) {
  if constexpr (std::is_same_v<T, float>) {
    return std::bit_cast<std::uint32_t>(value);
  } else if constexpr (std::is_same_v<T, bool>) {
    return value ? 1u : 0u;
  } else {
    return static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<T>>(value));
  }
}

template <typename T>
T FromBits(std::uint32_t bits) {
  if constexpr (std::is_same_v<T, float>) {
    return std::bit_cast<float>(bits);
  } else if constexpr (std::is_same_v<T, bool>) {
    // A stored flag is true when its byte, read as signed, is positive.
    return static_cast<std::int8_t>(bits & 0xFF) > 0;
  } else {
    return static_cast<T>(static_cast<std::make_unsigned_t<T>>(bits));
  }
}

}  // namespace

ReconStream::ReconStream(std::uint8_t* buffer, std::int32_t size, Mode mode, bool swap)
    : fIn(buffer), fOut(mode == kWriting ? buffer : nullptr), fSize(size < 0 ? 0 : size), fMode(mode), fSwap(swap) {
  if (mode != kReading && mode != kWriting) {
    XASSERT_FAIL("mode==kReading || mode==kWriting", "wrong mode in constructor");
  }
}

ReconStream::ReconStream() = default;

namespace {

std::int32_t ClampedSize(std::size_t size) {
  return static_cast<std::int32_t>(std::min<std::size_t>(size, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

ReconStream::ReconStream(const std::uint8_t* in, std::int32_t size, bool swap)
    : fIn(in), fSize(size), fMode(kReading), fSwap(swap) {}

ReconStream ReconStream::Reader(std::span<const std::uint8_t> bytes, bool swap) {
  return ReconStream(bytes.data(), ClampedSize(bytes.size()), swap);
}

ReconStream ReconStream::Writer(std::span<std::uint8_t> bytes, bool swap) {
  return ReconStream(bytes.data(), ClampedSize(bytes.size()), kWriting, swap);
}

ReconStream::~ReconStream() {
  // A destructor cannot end the build by throwing; the worker thread's
  // report goes to standard error instead.
  try {
    Close();
  } catch (const Terminate& t) {
    std::fprintf(stderr, "%s\n", t.what());
  }
}

ResErr ReconStream::Close() {
  if (fClosed) return res_error::kNone;
  fClosed = true;
  std::unique_ptr<ReconStringTable> table = std::move(fStringTable);
  if (table && fMode == kWriting && !fFailed) return table->Save();
  return res_error::kNone;
}

void ReconStream::Fail(const char* condition, const char* message) {
  fFailed = true;
  XASSERT_FAIL(condition, message);
}

bool ReconStream::ModeIsValid() {
  if (fMode == kReading || fMode == kWriting || fMode == kSizing) return true;
  Fail("fMode==kReading || fMode==kWriting", "mode switched");
  return false;
}

bool ReconStream::Fits(std::int64_t bytes, const char* condition) {
  if (std::int64_t{fPosition} + bytes <= fSize) return true;
  Fail(condition, "overflow");
  return false;
}

// Moves the position on, refusing a position that 32 bits cannot hold (only
// a sizing pass can get there).
bool ReconStream::Advance(std::int64_t bytes) {
  std::int64_t next = std::int64_t{fPosition} + bytes;
  if (next > std::numeric_limits<std::int32_t>::max()) {
    Fail("fPosition <= 0x7FFFFFFF", "overflow");
    return false;
  }
  fPosition = static_cast<std::int32_t>(next);
  return true;
}

std::uint32_t ReconStream::Load32(std::int32_t at) const {
  return LoadU32(std::span<const std::uint8_t>(fIn + at, 4), 0, fSwap ? ByteOrder::kBig : ByteOrder::kLittle);
}

void ReconStream::Store32(std::int32_t at, std::uint32_t value) {
  StoreU32(std::span<std::uint8_t>(fOut + at, 4), 0, value, fSwap ? ByteOrder::kBig : ByteOrder::kLittle);
}

template <typename T>
void ReconStream::Transfer(std::span<T> values, int width) {
  if (fFailed || !ModeIsValid()) {
    if (fMode == kReading) std::fill(values.begin(), values.end(), T{});
    return;
  }
  if (fFieldEncoding) return TransferFields(values, width);
  const int bytes = width / 8;
  const std::int64_t total = std::int64_t{bytes} * static_cast<std::int64_t>(values.size());
  if (fMode == kSizing) {
    Advance(total);
    return;
  }
  const char* condition = bytes == 1   ? "fPosition + numelems <= fSize"
                          : bytes == 2 ? "fPosition + numelems*2 <= fSize"
                                       : "fPosition + numelems*4 <= fSize";
  if (!Fits(total, condition)) {
    if (fMode == kReading) std::fill(values.begin(), values.end(), T{});
    return;
  }
  // Floats are copied as they are; 16- and 32-bit values are little-endian
  // unless the stream swaps them.
  const bool bigEndian = fSwap && !std::is_same_v<T, float>;
  for (T& value : values) {
    if (fMode == kWriting) {
      std::uint32_t bits = ToBits(value);
      for (int i = 0; i < bytes; ++i) {
        int shift = bigEndian ? 8 * (bytes - 1 - i) : 8 * i;
        fOut[fPosition + i] = static_cast<std::uint8_t>(bits >> shift);
      }
    } else {
      std::uint32_t bits = 0;
      for (int i = 0; i < bytes; ++i) {
        int shift = bigEndian ? 8 * (bytes - 1 - i) : 8 * i;
        bits |= std::uint32_t{fIn[fPosition + i]} << shift;
      }
      value = FromBits<T>(bits);
    }
    fPosition += bytes;
  }
}

template <typename T>
void ReconStream::TransferFields(std::span<T> values, int width) {
  for (T& value : values) {
    if (fMode == kReading) {
      value = FromBits<T>(static_cast<std::uint32_t>(GetField(width)));
    } else {
      PutField(SignExtend(ToBits(value), width), width);
    }
  }
}

void ReconStream::Bytes(std::span<std::uint8_t> values) { Transfer(values, 8); }
void ReconStream::Bytes(std::span<std::int8_t> values) { Transfer(values, 8); }
void ReconStream::Bytes(std::span<char> values) { Transfer(values, 8); }
void ReconStream::Bool(bool& value) { Transfer(std::span(&value, 1), 8); }
void ReconStream::Int16(std::span<std::int16_t> values) { Transfer(values, 16); }
void ReconStream::Int16(std::span<std::uint16_t> values) { Transfer(values, 16); }
void ReconStream::Int32(std::span<std::int32_t> values) { Transfer(values, 32); }
void ReconStream::Int32(std::span<std::uint32_t> values) { Transfer(values, 32); }
void ReconStream::Float(std::span<float> values) { Transfer(values, 32); }

// Starts a new byte when the current one is used up. A writing stream clears
// the byte first, since bits are only ever or-ed in.
bool ReconStream::NextBitSlot() {
  if (fFailed) return false;
  if (fBitMask != 0) return true;
  if (fMode != kSizing) {
    if (!Fits(1, "fPosition + 1 <= fSize")) return false;
    if (fMode == kWriting) fOut[fPosition] = 0;
  }
  if (!Advance(1)) return false;
  fBitMask = 0x80;
  return true;
}

void ReconStream::WriteBits(std::uint32_t value, int bitCount) {
  if (bitCount < 1 || bitCount > 32) {
    XASSERT_FAIL("bitCount>=1 && bitCount<=32", "bad bitcount");
    return;
  }
  for (int bit = bitCount - 1; bit >= 0; --bit) {
    if (!NextBitSlot()) return;
    if (fMode == kWriting && ((value >> bit) & 1u)) fOut[fPosition - 1] |= static_cast<std::uint8_t>(fBitMask);
    fBitMask >>= 1;
  }
}

std::uint32_t ReconStream::ReadBits(int bitCount) {
  if (bitCount < 1 || bitCount > 32) {
    XASSERT_FAIL("bitCount>=1 && bitCount<=32", "bad bitcount");
    return 0;
  }
  std::uint32_t value = 0;
  for (int bit = 0; bit < bitCount; ++bit) {
    if (!NextBitSlot()) return 0;
    value = (value << 1) | ((fIn[fPosition - 1] & fBitMask) ? 1u : 0u);
    fBitMask >>= 1;
  }
  return value;
}

void ReconStream::PutField(std::int64_t value, int width) {
  if (value == 0) {
    WriteBits(0, 1);
    return;
  }
  const int* classes = ClassesFor(width);
  std::uint32_t code = 3;  // the last class is the value's full width
  for (std::uint32_t c = 0; c < 3; ++c) {
    if (FitsSigned(value, classes[c])) {
      code = c;
      break;
    }
  }
  int bits = classes[code];
  WriteBits(1, 1);
  WriteBits(code, 2);
  WriteBits(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value) & ((std::uint64_t{1} << bits) - 1)), bits);
}

std::int64_t ReconStream::GetField(int width) {
  if (ReadBits(1) == 0) return 0;
  std::uint32_t code = ReadBits(2);
  int bits = ClassesFor(width)[code];
  std::uint32_t raw = ReadBits(bits);
  if (fFailed) return 0;
  return SignExtend(raw, bits);
}

std::int64_t ReconStream::BitsLeft() const {
  std::int64_t bits = (std::int64_t{fSize} - fPosition) * 8;
  for (std::int32_t mask = fBitMask; mask != 0; mask >>= 1) ++bits;
  return bits < 0 ? 0 : bits;
}

void ReconStream::Count(std::uint32_t& count) {
  Int32(std::span(&count, 1));
  if (fMode != kReading || fFailed) return;
  if (count > kMaxElements) {
    count = 0;
    Fail("count <= kMaxElements", "element count over the limit");
  } else if (count > BitsLeft()) {
    count = 0;
    Fail("count <= bits left", "element count larger than the data");
  }
}

void ReconStream::String(std::string& text) {
  if (fFailed || !ModeIsValid()) {
    if (fMode == kReading) text.clear();
    return;
  }
  // A string starts on a whole byte.
  if (fFieldEncoding) fBitMask = 0;
  if (fUsesStringTable) {
    ++fStringCounter;
    if (fMode == kReading) {
      text = fStringTable ? fStringTable->Get(fStringCounter) : std::string();
    } else if (fMode == kWriting && fStringTable) {
      fStringTable->Set(fStringCounter, text.c_str());
    }
    return;
  }
  std::int64_t length;
  if (fMode == kReading) {
    const std::int64_t left = std::int64_t{fSize} - fPosition;
    const void* end = left > 0 ? std::memchr(fIn + fPosition, 0, static_cast<std::size_t>(left)) : nullptr;
    if (end == nullptr) {
      text.clear();
      Fail("fPosition + length + 1 <= fSize", "overflow");
      return;
    }
    length = static_cast<const std::uint8_t*>(end) - (fIn + fPosition);
    text.assign(reinterpret_cast<const char*>(fIn + fPosition), static_cast<std::size_t>(length));
  } else {
    length = static_cast<std::int64_t>(std::strlen(text.c_str()));
  }
  // Every string ends on an even position.
  std::int64_t advance = length + 1;
  std::int64_t pad = (fPosition + advance) % 2;
  if (fMode == kWriting) {
    if (!Fits(advance + pad, "fPosition + length + 1 <= fSize")) return;
    std::memcpy(fOut + fPosition, text.data(), static_cast<std::size_t>(length));
    std::memset(fOut + fPosition + length, 0, static_cast<std::size_t>(1 + pad));
  }
  Advance(advance + pad);
}

void ReconStream::PutMark() {
  if (fFailed || !ModeIsValid()) return;
  if (fFieldEncoding) fBitMask = 0;
  if (fMode == kSizing) {
    Advance(4);
    return;
  }
  if (!Fits(4, "fPosition + 4 <= fSize")) return;
  if (fMode == kReading) {
    fMarkPos = static_cast<std::int32_t>(Load32(fPosition));
  } else {
    // The earlier mark learns where this one is.
    if (fMarkAt >= 0) Store32(fMarkAt, static_cast<std::uint32_t>(fPosition));
    fMarkPos = fPosition;
    Store32(fPosition, 0);
  }
  fMarkAt = fPosition;
  fPosition += 4;
}

void ReconStream::SkipToMark() {
  if (fFailed || !ModeIsValid()) return;
  if (fFieldEncoding) fBitMask = 0;
  if (fMarkPos == 0) {
    Fail("fMarkPos!=0", "no mark");
    return;
  }
  if (fMode != kReading) {
    XASSERT_FAIL("fMode==kReading", "can't skip to next");
    return;
  }
  // A mark leads to the next one, which starts after its own four bytes; one
  // leading backwards could make a reader loop for ever.
  if (fMarkPos > fSize) {
    Fail("fPosition<=fSize", "bad mark");
    return;
  }
  if (std::int64_t{fMarkPos} < std::int64_t{fMarkAt} + 4) {
    Fail("fMarkPos >= mark + 4", "bad mark");
    return;
  }
  fPosition = fMarkPos;
}

void ReconStream::SetStringTable(iResFile& file, ResType type, ResID id) {
  if (fUsesStringTable) {
    XASSERT_FAIL("!fUsesStringTable", "string table set twice");
    return;
  }
  fUsesStringTable = true;
  if (fMode == kSizing) return;
  fStringTable = MakeReconStringTable(file, type, id);
  if (fMode == kWriting && fStringTable) fStringTable->Clear();
}

}  // namespace pixmold
