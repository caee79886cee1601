#include "resfile/iff_free_space.h"

#include <iterator>

#include "resfile/iff_format.h"

namespace pixmold {

void IFFFreeSpace::Forget() {
  fBlocks.clear();
  fEnd = -1;
}

void IFFFreeSpace::Reset(std::int32_t end) {
  fBlocks.clear();
  fEnd = end;
}

void IFFFreeSpace::SetEnd(std::int32_t end) {
  if (!Known()) return;
  fBlocks.erase(fBlocks.lower_bound(end), fBlocks.end());
  // A block cut by the new end is gone with the bytes it described.
  if (!fBlocks.empty()) {
    auto last = std::prev(fBlocks.end());
    if (static_cast<std::int64_t>(last->first) + last->second > end) fBlocks.erase(last);
  }
  fEnd = end;
}

void IFFFreeSpace::Add(std::int32_t offset, std::int32_t size) {
  if (!Known() || offset < kIFFFileHeaderSize || static_cast<std::int64_t>(offset) + size > fEnd) return;
  fBlocks[offset] = size;
}

void IFFFreeSpace::Take(std::int32_t offset, std::int32_t size) {
  const std::int64_t end = static_cast<std::int64_t>(offset) + size;
  auto it = fBlocks.lower_bound(offset);
  while (it != fBlocks.end() && it->first < end) it = fBlocks.erase(it);
}

std::optional<IFFFreeSpace::Fit> IFFFreeSpace::BestFit(std::int32_t needed, std::int32_t headerSize) const {
  std::optional<Fit> best;
  for (auto start = fBlocks.begin(); start != fBlocks.end(); ++start) {
    // A block whose type or size a cut write could tear is only ever taken
    // over by a block before it.
    if (!HeaderChangesWhole(start->first)) continue;
    std::int64_t total = 0;
    std::int64_t next = start->first;
    bool joins = false;
    for (auto it = start; it != fBlocks.end() && it->first == next; ++it) {
      joins = it != start;
      total += it->second;
      next += it->second;
      if (total - headerSize > kIFFMaxDataSize || (best && total >= best->total)) break;
      if (total == needed || total >= static_cast<std::int64_t>(needed) + headerSize) {
        best = Fit{start->first, static_cast<std::int32_t>(total), joins};
        break;
      }
    }
    if (best && best->total == needed) break;
  }
  return best;
}

std::optional<std::int32_t> IFFFreeSpace::FreeTail() const {
  std::optional<std::int32_t> tail;
  std::int64_t end = fEnd;
  for (auto it = fBlocks.rbegin(); it != fBlocks.rend(); ++it) {
    if (static_cast<std::int64_t>(it->first) + it->second != end) break;
    tail = it->first;
    end = it->first;
  }
  return tail;
}

}  // namespace pixmold
