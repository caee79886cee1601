#include "resfile/chain_res_file.h"

#include <algorithm>

#include "base/xassert.h"

namespace pixmold {

using namespace res_error;

void ChainResFile::AddFile(iResFile* file) {
  if (!file) return;
  for (Slot& slot : fSlots) {
    if (slot.file) continue;
    slot = Slot{file, {}, kProhibiting};
    return;
  }
  XASSERT_FAIL("false", "not enough room for files");
}

void ChainResFile::RemoveFile(iResFile* file) {
  auto it = std::find_if(fSlots.begin(), fSlots.end(), [file](const Slot& s) { return s.file && s.file == file; });
  if (it == fSlots.end()) return;
  std::move(it + 1, fSlots.end(), it);
  fSlots.back() = Slot{};
}

int ChainResFile::CountFiles() const {
  int count = 0;
  while (count < kMaxFiles && fSlots[static_cast<std::size_t>(count)].file) ++count;
  return count;
}

iResFile* ChainResFile::GetFile(int index) const {
  if (index < 0 || index >= CountFiles()) return nullptr;
  return fSlots[static_cast<std::size_t>(index)].file;
}

ChainResFile::Slot* ChainResFile::SlotOf(iResFile* file) {
  for (Slot& slot : fSlots) {
    if (slot.file && slot.file == file) return &slot;
  }
  return nullptr;
}

void ChainResFile::ProhibitType(iResFile* file, ResType type) {
  AddTypeRule(file, type, kProhibiting, "types.empty() || mode == kProhibiting",
              "prohibiting type on exclusively typed Chain File");
}

void ChainResFile::ExclusiveType(iResFile* file, ResType type) {
  AddTypeRule(file, type, kExclusive, "types.empty() || mode == kExclusive",
              "adding exclusive type on prohibitive Chain File");
}

// A file's types are either all prohibited or all exclusive: a rule of the
// other kind is refused.
void ChainResFile::AddTypeRule(iResFile* file, ResType type, std::uint16_t mode, const char* condition,
                               const char* refusal) {
  Slot* slot = SlotOf(file);
  if (!slot) {
    XASSERT_FAIL("slot", "file is not in the chain");
    return;
  }
  if (!slot->types.empty() && slot->mode != mode) {
    XASSERT_FAIL(condition, refusal);
    return;
  }
  slot->mode = mode;
  slot->types.push_back(type);
}

bool ChainResFile::Allows(int index, ResType type) const {
  if (index < 0 || index >= CountFiles()) return false;
  const Slot& slot = fSlots[static_cast<std::size_t>(index)];
  bool listed = std::find(slot.types.begin(), slot.types.end(), type) != slot.types.end();
  return slot.mode == kProhibiting ? !listed : listed;
}

int ChainResFile::GetTargetFileIndex(ResType type) {
  int count = CountFiles();
  for (int i = 0; i < count; ++i) {
    if (Allows(i, type) && GetFile(i)->IsWritable()) return i;
  }
  return count;
}

template <typename Op>
ResErr ChainResFile::ForEachFile(Op op) {
  ResErr result = kNone;
  for (int i = 0; i < CountFiles(); ++i) {
    ResErr err = op(*GetFile(i));
    if (err != kNone) result = err;
  }
  SetError(result);
  return result;
}

ResErr ChainResFile::CreateFile(const CTGString&) {
  SetError(kOpenFailed);
  return kOpenFailed;
}

ResErr ChainResFile::DeleteFile(const CTGString&) {
  SetError(kOpenFailed);
  return kOpenFailed;
}

ResErr ChainResFile::OpenFile(const CTGString&) {
  SetError(kOpenFailed);
  return kOpenFailed;
}

ResErr ChainResFile::SuspendFile() {
  return ForEachFile([](iResFile& f) { return f.SuspendFile(); });
}

ResErr ChainResFile::ResumeFile() {
  return ForEachFile([](iResFile& f) { return f.ResumeFile(); });
}

ResErr ChainResFile::CloseFile() {
  return ForEachFile([](iResFile& f) { return f.CloseFile(); });
}

ResErr ChainResFile::UpdateFile() {
  if (CheckOpen() != kNone) return GetError();
  return ForEachFile([](iResFile& f) { return f.UpdateFile(); });
}

bool ChainResFile::IsWritable() {
  for (int i = 0; i < CountFiles(); ++i) {
    if (GetFile(i)->IsWritable()) return true;
  }
  return false;
}

ResErr ChainResFile::GetFileName(CTGString& name) {
  name.Clear();
  if (CheckOpen() != kNone) return GetError();
  ResErr err = GetFile(0)->GetFileName(name);
  SetError(err);
  return err;
}

std::vector<ResType> ChainResFile::AllTypes() {
  std::vector<ResType> types;
  for (int i = 0; i < CountFiles(); ++i) {
    iResFile* file = GetFile(i);
    std::int32_t count = file->CountTypes();
    for (std::int32_t t = 1; t <= count; ++t) {
      ResType type = file->GetIndType(t);
      if (std::find(types.begin(), types.end(), type) == types.end()) types.push_back(type);
    }
  }
  return types;
}

std::int32_t ChainResFile::CountTypes() {
  if (CheckOpen() != kNone) return 0;
  return static_cast<std::int32_t>(AllTypes().size());
}

ResType ChainResFile::GetIndType(std::int32_t index) {
  if (CheckOpen() != kNone) return 0;
  std::vector<ResType> types = AllTypes();
  if (index < 1 || static_cast<std::size_t>(index) > types.size()) {
    SetError(kTypeIndexRange);
    return 0;
  }
  return types[static_cast<std::size_t>(index) - 1];
}

std::int32_t ChainResFile::CountResources(ResType type) {
  if (CheckOpen() != kNone) return 0;
  std::int32_t total = 0;
  for (int i = 0; i < CountFiles(); ++i) total += GetFile(i)->CountResources(type);
  return total;
}

MHandle ChainResFile::GetResource(ResType type, ResID id, ResSwizzler swizzler) {
  return GetVariantResource(type, id, 0, swizzler);
}

namespace {

// When no component has a resource: a component's own failure (a closed
// file, say) is passed on; otherwise "not there", or "no variants" when no
// component could have had it.
class MissReport {
 public:
  explicit MissReport(ResErr notThere) : fNotThere(notThere) {}
  void Note(ResErr err) {
    if (err == fNotThere || err == kNone) {
      fSawNotThere = true;
    } else if (err == kVariantUnsupported) {
      fSawNoVariants = true;
    } else if (fOther == kNone) {
      fOther = err;
    }
  }
  ResErr Result() const {
    if (fOther != kNone) return fOther;
    return (fSawNoVariants && !fSawNotThere) ? kVariantUnsupported : fNotThere;
  }

 private:
  ResErr fNotThere;
  ResErr fOther = kNone;
  bool fSawNotThere = false;
  bool fSawNoVariants = false;
};

}  // namespace

MHandle ChainResFile::GetVariantResource(ResType type, ResID id, std::uint8_t variant, ResSwizzler swizzler) {
  if (CheckOpen() != kNone) return nullptr;
  MissReport miss(kNotFound);
  for (int i = 0; i < CountFiles(); ++i) {
    iResFile* file = GetFile(i);
    MHandle h = file->GetVariantResource(type, id, variant, swizzler);
    if (h) {
      SetError(kNone);
      return h;
    }
    miss.Note(file->GetError());
  }
  SetError(miss.Result());
  return nullptr;
}

MHandle ChainResFile::GetNamedResource(ResType type, const CTGString& name, ResSwizzler swizzler) {
  if (CheckOpen() != kNone) return nullptr;
  MissReport miss(kNotThisFile);
  for (int i = 0; i < CountFiles(); ++i) {
    iResFile* file = GetFile(i);
    MHandle h = file->GetNamedResource(type, name, swizzler);
    if (h) {
      SetError(kNone);
      return h;
    }
    miss.Note(file->GetError());
  }
  SetError(miss.Result());
  return nullptr;
}

MHandle ChainResFile::GetIndResource(ResType type, std::int32_t index, ResSwizzler swizzler) {
  if (CheckOpen() != kNone) return nullptr;
  if (index >= 1) {
    for (int i = 0; i < CountFiles(); ++i) {
      iResFile* file = GetFile(i);
      std::int32_t count = file->CountResources(type);
      if (index <= count) {
        MHandle h = file->GetIndResource(type, index, swizzler);
        SetError(file->GetError());
        return h;
      }
      index -= count;
    }
  }
  SetError(kNotFound);
  return nullptr;
}

MHandle ChainResFile::FindExact(ResType type, ResID id, std::uint8_t variant) {
  for (int i = 0; i < CountFiles(); ++i) {
    iResFile* file = GetFile(i);
    MHandle h = file->GetVariantResource(type, id, variant, nullptr);
    // A file with variants answers a missing variant with variant 0.
    if (h && file->GetResVariant(h) == variant && file->GetError() == kNone) return h;
  }
  return nullptr;
}

int ChainResFile::HolderOf(ResType type, ResID id, std::uint8_t variant) {
  int i = 0;
  while (i < CountFiles() && !GetFile(i)->HoldsResource(type, id, variant)) ++i;
  return i;
}

bool ChainResFile::HoldsResource(ResType type, ResID id, std::uint8_t variant) {
  if (CheckOpen() != kNone) return false;
  return HolderOf(type, id, variant) < CountFiles();
}

iResFile* ChainResFile::OwnerOf(MHandle h) {
  if (!h) return nullptr;
  for (int i = 0; i < CountFiles(); ++i) {
    iResFile* file = GetFile(i);
    file->GetResType(h);
    if (file->GetError() == kNone) return file;
  }
  return nullptr;
}

void ChainResFile::GetResName(MHandle h, CTGString& name) {
  name.Clear();
  if (CheckOpen() != kNone) return;
  iResFile* owner = OwnerOf(h);
  if (!owner) return SetError(kNotThisFile);
  owner->GetResName(h, name);
  SetError(owner->GetError());
}

ResType ChainResFile::GetResType(MHandle h) {
  if (CheckOpen() != kNone) return 0;
  iResFile* owner = OwnerOf(h);
  if (!owner) {
    SetError(kNotFound);
    return 0;
  }
  ResType type = owner->GetResType(h);
  SetError(owner->GetError());
  return type;
}

ResID ChainResFile::GetResID(MHandle h, ResID& id) {
  if (CheckOpen() != kNone) return id;
  iResFile* owner = OwnerOf(h);
  if (!owner) {
    SetError(kNotFound);
    return id;
  }
  ResID result = owner->GetResID(h, id);
  SetError(owner->GetError());
  return result;
}

void ChainResFile::GetResAttrs(MHandle h, std::uint16_t& attrs) {
  attrs = 0;
  if (CheckOpen() != kNone) return;
  iResFile* owner = OwnerOf(h);
  if (!owner) return SetError(kNotFound);
  owner->GetResAttrs(h, attrs);
  SetError(owner->GetError());
}

std::uint8_t ChainResFile::GetResVariant(MHandle h) {
  if (CheckOpen() != kNone) return 0;
  iResFile* owner = OwnerOf(h);
  if (!owner) {
    SetError(kNotFound);
    return 0;
  }
  std::uint8_t variant = owner->GetResVariant(h);
  SetError(owner->GetError());
  return variant;
}

void ChainResFile::UniqueName(ResType type, CTGString& name) {
  if (CheckOpen() != kNone) return;
  UniqueNameAmong(name, [this, type](std::string_view candidate) {
    for (int i = 0; i < CountFiles(); ++i) {
      CTGString probe(candidate);
      GetFile(i)->UniqueName(type, probe);
      if (probe.View() != candidate) return true;
    }
    return false;
  });
  SetError(kNone);
}

ResID ChainResFile::UniqueID(ResType type) {
  if (CheckOpen() != kNone) return 0;
  ResID unique = kFirstUniqueID;
  for (int i = 0; i < CountFiles(); ++i) unique = std::max(unique, GetFile(i)->UniqueID(type));
  SetError(kNone);
  return unique;
}

ResErr ChainResFile::ReleaseResource(MHandle h) {
  if (CheckOpen() != kNone) return GetError();
  iResFile* owner = OwnerOf(h);
  if (!owner) {
    SetError(kNotThisFile);
    return kNotThisFile;
  }
  ResErr err = owner->ReleaseResource(h);
  SetError(err);
  return err;
}

ResErr ChainResFile::UnsupportedOperation(MHandle h) {
  if (CheckOpen() != kNone) return GetError();
  iResFile* owner = OwnerOf(h);
  ResErr err = owner ? owner->UnsupportedOperation(h) : kUnsupported;
  SetError(err);
  return err;
}

bool ChainResFile::IsResourceNative(MHandle h) {
  if (CheckOpen() != kNone) return true;
  iResFile* owner = OwnerOf(h);
  if (!owner) {
    SetError(kNotThisFile);
    return true;
  }
  bool native = owner->IsResourceNative(h);
  SetError(owner->GetError());
  return native;
}

ResErr ChainResFile::AddResource(MHandle h, ResType type, ResID id, const CTGString& name, bool native) {
  return AddVariantResource(h, type, id, name, 0, native);
}

void ChainResFile::CollectProblems(std::vector<FileProblem>& problems) {
  problems.insert(problems.end(), fUnopened.begin(), fUnopened.end());
  for (int i = 0; i < CountFiles(); ++i) GetFile(i)->CollectProblems(problems);
}

bool ChainResFile::RefusesChange() {
  if (fUnopened.empty()) return false;
  SetError(res_error::kDamaged);
  return true;
}

ResErr ChainResFile::AddVariantResource(MHandle h, ResType type, ResID id, const CTGString& name, std::uint8_t variant,
                                        bool native) {
  if (CheckOpen() != kNone) return GetError();
  if (RefusesChange()) return GetError();
  SetError(kNone);
  // The usual case, a rebuild, replaces a resource in the file it goes to:
  // that file keeps the old block until the new bytes are written, and the
  // old bytes are never needed, so they are not loaded to find it.
  const int target = GetTargetFileIndex(type);
  if (target < CountFiles() && HolderOf(type, id, variant) == target) {
    ResErr err = GetFile(target)->AddVariantResource(h, type, id, name, variant, native);
    SetError(err);
    return err;
  }
  // One resource of a type, id and variant in the whole chain: the old one
  // goes, wherever it is, before the new one is placed by the rules.
  MHandle old = FindExact(type, id, variant);
  if (old && old == h) {
    if (ReleaseResource(h) != kNone) return GetError();
    old = FindExact(type, id, variant);
  }
  // When the old one lives where the new one goes, that file replaces it,
  // keeping the old bytes on disk until the new ones are written: removed
  // first, the resource would be missing from the file until then, and a
  // build killed in between would lose it.
  if (old && target < CountFiles() && OwnerOf(old) == GetFile(target)) {
    ResErr err = GetFile(target)->AddVariantResource(h, type, id, name, variant, native);
    SetError(err);
    return err;
  }
  if (old) {
    if (RemoveResource(old) != kNone) return GetError();
  }
  SetError(kUnsupported);
  for (int i = 0; i < CountFiles(); ++i) {
    iResFile* file = GetFile(i);
    if (!Allows(i, type)) {
      SetError(kTypeNotAllowed);
      continue;
    }
    if (!file->IsWritable()) continue;
    ResErr err = file->AddVariantResource(h, type, id, name, variant, native);
    SetError(err);
    return err;
  }
  return GetError();
}

bool ChainResFile::KeepIfUnchanged(ResType type, ResID id, const CTGString& name, bool native,
                                   std::span<const std::span<const std::uint8_t>> pieces) {
  if (CheckOpen() != kNone || RefusesChange()) return false;
  const int target = GetTargetFileIndex(type);
  return target < CountFiles() && HolderOf(type, id, 0) == target &&
         GetFile(target)->KeepIfUnchanged(type, id, name, native, pieces);
}

ResErr ChainResFile::WriteResource(MHandle h) {
  if (CheckOpen() != kNone) return GetError();
  if (RefusesChange()) return GetError();
  iResFile* owner = OwnerOf(h);
  ResErr err = owner ? owner->WriteResource(h) : kNotThisFile;
  SetError(err);
  return err;
}

ResErr ChainResFile::RemoveResource(MHandle h) {
  if (CheckOpen() != kNone) return GetError();
  if (RefusesChange()) return GetError();
  iResFile* owner = OwnerOf(h);
  ResErr err = owner ? owner->RemoveResource(h) : kNotThisFile;
  SetError(err);
  return err;
}

ResErr ChainResFile::SetResInfo(MHandle h, ResID id, const CTGString& name, std::uint8_t variant) {
  if (CheckOpen() != kNone) return GetError();
  if (RefusesChange()) return GetError();
  iResFile* owner = OwnerOf(h);
  ResErr err = owner ? owner->SetResInfo(h, id, name, variant) : kNotThisFile;
  SetError(err);
  return err;
}

}  // namespace pixmold
