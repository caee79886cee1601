// The free blocks of an IFF file, as the last walk of its blocks found them
// and as every change since left them, so that a new block is placed from
// the free space the file really has instead of by reading headers.
//
// A rebuild replaces resources in the order of its inputs, which need not be
// their order in the file (a compaction, an older writer or a reordered
// input leaves them otherwise). A block therefore goes into the smallest
// free space that holds it, the lowest one of equal fit: each replacement
// takes the space of an earlier one of its size wherever it lies, and a
// rebuild of the same art leaves the file as it found it.
//
// The list holds free blocks that are settled (flagged free and of the free
// type), never a pending one. Adjacent free blocks stay apart until a block
// is placed over them: joining them costs a header write that only pays
// when something goes there.
#pragma once

#include <cstdint>
#include <map>
#include <optional>

namespace pixmold {

class IFFFreeSpace {
 public:
  // Free space for a block of `needed` bytes: a run of adjacent free blocks
  // from `offset`, `total` bytes long, whose first header may change in
  // place. `total` is `needed` exactly, or leaves room for a free block's
  // header after it.
  struct Fit {
    std::int32_t offset = 0;
    std::int32_t total = 0;
    bool joinsBlocks = false;  // more than one free block is taken over
  };

  bool Known() const { return fEnd >= 0; }
  // Where the blocks the list describes end; the file is expected to end
  // there too.
  std::int32_t End() const { return fEnd; }
  // Forgets everything: the next placement walks the blocks again.
  void Forget();
  // Starts over for blocks walked up to `end`.
  void Reset(std::int32_t end);
  // The file now ends at `end`: blocks from there on are gone; a block
  // appended at the old end moves it forward.
  void SetEnd(std::int32_t end);

  void Add(std::int32_t offset, std::int32_t size);
  // Removes the free blocks lying in [offset, offset + size).
  void Take(std::int32_t offset, std::int32_t size);

  // The best place for `needed` bytes: the smallest run that holds them,
  // the lowest of equal size. headerSize decides both what a remainder must
  // hold and how large a block may grow.
  std::optional<Fit> BestFit(std::int32_t needed, std::int32_t headerSize) const;
  // The start of the free blocks that end the file, when there are any.
  std::optional<std::int32_t> FreeTail() const;

 private:
  std::map<std::int32_t, std::int32_t> fBlocks;  // offset to size
  std::int32_t fEnd = -1;
};

}  // namespace pixmold
