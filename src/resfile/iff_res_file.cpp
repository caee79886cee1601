#include "resfile/iff_res_file.h"

#include <cstdio>
#include <string>
#include <unordered_map>

#include "base/terminate.h"
#include "base/xassert.h"
#include "filelib/ctg_file_manager.h"
#include "resfile/handle_owner.h"
#include "resfile/recon_object.h"

namespace pixmold {
namespace {

constexpr std::int32_t kCompactionThreshold = 10240;
constexpr ResErr kBadBlock = -1;
constexpr ResID kOlderNamesID = 0;
constexpr ResID kNamesID = 1;
constexpr std::uint32_t kNamesVersion = 0;

// The older name list is only readable in this machine's byte order.
void NamesSwizzler(void*, std::int32_t) { XASSERT_FAIL("false", "code to swizzle names not implemented"); }

}  // namespace

std::atomic<bool> IFFResFile::sCreatingNewFile{false};

IFFResFile::IFFResFile() : IFFResFile(CTGFileManager::Get()) {}

IFFResFile::IFFResFile(CTGFileManager& manager) : IFFContainer(manager, Version::kFirst) {
  SetActiveIndex(fNormal);
  Blocks().SetBeforeHeaderWrite([this]() -> ResErr {
    fWrote = true;
    return SettleWalkedBlocks();
  });
  Blocks().SetKnowsBlockFrom(
      [this](std::int32_t offset) { return HasBlockFrom(fNormal, offset) || HasBlockFrom(fInternal, offset); });
}

IFFResFile::~IFFResFile() {
  if (!ValidFile()) return;
  // A destructor cannot end a build by throwing; the report goes to
  // standard error instead.
  try {
    CloseFile();
  } catch (const Terminate& t) {
    std::fprintf(stderr, "%s\n", t.what());
  }
}

void IFFResFile::EnterInternalMode() {
  if (fInternalMode) {
    XASSERT_FAIL("false", "entering internal mode more than once");
    return;
  }
  fInternalMode = true;
  SetActiveIndex(fInternal);
}

void IFFResFile::ExitInternalMode() {
  if (!fInternalMode) {
    XASSERT_FAIL("false", "exiting internal mode more than once");
    return;
  }
  fInternalMode = false;
  SetActiveIndex(fNormal);
}

IFFBlockHeader IFFResFile::MakeBlockHeader(const IFFEntry& entry, std::int32_t dataSize) const {
  IFFBlockHeader header;
  header.type = entry.type;
  header.size = dataSize + kIFFBlockHeaderSize1;
  header.id = entry.id;
  header.flags = entry.flags;
  header.nameIndex = entry.nameIndex;
  return header;
}

void IFFResFile::ForgetName(IFFEntry& entry) {
  if (entry.nameIndex != -1 && fNameList) fNameList->Set(entry.nameIndex, CTGString());
  entry.nameIndex = -1;
}

ResErr IFFResFile::CreateFile(const CTGString& name) {
  if (ValidFile()) return Fail(res_error::kAlreadyOpen);
  if (ResErr err = FlatFile::Create(name)) return Fail(err);
  {
    FlatFile file(Manager());
    if (ResErr err = file.Open(name)) {
      XASSERT_FAIL("!err", "could not open newly created file");
      return Fail(err);
    }
    ResErr err = file.Seek(0);
    if (err == res_error::kNone) err = file.Write(IFFFileHeader1());
    file.Close();
    if (err != res_error::kNone) return Fail(err);
  }
  sCreatingNewFile = true;
  if (ResErr err = OpenFile(name)) {
    XASSERT_FAIL("false", "could not open brand new file");
    sCreatingNewFile = false;
    return Fail(err);
  }
  // The empty list is written, so that every later open finds one.
  fNameList->SetDirty(true);
  ResErr err = WriteNames();
  const ResErr closed = CloseFile();
  sCreatingNewFile = false;
  return Fail(err != res_error::kNone ? err : closed);
}

ResErr IFFResFile::OpenFile(const CTGString& name) {
  if (ValidFile()) return Fail(res_error::kAlreadyOpen);
  ForgetProblems();
  if (ResErr err = Open(name)) {
    NoteOpenFailure(name, err);
    return Fail(err);
  }
  IFFFileHeader header{};
  ResErr err = Seek(0);
  if (err == res_error::kNone) err = Read(header);
  if (err == res_error::kNone && header != IFFFileHeader1()) err = res_error::kNotIFF;
  if (err != res_error::kNone) {
    NoteOpenFailure(name, err);
    Close();
    return Fail(err);
  }
  if (fInternalMode) ExitInternalMode();
  DiscardIndex(fNormal);
  DiscardIndex(fInternal);
  ForgetWalkedBlocks();
  Blocks().SetFreeTotal(0);
  Blocks().ForgetFreeSpace();
  fWrote = false;
  WalkBlocks(err);
  if (err != res_error::kNone) {
    DiscardIndex(fNormal);
    DiscardIndex(fInternal);
    NoteOpenFailure(name, err);
    Close();
    return Fail(err);
  }
  if (fNameList) {
    XASSERT_FAIL("!fNameList", "double open?");
    fNameList.reset();
  }
  fNameList = std::make_unique<IFFNameList>();
  LoadNames();
  return Fail(res_error::kNone);
}

void IFFResFile::WalkBlocks(ResErr& err) {
  IFFBlocks::WalkStop stop;
  const IFFBlocks::WalkEnd end = Blocks().Walk(
      [this](std::int32_t offset, const IFFBlockHeader& header) {
        IFFIndex& index = header.flags & kInternalFlag ? fInternal : fNormal;
        if (header.IsPending()) {
          NoteWalkedPending(index, offset, header);
        } else if (header.IsFree()) {
          Blocks().AddFree(header.size);
        } else {
          AddWalkedEntry(index, offset, header)->nameIndex = header.nameIndex;
        }
      },
      &stop);
  SettlePendingAfterWalk([](IFFEntry& entry, const IFFBlockHeader& header) { entry.nameIndex = header.nameIndex; });
  err = end == IFFBlocks::WalkEnd::kReadError ? res_error::kShortRead : res_error::kNone;
  NoteWalkEnd(end, stop);
  Blocks().SetEndsClean(end == IFFBlocks::WalkEnd::kEndOfFile);
}

void IFFResFile::LoadNames() {
  EnterInternalMode();
  if (MHandle older = GetResource(kNameListType, kOlderNamesID, NamesSwizzler)) {
    HandleLock lock(older);
    fNameList->ReadOlderForm(lock.Bytes());
  } else {
    SimpleReconObject<IFFNameList> recon(*fNameList, kNameListType);
    const ResErr nameErr = ReadReconResource(recon, *this, kNamesID, nullptr);
    if (!sCreatingNewFile && nameErr != res_error::kNone) {
      XASSERT_FAIL("sCreatingNewFile || nameErr==noErr", "no names cache");
    }
  }
  ExitInternalMode();
  fNameList->SetDirty(false);
}

ResErr IFFResFile::WriteNames() {
  if (!fNameList->IsDirty()) return res_error::kNone;
  EnterInternalMode();
  // As a Recon resource, but a list whose write fails stays pending, to be
  // written again at close, and the list on disk stays until it is.
  SimpleReconObject<IFFNameList> recon(*fNameList, kNameListType);
  ResErr err = res_error::kNone;
  MHandle h = MakeReconHandle(recon, kNamesVersion);
  if (!h) {
    err = MemError() ? MemError() : res_error::kOutOfMemory;
  } else if ((err = AddResource(h, kNameListType, kNamesID, CTGString(), true)) != res_error::kNone) {
    DisposeHandle(h);
  } else if ((err = WriteResource(h)) == res_error::kNone) {
    ReleaseAndDispose(h);
    err = GetError();
  }
  if (err == res_error::kNone) {
    fNameList->SetDirty(false);
    if (fInternal.Find(kNameListType, kOlderNamesID)) {
      MHandle older = GetResource(kNameListType, kOlderNamesID, nullptr);
      err = older ? RemoveResource(older) : GetError();
      if (err != res_error::kNone) XASSERT_FAIL("false", "could not remove old names");
    }
  }
  ExitInternalMode();
  return err;
}

ResErr IFFResFile::SuspendFile() {
  if (!BeginOperation()) return res_error::kNotOpen;
  return Fail(res_error::kOpenFailed);
}

ResErr IFFResFile::ResumeFile() {
  if (!BeginOperation()) return res_error::kNotOpen;
  return Fail(res_error::kOpenFailed);
}

ResErr IFFResFile::UpdateFile() {
  if (!BeginOperation()) return res_error::kNotOpen;
  if (!FlatFile::IsWritable()) return res_error::kNone;
  ResErr err = WriteNames();
  if (err == res_error::kNone) err = WritePending(fNormal);
  if (err == res_error::kNone) err = WritePending(fInternal);
  if (err == res_error::kNone) {
    err = Flush();
    if (err != res_error::kNone) XASSERT_FAIL("!err", "could not close and reopen file of the same name");
  }
  return Fail(err);
}

ResErr IFFResFile::CloseFile() {
  if (!BeginOperation()) return res_error::kNotOpen;
  // A damaged file is closed as it was found: even compaction would move
  // blocks around damage it cannot see past.
  const bool writable = FlatFile::IsWritable() && !WalkMetDamage();
  ResErr err = writable ? UpdateFile() : res_error::kNone;
  // Blocks a crash left pending are settled before the compaction walk,
  // which takes every block flagged free for free space.
  if (err == res_error::kNone && writable) err = SettleWalkedBlocks();
  if (fInternalMode) ExitInternalMode();
  std::unordered_map<std::int32_t, ResType> blocks;
  CollectBlocks(fNormal, blocks);
  CollectBlocks(fInternal, blocks);
  DiscardIndex(fNormal);
  DiscardIndex(fInternal);
  if (err == res_error::kNone && writable && FreeBytes() >= kCompactionThreshold) {
    // The index is gone; the blocks it placed are what the walk must find.
    err = Blocks().Defragment([](const IFFBlockHeader&) { return false; },
                              [&blocks](std::int32_t offset, const IFFBlockHeader& header) {
                                auto it = blocks.find(offset);
                                return it != blocks.end() && it->second == header.type;
                              },
                              blocks.size(), [](std::int32_t, std::int32_t) {});
  }
  fNameList.reset();
  const bool wrote = fWrote;
  fWrote = false;
  return Fail(SyncAndClose(err, wrote));
}

ResErr IFFResFile::AddResource(MHandle h, ResType type, ResID id, const CTGString& name, bool native) {
  if (!BeginOperation()) return res_error::kNotOpen;
  if (RefusesChange()) return res_error::kDamaged;
  if (!FlatFile::IsWritable()) return Fail(res_error::kNotWritable);
  if (!h) return Fail(res_error::kNotThisFile);
  IFFEntry* entry = Index().Find(type, id);
  if (ResErr err = DetachFromOtherEntry(h, entry)) return Fail(err);
  if (entry) {
    if (ResErr err = PrepareReplacement(*entry, h)) return Fail(err);
    ForgetName(*entry);
  } else {
    entry = &Index().Emplace(type, id, 0);
  }
  entry->flags = static_cast<std::uint16_t>((native ? kNativeFlag : 0) | (fInternalMode ? kInternalFlag : 0));
  entry->diskFlags = 0;
  Index().SetHandle(*entry, h);
  if (!name.Empty()) {
    const std::int32_t index = fNameList->NewIndex();
    if (index == -1) return Fail(res_error::kNoNameIndex);
    fNameList->Set(index, name);
    entry->nameIndex = index;
  }
  return res_error::kNone;
}

ResErr IFFResFile::SetResInfo(MHandle h, ResID id, const CTGString& name, std::uint8_t variant) {
  if (!BeginOperation()) return res_error::kNotOpen;
  if (variant != 0) return Fail(res_error::kVariantUnsupported);
  IFFEntry* entry = Index().FindHandle(h);
  if (!entry) return Fail(res_error::kNotThisFile);
  if (RefusesChange()) return res_error::kDamaged;
  if (!FlatFile::IsWritable()) return Fail(res_error::kNotWritable);
  bool changed = id != entry->id;
  std::int32_t nameIndex = entry->nameIndex;
  if (!name.Empty() && nameIndex == -1) {
    nameIndex = fNameList->NewIndex();
    if (nameIndex == -1) return Fail(res_error::kNoNameIndex);
    changed = true;
  } else if (name.Empty() && nameIndex != -1) {
    // The block stops naming an entry that is about to go.
    changed = true;
    nameIndex = -1;
  }
  if (changed && entry->offset != -1) {
    // A block a crash left pending is made live before its header is read.
    if (ResErr err = SettleWalkedBlocks()) return Fail(err);
    IFFBlockHeader header;
    if (ResErr err = Blocks().ReadHeader(entry->offset, header)) return Fail(err);
    if (header.type != entry->type) {
      XASSERT_FAIL("header.type == type", "types don't match");
      return Fail(kBadBlock);
    }
    if (header.IsFree()) {
      XASSERT_FAIL("!(header.flags&kInvalid)", "invalid header");
      return Fail(kBadBlock);
    }
    header.id = id;
    header.nameIndex = nameIndex;
    if (ResErr err = Blocks().WriteHeader(entry->offset, header)) return Fail(err);
  }
  if (nameIndex == -1) ForgetName(*entry);
  if (nameIndex != -1) fNameList->Set(nameIndex, name);
  entry->nameIndex = nameIndex;
  Index().Rekey(*entry, id, 0);
  return res_error::kNone;
}

void IFFResFile::GetResName(MHandle h, CTGString& name) {
  name.Clear();
  if (!BeginOperation()) return;
  const IFFEntry* entry = Index().FindHandle(h);
  if (!entry) {
    SetError(res_error::kNotFound);
    return;
  }
  if (entry->nameIndex == -1) return;
  const CTGString* found = fNameList->Find(entry->nameIndex);
  if (!found) {
    XASSERT_FAIL("iffName", "name index not found");
    return;
  }
  name = *found;
}

IFFEntry* IFFResFile::EntryWithName(ResType type, std::int32_t nameIndex) const {
  const auto* entries = Index().Entries(type);
  if (!entries) return nullptr;
  for (auto it = entries->rbegin(); it != entries->rend(); ++it) {
    if ((*it)->nameIndex == nameIndex) return *it;
  }
  return nullptr;
}

MHandle IFFResFile::GetNamedResource(ResType type, const CTGString& name, ResSwizzler swizzler) {
  if (!BeginOperation()) return nullptr;
  if (!name.Empty()) {
    for (std::int32_t index : fNameList->IndexesOf(name)) {
      if (IFFEntry* entry = EntryWithName(type, index)) return LoadEntry(*entry, swizzler);
    }
  }
  SetError(res_error::kNotThisFile);
  return nullptr;
}

void IFFResFile::UniqueName(ResType type, CTGString& name) {
  if (!BeginOperation()) return;
  auto taken = [this, type](std::string_view candidate) {
    for (std::int32_t index : fNameList->IndexesOf(candidate)) {
      if (EntryWithName(type, index)) return true;
    }
    return false;
  };
  const std::string base = name.Str();
  for (long counter = 0; taken(name.View()); ++counter) name = CTGString(base + std::to_string(counter));
}

}  // namespace pixmold
