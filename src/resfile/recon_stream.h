// The stream of the record serialisation. A record names its fields once, in
// one Reconstitute routine, and the same routine reads, writes or only
// measures the record depending on the stream's mode; writing a record is a
// sizing pass, one allocation of the measured size, then a writing pass.
//
// Values are either copied at fixed width (16- and 32-bit values little-endian,
// reversed when the stream swaps) or, once field encoding is switched on,
// packed most significant bit first: one bit for zero/non-zero, then for a
// non-zero value two bits naming the narrowest of four signed widths that
// holds it, then the value's low bits at that width:
//   8-bit values      2, 4, 6, 8 bits
//   16-bit values     5, 8, 13, 16 bits
//   32-bit and float  6, 11, 21, 32 bits
// Strings are zero-terminated, start on a whole byte and end on an even
// position; a stream can instead keep them in a string table of their own.
// Marks let a reader skip fields it does not know: each mark holds the
// position of the next.
//
// Reading takes untrusted bytes. Every read is checked against the bytes
// left: one that does not fit is reported as "overflow" and stops the stream
// (it is then Failed, and every later read yields zero or an empty string
// without touching the buffer). Counts, string terminators and marks are
// checked the same way. Reports go through XASSERT, so on the build's worker
// thread a malformed record ends the build; elsewhere the caller's routine
// runs to its end and checks Failed.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "base/ctg_string.h"
#include "resfile/res_types.h"

namespace pixmold {

class iResFile;
class ReconStringTable;

class ReconStream {
 public:
  enum Mode : std::int32_t { kReading = 0, kWriting = 1, kSizing = 2 };

  // Element counts above this are refused when reading, whatever the data.
  static constexpr std::uint32_t kMaxElements = 1u << 20;

  // A reading or writing stream over `size` bytes at `buffer`.
  ReconStream(std::uint8_t* buffer, std::int32_t size, Mode mode, bool swap);
  // A sizing stream: no buffer; Position() afterwards is the data size.
  ReconStream();
  static ReconStream Reader(std::span<const std::uint8_t> bytes, bool swap);
  static ReconStream Writer(std::span<std::uint8_t> bytes, bool swap);
  ~ReconStream();
  ReconStream(const ReconStream&) = delete;
  ReconStream& operator=(const ReconStream&) = delete;

  void Bytes(std::span<std::uint8_t> values);
  void Bytes(std::span<std::int8_t> values);
  void Bytes(std::span<char> values);
  void Bool(bool& value);
  void Int16(std::span<std::int16_t> values);
  void Int16(std::span<std::uint16_t> values);
  void Int32(std::span<std::int32_t> values);
  void Int32(std::span<std::uint32_t> values);
  // Four bytes each, never swapped; field-encoded as their 32-bit pattern.
  void Float(std::span<float> values);
  // Text up to its first zero byte.
  void String(std::string& text);
  void String(CTGString& text) { String(text.Str()); }

  void Value(std::uint8_t& v) { Bytes(std::span(&v, 1)); }
  void Value(std::int8_t& v) { Bytes(std::span(&v, 1)); }
  void Value(char& v) { Bytes(std::span(&v, 1)); }
  void Value(bool& v) { Bool(v); }
  void Value(std::int16_t& v) { Int16(std::span(&v, 1)); }
  void Value(std::uint16_t& v) { Int16(std::span(&v, 1)); }
  void Value(std::int32_t& v) { Int32(std::span(&v, 1)); }
  void Value(std::uint32_t& v) { Int32(std::span(&v, 1)); }
  void Value(float& v) { Float(std::span(&v, 1)); }
  void Value(std::string& v) { String(v); }
  void Value(CTGString& v) { String(v); }

  // A vector's 32-bit element count. Reading refuses a count that the data
  // left could not hold (every element takes at least one bit) or that is
  // above kMaxElements: the stream fails and the count becomes 0.
  void Count(std::uint32_t& count);

  void PutMark();
  void SkipToMark();

  // Keeps this stream's strings in a table stored as its own resource of
  // that type and id; once per stream, before the first string. A writing
  // stream stores the table when it is closed.
  void SetStringTable(iResFile& file, ResType type, ResID id);
  // Switches to field encoding for the rest of the stream's life.
  void SetFieldEncoding() { fFieldEncoding = true; }

  std::int32_t Position() const { return fPosition; }
  std::int32_t Size() const { return fSize; }
  bool IsReading() const { return fMode == kReading; }
  bool IsWriting() const { return fMode == kWriting; }
  bool IsSizing() const { return fMode == kSizing; }
  bool Swaps() const { return fSwap; }
  bool UsesFieldEncoding() const { return fFieldEncoding; }
  bool UsesStringTable() const { return fUsesStringTable; }
  bool Failed() const { return fFailed; }

  // Stores a writing stream's string table and lets it go; 0 or the file's
  // error. The destructor closes a stream that was not closed.
  ResErr Close();

 private:
  // A reading stream over bytes it never writes.
  ReconStream(const std::uint8_t* in, std::int32_t size, bool swap);

  template <typename T>
  void Transfer(std::span<T> values, int width);
  template <typename T>
  void TransferFields(std::span<T> values, int width);

  bool Advance(std::int64_t bytes);
  bool Fits(std::int64_t bytes, const char* condition);
  bool ModeIsValid();
  void Fail(const char* condition, const char* message);
  std::uint32_t Load32(std::int32_t at) const;
  void Store32(std::int32_t at, std::uint32_t value);
  std::int64_t BitsLeft() const;

  bool NextBitSlot();
  void WriteBits(std::uint32_t value, int bitCount);
  std::uint32_t ReadBits(int bitCount);
  void PutField(std::int64_t value, int width);
  std::int64_t GetField(int width);

  const std::uint8_t* fIn = nullptr;
  std::uint8_t* fOut = nullptr;
  std::int32_t fSize = 0;
  std::int32_t fPosition = 0;
  Mode fMode = kSizing;
  bool fSwap = false;
  bool fUsesStringTable = false;
  bool fFieldEncoding = false;
  std::unique_ptr<ReconStringTable> fStringTable;
  std::int32_t fStringCounter = 0;
  std::int32_t fBitMask = 0;
  std::int32_t fMarkPos = 0;
  std::int32_t fMarkAt = -1;  // where the last mark was put: readers check that marks lead forward
  bool fFailed = false;
  bool fClosed = false;
};

}  // namespace pixmold
