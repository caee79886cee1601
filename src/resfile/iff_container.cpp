#include "resfile/iff_container.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/terminate.h"
#include "resfile/handle_owner.h"

namespace pixmold {
namespace {

constexpr ResErr kBadBlock = -1;  // a block that is not what the index says
constexpr std::int32_t kWritebackFrom = 1 << 20;

}  // namespace

IFFContainer::IFFContainer(CTGFileManager& manager, Version version)
    : FlatFile(manager),
      fManager(manager),
      fVersion(version),
      fBlocks(*this, version == Version::kFirst ? kIFFBlockHeaderSize1 : kIFFBlockHeaderSize2,
              version == Version::kSecond) {}

IFFContainer::~IFFContainer() = default;

bool IFFContainer::BeginOperation() {
  const bool open = ValidFile();
  SetError(open ? res_error::kNone : res_error::kNotOpen);
  return open;
}

ResErr IFFContainer::Fail(ResErr err) {
  SetError(err);
  return err;
}

void IFFContainer::CollectProblems(std::vector<FileProblem>& problems) {
  if (fProblem) problems.push_back(*fProblem);
}

void IFFContainer::ForgetProblems() {
  fProblem.reset();
  fWalkMetDamage = false;
}

void IFFContainer::NoteDamage(std::int32_t offset, std::string what) {
  if (fProblem) return;
  CTGString name;
  GetName(name);
  fProblem = FileProblem{FileProblem::Kind::kDamaged, name.Str(), offset, std::move(what)};
}

void IFFContainer::NoteOpenFailure(const CTGString& name, ResErr err) {
  FileProblem problem{FileProblem::Kind::kUnreadable, name.Str(), -1, {}};
  std::int32_t size = 0;
  switch (err) {
    case res_error::kInUse:
      problem.kind = FileProblem::Kind::kInUse;
      problem.what = "in use by another process";
      break;
    case res_error::kNotIFF: problem.what = "not a resource file: it does not start with an IFF file header"; break;
    case res_error::kShortRead:
      if (ValidFile() && GetSize(size) == res_error::kNone && size < kIFFFileHeaderSize) {
        problem.what = "not a resource file: " + std::to_string(size) + " bytes, less than the " +
                       std::to_string(kIFFFileHeaderSize) + "-byte file header";
      } else {
        problem.what = "cannot be read";
      }
      break;
    case res_error::kOpenFailed:
      problem.what = OpenFailure() != 0 ? std::strerror(OpenFailure()) : "cannot be opened";
      break;
    default: problem.what = std::string(ResErrText(err)) + " (" + std::to_string(err) + ")";
  }
  fProblem = std::move(problem);
}

void IFFContainer::NoteWalkEnd(IFFBlocks::WalkEnd end, const IFFBlocks::WalkStop& stop) {
  if (end != IFFBlocks::WalkEnd::kBadHeader) return;
  NoteDamage(stop.offset, stop.why + "; the blocks after it cannot be found");
  fWalkMetDamage = true;
}

bool IFFContainer::RefusesChange() {
  if (!fWalkMetDamage) return false;
  SetError(res_error::kDamaged);
  return true;
}

ResErr IFFContainer::DeleteFile(const CTGString& name) { return Fail(FlatFile::Delete(name)); }

bool IFFContainer::IsWritable() { return BeginOperation() && FlatFile::IsWritable(); }

ResErr IFFContainer::GetFileName(CTGString& name) {
  if (!BeginOperation()) return res_error::kNotOpen;
  return Fail(GetName(name));
}

bool IFFContainer::IsOpen() { return ValidFile(); }

std::int32_t IFFContainer::CountTypes() {
  if (!BeginOperation()) return 0;
  return fIndex->CountTypes();
}

ResType IFFContainer::GetIndType(std::int32_t index) {
  if (!BeginOperation()) return 0;
  if (index < 1 || index > fIndex->CountTypes()) {
    SetError(res_error::kTypeIndexRange);
    return 0;
  }
  return fIndex->TypeAt(index);
}

std::int32_t IFFContainer::CountResources(ResType type) {
  if (!BeginOperation()) return 0;
  return fIndex->Count(type);
}

MHandle IFFContainer::GetResource(ResType type, ResID id, ResSwizzler swizzler) {
  if (!BeginOperation()) return nullptr;
  IFFEntry* entry = fIndex->Find(type, id, 0);
  if (!entry) {
    SetError(res_error::kNotFound);
    return nullptr;
  }
  return LoadEntry(*entry, swizzler);
}

MHandle IFFContainer::GetIndResource(ResType type, std::int32_t index, ResSwizzler swizzler) {
  if (!BeginOperation()) return nullptr;
  IFFEntry* entry = fIndex->At(type, index);
  if (!entry) {
    SetError(res_error::kNotFound);
    return nullptr;
  }
  return LoadEntry(*entry, swizzler);
}

bool IFFContainer::HoldsResource(ResType type, ResID id, std::uint8_t variant) {
  if (!BeginOperation()) return false;
  if (variant != 0 && fVersion == Version::kFirst) return false;
  return fIndex->Find(type, id, variant) != nullptr;
}

ResType IFFContainer::GetResType(MHandle h) {
  if (!BeginOperation()) return 0;
  const IFFEntry* entry = fIndex->FindHandle(h);
  if (!entry) {
    SetError(res_error::kNotFound);
    return 0;
  }
  return entry->type;
}

ResID IFFContainer::GetResID(MHandle h, ResID& id) {
  if (!BeginOperation()) return id;
  const IFFEntry* entry = fIndex->FindHandle(h);
  if (!entry) {
    SetError(res_error::kNotFound);
    return id;
  }
  id = entry->id;
  return id;
}

ResID IFFContainer::UniqueID(ResType type) {
  if (!BeginOperation()) return 0;
  std::vector<ResID> ids;
  if (const auto* entries = fIndex->Entries(type)) {
    ids.reserve(entries->size());
    for (const auto& entry : *entries) ids.push_back(entry->id);
  }
  return UniqueIDAmong(ids);
}

bool IFFContainer::IsResourceNative(MHandle h) {
  if (!BeginOperation()) return true;
  const IFFEntry* entry = fIndex->FindHandle(h);
  if (!entry) {
    SetError(res_error::kNotThisFile);
    return true;
  }
  return (entry->flags & kNativeFlag) != 0;
}

ResErr IFFContainer::ReadBlock(std::int32_t offset, ResType type, std::int32_t limit, OwnedHandle& bytes) {
  IFFBlockHeader header;
  if (ResErr err = fBlocks.ReadHeader(offset, header)) return err;
  const bool second = fVersion == Version::kSecond;
  // A block flagged free but still typed is one a walk kept as the resource
  // and has not settled yet (iff_blocks.h).
  if (second && (header.type != type || header.type == kFreeBlockType)) {
    NoteDamage(offset, "the block of a " + ResTypeName(type) + " resource holds a " +
                           (header.IsFree() ? std::string("free block") : ResTypeName(header.type) + " block") +
                           " instead");
    fBlocks.Report("header.fType == type", "got different type in header");
    return kBadBlock;
  }
  std::int32_t fileSize = 0;
  if (ResErr err = GetSize(fileSize)) return err;
  const std::int32_t headerSize = fBlocks.HeaderSize();
  // The first version trusts the block it walked to; its size is still
  // checked, quietly, since the handle is sized from it.
  if (!BlockFits(offset, header.size, headerSize, fileSize) || header.size > limit) {
    NoteDamage(offset, header.size > limit && BlockFits(offset, header.size, headerSize, fileSize)
                           ? "the block's size (" + std::to_string(header.size) + ") runs into the block after it"
                           : DescribeBadBlock(offset, header, headerSize, fileSize));
    if (!second) return res_error::kShortRead;
    fBlocks.Report("size>=0 && size<=0x40000000", "bad size");
    return kBadBlock;
  }
  const std::int32_t dataSize = header.size - headerSize;
  bytes = OwnedHandle::New(static_cast<std::uint32_t>(dataSize));
  if (!bytes) return MemError() ? MemError() : res_error::kOutOfMemory;
  HandleLock lock(bytes.Get());
  if (ResErr err = fBlocks.ReadAt(offset + headerSize, lock.Bytes())) {
    lock.Unlock();
    bytes.Reset();
    fBlocks.Report("false", "could not read resource");
    return err;
  }
  return res_error::kNone;
}

MHandle IFFContainer::LoadEntry(IFFEntry& entry, ResSwizzler swizzler) {
  if (entry.handle) return entry.handle;
  if (entry.offset == -1) {
    fBlocks.Report("rc->fileoffset!=-1", "resource not in ram or on disk");
    SetError(res_error::kNotFound);
    return nullptr;
  }
  OwnedHandle bytes;
  if (ResErr err = ReadBlock(entry.offset, entry.type, entry.blockLimit, bytes)) {
    SetError(err);
    return nullptr;
  }
  if (!(entry.diskFlags & kNativeFlag) && swizzler) {
    HandleLock lock(bytes.Get());
    swizzler(lock.Data(), static_cast<std::int32_t>(lock.Size()));
    entry.flags |= kNativeFlag;
  }
  fIndex->SetHandle(entry, bytes.Release());
  return entry.handle;
}

ResErr IFFContainer::DetachFromOtherEntry(MHandle h, const IFFEntry* keeper) {
  IFFEntry* other = fIndex->FindHandle(h);
  if (!other || other == keeper) return res_error::kNone;
  if (other->offset == -1) {
    if (ResErr err = WriteEntry(*other, h)) return err;
  }
  other->flags = other->diskFlags;
  fIndex->SetHandle(*other, nullptr);
  return res_error::kNone;
}

ResErr IFFContainer::PrepareReplacement(IFFEntry& entry, MHandle keep) {
  // A replacement a failed write left half done is finished first: the
  // entry keeps track of one old block only.
  if (entry.offset != -1) {
    if (ResErr err = FinishReplacement(entry)) return err;
  }
  if (entry.handle) {
    MHandle old = entry.handle;
    fIndex->SetHandle(entry, nullptr);
    if (old != keep) DisposeHandle(old);
  }
  if (entry.offset != -1) {
    entry.replacedOffset = entry.offset;
    entry.offset = -1;
  }
  return res_error::kNone;
}

ResErr IFFContainer::FreeReplacedBlock(IFFEntry& entry) {
  if (entry.replacedOffset == -1) return res_error::kNone;
  if (ResErr err = fBlocks.FreeBlock(entry.replacedOffset, entry.type)) {
    fBlocks.Report("false", "could not inval header");
    return err;
  }
  entry.replacedOffset = -1;
  return res_error::kNone;
}

ResErr IFFContainer::FinishReplacement(IFFEntry& entry) {
  if (ResErr err = FreeReplacedBlock(entry)) return err;
  if (!entry.pending) return res_error::kNone;
  if (ResErr err = fBlocks.CommitPending(entry.offset, entry.type)) {
    fBlocks.Report("false", "could not write header");
    return err;
  }
  entry.pending = false;
  return res_error::kNone;
}

ResErr IFFContainer::WriteEntry(IFFEntry& entry, MHandle h) {
  // A replacement a failed write left half done is finished first, so that
  // an entry never has more than one old block to free.
  if (entry.offset != -1) {
    if (ResErr err = FinishReplacement(entry)) return err;
  }
  const std::int32_t dataSize = GetHandleSize(h);
  const std::int32_t headerSize = fBlocks.HeaderSize();
  std::int32_t target = -1;
  std::int32_t oldBlock = -1;
  if (entry.offset != -1) {
    IFFBlockHeader header;
    if (ResErr err = fBlocks.ReadHeader(entry.offset, header)) {
      fBlocks.Report("false", "couldn't get header");
      return err;
    }
    if (static_cast<std::int64_t>(dataSize) + headerSize == header.size && header.type == entry.type &&
        !header.IsFree()) {
      target = entry.offset;
    } else {
      oldBlock = entry.offset;
    }
  }
  if (entry.offset == -1 && entry.replacedOffset != -1 && !(entry.flags & kInvalid) && KeepsUnchangedBlocks()) {
    const IFFBlockHeader header = MakeBlockHeader(entry, dataSize);
    HandleLock lock(h);
    const std::span<const std::uint8_t> bytes = lock.Bytes();
    if (BlockHolds(entry.replacedOffset, header, {&bytes, 1})) {
      entry.offset = std::exchange(entry.replacedOffset, -1);
      entry.pending = false;
      entry.diskFlags = entry.flags;
      entry.blockLimit = header.size;
      fKeptUnchanged = true;
      return res_error::kNone;
    }
  }
  if (target == -1) {
    if (ResErr err = fBlocks.NewBlock(dataSize, target)) {
      fBlocks.Report("false", "could not make new header");
      return err;
    }
  }
  if (entry.flags & kInvalid) {
    fBlocks.Report(fVersion == Version::kSecond ? "!(rc->fFlags&kInvalid)" : "!(rc->flags&kInvalid)",
                   "writing invalid resource");
    return kBadBlock;
  }
  {
    HandleLock lock(h);
    if (dataSize > 0) {
      if (ResErr err = Seek(target + headerSize)) {
        fBlocks.Report("false", "could not set pos");
        return err;
      }
      if (ResErr err = Write(lock.Bytes())) {
        fBlocks.Report("false", "could not write resource");
        return err;
      }
      // A large resource goes to the disk while the build goes on, rather
      // than all at once in the sync that closes the file.
      if (dataSize >= kWritebackFrom) StartWriteback(target + headerSize, dataSize);
    }
  }
  const IFFBlockHeader header = MakeBlockHeader(entry, dataSize);
  const bool inPlace = target == entry.offset;
  const ResErr written = inPlace ? fBlocks.WriteHeader(target, header) : fBlocks.WritePendingHeader(target, header);
  if (written != res_error::kNone) {
    fBlocks.Report("false", "could not write header");
    return written;
  }
  // The new block holds the resource now; the old one goes while the new
  // one is still marked, and only then is the new one made live.
  entry.offset = target;
  entry.pending = !inPlace;
  entry.diskFlags = entry.flags;
  entry.blockLimit = dataSize + headerSize;
  if (oldBlock != -1) entry.replacedOffset = oldBlock;
  if (ResErr err = FreeReplacedBlock(entry)) return err;
  if (!entry.pending) return res_error::kNone;
  // The header just written is the one to make live: no need to read it back.
  if (ResErr err = fBlocks.ClearPending(target, header)) {
    fBlocks.Report("false", "could not write header");
    return err;
  }
  entry.pending = false;
  return res_error::kNone;
}

bool IFFContainer::BlockHolds(std::int32_t offset, const IFFBlockHeader& header,
                              std::span<const std::span<const std::uint8_t>> pieces) {
  IFFBlockHeader stored;
  if (fBlocks.ReadHeader(offset, stored) != res_error::kNone) return false;
  if (stored.IsFree() || stored.type != header.type || stored.size != header.size || stored.id != header.id ||
      stored.flags != header.flags || stored.name != header.name || stored.nameIndex != header.nameIndex) {
    return false;
  }
  // Compared in reads that start small and grow: a changed resource
  // usually differs early, and reading much of it back would cost what
  // keeping its block saves.
  constexpr std::size_t kFirstRead = std::size_t{1} << 12;
  constexpr std::size_t kLargestRead = std::size_t{1} << 18;
  // The sizes agree: the header's is the pieces' own.
  const std::int64_t total = header.size - fBlocks.HeaderSize();
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::int64_t>(kLargestRead, total)));
  std::int64_t at = std::int64_t{offset} + fBlocks.HeaderSize();
  std::size_t readSize = kFirstRead;
  for (std::span<const std::uint8_t> piece : pieces) {
    while (!piece.empty()) {
      const std::span<std::uint8_t> read(buffer.data(), std::min(readSize, piece.size()));
      if (ReadAt(at, read) != res_error::kNone) return false;
      if (!std::equal(read.begin(), read.end(), piece.begin())) return false;
      piece = piece.subspan(read.size());
      at += static_cast<std::int64_t>(read.size());
      readSize = std::min(readSize * 2, kLargestRead);
    }
  }
  return true;
}

bool IFFContainer::KeepIfUnchanged(ResType type, ResID id, const CTGString& name, bool native,
                                   std::span<const std::span<const std::uint8_t>> pieces) {
  if (!BeginOperation() || RefusesChange() || !FlatFile::IsWritable() || !KeepsUnchangedBlocks()) return false;
  // Only a resource that is on disk and nowhere else: one cached in
  // memory may differ from its block, and one being replaced has two.
  const IFFEntry* stored = fIndex->Find(type, id, 0);
  if (!stored || stored->handle || stored->offset == -1 || stored->pending || stored->replacedOffset != -1 ||
      name.Length() > kIFFMaxNameLength) {
    return false;
  }
  std::int64_t total = 0;
  for (std::span<const std::uint8_t> piece : pieces) total += static_cast<std::int64_t>(piece.size());
  if (total > kMaxHandleSize) return false;
  IFFEntry wanted;
  wanted.type = type;
  wanted.id = id;
  wanted.flags = native ? kNativeFlag : 0;
  wanted.nameIndex = stored->nameIndex;
  wanted.name = name;
  if (!BlockHolds(stored->offset, MakeBlockHeader(wanted, static_cast<std::int32_t>(total)), pieces)) return false;
  fKeptUnchanged = true;
  return true;
}

ResErr IFFContainer::WriteResource(MHandle h) {
  if (!BeginOperation()) return res_error::kNotOpen;
  if (RefusesChange()) return res_error::kDamaged;
  if (!FlatFile::IsWritable()) return Fail(res_error::kNotWritable);
  IFFEntry* entry = fIndex->FindHandle(h);
  if (!entry) return Fail(res_error::kNotThisFile);
  return Fail(WriteEntry(*entry, h));
}

ResErr IFFContainer::ReleaseResource(MHandle h) {
  if (!BeginOperation()) return res_error::kNotOpen;
  IFFEntry* entry = fIndex->FindHandle(h);
  if (!entry) return Fail(res_error::kNotThisFile);
  if (entry->offset == -1) {
    if (RefusesChange()) return res_error::kDamaged;
    if (!FlatFile::IsWritable()) return Fail(res_error::kNotWritable);
    if (ResErr err = WriteEntry(*entry, h)) return Fail(err);
  } else if (entry->pending || entry->replacedOffset != -1) {
    // Once released the bytes are read back from the block, which must be
    // the live one by then.
    if (ResErr err = FinishReplacement(*entry)) return Fail(err);
  }
  // The flags go back to what the block says, so the next load swizzles
  // again if the stored bytes need it.
  entry->flags = entry->diskFlags;
  fIndex->SetHandle(*entry, nullptr);
  return res_error::kNone;
}

ResErr IFFContainer::RemoveResource(MHandle h) {
  if (!BeginOperation()) return res_error::kNotOpen;
  if (RefusesChange()) return res_error::kDamaged;
  if (!FlatFile::IsWritable()) return Fail(res_error::kNotWritable);
  IFFEntry* entry = fIndex->FindHandle(h);
  if (!entry) return Fail(res_error::kNotThisFile);
  if (entry->offset != -1) {
    if (ResErr err = fBlocks.FreeBlock(entry->offset, entry->type)) return Fail(err);
    entry->offset = -1;
    entry->pending = false;
  }
  if (ResErr err = FreeReplacedBlock(*entry)) return Fail(err);
  ForgetName(*entry);
  fIndex->SetHandle(*entry, nullptr);
  fIndex->Remove(entry);
  DisposeHandle(h);
  return res_error::kNone;
}

ResErr IFFContainer::WritePending(IFFIndex& index) {
  std::vector<IFFEntry*> pending;
  std::vector<IFFEntry*> replaced;
  index.ForEach([&](IFFEntry& entry) {
    if (entry.offset == -1 && entry.handle) pending.push_back(&entry);
    if (entry.offset != -1 && (entry.replacedOffset != -1 || entry.pending)) replaced.push_back(&entry);
  });
  // The first version writes its lists from the head (newest first), so a
  // reopening walk, which puts each block it meets at the head, lists them
  // oldest first; the second writes from the last entry back.
  if (fVersion == Version::kSecond) std::reverse(pending.begin(), pending.end());
  for (IFFEntry* entry : pending) {
    if (ResErr err = WriteEntry(*entry, entry->handle)) return err;
  }
  for (IFFEntry* entry : replaced) {
    if (ResErr err = FinishReplacement(*entry)) return err;
  }
  return res_error::kNone;
}

void IFFContainer::DiscardIndex(IFFIndex& index) {
  index.ForEach([](IFFEntry& entry) {
    if (entry.handle) DisposeHandle(entry.handle);
  });
  index.Clear();
}

bool IFFContainer::HasBlockFrom(const IFFIndex& index, std::int32_t offset) {
  bool found = false;
  index.ForEach([&](IFFEntry& entry) {
    // Until a replacement is written, the block limit is the replaced block's.
    const std::int64_t limit = entry.blockLimit;
    found = found || (entry.offset != -1 && entry.offset + limit > offset) ||
            (entry.replacedOffset != -1 &&
             (entry.replacedOffset >= offset || (entry.offset == -1 && entry.replacedOffset + limit > offset)));
  });
  return found;
}

void IFFContainer::CollectBlocks(const IFFIndex& index, std::unordered_map<std::int32_t, ResType>& blocks) {
  index.ForEach([&blocks](IFFEntry& entry) {
    if (entry.offset != -1) blocks.emplace(entry.offset, entry.type);
    if (entry.replacedOffset != -1) blocks.emplace(entry.replacedOffset, entry.type);
  });
}

IFFEntry* IFFContainer::AddWalkedEntry(IFFIndex& index, std::int32_t offset, const IFFBlockHeader& header) {
  IFFEntry& entry = index.Emplace(header.type, header.id, header.flags);
  entry.diskFlags = header.flags;
  entry.offset = offset;
  entry.blockLimit = header.size;
  return &entry;
}

void IFFContainer::NoteWalkedPending(IFFIndex& index, std::int32_t offset, const IFFBlockHeader& header) {
  fWalkedPending.push_back({&index, offset, header});
}

void IFFContainer::SettlePendingAfterWalk(const std::function<void(IFFEntry&, const IFFBlockHeader&)>& describe) {
  std::vector<WalkedPending> found = std::move(fWalkedPending);
  fWalkedPending.clear();
  for (WalkedPending& block : found) {
    IFFBlockHeader& header = block.header;
    header.flags = static_cast<std::uint16_t>(header.flags & ~kInvalid);
    const std::uint8_t variant = fVersion == Version::kSecond ? static_cast<std::uint8_t>(header.flags >> 8) : 0;
    if (block.index->Find(header.type, header.id, variant)) {
      // The live block it was to replace is still there: a copy to drop.
      fToFree.push_back({block.offset, header.type});
      continue;
    }
    describe(*AddWalkedEntry(*block.index, block.offset, header), header);
    fToCommit.push_back({block.offset, header.type});
  }
}

ResErr IFFContainer::SettleWalkedBlocks() {
  // Taken out first: freeing comes back here.
  std::vector<std::pair<std::int32_t, ResType>> toFree = std::move(fToFree);
  std::vector<std::pair<std::int32_t, ResType>> toCommit = std::move(fToCommit);
  fToFree.clear();
  fToCommit.clear();
  // Made live first: a resource this file holds only as a pending block
  // must never be taken for free space by a change below.
  for (std::size_t i = 0; i < toCommit.size(); ++i) {
    if (ResErr err = fBlocks.CommitPending(toCommit[i].first, toCommit[i].second)) {
      fToCommit.assign(toCommit.begin() + static_cast<std::ptrdiff_t>(i), toCommit.end());
      fToFree = std::move(toFree);
      return err;
    }
  }
  for (std::size_t i = 0; i < toFree.size(); ++i) {
    if (ResErr err = fBlocks.FreeBlock(toFree[i].first, toFree[i].second)) {
      fToFree.assign(toFree.begin() + static_cast<std::ptrdiff_t>(i), toFree.end());
      return err;
    }
  }
  return res_error::kNone;
}

void IFFContainer::ForgetWalkedBlocks() {
  fWalkedPending.clear();
  fToFree.clear();
  fToCommit.clear();
}

ResErr IFFContainer::SyncAndClose(ResErr err, bool wrote) {
  if (wrote && FlatFile::IsWritable()) {
    const ResErr synced = Sync();
    if (err == res_error::kNone) err = synced;
  }
  const ResErr closed = Close();
  return err != res_error::kNone ? err : closed;
}

}  // namespace pixmold
