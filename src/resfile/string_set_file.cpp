// String sets bound to a resource file: load, merge-save, and what resource
// files (GetIndString) and Recon streams (string tables) use of them.
#include <cstring>
#include <memory>

#include "base/xassert.h"
#include "resfile/handle_owner.h"
#include "resfile/res_file.h"
#include "resfile/string_hooks.h"
#include "resfile/string_set.h"

namespace pixmold {
namespace {

constexpr ResType kSTR = MakeResType("STR#");

// A Recon stream's strings, kept as a string set of their own.
class StringSetTable : public ReconStringTable {
 public:
  StringSetTable(iResFile& file, ResType type, ResID id) {
    fSet.Init(&file, id, type, false, -1);
    fSet.Load(false, true);
  }
  std::string Get(int index) const override { return std::string(fSet.Value(index).value_or("")); }
  void Set(int index, std::string_view text) override {
    if (index < 1) return;
    while (fSet.Count() < index - 1) fSet.SetValue(fSet.Count() + 1, "");
    fSet.SetValue(index, text);
  }
  void Clear() override { fSet.ClearLanguage(); }
  ResErr Save() override { return fSet.Save(); }

 private:
  StringSet fSet;
};

}  // namespace

ResErr LoadStringSetValues(iResFile& file, ResID id, std::vector<std::string>& values) {
  StringSet set;
  ResErr err = set.LoadSTR(&file, id, false);
  values.clear();
  for (int index = 1; index <= set.Count(); ++index) values.emplace_back(set.Value(index).value_or(""));
  return err;
}

std::unique_ptr<ReconStringTable> MakeStringSetTable(iResFile& file, ResType type, ResID id) {
  return std::make_unique<StringSetTable>(file, type, id);
}

ResErr StringSet::Load(bool loadAll, bool fallbackToEnglish) {
  if (!fFile) return res_error::kNotOpen;
  if (!fFile->IsOpen()) {
    XASSERT_FAIL("fResFile->ValidFile()", "file is invalid");
    return res_error::kNotOpen;
  }
  fName.clear();
  ClearAll();
  MHandle h = fFile->GetResource(fType, fId, fTextForm ? nullptr : StringSetSwizzler);
  if (!h) {
    ResErr err = fFile->GetError();
    return err != res_error::kNone ? err : res_error::kNotFound;
  }
  CTGString name;
  fFile->GetResName(h, name);
  fName = name.Str();
  ResErr err = res_error::kNone;
  {
    HandleLock lock(h);
    if (!lock.Data()) {
      XASSERT_FAIL("data", "could not lock string handle");
      err = MemError() != 0 ? MemError() : res_error::kOutOfMemory;
    } else {
      err = LoadBytes(lock.Bytes(), loadAll, fallbackToEnglish);
    }
  }
  fFile->ReleaseAndDispose(h);
  if (err == res_error::kNone) err = fFile->GetError();
  return err;
}

ResErr StringSet::LoadSTR(iResFile* file, ResID id, bool loadAll) {
  Init(file, id, kSTR, false, -1);
  ResErr err = Load(loadAll, true);
  if (err == res_error::kNone) return err;
  Init(file, id, kTextFormType, true, -1);
  return Load(loadAll, true);
}

ResErr StringSet::Save() {
  if (!fFile) return res_error::kNotOpen;
  // What the file holds now, every language of it: the save merges into it
  // so that other languages' translations survive. A set not stored yet
  // starts from nothing.
  StringSet stored;
  stored.Init(fFile, fId, fType, fTextForm, fLanguage);
  stored.Load(true, true);
  MergeInto(stored);
  auto bytes = stored.EncodeAllLanguages();
  if (!bytes) {
    XASSERT_FAIL("total <= 0xFFFF", "too many strings to save");
    return res_error::kUnsupported;
  }
  OwnedHandle handle = OwnedHandle::New(static_cast<std::uint32_t>(bytes->size()));
  if (!handle) return MemError() != 0 ? MemError() : res_error::kOutOfMemory;
  {
    HandleLock lock(handle.Get());
    if (!lock.Data()) return MemError() != 0 ? MemError() : res_error::kOutOfMemory;
    std::memcpy(lock.Data(), bytes->data(), bytes->size());
  }
  ResType type = (fType == 0 || fType == kTextFormType) ? kSTR : fType;
  ResErr err = fFile->AddResource(handle.Get(), type, fId, CTGString(fName), true);
  if (err != res_error::kNone) return err;
  MHandle h = handle.Release();
  err = fFile->WriteResource(h);
  if (err != res_error::kNone) return err;
  fFile->ReleaseAndDispose(h);
  return fFile->GetError();
}

ResErr StringSet::SaveSTR(iResFile* file, ResID id) {
  Init(file, id, kSTR, false, fLanguage);
  return Save();
}

}  // namespace pixmold
