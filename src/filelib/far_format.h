// The FAR archive format. All numbers are unsigned 32-bit little-endian:
//
//   0   8  magic "FAR!byQX"
//   8   4  version (1)
//   12  4  file offset of the directory
//   directory:
//       4  entry count, 1 to 499999
//       per entry: member size, a second size (unused), member offset,
//                  name length (below 2047), then the name without a zero
//
// Member bytes may lie anywhere; only the directory says where. Every field
// is untrusted: the directory must fit in the archive (which bounds the count
// long before the limit), each member's bytes must lie inside the archive, and
// a name must be a relative path that stays below the archive's directory,
// since members are mapped, and extracted, under it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pixmold {

class CTGFile;

inline constexpr char kFARMagic[] = "FAR!byQX";
inline constexpr std::uint32_t knFARVersion = 1;
inline constexpr std::uint32_t kFARMaxEntries = 500000;   // counts must stay below
inline constexpr std::uint32_t kFARMaxNameLength = 2047;  // lengths must stay below
inline constexpr std::uint32_t kFARHeaderSize = 16;
inline constexpr std::uint32_t kFARMinEntrySize = 16;  // four numbers, empty name

struct FarEntry {
  std::string name;  // cleaned relative path, "/" separators
  std::uint32_t offset = 0;
  std::uint32_t size = 0;
};

// Reads and checks the whole directory of the archive open in file. On
// failure returns false with a readable reason, and entries is unspecified.
bool ReadFarDirectory(CTGFile& file, std::vector<FarEntry>& entries, std::string& error);

// A member name as a clean relative path ("\\" read as "/", "." and empty
// segments dropped), or empty when it is empty, absolute, holds a zero byte
// or climbs out with "..".
std::string CleanMemberName(std::string_view name);

}  // namespace pixmold
