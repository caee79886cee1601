#include "resfile/iff_container.h"

#include <algorithm>
#include <vector>

#include "base/terminate.h"
#include "resfile/handle_owner.h"

namespace pixmold {
namespace {

constexpr ResErr kBadBlock = -1;  // a block that is not what the index says

}  // namespace

IFFContainer::IFFContainer(CTGFileManager& manager, std::int32_t blockHeaderSize, bool nameInReports)
    : FlatFile(manager), fManager(manager), fBlocks(*this, blockHeaderSize, nameInReports) {}

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
  const ResID id = UniqueIDAmong(ids);
  if (id == 0) SetError(res_error::kNotFound);
  return id;
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
  if (header.type != type || header.IsFree()) {
    fBlocks.Report("header.fType == type", "got different type in header");
    return kBadBlock;
  }
  std::int32_t fileSize = 0;
  if (ResErr err = GetSize(fileSize)) return err;
  const std::int32_t headerSize = fBlocks.HeaderSize();
  if (!BlockFits(offset, header.size, headerSize, fileSize) || header.size > limit) {
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

void IFFContainer::PrepareReplacement(IFFEntry& entry, MHandle keep) {
  if (entry.handle) {
    MHandle old = entry.handle;
    fIndex->SetHandle(entry, nullptr);
    if (old != keep) DisposeHandle(old);
  }
  if (entry.offset != -1) {
    entry.replacedOffset = entry.offset;
    entry.offset = -1;
  }
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

ResErr IFFContainer::WriteEntry(IFFEntry& entry, MHandle h) {
  // A block a failed write left behind goes first, so that an entry never
  // has more than one old block to free.
  if (entry.offset != -1) {
    if (ResErr err = FreeReplacedBlock(entry)) return err;
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
  if (target == -1) {
    if (ResErr err = fBlocks.NewBlock(dataSize, target)) {
      fBlocks.Report("false", "could not make new header");
      return err;
    }
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
    }
  }
  const IFFBlockHeader header = MakeBlockHeader(entry, dataSize);
  const ResErr written = target == entry.offset ? fBlocks.WriteHeader(target, header)
                                                : fBlocks.CommitHeader(target, header);
  if (written != res_error::kNone) {
    fBlocks.Report("false", "could not write header");
    return written;
  }
  // The new block holds the resource now; only then does the old one go.
  entry.offset = target;
  entry.diskFlags = entry.flags;
  entry.blockLimit = dataSize + headerSize;
  if (oldBlock != -1) entry.replacedOffset = oldBlock;
  return FreeReplacedBlock(entry);
}

ResErr IFFContainer::WriteResource(MHandle h) {
  if (!BeginOperation()) return res_error::kNotOpen;
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
    if (!FlatFile::IsWritable()) return Fail(res_error::kNotWritable);
    if (ResErr err = WriteEntry(*entry, h)) return Fail(err);
  }
  // The flags go back to what the block says, so the next load swizzles
  // again if the stored bytes need it.
  entry->flags = entry->diskFlags;
  fIndex->SetHandle(*entry, nullptr);
  return res_error::kNone;
}

ResErr IFFContainer::RemoveResource(MHandle h) {
  if (!BeginOperation()) return res_error::kNotOpen;
  if (!FlatFile::IsWritable()) return Fail(res_error::kNotWritable);
  IFFEntry* entry = fIndex->FindHandle(h);
  if (!entry) return Fail(res_error::kNotThisFile);
  if (entry->offset != -1) {
    if (ResErr err = fBlocks.FreeBlock(entry->offset, entry->type)) return Fail(err);
    entry->offset = -1;
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
    if (entry.offset != -1 && entry.replacedOffset != -1) replaced.push_back(&entry);
  });
  for (auto it = pending.rbegin(); it != pending.rend(); ++it) {
    if (ResErr err = WriteEntry(**it, (*it)->handle)) return err;
  }
  for (IFFEntry* entry : replaced) {
    if (ResErr err = FreeReplacedBlock(*entry)) return err;
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

void IFFContainer::AddWalkedEntry(IFFIndex& index, std::unique_ptr<IFFEntry> entry) {
  if (index.Find(entry->type, entry->id, entry->Variant())) {
    fShadowed.push_back({entry->offset, entry->type});
    return;
  }
  index.Add(std::move(entry));
}

ResErr IFFContainer::FreeShadowedBlocks() {
  // Taken out first: freeing writes headers, which comes back here.
  std::vector<std::pair<std::int32_t, ResType>> shadowed = std::move(fShadowed);
  fShadowed.clear();
  for (std::size_t i = 0; i < shadowed.size(); ++i) {
    if (ResErr err = fBlocks.FreeBlock(shadowed[i].first, shadowed[i].second)) {
      fShadowed.assign(shadowed.begin() + static_cast<std::ptrdiff_t>(i), shadowed.end());
      return err;
    }
  }
  return res_error::kNone;
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
