// Value types shared by every resource file: the four-character type, the
// 16-bit id and the layer's result codes. A type's first character is its
// most significant byte, so 'OBJD' is 0x4F424A44 and files store it in that
// byte order.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pixmold {

using ResType = std::uint32_t;
using ResID = std::int16_t;
using ResErr = std::int32_t;

// Converts freshly read bytes to native order; may be null.
using ResSwizzler = void (*)(void* bytes, std::int32_t size);

constexpr ResType MakeResType(const char (&name)[5]) {
  return (static_cast<ResType>(static_cast<unsigned char>(name[0])) << 24) |
         (static_cast<ResType>(static_cast<unsigned char>(name[1])) << 16) |
         (static_cast<ResType>(static_cast<unsigned char>(name[2])) << 8) |
         static_cast<ResType>(static_cast<unsigned char>(name[3]));
}

// The four characters of a type, in reading order.
std::string ResTypeName(ResType type);
// Exactly four characters; anything else is not a type.
std::optional<ResType> ParseResType(std::string_view text);

// Result codes of the file and resource layer (0 is success).
namespace res_error {
inline constexpr ResErr kNone = 0;
inline constexpr ResErr kCannotDelete = -39;
inline constexpr ResErr kDeleteMissing = -40;
inline constexpr ResErr kCannotCreate = -42;
inline constexpr ResErr kCreateExists = -43;
inline constexpr ResErr kNotWritable = -45;
inline constexpr ResErr kShortWrite = -46;
inline constexpr ResErr kAlreadyOpen = -47;
inline constexpr ResErr kShortRead = -48;
inline constexpr ResErr kNotOpen = -49;
inline constexpr ResErr kOpenFailed = -50;
inline constexpr ResErr kVariantUnsupported = -91;
inline constexpr ResErr kNotIFF = -93;
inline constexpr ResErr kUnsupported = -94;
inline constexpr ResErr kAttrsUnsupported = -95;
inline constexpr ResErr kNoNameIndex = -96;
inline constexpr ResErr kNotFound = -98;
inline constexpr ResErr kNotThisFile = -99;
inline constexpr ResErr kTypeIndexRange = -100;
inline constexpr ResErr kOutOfMemory = -200;
// Our own, beyond the layer's table: a file another process holds (and the
// policy does not wait for), and a file whose structure is damaged, which
// is read as far as it can be and never changed (its FileProblem says where).
inline constexpr ResErr kInUse = -301;
inline constexpr ResErr kDamaged = -302;
}  // namespace res_error

// A readable sentence for a result code ("no file is open").
std::string_view ResErrText(ResErr err);

}  // namespace pixmold
