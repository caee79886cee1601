#include "resfile/iff_res_file2.h"

#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/terminate.h"
#include "filelib/ctg_file_manager.h"
#include "resfile/handle_owner.h"
#include "resfile/iff_res_map.h"
#include "resfile/recon_object.h"

namespace pixmold {
namespace {

constexpr std::int32_t kCompactionThreshold = 10240;
constexpr ResErr kBadBlock = -1;

}  // namespace

IFFResFile2::IFFResFile2() : IFFResFile2(CTGFileManager::Get()) {}

IFFResFile2::IFFResFile2(CTGFileManager& manager) : IFFContainer(manager, Version::kSecond) {
  SetActiveIndex(fMap);
  Blocks().SetBeforeHeaderWrite([this]() -> ResErr {
    fDirty = true;
    if (fMapOffset != 0) {
      if (ResErr err = WriteFileHeader(*this, 0)) return err;
    }
    return SettleWalkedBlocks();
  });
  Blocks().SetMayReuse([this] { return !fOpenedByMap || BlocksAgreeWithMap(); });
  Blocks().SetKnowsBlockFrom([this](std::int32_t offset) {
    return HasBlockFrom(fMap, offset) || (fMapIsOurs && static_cast<std::int64_t>(fMapOffset) + fMapBlockSize > offset);
  });
}

IFFResFile2::~IFFResFile2() {
  if (!ValidFile()) return;
  // A destructor cannot end a build by throwing; the report goes to
  // standard error instead.
  try {
    CloseFile();
  } catch (const Terminate& t) {
    std::fprintf(stderr, "%s\n", t.what());
  }
}

CTGString IFFResFile2::FitName(const CTGString& name) {
  if (name.Length() <= kIFFMaxNameLength) return name;
  Blocks().Report("name.length()<=63", "name too long");
  return CTGString(name.View().substr(0, kIFFMaxNameLength));
}

IFFBlockHeader IFFResFile2::MakeBlockHeader(const IFFEntry& entry, std::int32_t dataSize) const {
  IFFBlockHeader header;
  header.type = entry.type;
  header.size = dataSize + kIFFBlockHeaderSize2;
  header.id = entry.id;
  header.flags = entry.flags;
  header.name = entry.name.Str();
  return header;
}

ResErr IFFResFile2::WriteFileHeader(FlatFile& file, std::int32_t mapOffset) {
  const bool own = &file == static_cast<FlatFile*>(this);
  const std::int32_t oldMap = own ? fMapOffset : 0;
  const bool freeOldMap = own && oldMap != 0 && fMapIsOurs;
  // Held at 0 meanwhile, so that freeing the old map does not come back here.
  if (own) fMapOffset = 0;
  const IFFFileHeader header = MakeIFFFileHeader25(mapOffset);
  ResErr err = file.Seek(0);
  if (err == res_error::kNone) err = file.Write(header);
  if (err == res_error::kNone) err = file.Flush();
  if (!own) return err;
  if (err != res_error::kNone) {
    fMapOffset = oldMap;
    return err;
  }
  fDirty = true;
  // The header no longer points to the old map, so its block is free space;
  // a map block that stays is only dead space, which walks pass over.
  if (freeOldMap) {
    fMapIsOurs = false;
    if (Blocks().FreeBlock(oldMap, kResMapType) != res_error::kNone) {
      Blocks().Report("false", "error occurred invalidating map header");
    }
  }
  fMapOffset = mapOffset;
  fMapIsOurs = mapOffset != 0;
  return res_error::kNone;
}

ResErr IFFResFile2::CreateFile(const CTGString& name) {
  if (ValidFile()) return Fail(res_error::kAlreadyOpen);
  if (ResErr err = FlatFile::Create(name)) return Fail(err);
  FlatFile file(Manager());
  if (ResErr err = file.Open(name)) {
    Blocks().Report("!err", "could not open newly created file");
    return Fail(err);
  }
  ResErr err = WriteFileHeader(file, 0);
  if (err == res_error::kNone) err = file.Sync();
  file.Close();
  return Fail(err);
}

ResErr IFFResFile2::ClearMap(const CTGString& name) {
  FlatFile file(Manager());
  if (ResErr err = file.Open(name)) {
    Blocks().Report("!err", "could clear map");
    return err;
  }
  ResErr err = WriteFileHeader(file, 0);
  file.Close();
  return err;
}

ResErr IFFResFile2::OpenFile(const CTGString& name) {
  if (ValidFile()) return Fail(res_error::kAlreadyOpen);
  ForgetProblems();
  if (ResErr err = Open(name)) {
    NoteOpenFailure(name, err);
    return Fail(err);
  }
  IFFFileHeader header{};
  ResErr err = Seek(0);
  if (err == res_error::kNone) err = Read(header);
  if (err == res_error::kNone) {
    const std::optional<std::int32_t> version = IFFFileHeader2Version(header);
    if (!version || (*version != kIFFVersion20 && *version != kIFFVersion25)) {
      err = res_error::kNotIFF;
    } else {
      fMapOffset = *version == kIFFVersion25 ? IFFHeaderMapOffset(header) : 0;
    }
  }
  if (err != res_error::kNone) {
    fMapOffset = 0;
    NoteOpenFailure(name, err);
    Close();
    return Fail(err);
  }
  DiscardIndex(fMap);
  ForgetWalkedBlocks();
  Blocks().SetFreeTotal(0);
  Blocks().ForgetFreeSpace();
  Blocks().SetEndsClean(false);
  fMapIsOurs = false;
  fOpenedByMap = false;
  fAgreement = Agreement::kUnknown;
  if (fMapOffset != 0 && LoadMap()) {
    fOpenedByMap = true;
    fMapIsOurs = true;
  } else {
    WalkBlocks(err);
    if (err != res_error::kNone) {
      DiscardIndex(fMap);
      fMapOffset = 0;
      NoteOpenFailure(name, err);
      Close();
      return Fail(err);
    }
  }
  RemoveMapEntries(false);
  fDirty = false;
  return Fail(res_error::kNone);
}

bool IFFResFile2::LoadMap() {
  IFFBlockHeader header;
  std::int32_t fileSize = 0;
  GetSize(fileSize);
  if (Blocks().ReadHeader(fMapOffset, header) != res_error::kNone ||
      !BlockFits(fMapOffset, header.size, kIFFBlockHeaderSize2, fileSize) || header.IsFree() ||
      header.type != kResMapType) {
    Blocks().Report("false", "corrupt map found.");
    return false;
  }
  OwnedHandle bytes;
  IFFResMap map;
  if (ReadBlock(fMapOffset, kResMapType, header.size, bytes) != res_error::kNone) {
    Blocks().Report("false", "couldn't load map");
    return false;
  }
  if (!(header.flags & kNativeFlag)) {
    HandleLock lock(bytes.Get());
    ReconHeaderSwizzler(lock.Data(), static_cast<std::int32_t>(lock.Size()));
  }
  if (!ReadResMapHandle(bytes.Get(), map)) {
    Blocks().Report("false", "couldn't load map");
    return false;
  }
  if (!BuildIndexFromMap(map, header.size)) return false;
  fMapBlockSize = header.size;
  return true;
}

bool IFFResFile2::BuildIndexFromMap(IFFResMap& map, std::int32_t mapSize) {
  std::int32_t fileSize = 0;
  GetSize(fileSize);
  IFFResMapEntry* last = nullptr;
  ResType lastType = 0;
  switch (map.Check(fileSize, fMapOffset, mapSize, kIFFBlockHeaderSize2, last, lastType)) {
    case IFFResMap::Verdict::kHoldsMap: Blocks().Report("false", "got saved map wihtin map"); return false;
    case IFFResMap::Verdict::kCorrupt: Blocks().Report("false", "corrupt map found."); return false;
    case IFFResMap::Verdict::kGood: break;
  }
  // The block the map lists last must still be whole: a file cut short
  // after its map was written loses the map.
  std::int32_t listedEnd = fMapOffset + mapSize;
  if (last) {
    IFFBlockHeader header;
    if (Blocks().ReadHeader(last->offset, header) != res_error::kNone || header.type != lastType || header.IsFree() ||
        header.size > last->blockLimit || !BlockFits(last->offset, header.size, kIFFBlockHeaderSize2, fileSize)) {
      Blocks().Report("false", "corrupt map found.");
      return false;
    }
    listedEnd = last->offset + header.size;
    // Its size is known now; the distance to the end of the file would
    // count whatever lies behind it as part of it.
    last->blockLimit = header.size;
  }
  for (auto& type : map.types) {
    if (!type.entries.empty()) fMap.Reserve(type.type, type.entries.size());
    for (auto& listed : type.entries) {
      IFFEntry& entry = fMap.Emplace(type.type, listed.id, listed.flags);
      entry.diskFlags = listed.flags;
      entry.offset = listed.offset;
      entry.blockLimit = listed.blockLimit;
      entry.name = std::move(listed.name);
    }
  }
  Blocks().SetFreeTotal(map.freeTotal);
  Blocks().SetEndsClean(listedEnd == fileSize);
  return true;
}

void IFFResFile2::WalkBlocks(ResErr& err) {
  IFFBlocks::WalkStop stop;
  const IFFBlocks::WalkEnd end = Blocks().Walk(
      [this](std::int32_t offset, const IFFBlockHeader& header) {
        // A map whose writing was cut short is free space, as every old map is.
        if (header.IsPending() && header.type != kResMapType) {
          NoteWalkedPending(fMap, offset, header);
        } else if (header.IsFree()) {
          Blocks().AddFree(header.size);
        } else if (header.type != kResMapType) {
          AddWalkedEntry(fMap, offset, header)->name = header.name;
        }
      },
      &stop);
  SettlePendingAfterWalk([](IFFEntry& entry, const IFFBlockHeader& header) { entry.name = header.name; });
  err = res_error::kNone;
  if (end == IFFBlocks::WalkEnd::kReadError) err = res_error::kShortRead;
  // Damage is the file's problem, named to whoever opens it, not a broken
  // invariant: a build that would write refuses with its text.
  if (end == IFFBlocks::WalkEnd::kBadHeader) stop.why = "bad header found: " + stop.why;
  NoteWalkEnd(end, stop);
  Blocks().SetEndsClean(end == IFFBlocks::WalkEnd::kEndOfFile);
}

void IFFResFile2::RemoveMapEntries(bool report) {
  const auto* entries = fMap.Entries(kResMapType);
  if (!entries) return;
  if (report) Blocks().Report("false", "howd that happen?");
  while ((entries = fMap.Entries(kResMapType)) != nullptr) {
    IFFEntry* entry = entries->front();
    if (entry->handle) DisposeHandle(entry->handle);
    fMap.SetHandle(*entry, nullptr);
    fMap.Remove(entry);
  }
}

ResErr IFFResFile2::SuspendFile() {
  if (!BeginOperation()) return res_error::kNotOpen;
  GetName(fSuspendedName);
  return CloseFile();
}

ResErr IFFResFile2::ResumeFile() {
  if (fSuspendedName.Empty()) return Fail(res_error::kOpenFailed);
  const CTGString name = fSuspendedName;
  fSuspendedName.Clear();
  return OpenFile(name);
}

ResErr IFFResFile2::UpdateFile() {
  if (!BeginOperation()) return res_error::kNotOpen;
  if (!FlatFile::IsWritable()) return res_error::kNone;
  ResErr err = WritePending(fMap);
  if (err == res_error::kNone) {
    err = Flush();
    if (err != res_error::kNone) Blocks().Report("!err", "could not flush file");
  }
  return Fail(err);
}

ResErr IFFResFile2::Compact() {
  std::unordered_map<std::int32_t, ResType> blocks;
  CollectBlocks(fMap, blocks);
  std::unordered_map<std::int32_t, IFFEntry*> byOffset;
  fMap.ForEach([&byOffset](IFFEntry& entry) {
    if (entry.offset != -1) byOffset[entry.offset] = &entry;
  });
  return Blocks().Defragment([](const IFFBlockHeader& header) { return header.type == kResMapType; },
                             [&blocks](std::int32_t offset, const IFFBlockHeader& header) {
                               auto it = blocks.find(offset);
                               return it != blocks.end() && it->second == header.type;
                             },
                             blocks.size(),
                             [this, &byOffset](std::int32_t from, std::int32_t to) {
                               auto it = byOffset.find(from);
                               if (it == byOffset.end()) {
                                 Blocks().Report("false", "UpdateOffset problem");
                                 return;
                               }
                               IFFEntry* entry = it->second;
                               byOffset.erase(it);
                               entry->offset = to;
                               byOffset[to] = entry;
                             },
                             IFFBlocks::Compaction::kWhenHolesAreLarge);
}

bool IFFResFile2::BlocksAgreeWithMap() {
  if (fAgreement == Agreement::kUnknown) {
    std::unordered_map<std::int32_t, ResType> blocks;
    CollectBlocks(fMap, blocks);
    if (fMapIsOurs) blocks.emplace(fMapOffset, kResMapType);
    std::size_t walked = 0;
    bool agrees = true;
    const IFFBlocks::WalkEnd end = Blocks().Walk([&](std::int32_t offset, const IFFBlockHeader& header) {
      if (header.IsFree()) return;
      ++walked;
      auto it = blocks.find(offset);
      agrees = agrees && it != blocks.end() && it->second == header.type;
    });
    agrees = agrees && end != IFFBlocks::WalkEnd::kReadError && walked == blocks.size();
    if (!agrees) Blocks().Report("false", "corrupt map found.");
    fAgreement = agrees ? Agreement::kAgrees : Agreement::kDisagrees;
  }
  return fAgreement == Agreement::kAgrees;
}

ResErr IFFResFile2::WriteMap() {
  RemoveMapEntries(true);
  IFFResMap map;
  map.freeTotal = FreeBytes();
  for (ResType type : fMap.Types()) {
    IFFResMapType& listed = map.types.emplace_back();
    listed.type = type;
    for (const auto& entry : *fMap.Entries(type)) {
      listed.entries.push_back({entry->offset, entry->id, entry->flags, entry->name, 0});
    }
  }
  MHandle handle = MakeResMapHandle(map);
  if (!handle) return MemError() ? MemError() : res_error::kOutOfMemory;
  if (ResErr err = AddVariantResource(handle, kResMapType, 0, CTGString(), 0, true)) {
    DisposeHandle(handle);
    return err;
  }
  if (ResErr err = WriteResource(handle)) return err;
  const IFFEntry* entry = fMap.Find(kResMapType, 0, 0);
  if (!entry) {
    Blocks().Report("false", "node not found");
    return kBadBlock;
  }
  if (entry->offset == -1) {
    Blocks().Report("false", "got bad map offset");
    return kBadBlock;
  }
  // Everything the map lists is on disk before the header points to it. A
  // failure here is the last chance to tell a build that its file is not
  // what it wrote (the file still opens, by walking its blocks).
  if (ResErr err = Sync()) {
    Blocks().Report("!err", "could not sync file");
    return err;
  }
  if (ResErr err = WriteFileHeader(*this, entry->offset)) {
    Blocks().Report("!err", "could not write map offset");
    return err;
  }
  return res_error::kNone;
}

ResErr IFFResFile2::CloseFile() {
  if (!BeginOperation()) return res_error::kNotOpen;
  // A damaged file took no change and is closed as it was found.
  const bool writable = FlatFile::IsWritable() && !WalkMetDamage();
  ResErr err = res_error::kNone;
  if (writable) err = UpdateFile();
  if (err == res_error::kNone && writable && fMapOffset == 0 && fDirty && !fNoCompaction &&
      FreeBytes() >= kCompactionThreshold) {
    err = Compact();
  }
  if (err == res_error::kNone && writable && fDirty) err = WriteMap();
  // Rebuilt but unchanged, the file still tells a build tool it is newer
  // than the inputs it was just built from.
  if (TakeKeptUnchanged() && err == res_error::kNone && writable && !fDirty) MarkModified();
  const bool wrote = fDirty;
  DiscardIndex(fMap);
  fMapOffset = 0;
  fMapIsOurs = false;
  fDirty = false;
  return Fail(SyncAndClose(err, wrote));
}

ResErr IFFResFile2::AddResource(MHandle h, ResType type, ResID id, const CTGString& name, bool native) {
  return AddVariantResource(h, type, id, name, 0, native);
}

ResErr IFFResFile2::AddVariantResource(MHandle h, ResType type, ResID id, const CTGString& name, std::uint8_t variant,
                                       bool native) {
  if (!BeginOperation()) return res_error::kNotOpen;
  if (RefusesChange()) return res_error::kDamaged;
  if (!FlatFile::IsWritable()) return Fail(res_error::kNotWritable);
  if (!h) return Fail(res_error::kNotThisFile);
  CTGString fitted = FitName(name);
  IFFEntry* entry = fMap.Find(type, id, variant);
  if (ResErr err = DetachFromOtherEntry(h, entry)) return Fail(err);
  if (entry) {
    if (ResErr err = PrepareReplacement(*entry, h)) return Fail(err);
  } else {
    entry = &fMap.Emplace(type, id, static_cast<std::uint16_t>(variant << 8));
  }
  entry->flags = static_cast<std::uint16_t>((native ? kNativeFlag : 0) | (variant << 8));
  entry->diskFlags = 0;
  entry->name = std::move(fitted);
  fMap.SetHandle(*entry, h);
  return res_error::kNone;
}

MHandle IFFResFile2::GetVariantResource(ResType type, ResID id, std::uint8_t variant, ResSwizzler swizzler) {
  if (!BeginOperation()) return nullptr;
  IFFEntry* entry = variant != 0 ? fMap.Find(type, id, variant) : nullptr;
  if (!entry) entry = fMap.Find(type, id, 0);
  if (!entry) {
    SetError(res_error::kNotFound);
    return nullptr;
  }
  return LoadEntry(*entry, swizzler);
}

MHandle IFFResFile2::GetNamedResource(ResType type, const CTGString& name, ResSwizzler swizzler) {
  if (!BeginOperation()) return nullptr;
  const auto* entries = fMap.Entries(type);
  if (entries && !name.Empty()) {
    for (const auto& entry : *entries) {
      if (entry->Variant() == 0 && entry->name == name) return LoadEntry(*entry, swizzler);
    }
  }
  SetError(res_error::kNotThisFile);
  return nullptr;
}

void IFFResFile2::GetResName(MHandle h, CTGString& name) {
  name.Clear();
  if (!BeginOperation()) return;
  const IFFEntry* entry = fMap.FindHandle(h);
  if (!entry) {
    SetError(res_error::kNotFound);
    return;
  }
  name = entry->name;
}

std::uint8_t IFFResFile2::GetResVariant(MHandle h) {
  if (!BeginOperation()) return 0;
  const IFFEntry* entry = fMap.FindHandle(h);
  if (!entry) {
    SetError(res_error::kNotFound);
    return 0;
  }
  return entry->Variant();
}

void IFFResFile2::UniqueName(ResType type, CTGString& name) {
  if (!BeginOperation()) return;
  const auto* entries = fMap.Entries(type);
  if (!entries) return;
  auto taken = [entries](std::string_view candidate) {
    for (const auto& entry : *entries) {
      if (entry->name == candidate) return true;
    }
    return false;
  };
  // The number goes inside the 63 characters a block can hold, or every
  // candidate would be stored as the same cut name.
  const std::string base = name.Str();
  for (long counter = 0; taken(name.View()); ++counter) {
    const std::string number = std::to_string(counter);
    name = CTGString(base.substr(0, kIFFMaxNameLength - number.size()) + number);
  }
}

ResErr IFFResFile2::SetResInfo(MHandle h, ResID id, const CTGString& name, std::uint8_t variant) {
  if (!BeginOperation()) return res_error::kNotOpen;
  IFFEntry* entry = fMap.FindHandle(h);
  if (!entry) return Fail(res_error::kNotThisFile);
  if (RefusesChange()) return res_error::kDamaged;
  if (!FlatFile::IsWritable()) return Fail(res_error::kNotWritable);
  CTGString fitted = FitName(name);
  const auto flags = static_cast<std::uint16_t>((entry->flags & 0x00FF) | (variant << 8));
  if (entry->offset != -1) {
    // A block a crash left pending is made live before its header is read.
    if (ResErr err = SettleWalkedBlocks()) return Fail(err);
    IFFBlockHeader header;
    if (ResErr err = Blocks().ReadHeader(entry->offset, header)) return Fail(err);
    if (header.type != entry->type) {
      Blocks().Report("header.fType == type", "types don't match");
      return Fail(kBadBlock);
    }
    if (header.IsFree()) {
      Blocks().Report("!(header.fFlags&kInvalid)", "invalid header");
      return Fail(kBadBlock);
    }
    header.id = id;
    header.flags = static_cast<std::uint16_t>((header.flags & 0x00FF) | (variant << 8));
    header.name = fitted.Str();
    if (ResErr err = Blocks().WriteHeader(entry->offset, header)) return Fail(err);
    entry->diskFlags = header.flags;
  }
  fMap.Rekey(*entry, id, variant);
  entry->flags = flags;
  entry->name = std::move(fitted);
  return res_error::kNone;
}

}  // namespace pixmold
