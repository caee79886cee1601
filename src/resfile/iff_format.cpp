#include "resfile/iff_format.h"

#include <algorithm>
#include <cstring>

#include "base/byte_cursor.h"

namespace pixmold {
namespace {

constexpr std::string_view kHeader1Text = "IFF FILE 1.0:TYPE FOLLOWED BY SIZE";
constexpr std::string_view kHeader1Tail = " ORRIN VELDKAMP & KORVA 1996";
constexpr std::string_view kHeader2Text = "IFF FILE *.*:TYPE FOLLOWED BY SIZE";
constexpr std::string_view kHeader2Tail = " ORRIN VELDKAMP & KORVA 1****";
constexpr char kAnyByte = '*';
constexpr std::size_t kMajorDigit = 9;
constexpr std::size_t kMinorDigit = 11;
constexpr std::size_t kMapOffsetField = 60;

// Text, a zero byte, tail, zero bytes up to 64.
IFFFileHeader MakeHeader(std::string_view text, std::string_view tail) {
  IFFFileHeader header{};
  std::copy(text.begin(), text.end(), header.begin());
  std::copy(tail.begin(), tail.end(), header.begin() + static_cast<std::ptrdiff_t>(text.size() + 1));
  return header;
}

static_assert(kHeader1Text.size() + 1 + kHeader1Tail.size() + 1 == kIFFFileHeaderSize);
static_assert(kHeader2Text.size() + 1 + kHeader2Tail.size() == kIFFFileHeaderSize);

}  // namespace

const IFFFileHeader& IFFFileHeader1() {
  static const IFFFileHeader header = MakeHeader(kHeader1Text, kHeader1Tail);
  return header;
}

const IFFFileHeader& IFFFileHeaderPattern2() {
  static const IFFFileHeader header = MakeHeader(kHeader2Text, kHeader2Tail);
  return header;
}

std::optional<std::int32_t> IFFFileHeader2Version(std::span<const std::uint8_t, kIFFFileHeaderSize> header) {
  const IFFFileHeader& pattern = IFFFileHeaderPattern2();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != kAnyByte && pattern[i] != header[i]) return std::nullopt;
  }
  return (static_cast<std::int32_t>(header[kMajorDigit]) - '0') * 256 +
         (static_cast<std::int32_t>(header[kMinorDigit]) - '0');
}

IFFFileHeader MakeIFFFileHeader25(std::int32_t mapOffset) {
  IFFFileHeader header = IFFFileHeaderPattern2();
  header[kMajorDigit] = '2';
  header[kMinorDigit] = '5';
  StoreU32(header, kMapOffsetField, static_cast<std::uint32_t>(mapOffset), ByteOrder::kBig);
  return header;
}

std::int32_t IFFHeaderMapOffset(std::span<const std::uint8_t, kIFFFileHeaderSize> header) {
  return static_cast<std::int32_t>(LoadU32(header, kMapOffsetField, ByteOrder::kBig));
}

namespace {

// The twelve bytes both versions share: type, size, id, flags.
template <std::size_t N>
void EncodeCommon(const IFFBlockHeader& header, std::array<std::uint8_t, N>& bytes) {
  std::span<std::uint8_t, N> all(bytes);
  StoreU32(all, 0, header.type, ByteOrder::kBig);
  StoreU32(all, 4, static_cast<std::uint32_t>(header.size), ByteOrder::kBig);
  StoreU16(all, 8, static_cast<std::uint16_t>(header.id), ByteOrder::kBig);
  StoreU16(all, 10, header.flags, ByteOrder::kBig);
}

template <std::size_t N>
IFFBlockHeader DecodeCommon(const std::array<std::uint8_t, N>& bytes) {
  std::span<const std::uint8_t, N> all(bytes);
  IFFBlockHeader header;
  header.type = LoadU32(all, 0, ByteOrder::kBig);
  header.size = static_cast<std::int32_t>(LoadU32(all, 4, ByteOrder::kBig));
  header.id = static_cast<ResID>(LoadU16(all, 8, ByteOrder::kBig));
  header.flags = LoadU16(all, 10, ByteOrder::kBig);
  return header;
}

}  // namespace

IFFBlockBytes1 EncodeBlockHeader1(const IFFBlockHeader& header) {
  IFFBlockBytes1 bytes{};
  EncodeCommon(header, bytes);
  StoreU32(bytes, 12, static_cast<std::uint32_t>(header.nameIndex), ByteOrder::kBig);
  return bytes;
}

IFFBlockHeader DecodeBlockHeader1(const IFFBlockBytes1& bytes) {
  IFFBlockHeader header = DecodeCommon(bytes);
  header.nameIndex = static_cast<std::int32_t>(LoadU32(bytes, 12, ByteOrder::kBig));
  return header;
}

IFFBlockBytes2 EncodeBlockHeader2(const IFFBlockHeader& header) {
  IFFBlockBytes2 bytes{};
  EncodeCommon(header, bytes);
  const std::size_t length = std::min(header.name.size(), kIFFMaxNameLength);
  std::memcpy(bytes.data() + 12, header.name.data(), length);
  return bytes;
}

IFFBlockHeader DecodeBlockHeader2(const IFFBlockBytes2& bytes) {
  IFFBlockHeader header = DecodeCommon(bytes);
  const auto* field = bytes.data() + 12;
  const auto* end = std::find(field, field + kIFFMaxNameLength, std::uint8_t{0});
  header.name.assign(reinterpret_cast<const char*>(field), static_cast<std::size_t>(end - field));
  return header;
}

bool BlockFits(std::int32_t offset, std::int32_t size, std::int32_t headerSize, std::int32_t fileSize) {
  if (offset < kIFFFileHeaderSize || size < headerSize) return false;
  if (size - headerSize > kIFFMaxDataSize) return false;
  return static_cast<std::int64_t>(offset) + size <= fileSize;
}

bool IsTornAppend(std::int32_t offset, const IFFBlockHeader* header, std::int32_t headerSize, std::int32_t fileSize) {
  if (static_cast<std::int64_t>(offset) + headerSize > fileSize) return true;
  if (header == nullptr || header->type != kFreeBlockType || !header->IsFree()) return false;
  return header->size >= headerSize && header->size - headerSize <= kIFFMaxDataSize &&
         static_cast<std::int64_t>(offset) + header->size > fileSize;
}

std::string DescribeBadBlock(std::int32_t offset, const IFFBlockHeader& header, std::int32_t headerSize,
                             std::int32_t fileSize) {
  std::string type;
  for (unsigned char c : ResTypeName(header.type)) {
    if (c >= 0x20 && c < 0x7F) {
      type += static_cast<char>(c);
    } else {
      static const char kHex[] = "0123456789ABCDEF";
      type += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
    }
  }
  std::string text = "damaged block header (type " + type + ", id " + std::to_string(header.id) + ", size " +
                     std::to_string(header.size) + "): ";
  if (header.size < headerSize) return text + "a block is at least its " + std::to_string(headerSize) + "-byte header";
  if (header.size - headerSize > kIFFMaxDataSize) return text + "larger than any block may be";
  const std::int64_t past = static_cast<std::int64_t>(offset) + header.size - fileSize;
  return text + "it runs " + std::to_string(past) + " bytes past the end of the file";
}

}  // namespace pixmold
