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
// is untrusted. The header decides whether the archive is one at all; then
// entries are read one at a time, so that an archive cut short or damaged in
// its directory still yields the members before the damage. A member whose
// bytes leave the archive, or whose name is not a relative path that stays
// below the archive's directory (members are mapped, and extracted, under
// it), is passed over on its own: the entries after it are still good.
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

// Reads and checks the header and the entry count, leaving the file at the
// first entry. On failure returns false with a readable reason.
bool ReadFarHeader(CTGFile& file, std::uint32_t& count, std::string& error);

enum class FarEntryResult {
  kMember,   // entry holds a usable member
  kSkipped,  // the entry was read but cannot be used (reason says why)
  kFailed,   // the directory cannot be read further (reason says why)
};
// Reads entry number `index` at the file's position, leaving the file at the
// next entry.
FarEntryResult ReadFarEntry(CTGFile& file, std::uint32_t index, FarEntry& entry, std::string& reason);

// A member name as a clean relative path ("\\" read as "/", "." and empty
// segments dropped), or empty when it is empty, absolute, holds a zero byte
// or climbs out with "..".
std::string CleanMemberName(std::string_view name);

}  // namespace pixmold
