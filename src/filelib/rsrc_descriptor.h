// How a loose resource is named on disk. One file holds one resource:
//   "#<id>#<name>.<ext>"  a resource with an id
//   "<name>.<ext>"        a resource known by name only
// where <ext> is the first three characters of the four-character type (the
// fourth is dropped: 'SPR#' is ".SPR", 'BMP_' ".BMP"), and the wildcard type
// '****' matches any extension. Everything the manager knows about a file it
// reads back from this name, so the name is the whole index.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pixmold {

// A four-character type, first character in the most significant byte.
using RsrcType = std::uint32_t;

struct RsrcDescriptor {
  static constexpr std::int32_t kNoID = INT32_MIN;
  static constexpr std::int32_t kMinID = -32768;
  static constexpr RsrcType kAnyType = 0x2A2A2A2A;  // '****'
};

// ".SPR" for 'SPR#'; ".*" for the wildcard.
std::string RsrcExtension(RsrcType type);
// The file name of a resource; kNoID leaves the id part out.
std::string RsrcFileName(RsrcType type, std::int32_t id, std::string_view name);

// The id a file name carries: kNoID when it does not start with "#"; the
// (at most 9) characters up to the next "#", read as a decimal number.
// Longer ids are reported and read as kNoID.
std::int32_t RsrcIDFromFileName(std::string_view fileName);
// The name part: after "#<id>#" when there is an id, up to the extension.
std::string RsrcNameFromFileName(std::string_view fileName);
// The type a file name carries, as its three extension characters in the
// three most significant bytes (the fourth byte 0); absent, and reported,
// for a name without a '.' among its last four positions.
std::optional<RsrcType> RsrcTypeFromFileName(std::string_view fileName);
// The same test without the report, for scanning listings that hold other
// files too.
bool HasRsrcExtension(std::string_view fileName);
// Whether a file of that name holds a resource of the type: the extension
// compared without regard to case, as the names were made on a system that
// ignored it.
bool RsrcTypeMatches(RsrcType type, std::string_view fileName);

}  // namespace pixmold
