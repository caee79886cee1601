// The on-disk pieces shared by the two IFF containers: the 64-byte file
// headers and the block headers that precede every resource or free block.
//
// A file is a header followed by blocks laid back to back; each block header
// gives the size of its whole block, so the blocks are found by walking from
// offset 64. All numbers in these headers are big-endian. The first version's
// block header is 16 bytes and refers to its name by an index into a name
// list; the second version's is 76 bytes and holds the name itself in a
// 64-byte field (63 characters and a zero byte).
//
// Header bytes come from files we do not trust, so decoding never fails but
// never trusts either: it only turns bytes into fields, and CheckBlock says
// whether a decoded block can lie where it was found.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "resfile/res_types.h"

namespace pixmold {

inline constexpr std::int32_t kIFFFileHeaderSize = 64;
inline constexpr std::int32_t kIFFBlockHeaderSize1 = 16;
inline constexpr std::int32_t kIFFBlockHeaderSize2 = 76;
inline constexpr std::int32_t kIFFNameFieldSize = 64;
inline constexpr std::size_t kIFFMaxNameLength = 63;
// Largest data size a second-version block may declare.
inline constexpr std::int32_t kIFFMaxDataSize = 0x40000000;

// Block flags. The second version keeps the variant in the high byte.
inline constexpr std::uint16_t kInvalid = 4;
inline constexpr std::uint16_t kInternalFlag = 8;
inline constexpr std::uint16_t kNativeFlag = 16;

inline constexpr ResType kFreeBlockType = MakeResType("XXXX");
inline constexpr ResType kNameListType = MakeResType("NAME");
inline constexpr ResType kResMapType = MakeResType("rsmp");

using IFFFileHeader = std::array<std::uint8_t, kIFFFileHeaderSize>;

// The first version's header, matched byte for byte.
const IFFFileHeader& IFFFileHeader1();
// The second version's header pattern: '*' bytes match anything.
const IFFFileHeader& IFFFileHeaderPattern2();

// Version of a second-version header ((major - '0') * 256 + (minor - '0')),
// or nothing when a fixed byte of the pattern differs.
std::optional<std::int32_t> IFFFileHeader2Version(std::span<const std::uint8_t, kIFFFileHeaderSize> header);
inline constexpr std::int32_t kIFFVersion20 = 512;
inline constexpr std::int32_t kIFFVersion25 = 517;
// A version 2.5 header with the map offset in bytes 60 to 63.
IFFFileHeader MakeIFFFileHeader25(std::int32_t mapOffset);
// The map offset of a version 2.5 header.
std::int32_t IFFHeaderMapOffset(std::span<const std::uint8_t, kIFFFileHeaderSize> header);

struct IFFBlockHeader {
  ResType type = 0;
  std::int32_t size = 0;  // of the whole block, header included
  ResID id = 0;
  std::uint16_t flags = 0;
  std::int32_t nameIndex = -1;  // first version
  std::string name;             // second version

  bool IsFree() const { return (flags & kInvalid) != 0; }
  // Flagged free but still typed: written, not yet made live (iff_blocks.h).
  bool IsPending() const { return IsFree() && type != kFreeBlockType; }
};

using IFFBlockBytes1 = std::array<std::uint8_t, kIFFBlockHeaderSize1>;
using IFFBlockBytes2 = std::array<std::uint8_t, kIFFBlockHeaderSize2>;

IFFBlockBytes1 EncodeBlockHeader1(const IFFBlockHeader& header);
IFFBlockHeader DecodeBlockHeader1(const IFFBlockBytes1& bytes);
// The name is cut to 63 characters; the rest of the field is zero.
IFFBlockBytes2 EncodeBlockHeader2(const IFFBlockHeader& header);
// The name ends at the first zero byte, and never runs past 63 characters.
IFFBlockHeader DecodeBlockHeader2(const IFFBlockBytes2& bytes);

// A killed process can leave its last write cut, but only at a page
// boundary: the kernel copies a write page by page and stops between pages,
// never inside one. Every page size in use is a multiple of 4096, so these
// are all the places a cut can fall.
inline constexpr std::int64_t kIFFPageSize = 4096;

// How many bytes of a field of `width` bytes at `offset` lie before a page
// boundary inside it: where a cut write of it would stop; 0 when the field
// lies within one page and lands whole or not at all.
constexpr std::int32_t BytesBeforeCut(std::int64_t offset, std::int32_t width) {
  const std::int64_t before = kIFFPageSize - offset % kIFFPageSize;
  return before < width ? static_cast<std::int32_t>(before) : 0;
}

// Whether a block header may be written at `offset` by rewriting its type
// or size in place: only when both lie within one page, so that neither can
// land half old, half new.
constexpr bool HeaderChangesWhole(std::int64_t offset) { return BytesBeforeCut(offset, 8) == 0; }

// Whether a block whose header says `size` can start at `offset` in a file of
// `fileSize` bytes: at least a header, at most a header and the largest data
// size, wholly inside the file.
bool BlockFits(std::int32_t offset, std::int32_t size, std::int32_t headerSize, std::int32_t fileSize);

// Whether what lies from `offset` to the end of the file is an append a
// full disk, a file-size limit or a kill cut short: fewer bytes than a
// header (header null or not), or a free block whose header announced the
// bytes that never all arrived (an append writes that header first). Only
// such a tail may be cut away; a block that does not fit for any other
// reason is damage, and what follows it may still be whole.
bool IsTornAppend(std::int32_t offset, const IFFBlockHeader* header, std::int32_t headerSize, std::int32_t fileSize);
// What is wrong with a block header that does not fit at `offset`, for a
// user: its type, id and size, and why they cannot be.
std::string DescribeBadBlock(std::int32_t offset, const IFFBlockHeader& header, std::int32_t headerSize,
                             std::int32_t fileSize);

}  // namespace pixmold
