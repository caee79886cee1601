// The block layer of an IFF container: reading and writing block headers,
// finding room for a new block, freeing one, and compacting the file. Both
// container versions keep their blocks this way and differ only in the block
// header (16 or 76 bytes) and in what they do before a header changes.
//
// Every write is ordered so that a process killed at any moment leaves a file
// whose block walk is whole, and in which every resource is in its old or its
// new state, held by exactly one live block:
//   - a block's bytes go into free space first and its header last, still
//     flagged free ("pending": free, but carrying its real type); the block
//     it replaces, if any, is freed next, and only then does the flag go;
//   - a walk keeps a pending block as the resource when no live block has its
//     type, id and variant (the replaced one was freed already), and treats
//     it as free space otherwise; either way it is settled on disk before the
//     file changes in any other way, so it cannot come back later;
//   - a new block at the end of the file is announced by a free header before
//     its bytes follow, so a cut-off append reads as a cut-off free block;
//   - freeing sets the free flag before the type changes;
//   - compaction closes blocks up towards the start in their order, never
//     copying a block over its own old bytes: one that a gap cannot take is
//     parked at the end of the file first, and comes back into the gap its
//     old place widened; every copy is a pending block until its original is
//     freed.
// Only an in-place rewrite of a resource with a new body of the same size can
// leave that one resource half old, half new.
//
// A killed process may also leave its last write cut at a page boundary
// (iff_format.h), so no field whose change matters is written across one:
//   - a block being written gets everything after its type first, and its
//     type, which lands whole, last: until then it is plain free space;
//   - a type or size is never changed in place where a page boundary cuts
//     it: no block is written there (an append is moved past the boundary
//     by a header-sized free block), and a free block there is neither
//     split nor grown, only taken over by the free block before it;
//   - a freeing cut inside the type (the free flag is already set) leaves
//     the free type's bytes before the boundary, which ReadHeader takes for
//     free space.
//
// Header bytes are untrusted: a block counts only when its header passes
// BlockFits; the walk always advances by a block's size, at least a header.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "resfile/flat_file.h"
#include "resfile/iff_format.h"
#include "resfile/iff_free_space.h"
#include "resfile/res_types.h"

namespace pixmold {

class IFFBlocks {
 public:
  // headerSize is kIFFBlockHeaderSize1 or kIFFBlockHeaderSize2; the second
  // version adds the file's name to its reports.
  IFFBlocks(FlatFile& file, std::int32_t headerSize, bool nameInReports);
  IFFBlocks(const IFFBlocks&) = delete;
  IFFBlocks& operator=(const IFFBlocks&) = delete;

  std::int32_t HeaderSize() const { return fHeaderSize; }

  // Called before every block-header write, and before free space is looked
  // for or a block freed; a non-zero result stops it.
  void SetBeforeHeaderWrite(std::function<ResErr()> hook) { fBeforeHeaderWrite = std::move(hook); }
  // Asked before free space is reused: false makes new blocks go to the
  // end of the file (a file whose index came from a map that the blocks
  // contradict cannot tell free space from a listed resource).
  void SetMayReuse(std::function<bool()> mayReuse) { fMayReuse = std::move(mayReuse); }
  // Whether the index knows a block that reaches past an offset: only then
  // is a cut-off block at the end of the file left in place rather than cut.
  void SetKnowsBlockFrom(std::function<bool(std::int32_t)> knows) { fKnowsBlockFrom = std::move(knows); }

  // Sum of the free blocks seen or made since the file was opened.
  std::int32_t FreeTotal() const { return fFreeTotal; }
  void SetFreeTotal(std::int32_t total) { fFreeTotal = total; }
  void AddFree(std::int32_t size);
  // Forgets where the free blocks are (a file just opened): the next
  // placement learns it from a walk, unless one comes first.
  void ForgetFreeSpace() { fFree.Forget(); }
  // Whether the file is known to end exactly after a whole block (the walk
  // reached the end, or a map vouched for the last block). Until it is, a
  // new block is placed only after walking to the end.
  void SetEndsClean(bool clean) { fEndsClean = clean; }

  ResErr FileSize(std::int32_t& size);
  ResErr ReadAt(std::int32_t offset, std::span<std::uint8_t> bytes);
  ResErr WriteAt(std::int32_t offset, std::span<const std::uint8_t> bytes);
  // -48 when no whole header lies at the offset.
  ResErr ReadHeader(std::int32_t offset, IFFBlockHeader& header);
  ResErr WriteHeader(std::int32_t offset, const IFFBlockHeader& header);

  // Marks the block at offset free and counts its size as free space. Only
  // a whole block of the expected type (live or pending) is freed: an index
  // that a damaged map filled may point at another resource's block, which
  // stays.
  ResErr FreeBlock(std::int32_t offset, ResType expected);
  // Finds or makes a free block of exactly dataSize + header bytes; its
  // offset goes to offset. Takes the smallest free space that holds it
  // (iff_free_space.h), joining and splitting free blocks, else appends.
  ResErr NewBlock(std::int32_t dataSize, std::int32_t& offset);
  // Writes the whole header of the block at offset, which already holds its
  // data and is a free block of the header's size, still flagged free: a
  // walk reads it as free space as long as a live block has its type, id
  // and variant.
  ResErr WritePendingHeader(std::int32_t offset, const IFFBlockHeader& header);
  // Makes the pending block written with this header live: its first twelve
  // bytes without the free flag (cut anywhere, only the flags change last).
  ResErr ClearPending(std::int32_t offset, const IFFBlockHeader& header);
  // Makes the block at offset live when it is still a pending block of the
  // type, as a walk found it.
  ResErr CommitPending(std::int32_t offset, ResType expected);

  // A torn tail (IsTornAppend) is the end of the file for every purpose
  // but one: the next write cuts it away. A bad header is damage.
  enum class WalkEnd { kEndOfFile, kTornTail, kBadHeader, kReadError };
  struct WalkStop {
    std::int32_t offset = 0;  // where the walk stopped
    std::string why;          // for a bad header, what is wrong with it
  };
  // Visits every block from offset 64 on, free ones included, until the end
  // of the file, a torn tail, the first header that does not fit, or a
  // failed read. The free blocks it passes are where new blocks go next.
  WalkEnd Walk(const std::function<void(std::int32_t offset, const IFFBlockHeader& header)>& visit,
               WalkStop* stop = nullptr);

  // Closes up the free space, keeping the blocks in their order, and cuts
  // the file after the last block. Blocks for which dropped() is true count
  // as free. moved(old, new) follows each
  // block that changes place. Afterwards the free total is 0.
  // Blocks are moved only when the walk and the index agree: every live block
  // walked is one known() accepts, and there are knownCount of them. A file
  // whose blocks do not reach its end is cut after the last whole block
  // first, unless a block we know of reaches past the damage; a file that
  // still disagrees is left as it is (its damage is reported).
  // With kWhenHolesAreLarge, blocks move only when the free space between
  // them is more than three times the largest block and more than half the
  // live blocks; otherwise only the free space after the last block is cut
  // away (a file never grows past one and a half times its live blocks, or
  // its live blocks and three of the largest).
  enum class Compaction { kAlways, kWhenHolesAreLarge };
  ResErr Defragment(const std::function<bool(const IFFBlockHeader&)>& dropped,
                    const std::function<bool(std::int32_t offset, const IFFBlockHeader&)>& known,
                    std::size_t knownCount, const std::function<void(std::int32_t from, std::int32_t to)>& moved,
                    Compaction mode = Compaction::kAlways);

  // Reports a broken invariant (with the file's name in the second version).
  void Report(std::string_view condition, std::string_view message);

 private:
  ResErr BeforeChange();
  // The first twelve bytes of a header (type, size, id, flags) in one write.
  ResErr WriteHead(std::int32_t offset, const IFFBlockHeader& header);
  ResErr AppendFree(std::int32_t offset, std::int32_t size);
  // Free headers over [offset, offset + size), inside a free block or at
  // the end of the file, leaving the part after offset usable.
  ResErr AppendFreeTail(std::int32_t offset, std::int32_t size);
  // A free block of size at the end of the file (position), moved past a
  // page boundary that would cut its header; position is where it went.
  ResErr AppendAt(std::int32_t& position, std::int32_t size);
  ResErr PlaceBlock(std::int32_t needed, bool mayReuse, std::int32_t& offset);
  // Makes the free space of a fit into a free block of `needed` bytes.
  ResErr TakeFree(const IFFFreeSpace::Fit& fit, std::int32_t needed);
  ResErr CopyData(std::int32_t from, std::int32_t to, std::int32_t count, std::span<std::uint8_t> buffer);
  ResErr MoveBlock(std::int32_t from, std::int32_t to, const IFFBlockHeader& header, std::span<std::uint8_t> buffer);

  FlatFile& fFile;
  std::int32_t fHeaderSize;
  bool fNameInReports;
  std::int32_t fFreeTotal = 0;
  IFFFreeSpace fFree;
  bool fEndsClean = false;
  std::function<ResErr()> fBeforeHeaderWrite;
  std::function<bool(std::int32_t)> fKnowsBlockFrom;
  std::function<bool()> fMayReuse;
};

}  // namespace pixmold
