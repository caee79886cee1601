#include "resfile/iff_blocks.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "base/byte_cursor.h"
#include "base/xassert.h"
#include "resfile/handle_owner.h"

namespace pixmold {
namespace {

// Blocks move through one buffer of this size during compaction.
constexpr std::int32_t kMoveBufferSize = 51200;
constexpr std::int32_t kFlagsOffset = 10;
// Type, size, id and flags: the part of a block header both versions share.
constexpr std::size_t kHeadSize = 12;
constexpr std::int32_t kTypeSize = 4;
constexpr std::int64_t kMaxFileSize = std::numeric_limits<std::int32_t>::max();

bool TypeCutByAWrite(std::int32_t offset, const IFFBlockHeader& header) {
  // Blocks flagged free whose type a page boundary splits, with the free
  // type's bytes on one side of it: a freeing cut after the flag (the free
  // type before the boundary), or a block whose whole header went out in
  // one write, as files written before blocks kept away from these places
  // have them, cut before its type was whole (the free type after it). No
  // block is written there any more, so a block being written that looks
  // like this is one of those two.
  const std::int32_t cut = BytesBeforeCut(offset, kTypeSize);
  if (cut == 0 || !header.IsPending()) return false;
  const int after = 8 * (kTypeSize - cut);
  const std::uint32_t lowBytes = (1u << after) - 1;
  return (header.type >> after) == (kFreeBlockType >> after) || (header.type & lowBytes) == (kFreeBlockType & lowBytes);
}

// Whether the bytes at `at` read as a header a writer made: a type of
// printable characters and, in the second version, a name without control
// bytes ended by a zero within its field. Resource data seldom holds one at
// the one place where its size would also end the file.
bool LooksLikeHeader(std::span<const std::uint8_t> bytes, std::size_t at, std::int32_t headerSize) {
  const auto printable = [](std::uint8_t c) { return c >= 0x20 && c != 0x7F; };
  const auto type = bytes.subspan(at, 4);
  if (!std::all_of(type.begin(), type.end(), [&](std::uint8_t c) { return printable(c) && c < 0x7F; })) return false;
  if (headerSize != kIFFBlockHeaderSize2) return true;
  const auto name = bytes.subspan(at + kHeadSize, static_cast<std::size_t>(headerSize) - kHeadSize);
  const auto end = std::find(name.begin(), name.end(), std::uint8_t{0});
  return end != name.end() && std::all_of(name.begin(), end, printable);
}

// Whether some header in [from, fileSize) announces a block that ends
// exactly where the file does: the last of the blocks after a damaged
// header does, and an append cut short has nothing after it.
bool BlockEndsTheFileAfter(IFFBlocks& blocks, std::int32_t from, std::int32_t fileSize) {
  constexpr std::int64_t kChunk = 1 << 16;
  const std::int32_t headerSize = blocks.HeaderSize();
  std::vector<std::uint8_t> chunk;
  for (std::int64_t start = from; start + headerSize <= fileSize; start += kChunk) {
    chunk.resize(static_cast<std::size_t>(std::min<std::int64_t>(kChunk + headerSize, fileSize - start)));
    // A tail that cannot be read is not known to be torn.
    if (blocks.ReadAt(static_cast<std::int32_t>(start), chunk) != res_error::kNone) return true;
    for (std::size_t at = 0; at < kChunk && at + static_cast<std::size_t>(headerSize) <= chunk.size(); ++at) {
      const std::int64_t size = LoadU32(chunk, at + 4, ByteOrder::kBig);
      const std::int64_t offset = start + static_cast<std::int64_t>(at);
      if (size >= headerSize && offset + size == fileSize && LooksLikeHeader(chunk, at, headerSize)) return true;
    }
  }
  return false;
}

}  // namespace

IFFBlocks::IFFBlocks(FlatFile& file, std::int32_t headerSize, bool nameInReports)
    : fFile(file), fHeaderSize(headerSize), fNameInReports(nameInReports) {}

void IFFBlocks::Report(std::string_view condition, std::string_view message) {
  std::string text(message);
  CTGString name;
  const bool named = fNameInReports && fFile.GetName(name) == res_error::kNone;
  // A write the system refused says why: a full disk is the user's to fix.
  const int failure = fFile.WriteFailure();
  if (named || failure != 0) {
    text += " (";
    text += name.View();
    if (named && failure != 0) text += ": ";
    if (failure != 0) text += std::strerror(failure);
    text += ")";
  }
  XASSERT_FAIL(condition, text);
}

void IFFBlocks::AddFree(std::int32_t size) {
  const std::int64_t total = static_cast<std::int64_t>(fFreeTotal) + size;
  fFreeTotal = static_cast<std::int32_t>(std::clamp<std::int64_t>(total, 0, kMaxFileSize));
}

ResErr IFFBlocks::FileSize(std::int32_t& size) { return fFile.GetSize(size); }

ResErr IFFBlocks::ReadAt(std::int32_t offset, std::span<std::uint8_t> bytes) {
  if (ResErr err = fFile.Seek(offset)) return err;
  return fFile.Read(bytes);
}

ResErr IFFBlocks::WriteAt(std::int32_t offset, std::span<const std::uint8_t> bytes) {
  if (ResErr err = fFile.Seek(offset)) return err;
  return fFile.Write(bytes);
}

ResErr IFFBlocks::ReadHeader(std::int32_t offset, IFFBlockHeader& header) {
  std::int32_t size = 0;
  if (ResErr err = FileSize(size)) return err;
  if (offset < kIFFFileHeaderSize || static_cast<std::int64_t>(offset) + fHeaderSize > size) {
    return res_error::kShortRead;
  }
  if (fHeaderSize == kIFFBlockHeaderSize1) {
    IFFBlockBytes1 bytes{};
    if (ResErr err = ReadAt(offset, bytes)) return err;
    header = DecodeBlockHeader1(bytes);
  } else {
    IFFBlockBytes2 bytes{};
    if (ResErr err = ReadAt(offset, bytes)) return err;
    header = DecodeBlockHeader2(bytes);
  }
  if (TypeCutByAWrite(offset, header)) header.type = kFreeBlockType;
  return res_error::kNone;
}

ResErr IFFBlocks::WriteHeader(std::int32_t offset, const IFFBlockHeader& header) {
  if (ResErr err = BeforeChange()) return err;
  if (fHeaderSize == kIFFBlockHeaderSize1) return WriteAt(offset, EncodeBlockHeader1(header));
  return WriteAt(offset, EncodeBlockHeader2(header));
}

ResErr IFFBlocks::FreeBlock(std::int32_t offset, ResType expected) {
  // Whatever must be settled before the file changes goes first, so that
  // the header read below is the one that will stay.
  if (ResErr err = BeforeChange()) return err;
  IFFBlockHeader header;
  if (ResErr err = ReadHeader(offset, header)) return err;
  std::int32_t fileSize = 0;
  if (ResErr err = FileSize(fileSize)) return err;
  // A block whose header is not one of ours is left alone: marking it free
  // would hand its garbage size to every later walk. A block still marked
  // as being written (flagged free, but typed) is freed like a live one.
  if (!BlockFits(offset, header.size, fHeaderSize, fileSize)) return res_error::kShortRead;
  if (header.type != expected || header.type == kFreeBlockType) return res_error::kNone;
  IFFBlockHeader freed = header;
  freed.type = kFreeBlockType;
  freed.flags = static_cast<std::uint16_t>(header.flags | kInvalid);
  if (BytesBeforeCut(offset, kHeadSize) == 0) {
    // Flag and type within one page land together or not at all.
    if (ResErr err = WriteHead(offset, freed)) return err;
    AddFree(header.size);
    fFree.Add(offset, header.size);
    return res_error::kNone;
  }
  // The free flag first: once it is on disk the block is at most a copy a
  // walk keeps only when no live block has its type and id, whatever
  // happens to the type that follows.
  std::array<std::uint8_t, 2> flags{};
  StoreU16(flags, 0, static_cast<std::uint16_t>(header.flags | kInvalid), ByteOrder::kBig);
  if (ResErr err = WriteAt(offset + kFlagsOffset, flags)) return err;
  // The type in page order, so that a cut inside it always leaves the shape
  // ReadHeader takes for free space.
  std::array<std::uint8_t, kTypeSize> type{};
  StoreU32(type, 0, kFreeBlockType, ByteOrder::kBig);
  const auto cut = static_cast<std::size_t>(BytesBeforeCut(offset, kTypeSize));
  if (cut > 0) {
    if (ResErr err = WriteAt(offset, std::span(type).first(cut))) return err;
  }
  if (ResErr err = WriteAt(offset + static_cast<std::int32_t>(cut), std::span(type).subspan(cut))) return err;
  AddFree(header.size);
  fFree.Add(offset, header.size);
  return res_error::kNone;
}

ResErr IFFBlocks::BeforeChange() { return fBeforeHeaderWrite ? fBeforeHeaderWrite() : res_error::kNone; }

ResErr IFFBlocks::AppendFree(std::int32_t offset, std::int32_t size) {
  IFFBlockHeader header;
  header.type = kFreeBlockType;
  header.size = size;
  header.flags = kInvalid;
  return WriteHeader(offset, header);
}

ResErr IFFBlocks::AppendFreeTail(std::int32_t offset, std::int32_t size) {
  // A free block whose header could be cut in place is never split or grown
  // (NewBlock), so a remainder that would start there gets a header-sized
  // block of its own first when it has room, and the rest stays usable.
  if (!HeaderChangesWhole(offset) && size >= 2 * fHeaderSize) {
    if (ResErr err = AppendFree(offset + fHeaderSize, size - fHeaderSize)) return err;
    if (ResErr err = AppendFree(offset, fHeaderSize)) return err;
    fFree.Add(offset, fHeaderSize);
    fFree.Add(offset + fHeaderSize, size - fHeaderSize);
    return res_error::kNone;
  }
  if (ResErr err = AppendFree(offset, size)) return err;
  fFree.Add(offset, size);
  return res_error::kNone;
}

ResErr IFFBlocks::NewBlock(std::int32_t dataSize, std::int32_t& offset) {
  if (dataSize < 0 || dataSize > kIFFMaxDataSize) return res_error::kShortWrite;
  // Asked before anything changes: the answer may walk the blocks, which
  // also tells where the free space is.
  const bool mayReuse = !fMayReuse || fMayReuse();
  // A block the walk kept only because it was being written when a process
  // died still looks free on disk until it is settled.
  if (ResErr err = BeforeChange()) return err;
  const ResErr err = PlaceBlock(dataSize + fHeaderSize, mayReuse, offset);
  if (err != res_error::kNone) {
    // Which of its writes landed is not known: the next placement walks.
    fFree.Forget();
    fEndsClean = false;
  }
  return err;
}

ResErr IFFBlocks::PlaceBlock(std::int32_t needed, bool mayReuse, std::int32_t& offset) {
  std::int32_t fileSize = 0;
  if (ResErr err = FileSize(fileSize)) return err;
  // The list follows every change made here; a file of another size was
  // changed by a write that failed half way (an append cut short, say).
  if (fFree.Known() && fEndsClean && fFree.End() != fileSize) {
    fFree.Forget();
    fEndsClean = false;
  }
  // With no free space anywhere, in a file known to end with a whole block,
  // a walk could only end at the end of the file: a file that only grows
  // never walks. Free space that may not be reused is still walked past
  // when the file may end in a torn append: a block put behind one would
  // turn its size into a way into the new block's bytes for every later
  // walk.
  if (!fFree.Known() && (!fEndsClean || (mayReuse && fFreeTotal > 0))) {
    if (Walk([](std::int32_t, const IFFBlockHeader&) {}) == WalkEnd::kReadError) return res_error::kShortRead;
  }
  std::int32_t position = fileSize;
  // Damage the index knows blocks behind: the list ends before it, and the
  // block goes after everything.
  bool pastDamage = false;
  if (!fEndsClean) {
    if (fFree.End() < fileSize) {
      // The headers end before the file does: a cut-off append, which is
      // cut away without a word, or damage (a file whose walk met damage
      // takes no writes; one opened by its map may still meet it here).
      // Bytes that no known block uses are cut away and the block goes
      // there; otherwise it goes after everything.
      const std::int32_t stop = fFree.End();
      IFFBlockHeader header;
      const bool whole = static_cast<std::int64_t>(stop) + fHeaderSize <= fileSize;
      if (whole) {
        if (ResErr err = ReadHeader(stop, header)) return err;
      }
      if (!IsTornAppend(stop, whole ? &header : nullptr, fHeaderSize, fileSize)) {
        Report("filesize==*fileoffset", "iff headers ended before eof");
      }
      if (fKnowsBlockFrom && fKnowsBlockFrom(stop)) {
        pastDamage = true;
      } else {
        if (ResErr err = fFile.SetSize(stop)) return err;
        fileSize = stop;
        position = stop;
      }
    }
    fEndsClean = true;
  }
  if (mayReuse && fFree.Known()) {
    if (const std::optional<IFFFreeSpace::Fit> fit = fFree.BestFit(needed, fHeaderSize)) {
      if (ResErr err = TakeFree(*fit, needed)) return err;
      offset = fit->offset;
      return res_error::kNone;
    }
    // Nothing holds it: free blocks that end the file are cut away and the
    // block goes where they began. Growing the last of them instead would
    // leave the old headers inside it, which a cut-off append could make
    // look like whole blocks ending the file.
    const std::optional<std::int32_t> tail = pastDamage ? std::nullopt : fFree.FreeTail();
    if (tail) {
      if (ResErr err = fFile.SetSize(*tail)) return err;
      fFreeTotal -= std::min(fFreeTotal, fileSize - *tail);
      fFree.SetEnd(*tail);
      position = *tail;
    }
  }
  const std::int32_t start = position;
  if (ResErr err = AppendAt(position, needed)) return err;
  if (pastDamage) {
    fFree.Forget();
  } else {
    fFree.SetEnd(position + needed);
    // A header-sized free block moved the block past a page boundary.
    if (position != start) fFree.Add(start, position - start);
  }
  offset = position;
  return res_error::kNone;
}

ResErr IFFBlocks::TakeFree(const IFFFreeSpace::Fit& fit, std::int32_t needed) {
  if (fit.joinsBlocks) {
    // One free block over the run first: the headers of the blocks it takes
    // over are out of every walk's way before any of them is written over.
    if (ResErr err = AppendFree(fit.offset, fit.total)) return err;
  }
  fFree.Take(fit.offset, fit.total);
  if (fit.total > needed) {
    // The rest gets its header before this block shrinks onto it.
    const std::int32_t rest = fit.offset + needed;
    if (ResErr err = AppendFreeTail(rest, fit.total - needed)) return err;
    if (ResErr err = AppendFree(fit.offset, needed)) return err;
  }
  fFreeTotal -= std::min(fFreeTotal, needed);
  return res_error::kNone;
}

ResErr IFFBlocks::AppendAt(std::int32_t& position, std::int32_t size) {
  const std::int32_t padding = HeaderChangesWhole(position) ? 0 : fHeaderSize;
  if (static_cast<std::int64_t>(position) + padding + size > kMaxFileSize) return res_error::kShortWrite;
  if (padding > 0) {
    // A block is never written where its type could be cut: a header-sized
    // free block moves it past the page boundary.
    if (ResErr err = AppendFree(position, padding)) return err;
    AddFree(padding);
    position += padding;
  }
  return AppendFree(position, size);
}

ResErr IFFBlocks::WritePendingHeader(std::int32_t offset, const IFFBlockHeader& header) {
  if (!HeaderChangesWhole(offset)) {
    Report("HeaderChangesWhole(offset)", "block header across a page boundary");
    return res_error::kShortWrite;
  }
  if (ResErr err = BeforeChange()) return err;
  IFFBlockHeader stillFree = header;
  stillFree.flags |= kInvalid;
  // Everything after the type first: until the type lands the block is
  // plain free space, so a write cut inside the name or id never shows as
  // a resource with half its header. The type lies within one page and
  // lands whole.
  auto write = [&](std::span<const std::uint8_t> bytes) -> ResErr {
    // A header within one page lands whole or not at all.
    if (BytesBeforeCut(offset, fHeaderSize) == 0) return WriteAt(offset, bytes);
    if (ResErr err = WriteAt(offset + kTypeSize, bytes.subspan(kTypeSize))) return err;
    return WriteAt(offset, bytes.first(kTypeSize));
  };
  if (fHeaderSize == kIFFBlockHeaderSize1) return write(EncodeBlockHeader1(stillFree));
  return write(EncodeBlockHeader2(stillFree));
}

ResErr IFFBlocks::ClearPending(std::int32_t offset, const IFFBlockHeader& header) {
  if (header.IsFree()) return res_error::kNone;
  return WriteHead(offset, header);
}

ResErr IFFBlocks::WriteHead(std::int32_t offset, const IFFBlockHeader& header) {
  if (fHeaderSize == kIFFBlockHeaderSize1) {
    const IFFBlockBytes1 bytes = EncodeBlockHeader1(header);
    return WriteAt(offset, std::span(bytes).first<kHeadSize>());
  }
  const IFFBlockBytes2 bytes = EncodeBlockHeader2(header);
  return WriteAt(offset, std::span(bytes).first<kHeadSize>());
}

ResErr IFFBlocks::CommitPending(std::int32_t offset, ResType expected) {
  IFFBlockHeader header;
  if (ResErr err = ReadHeader(offset, header)) return err;
  if (!header.IsPending() || header.type != expected) return res_error::kNone;
  header.flags = static_cast<std::uint16_t>(header.flags & ~kInvalid);
  return ClearPending(offset, header);
}

IFFBlocks::WalkEnd IFFBlocks::Walk(const std::function<void(std::int32_t offset, const IFFBlockHeader& header)>& visit,
                                   WalkStop* stop) {
  std::int32_t fileSize = 0;
  std::int32_t position = kIFFFileHeaderSize;
  WalkEnd end = WalkEnd::kReadError;
  std::string why;
  // Every walk learns the free space anew, up to where it stops.
  fFree.Reset(std::numeric_limits<std::int32_t>::max());
  if (FileSize(fileSize) == res_error::kNone) {
    end = WalkEnd::kEndOfFile;
    while (position < fileSize) {
      IFFBlockHeader header;
      if (IsTornAppend(position, nullptr, fHeaderSize, fileSize)) {
        end = WalkEnd::kTornTail;
        break;
      }
      if (ReadHeader(position, header) != res_error::kNone) {
        end = WalkEnd::kReadError;
        break;
      }
      if (!BlockFits(position, header.size, fHeaderSize, fileSize)) {
        // A free header running past the end is what an append cut short
        // leaves, unless whole blocks follow it: then its size was damaged
        // in place, and cutting there would lose every one of them.
        const bool torn = IsTornAppend(position, &header, fHeaderSize, fileSize) &&
                          !BlockEndsTheFileAfter(*this, position + fHeaderSize, fileSize);
        end = torn ? WalkEnd::kTornTail : WalkEnd::kBadHeader;
        if (end == WalkEnd::kBadHeader) why = DescribeBadBlock(position, header, fHeaderSize, fileSize);
        break;
      }
      if (header.IsFree() && !header.IsPending()) fFree.Add(position, header.size);
      visit(position, header);
      position += header.size;
    }
  }
  if (end == WalkEnd::kReadError) {
    fFree.Forget();
  } else {
    fFree.SetEnd(position);
  }
  if (stop) *stop = WalkStop{position, std::move(why)};
  return end;
}

ResErr IFFBlocks::CopyData(std::int32_t from, std::int32_t to, std::int32_t count, std::span<std::uint8_t> buffer) {
  for (std::int32_t done = 0; done < count;) {
    const auto piece = static_cast<std::int32_t>(std::min<std::int64_t>(count - done, buffer.size()));
    auto bytes = buffer.first(static_cast<std::size_t>(piece));
    if (ResErr err = ReadAt(from + done, bytes)) {
      Report("false", "critical error during defragging");
      return err;
    }
    if (ResErr err = WriteAt(to + done, bytes)) {
      Report("false", "critical error during defrag");
      return err;
    }
    done += piece;
  }
  return res_error::kNone;
}

ResErr IFFBlocks::MoveBlock(std::int32_t from, std::int32_t to, const IFFBlockHeader& header,
                            std::span<std::uint8_t> buffer) {
  if (ResErr err = CopyData(from + fHeaderSize, to + fHeaderSize, header.size - fHeaderSize, buffer)) return err;
  // The copy is whole but still marked while the original is freed: a walk
  // never finds two live copies, and finds the marked one when the original
  // is gone.
  ResErr err = WritePendingHeader(to, header);
  if (err == res_error::kNone) err = FreeBlock(from, header.type);
  if (err == res_error::kNone) err = ClearPending(to, header);
  if (err != res_error::kNone) Report("false", "critical error during defrag");
  return err;
}

ResErr IFFBlocks::Defragment(const std::function<bool(const IFFBlockHeader&)>& dropped,
                             const std::function<bool(std::int32_t offset, const IFFBlockHeader&)>& known,
                             std::size_t knownCount,
                             const std::function<void(std::int32_t from, std::int32_t to)>& moved, Compaction mode) {
  // Blocks are parked at the end of the file, so its end must be the end of
  // the last block: bytes a crash left there are cut first (a block placed
  // behind them would be lost to every later walk). And every block moved
  // must be one the index knows, or moving one could overwrite another.
  if (ResErr err = BeforeChange()) return err;
  WalkStop stop;
  std::size_t live = 0;
  bool agrees = true;
  // Free space between live blocks, and after the last one.
  std::int64_t holes = 0;
  std::int64_t tail = 0;
  std::int32_t largest = 0;
  std::int64_t liveBytes = 0;
  std::int32_t liveEnd = kIFFFileHeaderSize;
  std::vector<std::pair<std::int32_t, ResType>> droppedLive;
  const WalkEnd end = Walk(
      [&](std::int32_t offset, const IFFBlockHeader& header) {
        if (header.IsFree() || dropped(header)) {
          if (!header.IsFree()) droppedLive.emplace_back(offset, header.type);
          tail += header.size;
          return;
        }
        holes += tail;
        tail = 0;
        largest = std::max(largest, header.size);
        liveBytes += header.size;
        liveEnd = offset + header.size;
        ++live;
        agrees = agrees && known(offset, header);
      },
      &stop);
  if (end == WalkEnd::kReadError) {
    Report("false", "critical error during defragging");
    return res_error::kShortRead;
  }
  const bool stoppedShort = end == WalkEnd::kBadHeader || end == WalkEnd::kTornTail;
  if (stoppedShort && !(fKnowsBlockFrom && fKnowsBlockFrom(stop.offset))) {
    if (end == WalkEnd::kBadHeader) Report("filesize==*fileoffset", "iff headers ended before eof");
    if (ResErr err = fFile.SetSize(stop.offset)) return err;
  } else if (stoppedShort) {
    agrees = false;
  }
  if (!agrees || live != knownCount) {
    Report("offset>=kUniqueHeaderSize && distance<=offset-kUniqueHeaderSize", "corrupt file");
    return res_error::kNone;
  }
  if (mode == Compaction::kWhenHolesAreLarge &&
      (holes <= 3 * static_cast<std::int64_t>(largest) || holes <= liveBytes / 2)) {
    // Replacing resources leaves holes of a block or two (the space the
    // first replacement could not take, passed on from one resource to the
    // next), and the next replacements fill them: closing them up would
    // move every block after the first. Lists of many sizes leave a few
    // more, which the next rebuild's replacements fill in turn: holes that
    // stay under half the live data cost less than copying every block on
    // every close. Only the free tail goes, and maps left behind are freed,
    // as a compaction frees them.
    for (const auto& [offset, type] : droppedLive) {
      if (ResErr err = FreeBlock(offset, type)) return err;
    }
    std::int32_t fileSize = 0;
    if (ResErr err = FileSize(fileSize)) return err;
    if (liveEnd < fileSize) {
      if (ResErr err = fFile.SetSize(liveEnd)) {
        fFree.Forget();
        Report("false", "could not shorten file");
        return err;
      }
      fFree.SetEnd(liveEnd);
    }
    fFreeTotal = static_cast<std::int32_t>(holes);
    fEndsClean = true;
    return res_error::kNone;
  }
  // Blocks change places below; the next placement walks them again.
  fFree.Forget();
  OwnedHandle bufferHandle = OwnedHandle::New(kMoveBufferSize);
  if (!bufferHandle) return res_error::kOutOfMemory;
  HandleLock lock(bufferHandle.Get());
  const std::span<std::uint8_t> buffer = lock.Bytes();

  std::int32_t fileSize = 0;
  if (ResErr err = FileSize(fileSize)) return err;
  // Everything before `packed` is live blocks closed up, except free blocks
  // whose header may not change in place (left, counted in `stuck`);
  // [packed, position) is free space, tiled by free headers at every moment.
  std::int32_t packed = kIFFFileHeaderSize;
  std::int32_t position = kIFFFileHeaderSize;
  std::int32_t stuck = 0;
  while (position < fileSize) {
    IFFBlockHeader header;
    if (ResErr err = ReadHeader(position, header)) {
      Report("false", "critical error during defragging");
      return err;
    }
    if (!BlockFits(position, header.size, fHeaderSize, fileSize)) {
      Report("offset>=kUniqueHeaderSize && distance<=offset-kUniqueHeaderSize", "corrupt file");
      return res_error::kShortRead;
    }
    const std::int32_t size = header.size;
    const std::int32_t gap = position - packed;
    if (header.IsFree() || dropped(header)) {
      // A dropped block is freed the safe way before free headers go over
      // it: a header written over a live one and cut would leave it live.
      if (!header.IsFree()) {
        if (ResErr err = FreeBlock(position, header.type)) return err;
      }
      position += size;
      continue;
    }
    if (gap == 0) {
      packed += size;
      position += size;
      continue;
    }
    if (!HeaderChangesWhole(packed)) {
      // The free block there keeps its header, which a cut could tear; the
      // blocks close up from the next one on.
      IFFBlockHeader left;
      if (ResErr err = ReadHeader(packed, left)) return err;
      if (!left.IsFree() || !BlockFits(packed, left.size, fHeaderSize, position)) {
        Report("offset>=kUniqueHeaderSize && distance<=offset-kUniqueHeaderSize", "corrupt file");
        return res_error::kShortRead;
      }
      stuck += left.size;
      packed += left.size;
      continue;
    }
    std::int32_t from = position;
    std::int32_t free = gap;
    if (gap != size && gap < size + fHeaderSize) {
      // The gap is too small to take the block without overwriting it: the
      // block is parked at the end of the file, which frees its old place,
      // and comes back from there into the widened gap, so every block keeps
      // its place in the order.
      std::int32_t parked = fileSize;
      if (ResErr err = AppendAt(parked, size)) return err;
      if (ResErr err = MoveBlock(position, parked, header, buffer)) return err;
      from = parked;
      free = gap + size;
    }
    // One free block over the whole gap; then the rest of the gap gets its
    // own header, and only then does the first shrink to the block's size,
    // so the walk stays whole, and the copy goes into a block of its size.
    if (ResErr err = AppendFree(packed, free)) return err;
    if (free > size) {
      if (ResErr err = AppendFreeTail(packed + size, free - size)) return err;
      if (ResErr err = AppendFree(packed, size)) return err;
    }
    if (ResErr err = MoveBlock(from, packed, header, buffer)) return err;
    if (from != position) {
      // The parked copy, freed by the move, is cut away again.
      if (ResErr err = fFile.SetSize(fileSize)) return err;
    }
    moved(position, packed);
    packed += size;
    position += size;
  }
  if (ResErr err = fFile.SetSize(packed)) {
    Report("false", "could not shorten file");
    return err;
  }
  fFreeTotal = stuck;
  fEndsClean = true;
  return res_error::kNone;
}

}  // namespace pixmold
